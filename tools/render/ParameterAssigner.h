#pragma once
// Sets plug-in parameters from "--set NAME=VALUE" in the parameter's plain units.
//
// Names and value texts are matched without regard to case, blanks around them ignored
// ("Input Gain = -6 dB"). A name may hold one range of whole numbers, "Bin 47-512 Level",
// which sets every parameter named with a number of that range ("Bin 47 Level" to
// "Bin 512 Level") to the same value. An unknown name is answered with the numbers its
// family takes ("Bin N Level" takes N from 0 to 2048) or the closest names.
//
// Indexed parameters first try VALUE as a display text: every index from the row's
// minimum to its maximum is set in turn and the plug-in's own display text compared
// ("FFT Size=1024", "View X Axis=linear"). Otherwise VALUE must be a finite number (a
// whole number for indexed rows), read in the "C" convention whatever the locale, and may
// carry the parameter's unit ("-6 dB", "250ms"); one outside the row's range is clamped
// to it with a warning, as the plug-in clamps values from every other source. Where the
// unit is not the plain unit (the mix levels: fader positions shown as dB), a bare number
// stays the plain value and a number with the unit, or "-inf", is converted. For an
// indexed row whose maximum only the plug-in knows ("Script Index"), the maximum is asked
// of the plug-in itself (see discoverIndexedMaximum), so numbers past the last script
// select the last one. A value that is none of these names the row's display texts.
//
// An indexed row whose display texts are numbers other than its indices ("FFT Size":
// 32 to 4096) takes those numbers, and its index only where that cannot be one of them
// (0 to 7); any other number is refused with the list. Rows that run from 0 to 1 also
// take a percentage ("50%" is 0.5).
//
// A name may also be frequencies, written with a unit or as notes: "1k-2k Hz",
// "300-3400Hz", "A4", "A3-A4" (engine/model/FrequencyText.h). It sets the bin levels whose
// centre lies in the range, or the one bin nearest a single frequency, mapped with the
// "FFT Size" in effect when it is read and the render's sample rate
// (engine/model/BinFrequency.h); a frequency the bins do not reach is refused. Changing
// "FFT Size" after such a name warns: the bins it set stay those of the size before.

#include "tools/render/ParameterRange.h"
#include "tools/render/RenderError.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

class BinFrequency;
struct FrequencyRange;

namespace lfhost {
class PluginInstance;
}

namespace lfrender {

class ParameterCatalog;

class ParameterAssigner {
public:
    // Names in one range at most; a bigger range is refused.
    static constexpr int kMaxRangeCount = 4096;

    ParameterAssigner(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog);

    // Throws RenderError for an unknown name or a value that is not accepted; then no
    // parameter has changed.
    void assign(const std::string& name, const std::string& value);

    // The plug-in's current maximum of an indexed row whose normalised value maps to
    // index = round(maximum * x) (minimum 0): the smallest non-zero value it reads back
    // is 1 / maximum. The parameter's value is restored afterwards.
    [[nodiscard]] int discoverIndexedMaximum(int id);

    // The catalogue's range, with a maximum only the plug-in knows asked of it.
    [[nodiscard]] ParameterRange effectiveRange(int id);

    // Every index of an indexed row with the plug-in's display text for it; the value is
    // restored afterwards.
    [[nodiscard]] std::vector<std::pair<int, std::string>> valueTexts(int id);

    // The plug-in's display text of a plain value (clamped to the row) with its unit
    // label, as a host shows it ("-18.06 dB"); the value is restored afterwards.
    [[nodiscard]] std::string shownText(int id, float plain);

private:
    struct Target {
        int id;
        std::string name;
    };
    using ValueTexts = std::vector<std::pair<int, std::string>>;
    [[nodiscard]] std::vector<Target> resolveTargets(const std::string& name);
    [[nodiscard]] std::vector<Target> frequencyTargets(const std::string& name, const FrequencyRange& range);
    [[nodiscard]] BinFrequency currentBins(const std::string& name);
    void warnIfBinsMoved(const std::vector<Target>& targets);
    [[nodiscard]] const std::vector<std::string>& parameterNames();
    [[nodiscard]] RenderError unknownName(const std::string& name, const std::string& context);
    // A value as the user gave it, for messages: the name, the text, whether to warn.
    struct Given {
        const std::string& name;
        std::string text;
        bool warn;
    };
    [[nodiscard]] static RenderError notAValue(const Given& given, const std::string& reason);
    void assignPercentage(int id, const ParameterRange& range, const Given& given);
    void assignIndexed(int id, const ParameterRange& range, const Given& given);
    [[nodiscard]] static std::string indexedChoices(const ParameterRange& range, const ValueTexts& texts,
                                                    const std::string& typed);
    [[nodiscard]] static bool textsAreOtherNumbers(const ValueTexts& texts);
    void assignNumberText(int id, const ParameterRange& range, const Given& given, float number, const ValueTexts& texts);
    [[nodiscard]] std::optional<float> plainNumber(int id, const std::string& value) const;
    void assignOne(const Target& target, const std::string& value, bool warn);
    [[nodiscard]] bool assignDisplayText(int id, const ParameterRange& range, const std::string& value);
    void assignIndex(int id, const ParameterRange& range, const Given& given, float value);
    void assignContinuous(int id, const ParameterRange& range, const Given& given, float value);
    static float clampedToRange(const ParameterRange& range, const Given& given, float value);
    [[nodiscard]] static float indexToNormalized(const ParameterRange& range, int index);

    lfhost::PluginInstance& plugin_;
    const ParameterCatalog& catalog_;
    std::vector<std::string> names_;  // the plug-in's, asked for when a name is not found
    // The FFT size the last frequency name was mapped with, and that name.
    std::optional<int> mappedFftSize_;
    std::string mappedName_;
};

// A number in the "C" convention spanning all of text, or nothing.
[[nodiscard]] std::optional<float> parsePlainNumber(const std::string& text);

// "Bin 47-512 Level" split at its one range of whole numbers: the text before, the first
// and last number, the text after. Nothing when the name holds no such range.
struct NameRange {
    std::string before;
    int first = 0;
    int last = 0;
    std::string after;
};
[[nodiscard]] std::optional<NameRange> findNameRange(const std::string& name);

}  // namespace lfrender
