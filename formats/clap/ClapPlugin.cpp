#include "formats/clap/ClapPlugin.h"

#include "engine/vst/GuardedCall.h"

#include "engine/instance/EngineEventSource.h"
#include "engine/instance/EngineListener.h"
#include "formats/HostedInstance.h"
#include "formats/clap/ClapPresetDiscovery.h"
#include "formats/LiveHandleTable.h"
#include "engine/model/ParameterChangeRing.h"
#include "engine/model/ParameterTable.h"
#include "Version.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace lumenfold::clap {
namespace {

constexpr std::size_t kMaxPlugins = 1024;            // live plug-ins in one process
constexpr std::uint32_t kEditorIdleMs = 40;          // the editor's idle while the host drives it
constexpr std::size_t kMaxStateBytes = 1 << 20;      // far above any state of ours

const char* const kFeatures[] = {"audio-effect", "stereo", "analyzer", nullptr};

const clap_plugin_descriptor_t kDescriptor{
    kClapVersion,
    "com.corvanne.lumenfold",
    "Lumenfold",
    "Corvanne",
    "",
    "",
    "",
    QN::version::kText,
    "Spectral effect: 2049 automatable bin levels, Lua scripts and OSC control",
    kFeatures,
};

// Problems found on the audio thread are printed later on the main thread.
enum AudioProblem : std::uint32_t {
    kBadProcessRecord = 1u << 0,
    kBadAudioBuffers = 1u << 1,
    kMidiDropped = 1u << 2,
    kBadEvent = 1u << 3,
};

// True on the thread that runs this record's process or flush: changes made there are
// delivered at its end, so no flush is requested from it.
thread_local bool deliveringOnThisThread = false;

const char* moduleOf(int id)
{
    if (id >= kBinLevelBase) return "Bins";
    if (id >= ParameterId::ViewXAxis && id <= ParameterId::ViewSmoothing) return "View";
    if (id >= ParameterId::ScriptIndex && id <= ParameterId::Scripted4) return "Script";
    return "Main";
}

bool isStepped(const ParameterInfo& row)
{
    return row.unit == ParameterUnit::Indexed || row.unit == ParameterUnit::Boolean;
}

void copyName(char* destination, std::size_t capacity, const char* text)
{
    std::snprintf(destination, capacity, "%s", text);
}

bool guiApiSupported(const char* api, bool floating)
{
    return api != nullptr && std::strcmp(api, kClapWindowApiX11) == 0 && !floating;
}

// The notes the host started with an id, kept on the audio thread without allocating: an
// end that names its note by id alone finds the note's channel and key here. The oldest
// entry makes room for a new one.
class NotesById {
public:
    void started(std::int32_t id, std::int16_t channel, std::int16_t key)
    {
        if (id < 0) return;
        for (Slot& slot : slots_) {
            if (slot.id == id) {
                slot = {id, channel, key};
                return;
            }
        }
        slots_[next_] = {id, channel, key};
        next_ = (next_ + 1) % slots_.size();
    }
    // Fills the end's open channel and key from the note its id names, which then ends;
    // false when no started note matches it.
    bool complete(clap_event_note_t& end)
    {
        for (Slot& slot : slots_) {
            if (slot.id != end.note_id || (end.channel >= 0 && end.channel != slot.channel) ||
                (end.key >= 0 && end.key != slot.key))
                continue;
            end.channel = slot.channel;
            end.key = slot.key;
            slot.id = -1;
            return true;
        }
        return false;
    }
    void clear() { slots_.fill(Slot{}); }

private:
    struct Slot {
        std::int32_t id = -1;
        std::int16_t channel = 0;
        std::int16_t key = 0;
    };
    std::array<Slot, 128> slots_{};
    std::size_t next_ = 0;
};

class ClapPlugin;
// The records hosts hold: a record stays readable after destroy, so that a late call
// through it finds no plug-in instead of freed memory.
LiveHandleTable<clap_plugin_t, ClapPlugin, kMaxPlugins> liveRecords;

// A host block's events as the engine takes them: parameter values, MIDI, and notes as
// MIDI. Records of another space or of kinds the plug-in does not use are passed over;
// malformed ones are noted for the main thread's report.
class ClapEvents final : public EngineEventSource {
public:
    enum class Take { Everything, ValuesOnly };

    ClapEvents(ClapPlugin& plugin, const clap_input_events_t* in, Take take)
        : plugin_(plugin), in_(in), count_(in && in->size && in->get ? in->size(in) : 0), take_(take)
    {
    }

    bool next(EngineEvent& event) override;
    void refused(const EngineEvent& event) override;

private:
    enum class NoteOutcome { Message, NoSuchNote, Malformed };
    bool translate(const clap_event_header_t& header, EngineEvent& event);
    NoteOutcome translateNote(const clap_event_header_t& header, EngineEvent& event);
    static EngineEvent noteMessage(const clap_event_note_t& note, int channel);

