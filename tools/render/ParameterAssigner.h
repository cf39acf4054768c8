#pragma once
// Sets plug-in parameters from "--set NAME=VALUE" in the parameter's plain units.
//
// Indexed parameters first try VALUE as a display text: every index from the row's
// minimum to its maximum is set in turn and the plug-in's own display text compared
// ("FFT Size=1024", "View X Axis=Linear"). Otherwise VALUE must be a finite number (a
// whole number for indexed rows), read in the "C" convention whatever the locale; one
// outside the row's range is clamped to it with a warning, as the plug-in clamps values
// from every other source. For an indexed row whose maximum only the plug-in knows
// ("Script Index"), the maximum is asked of the plug-in itself (see
// discoverIndexedMaximum), so numbers past the last script select the last one.

#include "tools/render/ParameterRange.h"

#include <optional>
#include <string>

namespace lfhost {
class PluginInstance;
}

namespace lfrender {

class ParameterCatalog;

class ParameterAssigner {
public:
    ParameterAssigner(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog);

    // Throws RenderError for an unknown name or a value that is not accepted.
    void assign(const std::string& name, const std::string& value);

    // The plug-in's current maximum of an indexed row whose normalised value maps to
    // index = round(maximum * x) (minimum 0): the smallest non-zero value it reads back
    // is 1 / maximum. The parameter's value is restored afterwards.
    [[nodiscard]] int discoverIndexedMaximum(int id);

private:
    [[nodiscard]] bool assignDisplayText(int id, const ParameterRange& range, const std::string& value);
    void assignIndex(int id, const ParameterRange& range, const std::string& name, float value);
    void assignContinuous(int id, const ParameterRange& range, const std::string& name, float value);
    static float clampedToRange(const ParameterRange& range, const std::string& name, float value);
    [[nodiscard]] ParameterRange effectiveRange(int id);
    [[nodiscard]] static float indexToNormalized(const ParameterRange& range, int index);

    lfhost::PluginInstance& plugin_;
    const ParameterCatalog& catalog_;
};

// A number in the "C" convention spanning all of text, or nothing.
[[nodiscard]] std::optional<float> parsePlainNumber(const std::string& text);

}  // namespace lfrender
