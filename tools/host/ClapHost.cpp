#include "tools/host/ClapHost.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <utility>

namespace lfhost {

ClapPluginHost::ClapPluginHost()
{
    host_.clap_version = kClapVersion;
    host_.host_data = this;
    host_.name = "lumenfold-test-host";
    host_.vendor = "Corvanne";
    host_.url = "";
    host_.version = "1";
    host_.get_extension = &ClapPluginHost::hostExtension;
    host_.request_restart = [](const clap_host_t* host) { ++of(host).restartRequests_; };
    host_.request_process = [](const clap_host_t*) {};
    host_.request_callback = [](const clap_host_t* host) { ++of(host).callbackRequests_; };
}

const void* ClapPluginHost::hostExtension(const clap_host_t*, const char* id)
{
    static const clap_host_params_t params{
        [](const clap_host_t* host, std::uint32_t flags) { of(host).rescanFlags_ |= flags; },
        [](const clap_host_t*, clap_id, std::uint32_t) {},
        [](const clap_host_t* host) { ++of(host).flushRequests_; },
    };
    static const clap_host_latency_t latency{[](const clap_host_t* host) { ++of(host).latencyChanges_; }};
    static const clap_host_state_t state{[](const clap_host_t*) {}};
    static const clap_host_thread_check_t threads{
        [](const clap_host_t* host) { return of(host).isMain_.load(); },
        [](const clap_host_t* host) { return of(host).isAudio_.load(); },
    };
    static const clap_host_timer_support_t timers{
        [](const clap_host_t*, std::uint32_t, clap_id* id) {
            *id = 1;
            return true;
        },
        [](const clap_host_t*, clap_id) { return true; },
    };
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, kClapExtParams) == 0) return &params;
    if (std::strcmp(id, kClapExtLatency) == 0) return &latency;
    if (std::strcmp(id, kClapExtState) == 0) return &state;
    if (std::strcmp(id, kClapExtThreadCheck) == 0) return &threads;
    if (std::strcmp(id, kClapExtTimerSupport) == 0) return &timers;
    return nullptr;
}

std::unique_ptr<ClapPluginHost> ClapPluginHost::load(const std::string& path, std::string* error, bool initialise)
{
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::unique_ptr<ClapPluginHost>();
    };
    // Never closed, as for VST plug-ins: threads of an instance may outlive it.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return fail(std::string("cannot open ") + path + ": " + dlerror());
    const auto* entry = static_cast<const clap_plugin_entry_t*>(dlsym(library, "clap_entry"));
    if (entry == nullptr) return fail("no clap_entry in " + path);
    if (!entry->init(path.c_str())) return fail("clap_entry.init failed");
    const auto* factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(kClapPluginFactoryId));
    if (factory == nullptr || factory->get_plugin_count(factory) < 1) return fail("no plug-in factory");
    const clap_plugin_descriptor_t* descriptor = factory->get_plugin_descriptor(factory, 0);
    if (descriptor == nullptr) return fail("no descriptor");
    std::unique_ptr<ClapPluginHost> host(new ClapPluginHost());
    host->entry_ = entry;
    host->plugin_ = factory->create_plugin(factory, &host->host_, descriptor->id);
    if (host->plugin_ == nullptr) return fail("create_plugin failed");
    if (initialise && !host->plugin_->init(host->plugin_)) {
        host->plugin_->destroy(host->plugin_);
        host->plugin_ = nullptr;
        return fail("plug-in init failed");
    }
    return host;
}

std::vector<ClapPluginHost::ScannedPlugin> ClapPluginHost::scan(const std::string& path, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::vector<ScannedPlugin>();
    };
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return fail(std::string("cannot open ") + path + ": " + dlerror());
    const auto* entry = static_cast<const clap_plugin_entry_t*>(dlsym(library, "clap_entry"));
    if (entry == nullptr || !entry->init(path.c_str())) {
        dlclose(library);
        return fail("no usable clap_entry in " + path);
    }
    std::vector<ScannedPlugin> plugins;
    const auto* factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(kClapPluginFactoryId));
    const std::uint32_t count = factory ? factory->get_plugin_count(factory) : 0;
    for (std::uint32_t index = 0; index < count; ++index) {
        const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, index);
        if (d == nullptr || d->id == nullptr || d->name == nullptr) break;
        ScannedPlugin plugin{d->clap_version, d->id, d->name, {}};
        for (const char* const* feature = d->features; feature && *feature; ++feature)
            plugin.features.emplace_back(*feature);
        plugins.push_back(std::move(plugin));
    }
    entry->deinit();
    dlclose(library);
    if (plugins.size() != count || count == 0) return fail("a descriptor is missing or incomplete");
    return plugins;
}