    ClapPlugin& plugin_;
    const clap_input_events_t* in_;
    std::uint32_t count_;
    std::uint32_t index_ = 0;
    Take take_;
    // A note end for every channel (channel -1) goes out one channel per call.
    clap_event_note_t allChannelsEnd_{};
    int nextChannel_ = 16;
};

class ClapPlugin final : public EngineListener {
public:
    explicit ClapPlugin(const clap_host_t* host);

    const clap_plugin_t* record() const { return record_; }

    // EngineListener: any thread.
    void parameterEdited(int id) override { queueChange(ParameterChangeRing::Kind::Value, id); }
    void gestureBegan(int id) override { queueChange(ParameterChangeRing::Kind::GestureBegin, id); }
    void gestureEnded(int id) override { queueChange(ParameterChangeRing::Kind::GestureEnd, id); }
    void latencyChanged() override
    {
        // The host may only take a new latency while the plug-in is deactivated.
        if (active_.load() && host_->request_restart != nullptr) {
            host_->request_restart(host_);
        }
    }

    // Finds the plug-in behind a record and runs body on it guarded; a record that is not
    // ours (or destroyed) gets the safe answer and, off the audio thread, one line.
    template <typename Result, typename Call>
    static Result call(const clap_plugin_t* p, const char* entry, Result safeAnswer, Call&& body)
    {
        ClapPlugin* self = from(p, entry);
        if (self == nullptr) return safeAnswer;
        return guarded("CLAP", entry, safeAnswer, [&] { return body(*self); });
    }

    void noteAudioProblem(std::uint32_t problem)
    {
        if ((audioProblems_.fetch_or(problem) & problem) == 0 && host_->request_callback) {
            host_->request_callback(host_);
        }
    }

    // The plug-in's entries, one per host call: the tables below point at them.
    bool init()
    {
        if (engine_) {
            std::fputs("Lumenfold: CLAP init called twice; ignored\n", stderr);
            return false;
        }
        if (!onMainThread("init")) return false;
        threadCheck_ = hostExtension<clap_host_thread_check_t>(kClapExtThreadCheck);
        hostParams_ = hostExtension<clap_host_params_t>(kClapExtParams);
        hostLatency_ = hostExtension<clap_host_latency_t>(kClapExtLatency);
        hostState_ = hostExtension<clap_host_state_t>(kClapExtState);
        hostTimers_ = hostExtension<clap_host_timer_support_t>(kClapExtTimerSupport);
        hostPresetLoad_ = hostExtension<clap_host_preset_load_t>(kClapExtPresetLoad);
        if (hostPresetLoad_ == nullptr) {
            hostPresetLoad_ = hostExtension<clap_host_preset_load_t>(kClapExtPresetLoadCompat);
        }
        engine_ = HostedInstance::create(*this);
        if (!engine_) return false;
        reportedLatency_ = static_cast<std::uint32_t>(engine_->latencySamples());
        return true;
    }

    // The record goes off the table before the plug-in is freed, so a late call through it
    // finds nothing. A host may destroy us with the editor still open: its timer goes too.
    void destroy()
    {
        if (!onMainThread("destroy")) return;
        if (guiCreated_) guarded("CLAP", "destroy", 0, [&] { return guiDestroy(), 0; });
        liveRecords.release(record_);
        delete this;
    }

    bool activate(double rate, std::uint32_t minFrames, std::uint32_t maxFrames)
    {
        if (!needsInstance("activate") || !onMainThread("activate")) return false;
        if (active_.load()) {
            std::fputs("Lumenfold: CLAP activate called while active; ignored\n", stderr);
            return false;
        }
        if (!std::isfinite(rate) || rate <= 0.0 || rate > 1.0e7 || maxFrames == 0 || minFrames > maxFrames ||
            maxFrames > 0x7fffffffu) {
            std::fprintf(stderr, "Lumenfold: CLAP activate with sample rate %g and frames %u..%u refused\n", rate,
                         minFrames, maxFrames);
            return false;
        }
        engine_->configure(rate, static_cast<int>(maxFrames));
        notesById_.clear();
        engine_->setProcessing(true);
        // The host hears of a new latency while it activates us, the one time it may.
        const auto latency = static_cast<std::uint32_t>(engine_->latencySamples());
        if (latency != reportedLatency_) {
            reportedLatency_ = latency;
            if (hostLatency_ && hostLatency_->changed) hostLatency_->changed(host_);
        }
        active_.store(true);
        return true;
    }

    void deactivate()
    {
        if (!needsInstance("deactivate") || !onMainThread("deactivate")) return;
        if (!active_.load()) {
            std::fputs("Lumenfold: CLAP deactivate called while inactive; ignored\n", stderr);
            return;
        }
        engine_->setProcessing(false);
        active_.store(false);
    }

    bool startProcessing()
    {
        if (!active_.load()) {
            std::fputs("Lumenfold: CLAP start_processing called while inactive; refused\n", stderr);
            return false;
        }
        return onAudioThread("start_processing");
    }

    void stopProcessing()
    {
        if (!active_.load()) std::fputs("Lumenfold: CLAP stop_processing called while inactive\n", stderr);
    }

