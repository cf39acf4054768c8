// The LV2 binding: one plug-in (with state and patch parameters for the bin levels) and
// one X11 UI that opens the same editor on the plug-in instance. Both wrap a
// engine; the library exports only lv2_descriptor and lv2ui_descriptor.

#include "engine/instance/EngineEventSource.h"
#include "engine/instance/EngineListener.h"
#include "formats/HostedInstance.h"
#include "formats/LiveHandleTable.h"

#include "engine/vst/GuardedCall.h"
#include "engine/model/ParameterChangeRing.h"
#include "formats/lv2/Lv2Ports.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <atomic>
#include <bitset>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace lumenfold::lv2 {
namespace {

constexpr std::size_t kMaxInstances = 1024;  // live instances in one process

constexpr std::uint32_t padded(std::size_t bytes) { return static_cast<std::uint32_t>((bytes + 7) & ~std::size_t{7}); }
// One patch:Set on the notify port: its time, the object header, and two properties
// (the bin's URID, its value), each padded as the forge writes them.
constexpr std::uint32_t kPatchSetEventBytes =
    sizeof(std::int64_t) + sizeof(LV2_Atom_Object) +
    2 * (2 * sizeof(std::uint32_t) + padded(sizeof(LV2_Atom_Float)));
static_assert(sizeof(LV2_Atom_URID) == sizeof(LV2_Atom_Float));

struct Urids {
    LV2_URID atomBlank, atomObject, atomChunk, atomFloat, atomUrid, atomSequence, midiEvent, patchSet, patchGet,
        patchProperty, patchValue, state, binFirst;
};

class Lv2Plugin;

// The control port's events in order, for the engine.
class Lv2Events final : public EngineEventSource {
public:
    Lv2Events(Lv2Plugin& plugin, const LV2_Atom_Sequence* sequence)
        : plugin_(plugin), sequence_(sequence), current_(sequence ? lv2_atom_sequence_begin(&sequence->body) : nullptr)
    {
    }

    bool next(EngineEvent& event) override;

private:
    Lv2Plugin& plugin_;
    const LV2_Atom_Sequence* sequence_;
    const LV2_Atom_Event* current_;
};

class Lv2Plugin final : public EngineListener {
public:
    Lv2Plugin(LV2_URID_Map* map) : map_(map)
    {
        auto uri = [&](const char* text) { return map->map(map->handle, text); };
        urids_.atomBlank = uri(LV2_ATOM__Blank);
        urids_.atomObject = uri(LV2_ATOM__Object);
        urids_.atomChunk = uri(LV2_ATOM__Chunk);
        urids_.atomFloat = uri(LV2_ATOM__Float);
        urids_.atomUrid = uri(LV2_ATOM__URID);
        urids_.atomSequence = uri(LV2_ATOM__Sequence);
        urids_.midiEvent = uri(LV2_MIDI__MidiEvent);
        urids_.patchSet = uri(LV2_PATCH__Set);
        urids_.patchGet = uri(LV2_PATCH__Get);
        urids_.patchProperty = uri(LV2_PATCH__property);
        urids_.patchValue = uri(LV2_PATCH__value);
        urids_.state = uri(kStateUri);
        // Bin URIDs are mapped once here so that run() never maps.
        for (int k = 0; k < kBinCount; ++k) {
            binUrids_[k] = uri((std::string(kBinUriPrefix) + std::to_string(k)).c_str());
        }
        lv2_atom_forge_init(&forge_, map);
    }

    bool build(double rate)
    {
        engine_ = HostedInstance::create(*this);
        if (!engine_) return false;
        engine_->configure(rate, 0);
        for (int id = 0; id < kControlParameterCount; ++id) lastPortValue_[id] = engine_->plainValue(id);
        return true;
    }

    PluginEngine& engine() { return *engine_; }

    void connect(std::uint32_t port, void* data)
    {
        if (port >= static_cast<std::uint32_t>(kPortCount)) {
            std::fprintf(stderr, "Lumenfold: LV2 port %u does not exist; not connected\n", port);
            return;
        }
        ports_[port] = data;
    }

    void activate()
    {
        if (active_.exchange(true)) {
            std::fputs("Lumenfold: LV2 activate called while active; ignored\n", stderr);
            return;
        }
        engine_->setProcessing(true);
    }
    void deactivate()
    {
        if (!active_.exchange(false)) {
            std::fputs("Lumenfold: LV2 deactivate called while inactive; ignored\n", stderr);
            return;
        }
        engine_->setProcessing(false);
    }