ClapPluginHost::~ClapPluginHost()
{
    if (plugin_ != nullptr && !destroyed_) {
        pretendThreads(true, true);
        deactivate();
        plugin_->destroy(plugin_);
    }
}

void ClapPluginHost::destroyEarly()
{
    if (destroyed_) return;
    plugin_->destroy(plugin_);
    destroyed_ = true;
    active_ = false;
    processing_ = false;
}

bool ClapPluginHost::activate(double sampleRate, std::uint32_t maxFrames, std::uint32_t minFrames)
{
    if (active_) return true;
    active_ = plugin_->activate(plugin_, sampleRate, minFrames, maxFrames);
    if (active_) processing_ = plugin_->start_processing(plugin_);
    return active_;
}

void ClapPluginHost::deactivate()
{
    if (!active_) return;
    if (processing_) plugin_->stop_processing(plugin_);
    processing_ = false;
    plugin_->deactivate(plugin_);
    active_ = false;
}

void ClapPluginHost::setParameter(clap_id id, double value, std::uint32_t time)
{
    queued_.push_back(Queued{time, true, id, value, {}});
}

void ClapPluginHost::sendMidi(std::uint32_t time, std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    queued_.push_back(Queued{time, false, 0, 0.0, {status, data1, data2}});
}

void ClapPluginHost::buildEvents()
{
    std::stable_sort(queued_.begin(), queued_.end(), [](const Queued& a, const Queued& b) { return a.time < b.time; });
    paramEvents_.clear();
    midiEvents_.clear();
    inputList_.clear();
    paramEvents_.reserve(queued_.size());
    midiEvents_.reserve(queued_.size());
    for (const Queued& q : queued_) {
        if (q.isParameter) {
            clap_event_param_value_t event{};
            event.header = {sizeof event, q.time, kClapCoreEventSpaceId, CLAP_EVENT_PARAM_VALUE, 0};
            event.param_id = q.id;
            event.note_id = -1;
            event.port_index = -1;
            event.channel = -1;
            event.key = -1;
            event.value = q.value;
            paramEvents_.push_back(event);
            inputList_.push_back(&paramEvents_.back().header);
        } else {
            clap_event_midi_t event{};
            event.header = {sizeof event, q.time, kClapCoreEventSpaceId, CLAP_EVENT_MIDI, 0};
            event.port_index = 0;
            std::memcpy(event.data, q.midi, 3);
            midiEvents_.push_back(event);
            inputList_.push_back(&midiEvents_.back().header);
        }
    }
    queued_.clear();
}

namespace {

using EventPointers = std::vector<const clap_event_header_t*>;

clap_input_events_t makeInputList(const EventPointers& list)
{
    return clap_input_events_t{
        const_cast<EventPointers*>(&list),
        [](const clap_input_events_t* events) {
            return static_cast<std::uint32_t>(static_cast<const EventPointers*>(events->ctx)->size());
        },
        [](const clap_input_events_t* events, std::uint32_t index) -> const clap_event_header_t* {
            const auto& items = *static_cast<const EventPointers*>(events->ctx);
            return index < items.size() ? items[index] : nullptr;
        }};
}

clap_output_events_t makeOutputList(std::vector<ClapPluginHost::OutputEvent>& list)
{
    return clap_output_events_t{&list, [](const clap_output_events_t* events, const clap_event_header_t* event) {
                                    auto& items = *static_cast<std::vector<ClapPluginHost::OutputEvent>*>(events->ctx);
                                    if (event == nullptr) return false;
                                    ClapPluginHost::OutputEvent item{event->type, kClapInvalidId, 0.0, event->time};
                                    if (event->type == CLAP_EVENT_PARAM_VALUE) {
                                        const auto* value = reinterpret_cast<const clap_event_param_value_t*>(event);
                                        item.paramId = value->param_id;
                                        item.value = value->value;
                                    } else if (event->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ||
                                               event->type == CLAP_EVENT_PARAM_GESTURE_END) {
                                        item.paramId =
                                            reinterpret_cast<const clap_event_param_gesture_t*>(event)->param_id;
                                    }
                                    items.push_back(item);
                                    return true;
                                }};
}

}  // namespace

clap_process_status ClapPluginHost::process(float* const* inputs, float* const* outputs, std::uint32_t frames)
{
    buildEvents();
    Block block;
    block.inputs = inputs;
    block.outputs = outputs;
    block.frames = frames;
    block.events.swap(inputList_);
    const clap_process_status status = process(block).status;
    block.events.swap(inputList_);
    return status;
}