    // Called on: the audio thread. The next process starts as a fresh instance would.
    void reset()
    {
        if (engine_) engine_->reset();
        notesById_.clear();
    }

    // Called on: the audio thread.
    NotesById& notesById() { return notesById_; }

    // Called on: the audio thread. No allocation, no I/O: problems are noted and printed on
    // the main thread.
    clap_process_status process(const clap_process_t* process)
    {
        if (!active_.load(std::memory_order_relaxed) || !engine_) return CLAP_PROCESS_ERROR;
        if (threadCheck_ && threadCheck_->is_audio_thread && !threadCheck_->is_audio_thread(host_)) {
            std::fputs("Lumenfold: CLAP process called off the audio thread; ignored\n", stderr);
            return CLAP_PROCESS_ERROR;
        }
        if (process == nullptr) {
            noteAudioProblem(kBadProcessRecord);
            return CLAP_PROCESS_ERROR;
        }
        const std::uint32_t frames = std::min<std::uint32_t>(process->frames_count, 0x7fffffffu);
        float* inputs[2];
        float* outputs[2];
        if (!stereoBuffers(process->audio_outputs, process->audio_outputs_count, outputs)) {
            noteAudioProblem(kBadAudioBuffers);
            return CLAP_PROCESS_ERROR;
        }
        if (!stereoBuffers(process->audio_inputs, process->audio_inputs_count, inputs)) {
            noteAudioProblem(kBadAudioBuffers);
            for (float* channel : outputs) std::fill(channel, channel + frames, 0.0f);
            return CLAP_PROCESS_ERROR;
        }
        deliveringOnThisThread = true;
        ClapEvents events(*this, process->in_events, ClapEvents::Take::Everything);
        engine_->process(inputs, outputs, static_cast<int>(frames), events);
        deliverChanges(process->out_events);
        deliveringOnThisThread = false;
        return CLAP_PROCESS_CONTINUE;
    }

    const void* extension(const char* id);

    void mainThreadCallback() { reportAudioProblems(); }

    std::uint32_t audioPortCount(bool) { return 1; }
    bool audioPortInfo(std::uint32_t index, bool isInput, clap_audio_port_info_t* info)
    {
        if (index != 0 || info == nullptr) {
            std::fprintf(stderr, "Lumenfold: CLAP audio port %u refused\n", index);
            return false;
        }
        *info = clap_audio_port_info_t{};
        info->id = 0;
        copyName(info->name, sizeof info->name, isInput ? "Input" : "Output");
        info->flags = CLAP_AUDIO_PORT_IS_MAIN;
        info->channel_count = 2;
        info->port_type = kClapPortStereo;
        info->in_place_pair = 0;
        return true;
    }

    std::uint32_t notePortCount(bool isInput) { return isInput ? 1 : 0; }
    bool notePortInfo(std::uint32_t index, bool isInput, clap_note_port_info_t* info)
    {
        if (index != 0 || !isInput || info == nullptr) {
            std::fprintf(stderr, "Lumenfold: CLAP note port %u refused\n", index);
            return false;
        }
        *info = clap_note_port_info_t{};
        info->id = 0;
        info->supported_dialects = CLAP_NOTE_DIALECT_MIDI | CLAP_NOTE_DIALECT_CLAP;
        info->preferred_dialect = CLAP_NOTE_DIALECT_MIDI;
        copyName(info->name, sizeof info->name, "MIDI In");
        return true;
    }

    std::uint32_t paramCount() { return static_cast<std::uint32_t>(kParameterCount); }
    // Parameters.
    bool paramInfo(std::uint32_t index, clap_param_info_t* info)
    {
        if (!needsInstance("params.get_info") || !onMainThread("params.get_info")) return false;
        if (info == nullptr || index >= static_cast<std::uint32_t>(kParameterCount)) {
            std::fprintf(stderr, "Lumenfold: CLAP parameter info %u refused\n", index);
            return false;
        }
        const int id = static_cast<int>(index);
        const ParameterInfo row = engine_->parameterRow(id);
        *info = clap_param_info_t{};
        info->id = index;
        info->flags = CLAP_PARAM_IS_AUTOMATABLE | (isStepped(row) ? CLAP_PARAM_IS_STEPPED : 0u) |
                      (std::strcmp(row.name, "Dummy") == 0 ? CLAP_PARAM_IS_HIDDEN : 0u);
        copyName(info->name, sizeof info->name, row.name);
        copyName(info->module, sizeof info->module, moduleOf(id));
        info->min_value = row.minValue;
        info->max_value = row.maxValue;
        info->default_value = std::clamp(row.defaultValue, row.minValue, row.maxValue);
        return true;
    }

    bool paramValue(clap_id id, double* value)
    {
        if (!needsInstance("params.get_value")) return false;
        if (value == nullptr || !isValidParameterId(static_cast<int>(id))) {
            std::fprintf(stderr, "Lumenfold: CLAP value of parameter %u refused\n", id);
            return false;
        }
        *value = engine_->plainValue(static_cast<int>(id));
        return true;
    }