    // Called on: the audio thread. No allocation, no I/O. Run while inactive: silence.
    void run(std::uint32_t frames)
    {
        float* in[2] = {static_cast<float*>(ports_[kAudioIn1]), static_cast<float*>(ports_[kAudioIn2])};
        float* out[2] = {static_cast<float*>(ports_[kAudioOut1]), static_cast<float*>(ports_[kAudioOut2])};
        if (!in[0] || !in[1] || !out[0] || !out[1]) return;
        if (!active_.load(std::memory_order_relaxed)) {
            for (float* channel : out) std::fill(channel, channel + frames, 0.0f);
            startNotify();
            endNotify();
            return;
        }
        for (int id = 0; id < kControlParameterCount; ++id) {
            const auto* port = static_cast<const float*>(ports_[kFirstParameterPort + id]);
            if (port != nullptr && *port != lastPortValue_[id] && std::isfinite(*port)) {
                lastPortValue_[id] = *port;
                engine_->setPlainValue(id, *port);
            }
        }
        startNotify();
        sendHeldBins();
        Lv2Events events(*this, static_cast<const LV2_Atom_Sequence*>(ports_[kControlIn]));
        engine_->process(in, out, static_cast<int>(std::min<std::uint32_t>(frames, 0x7fffffffu)), events);
        if (auto* latency = static_cast<float*>(ports_[kLatencyOut])) {
            *latency = static_cast<float>(engine_->latencySamples());
        }
        changes_.drain([&](const ParameterChangeRing::Change& change) {
            if (change.kind == ParameterChangeRing::Kind::Value && change.id >= kBinLevelBase) sendOrHoldBin(change.id);
        });
        endNotify();
    }

    // One event of the control port for the engine: MIDI, or a bin's new value
    // (patch:Set). A patch:Get is answered here, at its place in the block. False for
    // anything else.
    bool translate(const LV2_Atom_Event& event, EngineEvent& out)
    {
        const auto time = static_cast<std::uint32_t>(std::clamp<std::int64_t>(event.time.frames, 0, 0x7fffffff));
        if (event.body.type == urids_.midiEvent) {
            const auto* bytes = static_cast<const std::uint8_t*>(LV2_ATOM_BODY_CONST(&event.body));
            if (event.body.size < 1 || event.body.size > 3 || bytes[0] < 0x80 || bytes[0] >= 0xf0) return false;
            out = EngineEvent::midiMessage(time, bytes, static_cast<int>(event.body.size));
            return true;
        }
        if (!lv2_atom_forge_is_object_type(&forge_, event.body.type)) return false;
        return takePatch(reinterpret_cast<const LV2_Atom_Object*>(&event.body), time, out);
    }

