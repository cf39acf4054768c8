#pragma once
// The preset-discovery factory: one provider whose one location is the plug-in itself,
// declaring every factory preset with its name, description and load key (its name).
// The plug-in's preset-load extension takes such a key back.

#include "formats/clap/ClapAbi.h"

namespace lumenfold::clap {

const clap_preset_discovery_factory_t& presetDiscoveryFactory();
// The program number (engine/model/FactoryPresets.h) a load key names; -1 for none.
int presetForLoadKey(const char* loadKey);

}  // namespace lumenfold::clap
