#include "formats/clap/ClapPresetDiscovery.h"

#include "engine/model/FactoryPresets.h"
#include "engine/vst/GuardedCall.h"
#include "formats/clap/ClapPlugin.h"

#include <cstdio>
#include <cstring>

namespace lumenfold::clap {
namespace {

const clap_preset_discovery_provider_descriptor_t kProviderDescriptor{
    kClapVersion, "com.corvanne.lumenfold.factory-presets", "Lumenfold factory presets", "Corvanne"};

// One provider as a host made it: the record it holds and the indexer it reports to.
struct Provider {
    clap_preset_discovery_provider_t record{};
    const clap_preset_discovery_indexer_t* indexer = nullptr;
};

const clap_preset_discovery_indexer_t* indexerOf(const clap_preset_discovery_provider_t* record)
{
    return record ? static_cast<const Provider*>(record->provider_data)->indexer : nullptr;
}

bool init(const clap_preset_discovery_provider_t* record)
{
    const clap_preset_discovery_indexer_t* indexer = indexerOf(record);
    if (indexer == nullptr || indexer->declare_location == nullptr) return false;
    const clap_preset_discovery_location_t inside{CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "Lumenfold factory presets",
                                                  CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
    return indexer->declare_location(indexer, &inside);
}

void destroy(const clap_preset_discovery_provider_t* record)
{
    if (record != nullptr) delete static_cast<Provider*>(record->provider_data);
}

void declarePreset(int index, const clap_preset_discovery_metadata_receiver_t& receiver)
{
    const clap_universal_plugin_id_t plugin{"clap", descriptor().id};
    if (receiver.add_plugin_id) receiver.add_plugin_id(&receiver, &plugin);
    if (receiver.set_flags) receiver.set_flags(&receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
    if (receiver.set_description) receiver.set_description(&receiver, FactoryPresets::description(index));
    if (receiver.add_creator) receiver.add_creator(&receiver, "Corvanne");
}

bool metadata(const clap_preset_discovery_provider_t*, std::uint32_t kind, const char* location,
              const clap_preset_discovery_metadata_receiver_t* receiver)
{
    if (receiver == nullptr || receiver->begin_preset == nullptr) return false;
    if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location != nullptr) {
        if (receiver->on_error) receiver->on_error(receiver, 0, "Lumenfold holds its presets only inside the plug-in");
        return false;
    }
    for (int index = 0; index < FactoryPresets::count(); ++index) {
        const char* name = FactoryPresets::name(index);
        if (!receiver->begin_preset(receiver, name, name)) break;
        declarePreset(index, *receiver);
    }
    return true;
}

const void* extension(const clap_preset_discovery_provider_t*, const char*) { return nullptr; }

std::uint32_t providerCount(const clap_preset_discovery_factory_t*) { return 1; }

const clap_preset_discovery_provider_descriptor_t* providerDescriptor(const clap_preset_discovery_factory_t*,
                                                                      std::uint32_t index)
{
    return index == 0 ? &kProviderDescriptor : nullptr;
}

const clap_preset_discovery_provider_t* createProvider(const clap_preset_discovery_factory_t*,
                                                       const clap_preset_discovery_indexer_t* indexer,
                                                       const char* providerId)
{
    if (indexer == nullptr || providerId == nullptr || std::strcmp(providerId, kProviderDescriptor.id) != 0) {
        std::printf("Lumenfold: CLAP preset provider \"%s\" is not ours\n", providerId ? providerId : "(null)");
        return nullptr;
    }
    return guarded("CLAP", "preset provider create", static_cast<const clap_preset_discovery_provider_t*>(nullptr),
                   [&] {
                       auto* provider = new Provider;
                       provider->indexer = indexer;
                       provider->record = {&kProviderDescriptor, provider, init, destroy, metadata, extension};
                       return static_cast<const clap_preset_discovery_provider_t*>(&provider->record);
                   });
}

const clap_preset_discovery_factory_t kFactory{providerCount, providerDescriptor, createProvider};

}  // namespace

const clap_preset_discovery_factory_t& presetDiscoveryFactory() { return kFactory; }

int presetForLoadKey(const char* loadKey) { return loadKey ? FactoryPresets::findByName(loadKey) : -1; }

}  // namespace lumenfold::clap