    // EngineListener. Control ports cannot be written by a plug-in: only the bin levels
    // travel back (patch:Set on the notify port).
    void parameterEdited(int id) override
    {
        if (id >= kBinLevelBase) changes_.push(ParameterChangeRing::Kind::Value, id);
    }
    void gestureBegan(int) override {}
    void gestureEnded(int) override {}
    void latencyChanged() override {}  // the latency port carries it

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle)
    {
        if (store == nullptr) return LV2_STATE_ERR_UNKNOWN;
        const void* data = nullptr;
        const std::size_t size = engine_->saveState(&data);
        return store(handle, urids_.state, data, size, urids_.atomChunk, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    }

    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
    {
        if (retrieve == nullptr) return LV2_STATE_ERR_UNKNOWN;
        std::size_t size = 0;
        std::uint32_t type = 0;
        std::uint32_t flags = 0;
        const void* data = retrieve(handle, urids_.state, &size, &type, &flags);
        if (data == nullptr) {
            return LV2_STATE_SUCCESS;  // a preset of port values only: the ports carry it
        }
        if (type != urids_.atomChunk) {
            std::fputs("Lumenfold: LV2 state block of a foreign type; nothing loaded\n", stdout);
            return LV2_STATE_ERR_BAD_TYPE;
        }
        if (!engine_->loadState(data, size)) return LV2_STATE_ERR_BAD_TYPE;
        // The stored ports' values are the state's: a later port value different from
        // them is a new host change.
        for (int id = 0; id < kControlParameterCount; ++id) lastPortValue_[id] = engine_->plainValue(id);
        // The host still holds the bin values from before the restore: the next runs send
        // them all. Restore never runs at the same time as run (it is in the instantiation
        // threading class), so it may mark the run's own held bins.
        holdAllBins();
        return LV2_STATE_SUCCESS;
    }

private:
    int binOf(LV2_URID property) const
    {
        for (int k = 0; k < kBinCount; ++k) {
            if (binUrids_[k] == property) return kBinLevelBase + k;
        }
        return -1;
    }

    // A patch:Set of a bin becomes its value event (true); a patch:Get is answered.
    bool takePatch(const LV2_Atom_Object* object, std::uint32_t time, EngineEvent& out)
    {
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, urids_.patchProperty, &property, urids_.patchValue, &value, 0);
        if (object->body.otype == urids_.patchGet && property == nullptr) {
            holdAllBins();  // a request for every property: hosts read the bin values this way
            sendHeldBins();
            return false;
        }
        if (property == nullptr || property->type != urids_.atomUrid) return false;
        const int id = binOf(reinterpret_cast<const LV2_Atom_URID*>(property)->body);
        if (id < 0) return false;
        if (object->body.otype == urids_.patchSet) {
            if (value == nullptr || value->type != urids_.atomFloat) return false;
            out = EngineEvent::parameterValue(time, id, reinterpret_cast<const LV2_Atom_Float*>(value)->body);
            return true;
        }
        if (object->body.otype == urids_.patchGet) sendOrHoldBin(id);
        return false;
    }

    void startNotify()
    {
        notifyOpen_ = false;
        auto* sequence = static_cast<LV2_Atom_Sequence*>(ports_[kNotifyOut]);
        if (sequence == nullptr) return;
        const std::uint32_t capacity = sequence->atom.size;
        lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<std::uint8_t*>(sequence), capacity);
        notifyOpen_ = lv2_atom_forge_sequence_head(&forge_, &notifyFrame_, 0) != 0;
    }

    // A bin the notify port had no room for is sent at the start of the next run; its
    // value is read then, so the host still gets the latest.
    void sendOrHoldBin(int id)
    {
        if (!sendBin(id)) held_.set(static_cast<std::size_t>(id - kBinLevelBase));
    }

    // Every bin value is sent again, as many per run as the notify port holds.
    void holdAllBins() { held_.set(); }

    void sendHeldBins()
    {
        if (held_.none()) return;
        for (std::size_t k = held_._Find_first(); k < held_.size(); k = held_._Find_next(k)) {
            if (!sendBin(kBinLevelBase + static_cast<int>(k))) return;
            held_.reset(k);
        }
    }

    // The whole event or nothing: the host reads every event the sequence holds, and a
    // part of one would make it read past the end.
    bool sendBin(int id)
    {
        if (!notifyOpen_ || forge_.size - forge_.offset < kPatchSetEventBytes) return false;
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_frame_time(&forge_, 0);
        lv2_atom_forge_object(&forge_, &frame, 0, urids_.patchSet);
        lv2_atom_forge_key(&forge_, urids_.patchProperty);
        lv2_atom_forge_urid(&forge_, binUrids_[id - kBinLevelBase]);
        lv2_atom_forge_key(&forge_, urids_.patchValue);
        lv2_atom_forge_float(&forge_, engine_->plainValue(id));
        lv2_atom_forge_pop(&forge_, &frame);
        return true;
    }

    void endNotify()
    {
        if (notifyOpen_) lv2_atom_forge_pop(&forge_, &notifyFrame_);
    }

    LV2_URID_Map* map_;
    Urids urids_{};
    LV2_URID binUrids_[kBinCount] = {};
    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame notifyFrame_{};
    bool notifyOpen_ = false;
    void* ports_[kPortCount] = {};
    float lastPortValue_[kControlParameterCount] = {};
    ParameterChangeRing changes_;
    // Bins still to send on the notify port. Written by run() and by restore(), never at
    // the same time.
    std::bitset<kBinCount> held_;
    std::atomic<bool> active_{false};
    PluginEnginePointer engine_;
};



bool Lv2Events::next(EngineEvent& event)
{
    while (sequence_ != nullptr && !lv2_atom_sequence_is_end(&sequence_->body, sequence_->atom.size, current_)) {
        const LV2_Atom_Event* record = current_;
        current_ = lv2_atom_sequence_next(current_);
        if (plugin_.translate(*record, event)) return true;
    }
    return false;
}

