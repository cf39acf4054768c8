#include "plugin/clap/ClapPlugin.h"

#include "plugin/vst/GuardedCall.h"

#include "plugin/HostedInstance.h"
#include "plugin/LiveHandleTable.h"
#include "plugin/core/ParameterChangeRing.h"
#include "plugin/core/ParameterTable.h"
#include "plugin/core/ValueFormatting.h"
#include "Version.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
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

class ClapPlugin;
// The records hosts hold: a record stays readable after destroy, so that a late call
// through it finds no plug-in instead of freed memory.
LiveHandleTable<clap_plugin_t, ClapPlugin, kMaxPlugins> liveRecords;

class ClapPlugin final : public InstanceEvents {
public:
    explicit ClapPlugin(const clap_host_t* host) : host_(host), record_(liveRecords.acquire(this))
    {
        if (record_ == nullptr) throw std::runtime_error("too many plug-ins in this process");
        record_->desc = &kDescriptor;
        record_->plugin_data = this;
        record_->init = [](const clap_plugin_t* p) {
            return call(p, "init", false, [](ClapPlugin& self) { return self.init(); });
        };
        record_->destroy = [](const clap_plugin_t* p) {
            ClapPlugin* self = from(p, "destroy");
            if (self != nullptr && self->onMainThread("destroy")) {
                // A host may destroy us with the editor still open: its timer goes too.
                if (self->guiCreated_) guarded("CLAP", "destroy", 0, [&] { return self->guiDestroy(), 0; });
                liveRecords.release(p);
                guarded("CLAP", "destroy", 0, [&] {
                    delete self;
                    return 0;
                });
            }
        };
        record_->activate = [](const clap_plugin_t* p, double rate, std::uint32_t minFrames, std::uint32_t maxFrames) {
            return call(p, "activate", false,
                        [&](ClapPlugin& self) { return self.activate(rate, minFrames, maxFrames); });
        };
        record_->deactivate = [](const clap_plugin_t* p) {
            call(p, "deactivate", 0, [](ClapPlugin& self) { return self.deactivate(), 0; });
        };
        record_->start_processing = [](const clap_plugin_t* p) {
            return call(p, "start_processing", false, [](ClapPlugin& self) { return self.startProcessing(); });
        };
        record_->stop_processing = [](const clap_plugin_t* p) {
            call(p, "stop_processing", 0, [](ClapPlugin& self) { return self.stopProcessing(), 0; });
        };
        record_->reset = [](const clap_plugin_t* p) { call(p, "reset", 0, [](ClapPlugin& self) { return self.reset(), 0; }); };
        record_->process = [](const clap_plugin_t* p, const clap_process_t* process) {
            return call(p, "process", clap_process_status{CLAP_PROCESS_ERROR},
                        [&](ClapPlugin& self) { return self.process(process); });
        };
        record_->get_extension = [](const clap_plugin_t* p, const char* id) {
            return call(p, "get_extension", static_cast<const void*>(nullptr),
                        [&](ClapPlugin& self) { return self.extension(id); });
        };
        record_->on_main_thread = [](const clap_plugin_t* p) {
            call(p, "on_main_thread", 0, [](ClapPlugin& self) { return self.reportAudioProblems(), 0; });
        };
    }

    const clap_plugin_t* record() const { return record_; }

    // InstanceEvents: any thread.
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

