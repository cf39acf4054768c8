// The library's only exported symbol for CLAP hosts: the entry record with its factories
// (the plug-in's and the factory presets' discovery).

#include "formats/clap/ClapPlugin.h"
#include "formats/clap/ClapPresetDiscovery.h"

#include <cstdio>
#include <cstring>

namespace {

std::uint32_t pluginCount(const clap_plugin_factory_t*) { return 1; }

const clap_plugin_descriptor_t* pluginDescriptor(const clap_plugin_factory_t*, std::uint32_t index)
{
    if (index != 0) {
        std::printf("Lumenfold: CLAP descriptor %u asked for; there is only 0\n", index);
        return nullptr;
    }
    return &lumenfold::clap::descriptor();
}

const clap_plugin_t* createPlugin(const clap_plugin_factory_t*, const clap_host_t* host, const char* pluginId)
{
    if (pluginId == nullptr || std::strcmp(pluginId, lumenfold::clap::descriptor().id) != 0) {
        std::printf("Lumenfold: CLAP plug-in id \"%s\" is not ours\n", pluginId ? pluginId : "(null)");
        return nullptr;
    }
    return lumenfold::clap::createPlugin(host);
}

const clap_plugin_factory_t factory{pluginCount, pluginDescriptor, createPlugin};

bool entryInit(const char*) { return true; }
void entryDeinit() {}

const void* entryFactory(const char* factoryId)
{
    if (factoryId != nullptr && std::strcmp(factoryId, kClapPluginFactoryId) == 0) {
        return &factory;
    }
    if (factoryId != nullptr && (std::strcmp(factoryId, kClapPresetDiscoveryFactoryId) == 0 ||
                                 std::strcmp(factoryId, kClapPresetDiscoveryFactoryIdCompat) == 0)) {
        return &lumenfold::clap::presetDiscoveryFactory();
    }
    std::printf("Lumenfold: CLAP factory \"%s\" not offered\n", factoryId ? factoryId : "(null)");
    return nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const clap_plugin_entry_t clap_entry{
    kClapVersion, entryInit, entryDeinit, entryFactory};