    bool valueToText(clap_id id, double value, char* buffer, std::uint32_t capacity)
    {
        if (!needsInstance("params.value_to_text")) return false;
        if (buffer == nullptr || capacity == 0 || !isValidParameterId(static_cast<int>(id)) || !std::isfinite(value)) {
            std::fprintf(stderr, "Lumenfold: CLAP text of parameter %u refused\n", id);
            return false;
        }
        const std::string text = engine_->valueText(static_cast<int>(id), static_cast<float>(value));
        std::snprintf(buffer, capacity, "%s", text.c_str());
        return true;
    }

    bool textToValue(clap_id id, const char* text, double* value)
    {
        if (!needsInstance("params.text_to_value")) return false;
        if (text == nullptr || value == nullptr || !isValidParameterId(static_cast<int>(id))) {
            std::fprintf(stderr, "Lumenfold: CLAP text for parameter %u refused\n", id);
            return false;
        }
        const std::optional<float> parsed = engine_->parseValueText(static_cast<int>(id), text);
        if (!parsed) return false;
        *value = *parsed;
        return true;
    }

    // params.flush: [active ? audio thread : main thread]. Values only, all at once.
    void flush(const clap_input_events_t* in, const clap_output_events_t* out)
    {
        if (!needsInstance("params.flush")) return;
        if (active_.load() ? !onAudioThread("params.flush") : !onMainThread("params.flush")) return;
        const bool wasDelivering = deliveringOnThisThread;
        deliveringOnThisThread = true;
        ClapEvents events(*this, in, ClapEvents::Take::ValuesOnly);
        EngineEvent event;
        while (events.next(event)) {
            if (!engine_->setPlainValue(event.id, event.value)) events.refused(event);
        }
        deliverChanges(out);
        deliveringOnThisThread = wasDelivering;
    }