    template <typename Result, typename Call>
    static Result call(const clap_plugin_t* p, const char* entry, Result safeAnswer, Call&& body)
    {
        ClapPlugin* self = from(p, entry);
        if (self == nullptr) return safeAnswer;
        return guarded("CLAP", entry, safeAnswer, [&] { return body(*self); });
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
        if (!instance_) {
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

    bool init()
    {
        if (instance_) {
            std::fputs("Lumenfold: CLAP init called twice; ignored\n", stderr);
            return false;
        }
        if (!onMainThread("init")) return false;
        threadCheck_ = hostExtension<clap_host_thread_check_t>(kClapExtThreadCheck);
        hostParams_ = hostExtension<clap_host_params_t>(kClapExtParams);
        hostLatency_ = hostExtension<clap_host_latency_t>(kClapExtLatency);
        hostState_ = hostExtension<clap_host_state_t>(kClapExtState);
        hostTimers_ = hostExtension<clap_host_timer_support_t>(kClapExtTimerSupport);
        std::string error;
        instance_ = HostedInstance::create(*this, &error);
        if (!instance_) {
            std::fprintf(stderr, "Error: %s\n", error.c_str());
            return false;
        }
        instance_->open();
        reportedLatency_ = static_cast<std::uint32_t>(instance_->latency());
        return true;
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
        instance_->setSampleRate(rate);
        instance_->setBlockSize(static_cast<int>(maxFrames));
        instance_->setActive(true);
        // The host hears of a new latency while it activates us, the one time it may.
        const auto latency = static_cast<std::uint32_t>(instance_->latency());
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
        instance_->setActive(false);
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
        if (instance_) instance_->reset();
    }

    // Called on: the audio thread. No allocation, no I/O: problems are noted and printed
    // on the main thread.
    clap_process_status process(const clap_process_t* process)
    {
        if (!active_.load(std::memory_order_relaxed) || !instance_) return CLAP_PROCESS_ERROR;
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
        std::uint32_t done = 0;
        const clap_input_events_t* in = process->in_events;
        const std::uint32_t count = in && in->size && in->get ? in->size(in) : 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const clap_event_header_t* event = in->get(in, i);
            if (event == nullptr || event->space_id != kClapCoreEventSpaceId) continue;
            const std::uint32_t time = std::clamp(event->time, done, frames);
            if (event->type == CLAP_EVENT_PARAM_VALUE && time > done) {
                renderPiece(inputs, outputs, done, time);
                done = time;
            }
            takeEvent(*event, time - done);
        }
        renderPiece(inputs, outputs, done, frames);
        deliverChanges(process->out_events);
        deliveringOnThisThread = false;
        return CLAP_PROCESS_CONTINUE;
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

    void renderPiece(float* const* inputs, float* const* outputs, std::uint32_t from, std::uint32_t to)
    {
        float* in[2] = {inputs[0] + from, inputs[1] + from};
        float* out[2] = {outputs[0] + from, outputs[1] + from};
        instance_->process(in, out, static_cast<int>(to - from));
    }

    // A host event: parameter values go through the instance's one door, notes and MIDI
    // become MIDI messages at their offset within the next piece.
    void takeEvent(const clap_event_header_t& event, std::uint32_t offset)
    {
        switch (event.type) {
        case CLAP_EVENT_PARAM_VALUE: {
            if (event.size < sizeof(clap_event_param_value_t)) break;
            const auto& value = reinterpret_cast<const clap_event_param_value_t&>(event);
            if (!instance_->setPlainValue(static_cast<int>(value.param_id), value.value)) {
                noteAudioProblem(kBadEvent);
            }
            return;
        }
        case CLAP_EVENT_MIDI: {
            if (event.size < sizeof(clap_event_midi_t)) break;
            const auto& midi = reinterpret_cast<const clap_event_midi_t&>(event);
            if (midi.port_index != 0 || midi.data[0] < 0x80 || midi.data[0] >= 0xf0) break;
            if (!instance_->queueMidi(static_cast<int>(offset), midi.data, 3)) noteAudioProblem(kMidiDropped);
            return;
        }
        case CLAP_EVENT_NOTE_ON:
        case CLAP_EVENT_NOTE_OFF: {
            if (event.size < sizeof(clap_event_note_t)) break;
            const auto& note = reinterpret_cast<const clap_event_note_t&>(event);
            if (note.port_index > 0 || note.key < 0 || note.key > 127 || note.channel > 15) break;
            const int channel = note.channel < 0 ? 0 : note.channel;
            const double velocity = std::isfinite(note.velocity) ? std::clamp(note.velocity, 0.0, 1.0) : 0.0;
            const std::uint8_t bytes[3] = {
                static_cast<std::uint8_t>((event.type == CLAP_EVENT_NOTE_ON ? 0x90 : 0x80) | channel),
                static_cast<std::uint8_t>(note.key), static_cast<std::uint8_t>(std::lround(velocity * 127.0))};
            if (!instance_->queueMidi(static_cast<int>(offset), bytes, 3)) noteAudioProblem(kMidiDropped);
            return;
        }
        default: return;  // other events carry nothing this plug-in uses
        }
        noteAudioProblem(kBadEvent);
    }

    void noteAudioProblem(std::uint32_t problem)
    {
        if ((audioProblems_.fetch_or(problem) & problem) == 0 && host_->request_callback) {
            host_->request_callback(host_);
        }
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
                event.value = instance_->plainValue(change.id);
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

    // params.flush: [active ? audio thread : main thread].
    void flush(const clap_input_events_t* in, const clap_output_events_t* out)
    {
        if (!needsInstance("params.flush")) return;
        if (active_.load() ? !onAudioThread("params.flush") : !onMainThread("params.flush")) return;
        const bool wasDelivering = deliveringOnThisThread;
        deliveringOnThisThread = true;
        const std::uint32_t count = in && in->size && in->get ? in->size(in) : 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const clap_event_header_t* event = in->get(in, i);
            if (event != nullptr && event->space_id == kClapCoreEventSpaceId && event->type == CLAP_EVENT_PARAM_VALUE) {
                takeEvent(*event, 0);
            }
        }
        deliverChanges(out);
        deliveringOnThisThread = wasDelivering;
    }

    const void* extension(const char* id);

    // Parameters.
    bool paramInfo(std::uint32_t index, clap_param_info_t* info)
    {
        if (!needsInstance("params.get_info") || !onMainThread("params.get_info")) return false;
        if (info == nullptr || index >= static_cast<std::uint32_t>(kParameterCount)) {
            std::fprintf(stderr, "Lumenfold: CLAP parameter info %u refused\n", index);
            return false;
        }
        const int id = static_cast<int>(index);
        const ParameterInfo row = instance_->parameterRow(id);
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
        *value = instance_->plainValue(static_cast<int>(id));
        return true;
    }

    bool valueToText(clap_id id, double value, char* buffer, std::uint32_t capacity)
    {
        if (!needsInstance("params.value_to_text")) return false;
        if (buffer == nullptr || capacity == 0 || !isValidParameterId(static_cast<int>(id)) || !std::isfinite(value)) {
            std::fprintf(stderr, "Lumenfold: CLAP text of parameter %u refused\n", id);
            return false;
        }
        const std::string text = instance_->valueText(static_cast<int>(id), static_cast<float>(value));
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
        const std::optional<float> parsed = instance_->parseValueText(static_cast<int>(id), text);
        if (!parsed) return false;
        *value = *parsed;
        return true;
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
        const std::size_t size = instance_->state(&data);
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
        const bool loaded = instance_->setState(bytes.data(), bytes.size());
        if (loaded && hostParams_ && hostParams_->rescan) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
        return loaded;
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

    static bool guiApiSupported(const char* api, bool floating)
    {
        return api != nullptr && std::strcmp(api, kClapWindowApiX11) == 0 && !floating;
    }

    void guiDestroy()
    {
        if (!needsInstance("gui.destroy") || !onMainThread("gui.destroy")) return;
        if (timerId_ != kClapInvalidId && hostTimers_ && hostTimers_->unregister_timer) {
            hostTimers_->unregister_timer(host_, timerId_);
        }
        timerId_ = kClapInvalidId;
        instance_->closeEditor();
        guiCreated_ = false;
    }

    bool guiSize(std::uint32_t* width, std::uint32_t* height)
    {
        if (!needsInstance("gui.get_size") || !onMainThread("gui.get_size")) return false;
        int w = 0;
        int h = 0;
        if (width == nullptr || height == nullptr || !instance_->editorSize(&w, &h) || w <= 0 || h <= 0) return false;
        *width = static_cast<std::uint32_t>(w);
        *height = static_cast<std::uint32_t>(h);
        return true;
    }

    bool guiSetParent(const clap_window_t* window)
    {
        if (!needsInstance("gui.set_parent") || !onMainThread("gui.set_parent")) return false;
        if (!guiCreated_ || window == nullptr || window->api == nullptr ||
            std::strcmp(window->api, kClapWindowApiX11) != 0 || window->x11 == 0) {
            std::fputs("Lumenfold: CLAP gui.set_parent without a created editor or an X11 window; refused\n", stderr);
            return false;
        }
        if (!instance_->openEditor(window->x11)) return false;
        if (hostTimers_ && hostTimers_->register_timer &&
            !hostTimers_->register_timer(host_, kEditorIdleMs, &timerId_)) {
            timerId_ = kClapInvalidId;  // the editor's own thread keeps it going
        }
        return true;
    }

    void onTimer(clap_id id)
    {
        if (!needsInstance("timer") || !onMainThread("timer")) return;
        if (id == timerId_ && id != kClapInvalidId) instance_->idleEditor();
    }

    const clap_host_t* host_;
    clap_plugin_t* record_;
    std::unique_ptr<HostedInstance> instance_;
    const clap_host_thread_check_t* threadCheck_ = nullptr;
    const clap_host_params_t* hostParams_ = nullptr;
    const clap_host_latency_t* hostLatency_ = nullptr;
    const clap_host_state_t* hostState_ = nullptr;
    const clap_host_timer_support_t* hostTimers_ = nullptr;
    std::atomic<bool> active_{false};
    std::uint32_t reportedLatency_ = 0;
    std::atomic<std::uint32_t> audioProblems_{0};
    ParameterChangeRing changes_;
    bool guiCreated_ = false;
    clap_id timerId_ = kClapInvalidId;
    clap_plugin_render_mode renderMode_ = CLAP_RENDER_REALTIME;

    friend struct Extensions;
};

// The extension records: each entry finds its plug-in and answers safely for a bad one.
struct Extensions {
    template <typename Result, typename Call>
    static Result on(const clap_plugin_t* p, const char* entry, Result safeAnswer, Call&& body)
    {
        return ClapPlugin::call(p, entry, safeAnswer, std::forward<Call>(body));
    }

    static constexpr clap_plugin_audio_ports_t audioPorts{
        [](const clap_plugin_t* p, bool) { return on(p, "audio_ports.count", 0u, [](ClapPlugin&) { return 1u; }); },
        [](const clap_plugin_t* p, std::uint32_t index, bool isInput, clap_audio_port_info_t* info) {
            return on(p, "audio_ports.get", false, [&](ClapPlugin&) {
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
            });
        }};

    static constexpr clap_plugin_note_ports_t notePorts{
        [](const clap_plugin_t* p, bool isInput) {
            return on(p, "note_ports.count", 0u, [&](ClapPlugin&) { return isInput ? 1u : 0u; });
        },
        [](const clap_plugin_t* p, std::uint32_t index, bool isInput, clap_note_port_info_t* info) {
            return on(p, "note_ports.get", false, [&](ClapPlugin&) {
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
            });
        }};

    static constexpr clap_plugin_params_t params{
        [](const clap_plugin_t* p) {
            return on(p, "params.count", 0u, [](ClapPlugin&) { return static_cast<std::uint32_t>(kParameterCount); });
        },
        [](const clap_plugin_t* p, std::uint32_t index, clap_param_info_t* info) {
            return on(p, "params.get_info", false, [&](ClapPlugin& self) { return self.paramInfo(index, info); });
        },
        [](const clap_plugin_t* p, clap_id id, double* value) {
            return on(p, "params.get_value", false, [&](ClapPlugin& self) { return self.paramValue(id, value); });
        },
        [](const clap_plugin_t* p, clap_id id, double value, char* buffer, std::uint32_t capacity) {
            return on(p, "params.value_to_text", false,
                      [&](ClapPlugin& self) { return self.valueToText(id, value, buffer, capacity); });
        },
        [](const clap_plugin_t* p, clap_id id, const char* text, double* value) {
            return on(p, "params.text_to_value", false,
                      [&](ClapPlugin& self) { return self.textToValue(id, text, value); });
        },
        [](const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
            on(p, "params.flush", 0, [&](ClapPlugin& self) { return self.flush(in, out), 0; });
        }};

    static constexpr clap_plugin_state_t state{
        [](const clap_plugin_t* p, const clap_ostream_t* stream) {
            return on(p, "state.save", false, [&](ClapPlugin& self) { return self.saveState(stream); });
        },
        [](const clap_plugin_t* p, const clap_istream_t* stream) {
            return on(p, "state.load", false, [&](ClapPlugin& self) { return self.loadState(stream); });
        }};

    static constexpr clap_plugin_latency_t latency{[](const clap_plugin_t* p) {
        return on(p, "latency.get", 0u, [](ClapPlugin& self) {
            // While active the host keeps the latency it read at activation.
            if (!self.instance_) return 0u;
            return self.active_.load() ? self.reportedLatency_ : static_cast<std::uint32_t>(self.instance_->latency());
        });
    }};

    static constexpr clap_plugin_gui_t gui{
        [](const clap_plugin_t* p, const char* api, bool floating) {
            return on(p, "gui.is_api_supported", false,
                      [&](ClapPlugin&) { return ClapPlugin::guiApiSupported(api, floating); });
        },
        [](const clap_plugin_t* p, const char** api, bool* floating) {
            return on(p, "gui.get_preferred_api", false, [&](ClapPlugin&) {
                if (api == nullptr || floating == nullptr) return false;
                *api = kClapWindowApiX11;
                *floating = false;
                return true;
            });
        },
        [](const clap_plugin_t* p, const char* api, bool floating) {
            return on(p, "gui.create", false, [&](ClapPlugin& self) { return self.guiCreate(api, floating); });
        },
        [](const clap_plugin_t* p) { on(p, "gui.destroy", 0, [](ClapPlugin& self) { return self.guiDestroy(), 0; }); },
        // The editor draws at its own pixel size: the host scales around it.
        [](const clap_plugin_t* p, double) { return on(p, "gui.set_scale", false, [](ClapPlugin&) { return false; }); },
        [](const clap_plugin_t* p, std::uint32_t* width, std::uint32_t* height) {
            return on(p, "gui.get_size", false, [&](ClapPlugin& self) { return self.guiSize(width, height); });
        },
        [](const clap_plugin_t* p) { return on(p, "gui.can_resize", false, [](ClapPlugin&) { return false; }); },
        [](const clap_plugin_t* p, clap_gui_resize_hints_t*) {
            return on(p, "gui.get_resize_hints", false, [](ClapPlugin&) { return false; });
        },
        [](const clap_plugin_t* p, std::uint32_t* width, std::uint32_t* height) {
            return on(p, "gui.adjust_size", false, [&](ClapPlugin& self) { return self.guiSize(width, height); });
        },
        [](const clap_plugin_t* p, std::uint32_t width, std::uint32_t height) {
            return on(p, "gui.set_size", false, [&](ClapPlugin& self) {
                std::uint32_t w = 0;
                std::uint32_t h = 0;
                return self.guiSize(&w, &h) && w == width && h == height;
            });
        },
        [](const clap_plugin_t* p, const clap_window_t* window) {
            return on(p, "gui.set_parent", false, [&](ClapPlugin& self) { return self.guiSetParent(window); });
        },
        [](const clap_plugin_t* p, const clap_window_t*) {
            return on(p, "gui.set_transient", false, [](ClapPlugin&) { return false; });
        },
        [](const clap_plugin_t* p, const char*) { on(p, "gui.suggest_title", 0, [](ClapPlugin&) { return 0; }); },
        [](const clap_plugin_t* p) { return on(p, "gui.show", false, [](ClapPlugin& self) { return self.guiCreated_; }); },
        [](const clap_plugin_t* p) { return on(p, "gui.hide", false, [](ClapPlugin& self) { return self.guiCreated_; }); },
    };

    static constexpr clap_plugin_timer_support_t timers{[](const clap_plugin_t* p, clap_id id) {
        on(p, "timer_support.on_timer", 0, [&](ClapPlugin& self) { return self.onTimer(id), 0; });
    }};

    // Offline rendering needs nothing different: the plug-in has no realtime-only path.
    static constexpr clap_plugin_render_t render{
        [](const clap_plugin_t* p) {
            return on(p, "render.has_hard_realtime_requirement", false, [](ClapPlugin&) { return false; });
        },
        [](const clap_plugin_t* p, clap_plugin_render_mode mode) {
            return on(p, "render.set", false, [&](ClapPlugin& self) {
                if (mode != CLAP_RENDER_REALTIME && mode != CLAP_RENDER_OFFLINE) {
                    std::fprintf(stderr, "Lumenfold: CLAP render mode %d refused\n", mode);
                    return false;
                }
                self.renderMode_ = mode;
                return true;
            });
        }};
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
        {kClapExtAudioPorts, &Extensions::audioPorts}, {kClapExtNotePorts, &Extensions::notePorts},
        {kClapExtParams, &Extensions::params},         {kClapExtState, &Extensions::state},
        {kClapExtLatency, &Extensions::latency},       {kClapExtGui, &Extensions::gui},
        {kClapExtTimerSupport, &Extensions::timers},   {kClapExtRender, &Extensions::render},
    };
    for (const auto& entry : offered) {
        if (std::strcmp(entry.id, id) == 0) return entry.record;
    }
    std::fprintf(stderr, "Lumenfold: CLAP extension \"%.64s\" not offered\n", id);
    return nullptr;
}

}  // namespace

const clap_plugin_descriptor_t& descriptor() { return kDescriptor; }

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