ClapPluginHost::BlockResult ClapPluginHost::process(const Block& block)
{
    const clap_input_events_t in = makeInputList(block.events);
    const clap_output_events_t out = makeOutputList(output_);
    clap_audio_buffer_t input{const_cast<float**>(block.inputs), nullptr, 2, 0, block.inputConstantMask};
    clap_audio_buffer_t output{const_cast<float**>(block.outputs), nullptr, 2, 0, 0};
    clap_process_t process{};
    process.frames_count = block.frames;
    process.steady_time = block.steadyTime;
    process.transport = block.transport;
    process.audio_inputs = &input;
    process.audio_outputs = &output;
    process.audio_inputs_count = 1;
    process.audio_outputs_count = 1;
    process.in_events = &in;
    process.out_events = &out;
    const clap_process_status status = plugin_->process(plugin_, &process);
    return {status, output.constant_mask};
}

void ClapPluginHost::flush()
{
    buildEvents();
    const clap_input_events_t in = makeInputList(inputList_);
    const clap_output_events_t out = makeOutputList(output_);
    const auto* params = extension<clap_plugin_params_t>(kClapExtParams);
    if (params) params->flush(plugin_, &in, &out);
}

void ClapPluginHost::flush(const std::vector<const clap_event_header_t*>& events)
{
    const clap_input_events_t in = makeInputList(events);
    const clap_output_events_t out = makeOutputList(output_);
    const auto* params = extension<clap_plugin_params_t>(kClapExtParams);
    if (params) params->flush(plugin_, &in, &out);
}

double ClapPluginHost::parameter(clap_id id) const
{
    const auto* params = extension<clap_plugin_params_t>(kClapExtParams);
    double value = 0.0;
    if (params == nullptr || !params->get_value(plugin_, id, &value)) return -1.0e30;
    return value;
}

std::vector<std::uint8_t> ClapPluginHost::saveState(std::uint64_t maxBytesPerWrite) const
{
    struct Writer {
        std::vector<std::uint8_t> bytes;
        std::uint64_t chunk;
    } writer{{}, std::max<std::uint64_t>(maxBytesPerWrite, 1)};
    std::vector<std::uint8_t>& bytes = writer.bytes;
    const clap_ostream_t stream{&writer, [](const clap_ostream_t* s, const void* buffer, std::uint64_t size) {
                                    auto& w = *static_cast<Writer*>(s->ctx);
                                    const auto* data = static_cast<const std::uint8_t*>(buffer);
                                    const std::uint64_t taken = std::min<std::uint64_t>(size, w.chunk);
                                    w.bytes.insert(w.bytes.end(), data, data + taken);
                                    return static_cast<std::int64_t>(taken);
                                }};
    const auto* state = extension<clap_plugin_state_t>(kClapExtState);
    if (state == nullptr || !state->save(plugin_, &stream)) return {};
    return bytes;
}

bool ClapPluginHost::loadState(const std::vector<std::uint8_t>& bytes, std::uint64_t maxBytesPerRead)
{
    struct Reader {
        const std::vector<std::uint8_t>* bytes;
        std::size_t position;
        std::uint64_t chunk;
    } reader{&bytes, 0, std::max<std::uint64_t>(maxBytesPerRead, 1)};
    const clap_istream_t stream{
        &reader, [](const clap_istream_t* s, void* buffer, std::uint64_t size) {
            auto& r = *static_cast<Reader*>(s->ctx);
            const std::uint64_t n = std::min({size, r.chunk, std::uint64_t{r.bytes->size() - r.position}});
            if (n > 0) std::memcpy(buffer, r.bytes->data() + r.position, n);
            r.position += n;
            return static_cast<std::int64_t>(n);
        }};
    const auto* state = extension<clap_plugin_state_t>(kClapExtState);
    return state != nullptr && state->load(plugin_, &stream);
}

std::uint32_t ClapPluginHost::latency() const
{
    const auto* latency = extension<clap_plugin_latency_t>(kClapExtLatency);
    return latency ? latency->get(plugin_) : 0;
}