    // State: the same block as the VST chunk.
    bool saveState(const clap_ostream_t* stream)
    {
        if (!needsInstance("state.save") || !onMainThread("state.save")) return false;
        if (stream == nullptr || stream->write == nullptr) {
            std::fputs("Lumenfold: CLAP state.save without a stream; refused\n", stderr);
            return false;
        }
        const void* data = nullptr;
        const std::size_t size = engine_->saveState(&data);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        for (std::size_t written = 0; written < size;) {
            const std::int64_t n = stream->write(stream, bytes + written, size - written);
            if (n <= 0 || static_cast<std::uint64_t>(n) > size - written) {
                std::fputs("Lumenfold: CLAP state.save: the stream took no more; state incomplete\n", stderr);
                return false;
            }
            written += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool loadState(const clap_istream_t* stream)
    {
        if (!needsInstance("state.load") || !onMainThread("state.load")) return false;
        if (stream == nullptr || stream->read == nullptr) {
            std::fputs("Lumenfold: CLAP state.load without a stream; refused\n", stderr);
            return false;
        }
        std::vector<std::uint8_t> bytes;
        std::uint8_t buffer[4096];
        for (;;) {
            const std::int64_t n = stream->read(stream, buffer, sizeof buffer);
            if (n == 0) break;
            if (n < 0 || static_cast<std::uint64_t>(n) > sizeof buffer || bytes.size() + n > kMaxStateBytes) {
                std::fputs("Lumenfold: CLAP state.load: the stream failed or is too long; nothing loaded\n", stderr);
                return false;
            }
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        const bool loaded = engine_->loadState(bytes.data(), bytes.size());
        if (loaded && hostParams_ && hostParams_->rescan) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
        return loaded;
    }

    // A factory preset the discovery provider declared: applied through the one door, then
    // the host rereads every value.
    bool loadPreset(std::uint32_t kind, const char* location, const char* loadKey)
    {
        if (!needsInstance("preset_load.from_location") || !onMainThread("preset_load.from_location")) return false;
        const int preset = presetForLoadKey(loadKey);
        if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || preset < 0 || !engine_->loadFactoryPreset(preset)) {
            std::fprintf(stderr, "Lumenfold: CLAP preset \"%.64s\" is not one of the plug-in's; nothing loaded\n",
                         loadKey ? loadKey : "(null)");
            if (hostPresetLoad_ && hostPresetLoad_->on_error) {
                hostPresetLoad_->on_error(host_, kind, location, loadKey, 0, "not a Lumenfold factory preset");
            }
            return false;
        }
        if (hostParams_ && hostParams_->rescan) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
        if (hostPresetLoad_ && hostPresetLoad_->loaded) hostPresetLoad_->loaded(host_, kind, location, loadKey);
        return true;
    }

    // While active the host keeps the latency it read at activation.
    std::uint32_t latency()
    {
        if (!engine_) return 0u;
        return active_.load() ? reportedLatency_ : static_cast<std::uint32_t>(engine_->latencySamples());
    }

    bool guiIsApiSupported(const char* api, bool floating) { return guiApiSupported(api, floating); }
    bool guiPreferredApi(const char** api, bool* floating)
    {
        if (api == nullptr || floating == nullptr) return false;
        *api = kClapWindowApiX11;
        *floating = false;
        return true;
    }

    // Editor.
    bool guiCreate(const char* api, bool floating)
    {
        if (!needsInstance("gui.create") || !onMainThread("gui.create")) return false;
        if (!guiApiSupported(api, floating) || guiCreated_) {
            std::fprintf(stderr, "Lumenfold: CLAP gui.create for \"%s\"%s refused\n", api ? api : "(null)",
                         floating ? " (floating)" : "");
            return false;
        }
        guiCreated_ = true;
        return true;
    }

    void guiDestroy()
    {
        if (!needsInstance("gui.destroy") || !onMainThread("gui.destroy")) return;
        if (timerId_ != kClapInvalidId && hostTimers_ && hostTimers_->unregister_timer) {
            hostTimers_->unregister_timer(host_, timerId_);
        }
        timerId_ = kClapInvalidId;
        engine_->closeEditor();
        guiCreated_ = false;
    }

    // The editor draws at its own pixel size: the host scales around it.
    bool guiSetScale(double) { return false; }
    bool guiSize(std::uint32_t* width, std::uint32_t* height)
    {
        if (!needsInstance("gui.get_size") || !onMainThread("gui.get_size")) return false;
        int w = 0;
        int h = 0;
        if (width == nullptr || height == nullptr || !engine_->editorSize(&w, &h) || w <= 0 || h <= 0) return false;
        *width = static_cast<std::uint32_t>(w);
        *height = static_cast<std::uint32_t>(h);
        return true;
    }

    bool guiCanResize() { return false; }
    bool guiResizeHints(clap_gui_resize_hints_t*) { return false; }
    bool guiSetSize(std::uint32_t width, std::uint32_t height)
    {
        std::uint32_t w = 0;
        std::uint32_t h = 0;
        return guiSize(&w, &h) && w == width && h == height;
    }

    bool guiSetParent(const clap_window_t* window)
    {
        if (!needsInstance("gui.set_parent") || !onMainThread("gui.set_parent")) return false;
        if (!guiCreated_ || window == nullptr || window->api == nullptr ||
            std::strcmp(window->api, kClapWindowApiX11) != 0 || window->x11 == 0) {
            std::fputs("Lumenfold: CLAP gui.set_parent without a created editor or an X11 window; refused\n", stderr);
            return false;
        }
        if (!engine_->openEditor(window->x11)) return false;
        if (hostTimers_ && hostTimers_->register_timer &&
            !hostTimers_->register_timer(host_, kEditorIdleMs, &timerId_)) {
            timerId_ = kClapInvalidId;  // the editor's own thread keeps it going
        }
        return true;
    }

    bool guiSetTransient(const clap_window_t*) { return false; }
    void guiSuggestTitle(const char*) {}
    bool guiShow() { return guiCreated_; }
    bool guiHide() { return guiCreated_; }
    void onTimer(clap_id id)
    {
        if (!needsInstance("timer") || !onMainThread("timer")) return;
        if (id == timerId_ && id != kClapInvalidId) engine_->idleEditor();
    }

    // Offline rendering needs nothing different: the plug-in has no realtime-only path.
    bool hasHardRealtimeRequirement() { return false; }
    bool setRenderMode(clap_plugin_render_mode mode)
    {
        if (mode != CLAP_RENDER_REALTIME && mode != CLAP_RENDER_OFFLINE) {
            std::fprintf(stderr, "Lumenfold: CLAP render mode %d refused\n", mode);
            return false;
        }
        renderMode_ = mode;
        return true;
    }

private:
    // The audio thread prints nothing: a bad record there just gets the safe answer.
    static bool mayRunOnAudioThread(std::string_view entry)
    {
        for (std::string_view audioEntry : {"process", "start_processing", "stop_processing", "reset", "params.flush"})
            if (entry == audioEntry) return true;
        return false;
    }

    static ClapPlugin* from(const clap_plugin_t* p, const char* entry)
    {
        ClapPlugin* self = liveRecords.owner(p);
        if (self == nullptr && !mayRunOnAudioThread(entry)) {
            std::fprintf(stderr, "Lumenfold: CLAP %s called with a plug-in record that is not ours or destroyed\n",
                         entry);
        }
        return self;
    }

    // The host's word on the calling thread, where it offers one.
    bool onMainThread(const char* entry) const
    {
        if (threadCheck_ && threadCheck_->is_main_thread && !threadCheck_->is_main_thread(host_)) {
            std::fprintf(stderr, "Lumenfold: CLAP %s called off the main thread; ignored\n", entry);
            return false;
        }
        return true;
    }
    bool onAudioThread(const char* entry) const
    {
        if (threadCheck_ && threadCheck_->is_audio_thread && !threadCheck_->is_audio_thread(host_)) {
            std::fprintf(stderr, "Lumenfold: CLAP %s called off the audio thread; ignored\n", entry);
            return false;
        }
        return true;
    }
    bool needsInstance(const char* entry) const
    {
        if (!engine_) {
            std::fprintf(stderr, "Lumenfold: CLAP %s called before init; ignored\n", entry);
            return false;
        }
        return true;
    }

    template <typename T>
    const T* hostExtension(const char* id) const
    {
        return host_->get_extension ? static_cast<const T*>(host_->get_extension(host_, id)) : nullptr;
    }

    static bool stereoBuffers(const clap_audio_buffer_t* buffers, std::uint32_t count, float* channels[2])
    {
        if (buffers == nullptr || count < 1 || buffers[0].channel_count < 2 || buffers[0].data32 == nullptr) {
            return false;
        }
        for (int c = 0; c < 2; ++c) {
            channels[c] = buffers[0].data32[c];
            if (channels[c] == nullptr) return false;
        }
        return true;
    }

    void reportAudioProblems()
    {
        const std::uint32_t problems = audioProblems_.exchange(0);
        if (problems & kBadProcessRecord) std::fputs("Lumenfold: CLAP process called without a process record\n", stderr);
        if (problems & kBadAudioBuffers)
            std::fputs("Lumenfold: CLAP process given no usable stereo buffers; silence written\n", stderr);
        if (problems & kMidiDropped) std::fputs("Lumenfold: CLAP block held too many MIDI events; some dropped\n", stderr);
        if (problems & kBadEvent) std::fputs("Lumenfold: CLAP event with a bad size, id or value ignored\n", stderr);
    }

    void queueChange(ParameterChangeRing::Kind kind, int id)
    {
        changes_.push(kind, id);
        if (!deliveringOnThisThread && hostParams_ && hostParams_->request_flush) {
            hostParams_->request_flush(host_);
        }
    }

    void deliverChanges(const clap_output_events_t* out)
    {
        changes_.drain([&](const ParameterChangeRing::Change& change) {
            if (out == nullptr || out->try_push == nullptr) return;
            if (change.kind == ParameterChangeRing::Kind::Value) {
                clap_event_param_value_t event{};
                event.header = {sizeof event, 0, kClapCoreEventSpaceId, CLAP_EVENT_PARAM_VALUE, 0};
                event.param_id = static_cast<clap_id>(change.id);
                event.note_id = -1;
                event.port_index = -1;
                event.channel = -1;
                event.key = -1;
                event.value = engine_->plainValue(change.id);
                out->try_push(out, &event.header);
            } else {
                clap_event_param_gesture_t event{};
                const std::uint16_t type = change.kind == ParameterChangeRing::Kind::GestureBegin
                                               ? CLAP_EVENT_PARAM_GESTURE_BEGIN
                                               : CLAP_EVENT_PARAM_GESTURE_END;
                event.header = {sizeof event, 0, kClapCoreEventSpaceId, type, 0};
                event.param_id = static_cast<clap_id>(change.id);
                out->try_push(out, &event.header);
            }
        });
    }

    const clap_host_t* host_;
    clap_plugin_t* record_;
    PluginEnginePointer engine_;
    const clap_host_thread_check_t* threadCheck_ = nullptr;
    const clap_host_params_t* hostParams_ = nullptr;
    const clap_host_latency_t* hostLatency_ = nullptr;
    const clap_host_state_t* hostState_ = nullptr;
    const clap_host_timer_support_t* hostTimers_ = nullptr;
    const clap_host_preset_load_t* hostPresetLoad_ = nullptr;
    std::atomic<bool> active_{false};
    std::uint32_t reportedLatency_ = 0;
    std::atomic<std::uint32_t> audioProblems_{0};
    ParameterChangeRing changes_;
    bool guiCreated_ = false;
    clap_id timerId_ = kClapInvalidId;
    clap_plugin_render_mode renderMode_ = CLAP_RENDER_REALTIME;
    NotesById notesById_;
};

// The adapter every table entry is made with: a C function for a member of ClapPlugin,
// named after the host call it answers. It finds the plug-in, runs the member guarded and
// gives the zero answer (false, 0, null, CLAP_PROCESS_ERROR) for a record that is not ours.
template <std::size_t N>
struct EntryName {
    char text[N];
    constexpr EntryName(const char (&name)[N]) { std::copy_n(name, N, text); }
};

template <EntryName Name, auto Member, typename Signature = decltype(Member)>
struct Entry;

template <EntryName Name, auto Member, typename Result, typename... Args>
struct Entry<Name, Member, Result (ClapPlugin::*)(Args...)> {
    static Result call(const clap_plugin_t* p, Args... args)
    {
        if constexpr (std::is_void_v<Result>) {
            ClapPlugin::call(p, Name.text, 0, [&](ClapPlugin& self) { return (self.*Member)(args...), 0; });
        } else {
            return ClapPlugin::call(p, Name.text, Result{}, [&](ClapPlugin& self) { return (self.*Member)(args...); });
        }
    }
};

template <EntryName Name, auto Member>
constexpr auto entry = &Entry<Name, Member>::call;

constexpr clap_plugin_audio_ports_t kAudioPorts{
    entry<"audio_ports.count", &ClapPlugin::audioPortCount>,
    entry<"audio_ports.get", &ClapPlugin::audioPortInfo>,
};

constexpr clap_plugin_note_ports_t kNotePorts{
    entry<"note_ports.count", &ClapPlugin::notePortCount>,
    entry<"note_ports.get", &ClapPlugin::notePortInfo>,
};

constexpr clap_plugin_params_t kParams{
    entry<"params.count", &ClapPlugin::paramCount>,
    entry<"params.get_info", &ClapPlugin::paramInfo>,
    entry<"params.get_value", &ClapPlugin::paramValue>,
    entry<"params.value_to_text", &ClapPlugin::valueToText>,
    entry<"params.text_to_value", &ClapPlugin::textToValue>,
    entry<"params.flush", &ClapPlugin::flush>,
};

constexpr clap_plugin_state_t kState{
    entry<"state.save", &ClapPlugin::saveState>,
    entry<"state.load", &ClapPlugin::loadState>,
};

constexpr clap_plugin_preset_load_t kPresetLoad{entry<"preset_load.from_location", &ClapPlugin::loadPreset>};

constexpr clap_plugin_latency_t kLatency{entry<"latency.get", &ClapPlugin::latency>};

constexpr clap_plugin_gui_t kGui{
    entry<"gui.is_api_supported", &ClapPlugin::guiIsApiSupported>,
    entry<"gui.get_preferred_api", &ClapPlugin::guiPreferredApi>,
    entry<"gui.create", &ClapPlugin::guiCreate>,
    entry<"gui.destroy", &ClapPlugin::guiDestroy>,
    entry<"gui.set_scale", &ClapPlugin::guiSetScale>,
    entry<"gui.get_size", &ClapPlugin::guiSize>,
    entry<"gui.can_resize", &ClapPlugin::guiCanResize>,
    entry<"gui.get_resize_hints", &ClapPlugin::guiResizeHints>,
    entry<"gui.adjust_size", &ClapPlugin::guiSize>,
    entry<"gui.set_size", &ClapPlugin::guiSetSize>,
    entry<"gui.set_parent", &ClapPlugin::guiSetParent>,
    entry<"gui.set_transient", &ClapPlugin::guiSetTransient>,
    entry<"gui.suggest_title", &ClapPlugin::guiSuggestTitle>,
    entry<"gui.show", &ClapPlugin::guiShow>,
    entry<"gui.hide", &ClapPlugin::guiHide>,
};

constexpr clap_plugin_timer_support_t kTimers{entry<"timer_support.on_timer", &ClapPlugin::onTimer>};

constexpr clap_plugin_render_t kRender{
    entry<"render.has_hard_realtime_requirement", &ClapPlugin::hasHardRealtimeRequirement>,
    entry<"render.set", &ClapPlugin::setRenderMode>,
};

const void* ClapPlugin::extension(const char* id)
{
    if (id == nullptr) {
        std::fputs("Lumenfold: CLAP extension asked for without an id\n", stderr);
        return nullptr;
    }
    const struct {
        const char* id;
        const void* record;
    } offered[] = {
        {kClapExtAudioPorts, &kAudioPorts}, {kClapExtNotePorts, &kNotePorts}, {kClapExtParams, &kParams},
        {kClapExtState, &kState},           {kClapExtLatency, &kLatency},     {kClapExtGui, &kGui},
        {kClapExtTimerSupport, &kTimers},   {kClapExtRender, &kRender},       {kClapExtPresetLoad, &kPresetLoad},
        {kClapExtPresetLoadCompat, &kPresetLoad},
    };
    for (const auto& entry : offered) {
        if (std::strcmp(entry.id, id) == 0) return entry.record;
    }
    std::fprintf(stderr, "Lumenfold: CLAP extension \"%.64s\" not offered\n", id);
    return nullptr;
}

ClapPlugin::ClapPlugin(const clap_host_t* host) : host_(host), record_(liveRecords.acquire(this))
{
    if (record_ == nullptr) throw std::runtime_error("too many plug-ins in this process");
    record_->desc = &kDescriptor;
    record_->plugin_data = this;
    record_->init = entry<"init", &ClapPlugin::init>;
    record_->destroy = [](const clap_plugin_t* p) {
        ClapPlugin* self = from(p, "destroy");
        if (self != nullptr) guarded("CLAP", "destroy", 0, [&] { return self->destroy(), 0; });
    };
    record_->activate = entry<"activate", &ClapPlugin::activate>;
    record_->deactivate = entry<"deactivate", &ClapPlugin::deactivate>;
    record_->start_processing = entry<"start_processing", &ClapPlugin::startProcessing>;
    record_->stop_processing = entry<"stop_processing", &ClapPlugin::stopProcessing>;
    record_->reset = entry<"reset", &ClapPlugin::reset>;
    record_->process = entry<"process", &ClapPlugin::process>;
    record_->get_extension = entry<"get_extension", &ClapPlugin::extension>;
    record_->on_main_thread = entry<"on_main_thread", &ClapPlugin::mainThreadCallback>;
}

bool ClapEvents::next(EngineEvent& event)
{
    if (nextChannel_ < 16) {
        event = noteMessage(allChannelsEnd_, nextChannel_++);
        return true;
    }
    while (index_ < count_) {
        const clap_event_header_t* header = in_->get(in_, index_++);
        if (header == nullptr || header->space_id != kClapCoreEventSpaceId) continue;
        if (take_ == Take::ValuesOnly && header->type != CLAP_EVENT_PARAM_VALUE) continue;
        if (translate(*header, event)) return true;
    }
    return false;
}

void ClapEvents::refused(const EngineEvent& event)
{
    plugin_.noteAudioProblem(event.kind == EngineEvent::Kind::Midi ? kMidiDropped : kBadEvent);
}

bool ClapEvents::translate(const clap_event_header_t& header, EngineEvent& event)
{
    switch (header.type) {
    case CLAP_EVENT_PARAM_VALUE: {
        if (header.size < sizeof(clap_event_param_value_t)) break;
        const auto& value = reinterpret_cast<const clap_event_param_value_t&>(header);
        event = EngineEvent::parameterValue(header.time, static_cast<int>(value.param_id), value.value);
        return true;
    }
    case CLAP_EVENT_MIDI: {
        if (header.size < sizeof(clap_event_midi_t)) break;
        const auto& midi = reinterpret_cast<const clap_event_midi_t&>(header);
        if (midi.port_index != 0 || midi.data[0] < 0x80 || midi.data[0] >= 0xf0) break;
        event = EngineEvent::midiMessage(header.time, midi.data, 3);
        return true;
    }
    case CLAP_EVENT_NOTE_ON:
    case CLAP_EVENT_NOTE_OFF:
        switch (translateNote(header, event)) {
        case NoteOutcome::Message: return true;
        case NoteOutcome::NoSuchNote: return false;  // it ends nothing
        case NoteOutcome::Malformed: break;
        }
        break;
    default: return false;  // other events carry nothing this plug-in uses
    }
    plugin_.noteAudioProblem(kBadEvent);
    return false;
}

// A note's end may leave its id, key or channel open (-1). An id the host started a note
// with names that note; otherwise an open key ends every note of the channel (as All Notes
// Off) and an open channel ends the key on every channel. A note's start needs its key.
ClapEvents::NoteOutcome ClapEvents::translateNote(const clap_event_header_t& header, EngineEvent& event)
{
    if (header.size < sizeof(clap_event_note_t)) return NoteOutcome::Malformed;
    clap_event_note_t note = reinterpret_cast<const clap_event_note_t&>(header);
    const bool starts = header.type == CLAP_EVENT_NOTE_ON;
    if (note.port_index > 0 || note.key < (starts ? 0 : -1) || note.key > 127 || note.channel < -1 || note.channel > 15)
        return NoteOutcome::Malformed;
    const std::int16_t channel = note.channel < 0 ? 0 : note.channel;
    if (starts) {
        plugin_.notesById().started(note.note_id, channel, note.key);
    } else if (note.note_id >= 0) {
        const bool open = note.key < 0 || note.channel < 0;
        if (!plugin_.notesById().complete(note) && open) return NoteOutcome::NoSuchNote;
    }
    if (!starts && note.channel == -1) {
        allChannelsEnd_ = note;
        nextChannel_ = 1;
    }
    event = noteMessage(note, note.channel < 0 ? 0 : note.channel);
    return NoteOutcome::Message;
}

EngineEvent ClapEvents::noteMessage(const clap_event_note_t& note, int channel)
{
    constexpr std::uint8_t kAllNotesOff = 123;
    const auto status = static_cast<std::uint8_t>(channel);
    if (note.key < 0) {
        const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(0xb0 | status), kAllNotesOff, 0};
        return EngineEvent::midiMessage(note.header.time, bytes, 3);
    }
    const double velocity = std::isfinite(note.velocity) ? std::clamp(note.velocity, 0.0, 1.0) : 0.0;
    const std::uint8_t bytes[3] = {
        static_cast<std::uint8_t>((note.header.type == CLAP_EVENT_NOTE_ON ? 0x90 : 0x80) | status),
        static_cast<std::uint8_t>(note.key), static_cast<std::uint8_t>(std::lround(velocity * 127.0))};
    return EngineEvent::midiMessage(note.header.time, bytes, 3);
}

}  // namespace

const clap_plugin_descriptor_t& descriptor()
{
    return kDescriptor;
}

const clap_plugin_t* createPlugin(const clap_host_t* host)
{
    if (host == nullptr || !clapVersionIsCompatible(host->clap_version)) {
        std::fputs("Lumenfold: CLAP host record missing or of an unknown version; no plug-in\n", stderr);
        return nullptr;
    }
    return guarded("CLAP", "create_plugin", static_cast<const clap_plugin_t*>(nullptr),
                   [&] { return (new ClapPlugin(host))->record(); });
}

}  // namespace lumenfold::clap
