#include "tools/render/ProgramList.h"

#include "engine/abi/Vst2Abi.h"
#include "engine/vst/VendorQueries.h"
#include "tools/host/PluginInstance.h"
#include "tools/render/LumenfoldParameterCatalog.h"
#include "tools/render/TextMatching.h"

#include <algorithm>
#include <cstring>

namespace lfrender {
namespace {

// Bigger than the interface's 24 characters: plug-ins write past it.
constexpr std::size_t kNameBuffer = 256;

std::string indexedName(lfhost::PluginInstance& plugin, int index)
{
    char buffer[kNameBuffer] = {};
    plugin.dispatch(effGetProgramNameIndexed, index, 0, buffer);
    buffer[kNameBuffer - 1] = '\0';
    return buffer;
}

}  // namespace

ProgramList::ProgramList(lfhost::PluginInstance& plugin) : plugin_(plugin)
{
    const int count = std::clamp(plugin.effect()->numPrograms, 0, kMaxPrograms);
    for (int index = 0; index < count; ++index) names_.push_back(indexedName(plugin, index));
}

std::optional<int> ProgramList::find(const std::string& name) const
{
    for (std::size_t index = 0; index < names_.size(); ++index)
        if (equalsIgnoringCase(trimmed(name), trimmed(names_[index]))) return static_cast<int>(index);
    return std::nullopt;
}

void ProgramList::select(int index) { plugin_.dispatch(effSetProgram, 0, index); }

std::string ProgramList::description(int index)
{
    char buffer[QN::vendor::kProgramDescriptionSize] = {};
    if (plugin_.dispatch(effVendorSpecific, QN::vendor::kProgramDescription, index, buffer) != 1) return {};
    buffer[sizeof(buffer) - 1] = '\0';
    return buffer;
}

void ProgramList::print(std::FILE* out)
{
    // Only our own plug-in is asked: another could read the vendor code as something else.
    const bool ours = makeLumenfoldParameterCatalog(plugin_) != nullptr;
    for (std::size_t index = 0; index < names_.size(); ++index) {
        const std::string text = ours ? description(static_cast<int>(index)) : std::string();
        std::fprintf(out, "%3zu  %-24s  %s\n", index, names_[index].c_str(), text.c_str());
    }
}

}  // namespace lfrender