namespace {

// What an indexer collects: the locations the provider declares and the presets of each.
struct Index {
    std::vector<std::pair<std::uint32_t, std::string>> locations;
    std::vector<ClapPluginHost::DiscoveredPreset> presets;
    std::uint32_t kind = 0;
    std::string error;
};

Index& indexOf(const clap_preset_discovery_indexer_t* indexer) { return *static_cast<Index*>(indexer->indexer_data); }

Index& indexOf(const clap_preset_discovery_metadata_receiver_t* receiver)
{
    return *static_cast<Index*>(receiver->receiver_data);
}

ClapPluginHost::DiscoveredPreset& current(const clap_preset_discovery_metadata_receiver_t* receiver)
{
    Index& index = indexOf(receiver);
    if (index.presets.empty()) {
        index.presets.emplace_back();
        index.presets.back().misuse = "metadata before begin_preset";
    }
    return index.presets.back();
}

clap_preset_discovery_metadata_receiver_t makeReceiver(Index& index)
{
    clap_preset_discovery_metadata_receiver_t receiver{};
    receiver.receiver_data = &index;
    receiver.on_error = [](const clap_preset_discovery_metadata_receiver_t* r, std::int32_t, const char* message) {
        indexOf(r).error = message ? message : "(no message)";
    };
    receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver_t* r, const char* name,
                               const char* key) {
        Index& index = indexOf(r);
        index.presets.push_back({index.kind, name ? name : "", key ? key : "", "", "", 0, ""});
        return true;
    };
    receiver.add_plugin_id = [](const clap_preset_discovery_metadata_receiver_t* r,
                                const clap_universal_plugin_id_t* id) {
        if (id && id->abi && id->id) current(r).pluginId = std::string(id->abi) + ":" + id->id;
    };
    receiver.set_soundpack_id = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    receiver.set_flags = [](const clap_preset_discovery_metadata_receiver_t* r, std::uint32_t flags) {
        current(r).flags = flags;
    };
    receiver.add_creator = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    receiver.set_description = [](const clap_preset_discovery_metadata_receiver_t* r, const char* text) {
        current(r).description = text ? text : "";
    };
    receiver.set_timestamps = [](const clap_preset_discovery_metadata_receiver_t*, clap_timestamp_t,
                                 clap_timestamp_t) {};
    receiver.add_feature = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    receiver.add_extra_info = [](const clap_preset_discovery_metadata_receiver_t*, const char*, const char*) {};
    return receiver;
}

clap_preset_discovery_indexer_t makeIndexer(Index& index)
{
    clap_preset_discovery_indexer_t indexer{};
    indexer.clap_version = kClapVersion;
    indexer.name = "lumenfold-test-host";
    indexer.vendor = "Corvanne";
    indexer.url = "";
    indexer.version = "1";
    indexer.indexer_data = &index;
    indexer.declare_filetype = [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_filetype_t*) {
        return true;
    };
    indexer.declare_location = [](const clap_preset_discovery_indexer_t* i,
                                  const clap_preset_discovery_location_t* location) {
        if (location == nullptr) return false;
        indexOf(i).locations.emplace_back(location->kind, location->location ? location->location : "");
        return true;
    };
    indexer.declare_soundpack = [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_soundpack_t*) {
        return true;
    };
    indexer.get_extension = [](const clap_preset_discovery_indexer_t*, const char*) -> const void* { return nullptr; };
    return indexer;
}

// Every location one provider declares, and the presets in each.
bool indexProvider(const clap_preset_discovery_provider_t& provider, Index& index)
{
    if (!provider.init(&provider)) {
        index.error = "provider init failed";
        return false;
    }
    const clap_preset_discovery_metadata_receiver_t receiver = makeReceiver(index);
    for (const auto& [kind, location] : index.locations) {
        index.kind = kind;
        const char* where = kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN ? nullptr : location.c_str();
        if (!provider.get_metadata(&provider, kind, where, &receiver)) {
            if (index.error.empty()) index.error = "get_metadata failed";
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<ClapPluginHost::DiscoveredPreset> ClapPluginHost::discoverPresets(const char* factoryId,
                                                                              std::string* error) const
{
    const auto* factory = static_cast<const clap_preset_discovery_factory_t*>(entry_->get_factory(factoryId));
    if (factory == nullptr) {
        if (error) *error = std::string("no factory ") + factoryId;
        return {};
    }
    std::vector<DiscoveredPreset> presets;
    for (std::uint32_t p = 0; p < factory->count(factory); ++p) {
        const clap_preset_discovery_provider_descriptor_t* descriptor = factory->get_descriptor(factory, p);
        Index index;
        const clap_preset_discovery_indexer_t indexer = makeIndexer(index);
        const clap_preset_discovery_provider_t* provider =
            descriptor ? factory->create(factory, &indexer, descriptor->id) : nullptr;
        if (provider == nullptr) {
            if (error) *error = "provider " + std::to_string(p) + " not created";
            return {};
        }
        const bool indexed = indexProvider(*provider, index);
        provider->destroy(provider);
        if (!indexed) {
            if (error) *error = index.error;
            return {};
        }
        presets.insert(presets.end(), index.presets.begin(), index.presets.end());
    }
    return presets;
}

bool ClapPluginHost::loadPreset(const std::string& loadKey)
{
    const auto* load = extension<clap_plugin_preset_load_t>(kClapExtPresetLoad);
    return load != nullptr &&
           load->from_location(plugin_, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, loadKey.c_str());
}

}  // namespace lfhost
