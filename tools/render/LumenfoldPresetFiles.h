#pragma once
// Lumenfold's preset files (PresetFile) for the renderer: --preset FILE sets every value
// of a file through the plug-in, --save-preset FILE writes the plug-in's values after the
// render. Only Lumenfold has such files: another plug-in is refused with a RenderError.

#include <string>

namespace lfhost {
class PluginInstance;
}

namespace lfrender {

// Reads the whole file first; a file that is refused sets nothing. Every value of the
// preset is then set, the defaults it leaves out included; skipped lines are named in
// one warning each on standard error.
void applyPresetFile(lfhost::PluginInstance& plugin, const std::string& path);

// The plug-in's program, values and name, as a preset file's text.
[[nodiscard]] std::string presetFileText(lfhost::PluginInstance& plugin);

}  // namespace lfrender
