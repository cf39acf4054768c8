#include "tools/host/Lv2Host.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

namespace lfhost {

namespace {
constexpr std::uint32_t kAtomCapacity = 1 << 16;
constexpr std::uint8_t kUnwrittenByte = 0xee;  // what the notify buffer holds before a run
}

struct Lv2PluginHost::Impl {
    LilvWorld* world = nullptr;
    LilvInstance* instance = nullptr;
    const LilvPlugin* plugin = nullptr;
    std::mutex mapLock;
    std::map<std::string, LV2_URID> ids;
    std::vector<std::string> uris{""};
    LV2_URID_Map map{this, &Impl::mapUri};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[2] = {&mapFeature, nullptr};
    std::vector<float> controls;
    std::map<std::string, std::uint32_t> controlIndex;
    std::uint32_t portCount = 0;
    int audioIn[2] = {-1, -1};
    int audioOut[2] = {-1, -1};
    int atomIn = -1;
    int atomOut = -1;
    int latencyPort = -1;
    alignas(8) std::uint8_t inBuffer[kAtomCapacity];
    alignas(8) std::uint8_t outBuffer[kAtomCapacity];
    enum class Kind { Midi, Set, Get };
    struct Queued {
        std::uint32_t time;
        Kind kind;
        std::uint8_t midi[3];
        std::string property;
        float value;
    };
    std::vector<Queued> queued;
    std::vector<std::uint8_t> stateBlock;
    bool stateStored = false;

    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri)
    {
        auto* self = static_cast<Impl*>(handle);
        std::lock_guard<std::mutex> lock(self->mapLock);
        auto found = self->ids.find(uri);
        if (found != self->ids.end()) return found->second;
        const auto id = static_cast<LV2_URID>(self->uris.size());
        self->uris.emplace_back(uri);
        self->ids.emplace(uri, id);
        return id;
    }
    LV2_URID id(const char* uri) { return mapUri(this, uri); }
};

Lv2PluginHost::Lv2PluginHost() : impl_(std::make_unique<Impl>()) {}

Lv2PluginHost::~Lv2PluginHost()
{
    if (impl_->instance) {
        lilv_instance_deactivate(impl_->instance);
        lilv_instance_free(impl_->instance);
    }
    if (impl_->world) lilv_world_free(impl_->world);
}

std::unique_ptr<Lv2PluginHost> Lv2PluginHost::load(const std::string& bundleFolder, const std::string& pluginUri,
                                                   double sampleRate, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::unique_ptr<Lv2PluginHost>();
    };
    std::unique_ptr<Lv2PluginHost> host(new Lv2PluginHost());
    Impl& d = *host->impl_;
    d.world = lilv_world_new();
    // Only this bundle and the installed LV2 vocabularies, never other plug-ins.
    lilv_world_load_specifications(d.world);
    lilv_world_load_plugin_classes(d.world);
    const std::string folder = bundleFolder.back() == '/' ? bundleFolder : bundleFolder + "/";
    LilvNode* bundle = lilv_new_file_uri(d.world, nullptr, folder.c_str());
    lilv_world_load_bundle(d.world, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(d.world, pluginUri.c_str());
    d.plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(d.world), uri);
    lilv_node_free(uri);
    if (d.plugin == nullptr) return fail("no plug-in " + pluginUri + " in " + bundleFolder);
    d.instance = lilv_plugin_instantiate(d.plugin, sampleRate, d.features);
    if (d.instance == nullptr) return fail("instantiation failed");

    d.portCount = lilv_plugin_get_num_ports(d.plugin);
    d.controls.assign(d.portCount, 0.0f);
    LilvNode* audio = lilv_new_uri(d.world, LV2_CORE__AudioPort);
    LilvNode* control = lilv_new_uri(d.world, LV2_CORE__ControlPort);
    LilvNode* atom = lilv_new_uri(d.world, LV2_ATOM__AtomPort);
    LilvNode* input = lilv_new_uri(d.world, LV2_CORE__InputPort);
    std::vector<float> defaults(d.portCount);
    lilv_plugin_get_port_ranges_float(d.plugin, nullptr, nullptr, defaults.data());
    int audioInputs = 0;
    int audioOutputs = 0;
    for (std::uint32_t i = 0; i < d.portCount; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(d.plugin, i);
        const bool isInput = lilv_port_is_a(d.plugin, port, input);
        if (lilv_port_is_a(d.plugin, port, audio)) {
            if (isInput && audioInputs < 2) d.audioIn[audioInputs++] = static_cast<int>(i);
            if (!isInput && audioOutputs < 2) d.audioOut[audioOutputs++] = static_cast<int>(i);
        } else if (lilv_port_is_a(d.plugin, port, atom)) {
            (isInput ? d.atomIn : d.atomOut) = static_cast<int>(i);
            lilv_instance_connect_port(d.instance, i, isInput ? d.inBuffer : d.outBuffer);
        } else if (lilv_port_is_a(d.plugin, port, control)) {
            d.controls[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
            const char* symbol = lilv_node_as_string(lilv_port_get_symbol(d.plugin, port));
            d.controlIndex[symbol] = i;
            if (!isInput && std::strcmp(symbol, "latency") == 0) d.latencyPort = static_cast<int>(i);
            lilv_instance_connect_port(d.instance, i, &d.controls[i]);
        }
    }
    lilv_node_free(audio);
    lilv_node_free(control);
    lilv_node_free(atom);
    lilv_node_free(input);
    lilv_instance_activate(d.instance);
    return host;
}