// What the host holds as the instance's handle: a slot of the table, never freed.
struct alignas(8) HandleRecord {
    std::uint64_t unused;
};
LiveHandleTable<HandleRecord, Lv2Plugin, kMaxInstances> liveHandles;
// Held by every UI call and by cleanup while it takes the instance off the table, so
// that no UI call is inside an instance the host is cleaning up.
std::mutex editorLock;

// The live instance behind a handle, or null (with one line naming the entry) for a
// handle that is not ours or was cleaned up.
Lv2Plugin* from(LV2_Handle handle, const char* entry)
{
    Lv2Plugin* plugin = liveHandles.owner(handle);
    if (plugin == nullptr && entry != nullptr) {
        std::fprintf(stderr, "Lumenfold: LV2 %s called with an instance that is not ours or cleaned up\n", entry);
    }
    return plugin;
}

template <typename Result, typename Call>
Result onLive(LV2_Handle handle, const char* entry, Result safeAnswer, Call&& body)
{
    Lv2Plugin* plugin = from(handle, entry);
    if (plugin == nullptr) return safeAnswer;
    return guarded("LV2", entry, safeAnswer, [&] { return body(*plugin); });
}

// Called on: the host's instantiating thread only.
LV2_URID_Map& fallbackMap()
{
    static std::mutex lock;
    static std::map<std::string, LV2_URID> ids;
    static LV2_URID_Map map{nullptr, [](LV2_URID_Map_Handle, const char* uri) -> LV2_URID {
                                std::lock_guard<std::mutex> guard(lock);
                                return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
                            }};
    return map;
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    LV2_URID_Map* map = nullptr;
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
        if (features[i]->URI != nullptr && std::strcmp(features[i]->URI, LV2_URID__map) == 0) {
            map = static_cast<LV2_URID_Map*>(features[i]->data);
        }
    }
    if (map == nullptr || map->map == nullptr) {
        // Hosts without a map (lv2apply) cannot send atoms either: a map of our own gives
        // the instance its identifiers, and audio, ports and state work as usual.
        std::fputs("Lumenfold: LV2 host offers no urid:map; MIDI and patch messages unavailable\n", stderr);
        map = &fallbackMap();
    }
    if (!std::isfinite(rate) || rate <= 0.0 || rate > 1.0e7) {
        std::fprintf(stderr, "Lumenfold: LV2 sample rate %g refused; no instance\n", rate);
        return nullptr;
    }
    return guarded("LV2", "instantiate", static_cast<LV2_Handle>(nullptr), [&]() -> LV2_Handle {
        auto plugin = std::make_unique<Lv2Plugin>(map);
        if (!plugin->build(rate)) return nullptr;
        HandleRecord* handle = liveHandles.acquire(plugin.get());
        if (handle == nullptr) {
            std::fprintf(stderr, "Lumenfold: LV2 already has %zu instances in this process; no more\n", kMaxInstances);
            return nullptr;
        }
        plugin.release();
        return handle;
    });
}

const void* extensionData(const char* uri)
{
    static const LV2_State_Interface state{
        [](LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, std::uint32_t,
           const LV2_Feature* const*) {
            return onLive(h, "state save", LV2_STATE_ERR_UNKNOWN, [&](Lv2Plugin& p) { return p.save(store, handle); });
        },
        [](LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, std::uint32_t,
           const LV2_Feature* const*) {
            return onLive(h, "state restore", LV2_STATE_ERR_UNKNOWN,
                          [&](Lv2Plugin& p) { return p.restore(retrieve, handle); });
        },
    };
    if (uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0) return &state;
    return nullptr;
}

