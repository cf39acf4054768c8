#pragma once
// The bundle's factory presets: their statements in manifest.ttl, which is where hosts
// look for them, and presets.ttl with each preset's label, description, control port
// values and whole state block.

#include <ostream>
#include <string>

namespace lflv2ttl {

// Preset k (1 .. FactoryPresets::count() - 1; "Defaults" is the plug-in's own defaults).
std::string presetUri(int index);
void writePresetManifest(std::ostream& manifest);
void writePresets(std::ostream& ttl);

}  // namespace lflv2ttl