void Lv2PluginHost::reactivate()
{
    lilv_instance_deactivate(impl_->instance);
    lilv_instance_activate(impl_->instance);
}

bool Lv2PluginHost::setControl(const std::string& symbol, float value)
{
    auto found = impl_->controlIndex.find(symbol);
    if (found == impl_->controlIndex.end()) return false;
    impl_->controls[found->second] = value;
    return true;
}

float Lv2PluginHost::control(const std::string& symbol) const
{
    auto found = impl_->controlIndex.find(symbol);
    return found == impl_->controlIndex.end() ? 0.0f : impl_->controls[found->second];
}

void Lv2PluginHost::setProperty(const std::string& uri, float value, std::uint32_t time)
{
    impl_->queued.push_back({time, Impl::Kind::Set, {}, uri, value});
}

void Lv2PluginHost::sendMidi(std::uint32_t time, std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    impl_->queued.push_back({time, Impl::Kind::Midi, {status, data1, data2}, {}, 0.0f});
}

void Lv2PluginHost::requestProperty(const std::string& uri, std::uint32_t time)
{
    impl_->queued.push_back({time, Impl::Kind::Get, {}, uri, 0.0f});
}

void Lv2PluginHost::requestAllProperties(std::uint32_t time)
{
    impl_->queued.push_back({time, Impl::Kind::Get, {}, {}, 0.0f});
}

void Lv2PluginHost::run(float* const* inputs, float* const* outputs, std::uint32_t frames)
{
    Impl& d = *impl_;
    std::stable_sort(d.queued.begin(), d.queued.end(), [](const auto& a, const auto& b) { return a.time < b.time; });
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &d.map);
    lv2_atom_forge_set_buffer(&forge, d.inBuffer, kAtomCapacity);
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    for (const auto& q : d.queued) {
        lv2_atom_forge_frame_time(&forge, q.time);
        if (q.kind == Impl::Kind::Midi) {
            lv2_atom_forge_atom(&forge, 3, d.id(LV2_MIDI__MidiEvent));
            lv2_atom_forge_write(&forge, q.midi, 3);
        } else {
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_object(&forge, &object, 0, d.id(q.kind == Impl::Kind::Set ? LV2_PATCH__Set : LV2_PATCH__Get));
            if (!q.property.empty()) {  // a patch:Get without one asks for every property
                lv2_atom_forge_key(&forge, d.id(LV2_PATCH__property));
                lv2_atom_forge_urid(&forge, d.id(q.property.c_str()));
            }
            if (q.kind == Impl::Kind::Set) {
                lv2_atom_forge_key(&forge, d.id(LV2_PATCH__value));
                lv2_atom_forge_float(&forge, q.value);
            }
            lv2_atom_forge_pop(&forge, &object);
        }
    }
    lv2_atom_forge_pop(&forge, &sequence);
    d.queued.clear();
    auto* out = reinterpret_cast<LV2_Atom_Sequence*>(d.outBuffer);
    std::memset(d.outBuffer, kUnwrittenByte, kAtomCapacity);
    out->atom.type = 0;
    out->atom.size = (notifyCapacity_ != 0 ? notifyCapacity_ : kAtomCapacity) - sizeof(LV2_Atom);
    for (int c = 0; c < 2; ++c) {
        lilv_instance_connect_port(d.instance, static_cast<std::uint32_t>(d.audioIn[c]), inputs[c]);
        lilv_instance_connect_port(d.instance, static_cast<std::uint32_t>(d.audioOut[c]), outputs[c]);
    }
    lilv_instance_run(d.instance, frames);
    readNotifications();
}