const LV2_Descriptor kDescriptor{
    kPluginUri,
    instantiate,
    [](LV2_Handle h, std::uint32_t port, void* data) {
        onLive(h, "connect_port", 0, [&](Lv2Plugin& p) { return p.connect(port, data), 0; });
    },
    [](LV2_Handle h) { onLive(h, "activate", 0, [](Lv2Plugin& p) { return p.activate(), 0; }); },
    [](LV2_Handle h, std::uint32_t frames) {
        // The audio thread prints nothing: a bad handle just gets no work done.
        if (Lv2Plugin* plugin = from(h, nullptr)) guarded("LV2", "run", 0, [&] { return plugin->run(frames), 0; });
    },
    [](LV2_Handle h) { onLive(h, "deactivate", 0, [](Lv2Plugin& p) { return p.deactivate(), 0; }); },
    [](LV2_Handle h) {
        Lv2Plugin* plugin = from(h, "cleanup");
        if (plugin == nullptr) return;
        {
            std::lock_guard<std::mutex> guard(editorLock);
            liveHandles.release(h);
        }
        // The editor closes with its instance; a UI still open finds no instance from now on.
        guarded("LV2", "cleanup", 0, [&] {
            delete plugin;
            return 0;
        });
    },
    extensionData,
};

// The UI: the plug-in's own editor, opened on the instance inside the host's window.
struct Lv2Ui {
    LV2_Handle handle;
    std::uint32_t generation;  // of the instance the UI was opened on
};

// The UI's instance while it lives; null once the host has cleaned it up. Called with
// editorLock held.
Lv2Plugin* pluginOf(const Lv2Ui& ui)
{
    return liveHandles.generation(ui.handle) == ui.generation ? liveHandles.owner(ui.handle) : nullptr;
}

LV2UI_Handle uiInstantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function,
                           LV2UI_Controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    void* parent = nullptr;
    LV2_Handle instance = nullptr;
    LV2UI_Resize* resize = nullptr;
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
        const char* uri = features[i]->URI;
        if (uri == nullptr) continue;
        if (std::strcmp(uri, LV2_UI__parent) == 0) parent = features[i]->data;
        if (std::strcmp(uri, LV2_INSTANCE_ACCESS_URI) == 0) instance = features[i]->data;
        if (std::strcmp(uri, LV2_UI__resize) == 0) resize = static_cast<LV2UI_Resize*>(features[i]->data);
    }
    if (pluginUri == nullptr || std::strcmp(pluginUri, kPluginUri) != 0 || parent == nullptr || instance == nullptr) {
        std::fputs("Lumenfold: LV2 UI needs our plug-in, ui:parent and instance-access; no editor\n", stderr);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(editorLock);
    Lv2Plugin* plugin = from(instance, "UI instantiate");
    if (plugin == nullptr) return nullptr;
    return guarded("LV2", "UI instantiate", static_cast<LV2UI_Handle>(nullptr), [&]() -> LV2UI_Handle {
        if (!plugin->engine().openEditor(reinterpret_cast<unsigned long>(parent))) return nullptr;
        int width = 0;
        int height = 0;
        if (resize && resize->ui_resize && plugin->engine().editorSize(&width, &height)) {
            resize->ui_resize(resize->handle, width, height);
        }
        if (widget) *widget = parent;
        return new Lv2Ui{instance, liveHandles.generation(instance)};
    });
}

int uiIdle(LV2UI_Handle handle)
{
    if (handle == nullptr) return 1;
    std::lock_guard<std::mutex> guard(editorLock);
    Lv2Plugin* plugin = pluginOf(*static_cast<Lv2Ui*>(handle));
    if (plugin == nullptr) return 1;  // the editor closed with its instance
    return guarded("LV2", "UI idle", 1, [&] {
        plugin->engine().idleEditor();
        return 0;
    });
}

const void* uiExtensionData(const char* uri)
{
    static const LV2UI_Idle_Interface idle{uiIdle};
    if (uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idle;
    return nullptr;
}

const LV2UI_Descriptor kUiDescriptor{
    kUiUri,
    uiInstantiate,
    [](LV2UI_Handle handle) {
        std::lock_guard<std::mutex> guard(editorLock);
        guarded("LV2", "UI cleanup", 0, [&] {
            if (auto* ui = static_cast<Lv2Ui*>(handle)) {
                if (Lv2Plugin* plugin = pluginOf(*ui)) plugin->engine().closeEditor();
                delete ui;
            }
            return 0;
        });
    },
    nullptr,  // no port events: the editor reads the instance itself
    uiExtensionData,
};

}  // namespace
}  // namespace lumenfold::lv2

extern "C" {

__attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(std::uint32_t index)
{
    return index == 0 ? &lumenfold::lv2::kDescriptor : nullptr;
}

__attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index)
{
    return index == 0 ? &lumenfold::lv2::kUiDescriptor : nullptr;
}

}  // extern "C"
