#include "tools/render/LumenfoldPresetFiles.h"

#include "engine/model/PresetFile.h"
#include "engine/model/QuanProgramQNlfv1.h"
#include "tools/host/PluginInstance.h"
#include "tools/render/LumenfoldParameterCatalog.h"
#include "tools/render/ParameterAssigner.h"
#include "tools/render/RenderError.h"

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace lfrender {
namespace {

std::unique_ptr<ParameterCatalog> requireLumenfold(lfhost::PluginInstance& plugin, const std::string& what)
{
    std::unique_ptr<ParameterCatalog> catalog = makeLumenfoldParameterCatalog(plugin);
    if (!catalog) throw RenderError::commandLine(what + " works with Lumenfold's preset files only; this plug-in is another");
    return catalog;
}

// The table's rows with the maximum only the plug-in knows ("Script Index") asked of it.
class PluginRows {
public:
    PluginRows(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog)
    {
        ParameterAssigner assigner(plugin, catalog);
        for (int id = 0; id < kParameterCount; ++id) {
            rows_[static_cast<std::size_t>(id)] = parameterInfo(id);
            if (catalog.range(id).maximumKnownOnlyToPlugin)
                rows_[static_cast<std::size_t>(id)].maxValue = static_cast<float>(assigner.discoverIndexedMaximum(id));
        }
    }
    [[nodiscard]] PresetFile::RowOf rowOf() const
    {
        return [this](int id) { return rows_[static_cast<std::size_t>(id)]; };
    }
    [[nodiscard]] const ParameterInfo& operator[](int id) const { return rows_[static_cast<std::size_t>(id)]; }

private:
    std::array<ParameterInfo, kParameterCount> rows_{};
};

}  // namespace

void applyPresetFile(lfhost::PluginInstance& plugin, const std::string& path)
{
    const std::unique_ptr<ParameterCatalog> catalog = requireLumenfold(plugin, "--preset " + path);
    const PluginRows rows(plugin, *catalog);
    const PresetFile::Reading reading = PresetFile::read(path, rows.rowOf());
    for (const std::string& message : reading.messages)
        std::fprintf(stderr, "lumenfold-render: warning: preset %s: %s\n", path.c_str(), message.c_str());
    if (!reading.usable()) throw RenderError("preset " + path + ": " + reading.refusal + "; nothing is set");
    // The OSC port is the set-up, not the sound: a preset leaves it alone, as in the plug-in.
    for (int id = 0; id < kParameterCount; ++id) {
        if (id == ParameterId::OscPortOffset) continue;
        plugin.setParameter(id, plainToNormalized(rows[id], reading.content.values[static_cast<std::size_t>(id)]));
    }
    auto name = reading.content.name;
    if (name[0] != '\0') plugin.dispatch(effSetProgramName, 0, 0, name.data());
}

// The values as the plug-in stores them, read from its state block: exact, and with
// the program's name.
std::string presetFileText(lfhost::PluginInstance& plugin)
{
    const std::unique_ptr<ParameterCatalog> catalog = requireLumenfold(plugin, "--save-preset");
    const std::vector<std::uint8_t> state = plugin.getChunk();
    ProgramValues content;
    if (const char* refusal = QuanProgramQNlfv1().decodeChunk(state.data(), state.size(), content))
        throw RenderError(std::string("the plug-in's state cannot be read for --save-preset: ") + refusal,
                          ExitStatus::PluginProblem);
    const PluginRows rows(plugin, *catalog);
    return PresetFile::text(content, rows.rowOf());
}

}  // namespace lfrender