// Reads the notify sequence as a careful host does: every event must lie whole inside
// the sequence, and the sequence inside the room given.
void Lv2PluginHost::readNotifications()
{
    Impl& d = *impl_;
    const auto* out = reinterpret_cast<const LV2_Atom_Sequence*>(d.outBuffer);
    const std::uint32_t room = notifyCapacity_ != 0 ? notifyCapacity_ : kAtomCapacity;
    notified_.clear();
    notifyWellFormed_ = true;
    if (out->atom.type != d.id(LV2_ATOM__Sequence)) return;
    const std::uint32_t end = sizeof(LV2_Atom) + out->atom.size;
    notifyWellFormed_ = end <= room && out->atom.size >= sizeof(LV2_Atom_Sequence_Body);
    for (std::uint32_t at = sizeof(LV2_Atom_Sequence); notifyWellFormed_ && at < end;) {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(d.outBuffer + at);
        if (end - at < sizeof(LV2_Atom_Event) || end - at - sizeof(LV2_Atom_Event) < event->body.size) {
            notifyWellFormed_ = false;
            break;
        }
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        if (object->atom.type == d.id(LV2_ATOM__Object) && object->body.otype == d.id(LV2_PATCH__Set)) {
            lv2_atom_object_get(object, d.id(LV2_PATCH__property), &property, d.id(LV2_PATCH__value), &value, 0);
        }
        if (property && value && value->type == d.id(LV2_ATOM__Float)) {
            const LV2_URID which = reinterpret_cast<const LV2_Atom_URID*>(property)->body;
            notified_.emplace_back(which < d.uris.size() ? d.uris[which] : "",
                                   reinterpret_cast<const LV2_Atom_Float*>(value)->body);
            properties_[notified_.back().first] = notified_.back().second;
        }
        at += lv2_atom_pad_size(sizeof(LV2_Atom_Event) + event->body.size);
    }
}

float Lv2PluginHost::latency() const
{
    return impl_->latencyPort >= 0 ? impl_->controls[static_cast<std::size_t>(impl_->latencyPort)] : -1.0f;
}

std::vector<std::uint8_t> Lv2PluginHost::saveState()
{
    Impl& d = *impl_;
    const auto* state = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(d.instance, LV2_STATE__interface));
    if (state == nullptr) return {};
    d.stateBlock.clear();
    const auto store = [](LV2_State_Handle handle, std::uint32_t, const void* value, std::size_t size,
                          std::uint32_t, std::uint32_t) -> LV2_State_Status {
        auto& block = static_cast<Impl*>(handle)->stateBlock;
        const auto* bytes = static_cast<const std::uint8_t*>(value);
        block.assign(bytes, bytes + size);
        return LV2_STATE_SUCCESS;
    };
    if (state->save(lilv_instance_get_handle(d.instance), store, &d, LV2_STATE_IS_POD, nullptr) != LV2_STATE_SUCCESS) {
        return {};
    }
    return d.stateBlock;
}

bool Lv2PluginHost::restoreState(const std::vector<std::uint8_t>& block)
{
    Impl& d = *impl_;
    const auto* state = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(d.instance, LV2_STATE__interface));
    if (state == nullptr) return false;
    d.stateBlock = block;
    const auto retrieve = [](LV2_State_Handle handle, std::uint32_t, std::size_t* size, std::uint32_t* type,
                             std::uint32_t* flags) -> const void* {
        auto* self = static_cast<Impl*>(handle);
        *size = self->stateBlock.size();
        *type = self->id(LV2_ATOM__Chunk);
        *flags = LV2_STATE_IS_POD;
        return self->stateBlock.data();
    };
    return state->restore(lilv_instance_get_handle(d.instance), retrieve, &d, 0, nullptr) == LV2_STATE_SUCCESS;
}

std::vector<std::pair<std::string, std::string>> Lv2PluginHost::presets()
{
    Impl& d = *impl_;
    std::vector<std::pair<std::string, std::string>> found;
    LilvNode* presetClass = lilv_new_uri(d.world, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(d.world, LILV_NS_RDFS "label");
    LilvNodes* related = lilv_plugin_get_related(d.plugin, presetClass);
    LILV_FOREACH (nodes, i, related) {
        const LilvNode* preset = lilv_nodes_get(related, i);
        lilv_world_load_resource(d.world, preset);
        LilvNode* name = lilv_world_get(d.world, preset, label, nullptr);
        found.emplace_back(lilv_node_as_uri(preset), name ? lilv_node_as_string(name) : "");
        lilv_node_free(name);
    }
    lilv_nodes_free(related);
    lilv_node_free(label);
    lilv_node_free(presetClass);
    return found;
}

bool Lv2PluginHost::loadPreset(const std::string& presetUri)
{
    Impl& d = *impl_;
    LilvNode* preset = lilv_new_uri(d.world, presetUri.c_str());
    lilv_world_load_resource(d.world, preset);
    LilvState* state = lilv_state_new_from_world(d.world, &d.map, preset);
    lilv_node_free(preset);
    if (state == nullptr) return false;
    const auto setPort = [](const char* symbol, void* data, const void* value, std::uint32_t size, std::uint32_t type) {
        auto& self = *static_cast<Impl*>(data);
        const auto port = self.controlIndex.find(symbol);
        if (port == self.controlIndex.end() || size != sizeof(float) || type != self.id(LV2_ATOM__Float)) return;
        std::memcpy(&self.controls[port->second], value, sizeof(float));
    };
    lilv_state_restore(state, d.instance, setPort, &d, 0, d.features);
    lilv_state_free(state);
    return true;
}

}  // namespace lfhost
