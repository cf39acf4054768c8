// Built instead of LumenfoldParameterCatalog.cpp while the parameter table's library is
// not part of the build: every plug-in is then described by the names it reports.

#include "tools/render/LumenfoldParameterCatalog.h"
#include "tools/render/LumenfoldPresetFiles.h"
#include "tools/render/RenderError.h"

namespace lfrender {

std::unique_ptr<ParameterCatalog> makeLumenfoldParameterCatalog(lfhost::PluginInstance& /*plugin*/)
{
    return nullptr;
}

// Preset files are written in the table's names: without the table there are none.
void applyPresetFile(lfhost::PluginInstance& /*plugin*/, const std::string& path)
{
    throw RenderError::commandLine("--preset " + path + ": this build of the renderer reads no preset files");
}

std::string presetFileText(lfhost::PluginInstance& /*plugin*/)
{
    throw RenderError::commandLine("--save-preset: this build of the renderer writes no preset files");
}

}  // namespace lfrender
