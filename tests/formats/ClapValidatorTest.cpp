// The checks a public CLAP validator runs against a plug-in file, as our own tests: the
// built Lumenfold.clap loaded through our host, driven with random audio, notes, parameter
// values, states and transports, and every block's output checked (written, finite, not
// subnormal, bounded, nothing past the block, inputs left alone, events in order).

#include "FormatFixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <set>
#include <sstream>

using namespace formats;

namespace {

constexpr double kRate = 48000.0;
constexpr std::uint32_t kFramesPerBlock = 512;
// A blow-up, not a loud setting: noise at full scale through both +36 dB gains with dry
// and wet at full peaks near 8000.
constexpr float kOutputBound = 1.0e5f;
constexpr float kQuiet = 0.001f;                       // -60 dBFS, as a host judges a channel quiet
constexpr std::uint32_t kUnwrittenBits = 0x7fc01234u;  // a NaN no computation makes
constexpr std::uint64_t kWholeStream = ~std::uint64_t{0};  // a state stream that takes or gives all asked

using Rng = std::mt19937;
double uniform(Rng& rng, double low, double high)
{
    return std::uniform_real_distribution<double>(low, high)(rng);
}
int integer(Rng& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}
bool chance(Rng& rng, double p)
{
    return uniform(rng, 0.0, 1.0) < p;
}

float unwritten()
{
    float value;
    std::memcpy(&value, &kUnwrittenBits, sizeof value);
    return value;
}
bool isUnwritten(float value)
{
    return std::memcmp(&value, &kUnwrittenBits, sizeof value) == 0;
}

// Any event a host sends, kept by value so a block's list owns its events.
union AnyEvent {
    clap_event_header_t header;
    clap_event_note_t note;
    clap_event_param_value_t value;
    clap_event_param_mod_t mod;
    clap_event_midi_t midi;
    clap_event_transport_t transport;
};

clap_event_header_t header(std::uint16_t type, std::uint32_t size, std::uint32_t time)
{
    return {size, time, kClapCoreEventSpaceId, type, 0};
}

class EventList {
public:
    template <typename Event>
    void add(const Event& event)
    {
        AnyEvent any{};
        std::memcpy(&any, &event, sizeof event);
        events_.push_back(any);
    }
    // The events sorted by time (stable: same-time events keep their order).
    std::vector<const clap_event_header_t*> inTimeOrder()
    {
        std::stable_sort(events_.begin(), events_.end(),
                         [](const AnyEvent& a, const AnyEvent& b) { return a.header.time < b.header.time; });
        std::vector<const clap_event_header_t*> list;
        for (const AnyEvent& event : events_) list.push_back(&event.header);
        return list;
    }
    void clear() { events_.clear(); }

private:
    std::vector<AnyEvent> events_;
};

clap_event_param_value_t paramValue(clap_id id, double value, std::uint32_t time, void* cookie)
{
    clap_event_param_value_t event{};
    event.header = header(CLAP_EVENT_PARAM_VALUE, sizeof event, time);
    event.param_id = id;
    event.cookie = cookie;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;
    return event;
}

// Stereo buffers with room after the block, in place (inputs are the outputs) or not.
class StereoAudio {
public:
    StereoAudio(std::uint32_t capacity, bool inPlace)
        : capacity_(capacity),
          inPlace_(inPlace),
          in_(2, std::vector<float>(capacity)),
          out_(inPlace ? 0 : 2, std::vector<float>(capacity))
    {
        for (int c = 0; c < 2; ++c) inputs_[c] = in_[c].data();
        for (int c = 0; c < 2; ++c) outputs_[c] = inPlace ? in_[c].data() : out_[c].data();
    }
    void fill(const std::function<float()>& sample)
    {
        for (auto& channel : in_) std::generate(channel.begin(), channel.end(), sample);
    }
    void fillNoise(Rng& rng)
    {
        fill([&] { return static_cast<float>(uniform(rng, -1.0, 1.0)); });
    }
    void fillSilence()
    {
        fill([] { return 0.0f; });
    }
    void markOutputsUnwritten()
    {
        for (auto& channel : out_) std::fill(channel.begin(), channel.end(), unwritten());
    }
    float* const* inputs() const { return inputs_.data(); }
    float* const* outputs() const { return outputs_.data(); }
    std::uint32_t capacity() const { return capacity_; }
    bool inPlace() const { return inPlace_; }
    const std::vector<std::vector<float>>& inputChannels() const { return in_; }
    const std::vector<std::vector<float>>& outputChannels() const { return inPlace_ ? in_ : out_; }

private:
    std::uint32_t capacity_;
    bool inPlace_;
    std::vector<std::vector<float>> in_;
    std::vector<std::vector<float>> out_;
    std::array<float*, 2> inputs_{};
    std::array<float*, 2> outputs_{};
};

bool channelQuiet(const std::vector<float>& channel, std::uint32_t frames)
{
    for (std::uint32_t i = 0; i < frames; ++i)
        if (std::fabs(channel[i] - channel[0]) > kQuiet) return false;
    return true;
}

// What is wrong with one output channel of a block, or "".
std::string outputProblem(const std::vector<float>& after, const std::vector<float>& before, std::uint32_t frames)
{
    std::ostringstream problem;
    for (std::uint32_t i = 0; i < after.size(); ++i) {
        const float x = after[i];
        if (i >= frames) {
            if (std::memcmp(&x, &before[i], sizeof x) != 0) problem << "sample " << i << " past the block written";
        } else if (isUnwritten(x)) {
            problem << "sample " << i << " left unwritten";
        } else if (!std::isfinite(x) || std::fabs(x) > kOutputBound) {
            problem << "sample " << i << " is " << x;
        } else if (std::fpclassify(x) == FP_SUBNORMAL) {
            problem << "sample " << i << " is subnormal";
        }
        if (problem.tellp() > 0) return problem.str();
    }
    return {};
}

// Notes and MIDI for the plug-in's note port, as consistent, inconsistent or wildcard
// streams; kinds the port takes in both dialects.
enum class NoteStream { Consistent, Inconsistent, Wildcard };

class NoteGenerator {
public:
    explicit NoteGenerator(NoteStream stream = NoteStream::Consistent) : stream_(stream) {}

    // Events at random offsets in [0, frames), steps of minStep..maxStep (negative: same frame).
    void addEvents(Rng& rng, EventList& events, std::uint32_t frames, int minStep = -4, int maxStep = 64)
    {
        for (int time = std::max(0, integer(rng, minStep, maxStep)); time < static_cast<int>(frames);
             time += std::max(0, integer(rng, minStep, maxStep))) {
            addEvent(rng, events, static_cast<std::uint32_t>(time));
        }
    }
    void stopAll(EventList& events, std::uint32_t time)
    {
        for (const Note& note : active_) events.add(clapNote(CLAP_EVENT_NOTE_OFF, note, time, 0.0));
        active_.clear();
    }
    void forget() { active_.clear(); }

private:
    struct Note {
        std::int32_t id;
        std::int16_t channel;
        std::int16_t key;
    };
    enum Kind {
        ClapOn,
        ClapOff,
        ClapChoke,
        MidiOn,
        MidiOff,
        PolyPressure,
        Controller,
        PitchBend,
        Pressure,
        Program,
        kKinds
    };

    void addEvent(Rng& rng, EventList& events, std::uint32_t time)
    {
        const auto kind = static_cast<Kind>(integer(rng, 0, kKinds - 1));
        const bool starts = kind == ClapOn || kind == MidiOn;
        const bool endsOrTouches = kind == ClapOff || kind == ClapChoke || kind == MidiOff || kind == PolyPressure;
        if (starts) {
            const Note note{nextId_++, static_cast<std::int16_t>(integer(rng, 0, 15)),
                            static_cast<std::int16_t>(integer(rng, 0, 127))};
            if (stream_ != NoteStream::Inconsistent) active_.push_back(note);
            if (kind == ClapOn)
                events.add(clapNote(CLAP_EVENT_NOTE_ON, note, time, uniform(rng, 0.0, 1.0)));
            else
                events.add(midi(time, 0x90 | note.channel, note.key, integer(rng, 1, 127)));
            return;
        }
        if (endsOrTouches) {
            Note note = randomNote(rng);
            if (stream_ != NoteStream::Inconsistent) {
                if (active_.empty()) return;
                const auto at = active_.begin() + integer(rng, 0, static_cast<int>(active_.size()) - 1);
                note = *at;
                if (kind != PolyPressure) active_.erase(at);
            }
            if (kind == MidiOff)
                events.add(midi(time, 0x80 | note.channel, note.key, integer(rng, 0, 127)));
            else if (kind == PolyPressure)
                events.add(midi(time, 0xa0 | note.channel, note.key, integer(rng, 0, 127)));
            else
                addClapEnd(rng, events, kind == ClapOff ? CLAP_EVENT_NOTE_OFF : CLAP_EVENT_NOTE_CHOKE, note, time);
            return;
        }
        const int channel = integer(rng, 0, 15);
        const int bend = integer(rng, 0, 16383);
        switch (kind) {
        case Controller: events.add(midi(time, 0xb0 | channel, integer(rng, 0, 127), integer(rng, 0, 127))); break;
        case PitchBend: events.add(midi(time, 0xe0 | channel, bend & 0x7f, bend >> 7)); break;
        case Pressure: events.add(midi(time, 0xd0 | channel, integer(rng, 0, 127), 0)); break;
        default: events.add(midi(time, 0xc0 | channel, integer(rng, 0, 127), 0)); break;
        }
    }

    // A note's end, with some of its fields made wildcards in a wildcard stream.
    void addClapEnd(Rng& rng, EventList& events, std::uint16_t type, const Note& note, std::uint32_t time)
    {
        clap_event_note_t event = clapNote(type, note, time, uniform(rng, 0.0, 1.0));
        if (stream_ == NoteStream::Wildcard) {
            if (chance(rng, 0.5)) event.note_id = -1;
            if (chance(rng, 0.5)) event.port_index = -1;
            if (chance(rng, 0.5)) event.channel = -1;
            if (chance(rng, 0.5)) event.key = -1;
        }
        events.add(event);
    }

    Note randomNote(Rng& rng)
    {
        return {integer(rng, -1, 1000), static_cast<std::int16_t>(integer(rng, 0, 15)),
                static_cast<std::int16_t>(integer(rng, 0, 127))};
    }
    static clap_event_note_t clapNote(std::uint16_t type, const Note& note, std::uint32_t time, double velocity)
    {
        clap_event_note_t event{};
        event.header = header(type, sizeof event, time);
        event.note_id = note.id;
        event.port_index = 0;
        event.channel = note.channel;
        event.key = note.key;
        event.velocity = velocity;
        return event;
    }
    static clap_event_midi_t midi(std::uint32_t time, int status, int data1, int data2)
    {
        clap_event_midi_t event{};
        event.header = header(CLAP_EVENT_MIDI, sizeof event, time);
        event.port_index = 0;
        event.data[0] = static_cast<std::uint8_t>(status);
        event.data[1] = static_cast<std::uint8_t>(data1);
        event.data[2] = static_cast<std::uint8_t>(data2);
        return event;
    }

    NoteStream stream_;
    std::vector<Note> active_;
    std::int32_t nextId_ = 0;
};

// A host's transport that changes at random, with deliberately absurd values in every
// field its flags say is absent.
class TransportFuzzer {
public:
    void mutate(Rng& rng)
    {
        if (chance(rng, kChange)) playing_ = !playing_;
        if (chance(rng, kChange)) recording_ = !recording_;
        if (chance(rng, kChange))
            signature_ = chance(rng, 0.5)
                             ? std::nullopt
                             : std::optional<std::pair<int, int>>({integer(rng, 1, 16), 1 << integer(rng, 0, 3)});
        if (chance(rng, kChange))
            tempo_ = chance(rng, 0.5) ? std::nullopt : std::optional<double>(uniform(rng, 40, 480));
        if (tempo_ && chance(rng, kChange)) tempoIncrement_ = uniform(rng, -0.01, 0.01);
        if (chance(rng, kChange)) {
            seconds_ = chance(rng, 0.5) ? std::nullopt : std::optional<double>(uniform(rng, 0, 60));
            beats_ = chance(rng, 0.5) ? std::nullopt : std::optional<double>(uniform(rng, 0, 240));
        }
        if (!tempo_) beats_.reset();
        if (!playing_) tempoIncrement_ = 0.0;
    }
    void advance(std::uint32_t frames, double rate)
    {
        const double seconds = frames / rate;
        if (seconds_) *seconds_ += seconds;
        if (beats_ && tempo_) *beats_ += seconds * *tempo_ / 60.0;
    }
    clap_event_transport_t event(std::uint32_t time) const
    {
        clap_event_transport_t t{};
        t.header = header(CLAP_EVENT_TRANSPORT, sizeof t, time);
        t.flags = (playing_ ? CLAP_TRANSPORT_IS_PLAYING : 0u) | (recording_ ? CLAP_TRANSPORT_IS_RECORDING : 0u) |
                  (tempo_ ? CLAP_TRANSPORT_HAS_TEMPO : 0u) | (beats_ ? CLAP_TRANSPORT_HAS_BEATS_TIMELINE : 0u) |
                  (seconds_ ? CLAP_TRANSPORT_HAS_SECONDS_TIMELINE : 0u) |
                  (signature_ ? CLAP_TRANSPORT_HAS_TIME_SIGNATURE : 0u);
        constexpr auto kAbsent = std::numeric_limits<std::int64_t>::min();
        t.song_pos_beats = beats_ ? std::llround(*beats_ * kClapBeatTimeFactor) : kAbsent;
        t.song_pos_seconds = seconds_ ? std::llround(*seconds_ * kClapSecTimeFactor) : kAbsent;
        t.tempo = tempo_ ? *tempo_ : std::nan("");
        t.tempo_inc = tempo_ ? tempoIncrement_ : std::nan("");
        t.loop_start_beats = t.loop_start_seconds = std::numeric_limits<std::int64_t>::max();
        t.loop_end_beats = t.loop_end_seconds = kAbsent;
        t.tsig_num = signature_ ? static_cast<std::uint16_t>(signature_->first) : 0xffff;
        t.tsig_denom = signature_ ? static_cast<std::uint16_t>(signature_->second) : 0;
        return t;
    }

private:
    static constexpr double kChange = 0.2;
    bool playing_ = false;
    bool recording_ = false;
    std::optional<std::pair<int, int>> signature_;
    std::optional<double> tempo_;
    double tempoIncrement_ = 0.0;
    std::optional<double> seconds_;
    std::optional<double> beats_;
};

class ClapValidator : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(load(plugin_)); }

    bool load(std::unique_ptr<lfhost::ClapPluginHost>& host)
    {
        host = loadClap();
        if (!host) return false;
        if (&host == &plugin_) restartsServed_ = callbacksServed_ = 0;
        params_ = host->extension<clap_plugin_params_t>(kClapExtParams);
        if (params_ == nullptr) return false;
        infos_.resize(params_->count(host->plugin()));
        for (std::uint32_t i = 0; i < infos_.size(); ++i)
            if (!params_->get_info(host->plugin(), i, &infos_[i])) return false;
        return true;
    }

    bool activate(double rate = kRate, std::uint32_t maxFrames = kFramesPerBlock)
    {
        rate_ = rate;
        maxFrames_ = maxFrames;
        plugin_->deactivate();
        return plugin_->activate(rate, maxFrames);
    }

    // What a host does between blocks: a restart asked for is a reactivation, a main-thread
    // callback asked for is given.
    bool serveRequests()
    {
        if (plugin_->callbackRequests() != callbacksServed_) {
            callbacksServed_ = plugin_->callbackRequests();
            plugin_->plugin()->on_main_thread(plugin_->plugin());
        }
        if (plugin_->restartRequests() == restartsServed_) return true;
        restartsServed_ = plugin_->restartRequests();
        return activate(rate_, maxFrames_);
    }

    // Processes the first `frames` of `audio` with `events` and checks every output sample,
    // the input (out of place), the output events and the status; the problem found, or "".
    std::string process(StereoAudio& audio, std::uint32_t frames, EventList& events,
                        const clap_event_transport_t* transport = nullptr)
    {
        if (!plugin_->active() && !activate(kRate, audio.capacity())) return "activation refused";
        if (!serveRequests()) return "reactivation refused";
        audio.markOutputsUnwritten();
        const auto inputsBefore = audio.inputChannels();
        const auto outputsBefore = audio.outputChannels();
        plugin_->clearOutputEvents();
        lfhost::ClapPluginHost::Block block;
        block.inputs = audio.inputs();
        block.outputs = audio.outputs();
        block.frames = frames;
        block.events = events.inTimeOrder();
        block.transport = transport;
        block.steadyTime = steadyTime_;
        for (int c = 0; c < 2; ++c) {  // as hosts mark constant inputs
            const auto& in = audio.inputChannels()[c];
            if (std::all_of(in.begin(), in.begin() + frames, [&](float x) { return x == in[0]; }))
                block.inputConstantMask |= 1u << c;
        }
        steadyTime_ += frames;
        last_ = plugin_->process(block);
        events.clear();
        for (int c = 0; c < 2; ++c) {
            const auto& after = audio.outputChannels()[c];
            if (std::string problem = outputProblem(after, outputsBefore[c], frames); !problem.empty())
                return "output " + std::to_string(c) + ": " + problem;
            if (!audio.inPlace() && audio.inputChannels()[c] != inputsBefore[c]) return "input overwritten";
            if ((last_.outputConstantMask >> c & 1u) && !channelQuiet(after, frames))
                return "channel marked constant is not";
        }
        return statusProblem() + outputEventProblem(frames);
    }

    // Blocks of noise and random notes; the first problem, or "".
    std::string processNoise(Rng& rng, StereoAudio& audio, int blocks, std::uint32_t frames,
                             NoteGenerator* notes = nullptr)
    {
        NoteGenerator consistent;
        EventList events;
        for (int b = 0; b < blocks; ++b) {
            audio.fillNoise(rng);
            (notes ? notes : &consistent)->addEvents(rng, events, frames);
            if (std::string problem = process(audio, frames, events); !problem.empty())
                return "block " + std::to_string(b) + ": " + problem;
        }
        return {};
    }

    // Sets of random values (or range ends) for every parameter, each played for a few
    // blocks of noise and notes.
    void fuzzParameters(bool toBounds)
    {
        StereoAudio audio(kFramesPerBlock, false);
        NoteGenerator notes;
        for (int set = 0; set < 50; ++set) {
            EventList events;
            randomizeAll(rng_, events, 0, toBounds);
            for (int b = 0; b < 5; ++b) {
                audio.fillNoise(rng_);
                notes.addEvents(rng_, events, kFramesPerBlock, -1, 128);
                ASSERT_EQ(process(audio, kFramesPerBlock, events), "") << "set " << set << ", block " << b;
            }
        }
    }

    // Notes and MIDI of the stream's kind with noise; well-formed events are never
    // reported as bad.
    void playNotes(NoteStream stream)
    {
        StereoAudio audio(kFramesPerBlock, false);
        NoteGenerator notes(stream);
        EXPECT_EQ(processNoise(rng_, audio, 5, kFramesPerBlock, &notes), "");
        EXPECT_EQ(plugin_->callbackRequests(), 0);
    }

    // Random values saved by one instance and loaded into a fresh one: the values come
    // back, the host is told to reread them, the parameters' infos stay, and the state
    // saved again is the same (byte for byte where asked). The streams take and give at
    // most the chunks given.
    void stateRoundTrip(std::uint64_t writeChunk, std::uint64_t readChunk, bool sameBytes)
    {
        EventList events;
        randomizeAll(rng_, events, 0);
        plugin_->flush(events.inTimeOrder());
        const std::vector<double> expected = values();
        const std::vector<std::uint8_t> saved = plugin_->saveState(writeChunk);
        ASSERT_FALSE(saved.empty());
        const std::vector<clap_param_info_t> infosBefore = infos_;

        ASSERT_TRUE(load(plugin_));
        const std::vector<double> fresh = values();
        ASSERT_TRUE(plugin_->loadState(saved, readChunk));
        if (!differences(values(), fresh).empty()) {
            EXPECT_TRUE(plugin_->rescanFlags() & (CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_ALL));
        }
        for (std::size_t i = 0; i < infos_.size(); ++i) {
            clap_param_info_t now{};
            ASSERT_TRUE(params_->get_info(plugin_->plugin(), static_cast<std::uint32_t>(i), &now));
            const clap_param_info_t& was = infosBefore[i];
            EXPECT_TRUE(now.id == was.id && now.flags == was.flags && now.min_value == was.min_value &&
                        now.max_value == was.max_value && std::strcmp(now.name, was.name) == 0)
                << "info of parameter " << i << " changed without a rescan";
        }
        EXPECT_EQ(differences(values(), expected), "");
        const std::vector<std::uint8_t> again = plugin_->saveState(writeChunk);
        if (sameBytes) {
            EXPECT_EQ(again, saved);
        }
    }

    std::string statusProblem() const
    {
        switch (last_.status) {
        case CLAP_PROCESS_CONTINUE:
        case CLAP_PROCESS_CONTINUE_IF_NOT_QUIET:
        case CLAP_PROCESS_SLEEP: return {};
        case CLAP_PROCESS_TAIL:
            return plugin_->extension<void>(kClapExtTail) ? std::string() : "TAIL answered without the tail extension";
        default: return "process answered " + std::to_string(last_.status);
        }
    }

    std::string outputEventProblem(std::uint32_t frames) const
    {
        std::uint32_t previous = 0;
        for (const auto& event : plugin_->outputEvents()) {
            if (event.time < previous || event.time >= frames) return "output event out of order or past the block";
            if (event.type == CLAP_EVENT_TRANSPORT) return "transport event sent by the plug-in";
            previous = event.time;
        }
        return {};
    }

    // A value for every parameter at `time`: random, or at one end of its range.
    void randomizeAll(Rng& rng, EventList& events, std::uint32_t time, bool toBounds = false, bool cookies = true)
    {
        for (const clap_param_info_t& info : infos_) {
            if (info.flags & CLAP_PARAM_IS_READONLY) continue;
            const double value =
                toBounds ? (chance(rng, 0.5) ? info.min_value : info.max_value) : randomValue(rng, info);
            events.add(paramValue(info.id, value, time, cookies ? info.cookie : nullptr));
        }
    }
    static double randomValue(Rng& rng, const clap_param_info_t& info)
    {
        const double value = uniform(rng, info.min_value, info.max_value);
        return (info.flags & CLAP_PARAM_IS_STEPPED) ? std::round(value) : value;
    }

    std::vector<double> values() const { return valuesOf(*plugin_); }
    std::vector<double> valuesOf(const lfhost::ClapPluginHost& host) const
    {
        std::vector<double> result;
        for (const clap_param_info_t& info : infos_) result.push_back(host.parameter(info.id));
        return result;
    }
    std::string text(clap_id id, double value) const
    {
        char buffer[256] = {};
        return params_->value_to_text(plugin_->plugin(), id, value, buffer, sizeof buffer) ? buffer : "(none)";
    }
    // The parameters whose values differ beyond what a host can tell apart, as a list.
    std::string differences(const std::vector<double>& a, const std::vector<double>& b) const
    {
        std::ostringstream list;
        int count = 0;
        for (std::size_t i = 0; i < infos_.size(); ++i) {
            const clap_param_info_t& info = infos_[i];
            const bool stepped = info.flags & CLAP_PARAM_IS_STEPPED;
            const double range = info.max_value - info.min_value;
            const bool same =
                stepped ? std::lround(a[i]) == std::lround(b[i])
                        : std::fabs(a[i] - b[i]) <= 1e-4 * range || text(info.id, a[i]) == text(info.id, b[i]);
            if (!same && count++ < 5)
                list << " " << info.name << " (" << info.id << "): " << a[i] << " vs " << b[i] << ";";
        }
        return count ? std::to_string(count) + " differ:" + list.str() : std::string();
    }

    std::unique_ptr<lfhost::ClapPluginHost> plugin_;
    const clap_plugin_params_t* params_ = nullptr;
    std::vector<clap_param_info_t> infos_;
    lfhost::ClapPluginHost::BlockResult last_{CLAP_PROCESS_ERROR, 0};
    std::int64_t steadyTime_ = 0;
    double rate_ = kRate;
    std::uint32_t maxFrames_ = kFramesPerBlock;
    int restartsServed_ = 0;
    int callbacksServed_ = 0;
    Rng rng_{20261209};
};

const clap_plugin_descriptor_t* factoryDescriptor(const lfhost::ClapPluginHost& host)
{
    const auto* factory = static_cast<const clap_plugin_factory_t*>(host.entry()->get_factory(kClapPluginFactoryId));
    return factory ? factory->get_plugin_descriptor(factory, 0) : nullptr;
}

std::string orEmpty(const char* text)
{
    return text ? text : "(null)";
}

}  // namespace

// Scanning: the library opened with every symbol bound (RTLD_NOW), every descriptor read,
// the library closed. How long that takes is measured by the CLAP benchmark (bench/).
TEST_F(ClapValidator, ScanRtldNow)
{
    std::string error;
    const auto plugins = lfhost::ClapPluginHost::scan(LUMENFOLD_CLAP_PATH, &error);
    ASSERT_EQ(plugins.size(), 1u) << error;
    EXPECT_TRUE(clapVersionIsCompatible(plugins[0].clapVersion));
}

// A factory id nobody offers gets no factory, a plug-in id with text after ours no plug-in.
TEST_F(ClapValidator, QueryNonexistentFactoryAndIdWithTrailingGarbage)
{
    EXPECT_EQ(plugin_->entry()->get_factory("clap.no-such-factory"), nullptr);
    const auto* factory = static_cast<const clap_plugin_factory_t*>(plugin_->entry()->get_factory(kClapPluginFactoryId));
    ASSERT_NE(factory, nullptr);
    clap_host_t host{};
    host.clap_version = kClapVersion;
    const std::string id = std::string(plugin_->plugin()->desc->id) + "-and-more";
    EXPECT_EQ(factory->create_plugin(factory, &host, id.c_str()), nullptr);
}

TEST_F(ClapValidator, DescriptorConsistency)
{
    const clap_plugin_descriptor_t* f = factoryDescriptor(*plugin_);
    const clap_plugin_descriptor_t* p = plugin_->plugin()->desc;
    ASSERT_TRUE(f && p);
    for (auto field :
         {&clap_plugin_descriptor_t::id, &clap_plugin_descriptor_t::name, &clap_plugin_descriptor_t::vendor,
          &clap_plugin_descriptor_t::url, &clap_plugin_descriptor_t::manual_url, &clap_plugin_descriptor_t::support_url,
          &clap_plugin_descriptor_t::version, &clap_plugin_descriptor_t::description}) {
        EXPECT_EQ(orEmpty(f->*field), orEmpty(p->*field));
    }
    EXPECT_EQ(std::memcmp(&f->clap_version, &p->clap_version, sizeof f->clap_version), 0);
    std::vector<std::string> factoryFeatures, pluginFeatures;
    for (const char* const* it = f->features; it && *it; ++it) factoryFeatures.emplace_back(*it);
    for (const char* const* it = p->features; it && *it; ++it) pluginFeatures.emplace_back(*it);
    EXPECT_EQ(factoryFeatures, pluginFeatures);
}

// At least one of the main categories, and no feature twice.
TEST_F(ClapValidator, FeaturesCategories)
{
    const std::set<std::string> mainCategories = {"instrument", "audio-effect", "note-detector", "note-effect",
                                                  "analyzer"};
    std::vector<std::string> features;
    for (const char* const* it = plugin_->plugin()->desc->features; it && *it; ++it) features.emplace_back(*it);
    EXPECT_TRUE(
        std::any_of(features.begin(), features.end(), [&](const std::string& f) { return mainCategories.count(f); }));
    EXPECT_EQ(std::set<std::string>(features.begin(), features.end()).size(), features.size());
}

TEST_F(ClapValidator, ProcessAudioOutOfPlaceBasic)
{
    StereoAudio audio(kFramesPerBlock, false);
    EXPECT_EQ(processNoise(rng_, audio, 5, kFramesPerBlock), "");
}

TEST_F(ClapValidator, ProcessAudioInPlaceBasic)
{
    StereoAudio audio(kFramesPerBlock, true);
    EXPECT_EQ(processNoise(rng_, audio, 5, kFramesPerBlock), "");
}

// 64-bit processing is offered on no port, so a host has only 32-bit buffers to give.
TEST_F(ClapValidator, ProcessAudioDouble)
{
    const auto* ports = plugin_->extension<clap_plugin_audio_ports_t>(kClapExtAudioPorts);
    ASSERT_NE(ports, nullptr);
    for (bool isInput : {true, false}) {
        clap_audio_port_info_t info{};
        ASSERT_TRUE(ports->get(plugin_->plugin(), 0, isInput, &info));
        EXPECT_EQ(info.flags & (CLAP_AUDIO_PORT_SUPPORTS_64BITS | CLAP_AUDIO_PORT_PREFERS_64BITS |
                                CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE),
                  0u);
    }
}

// Subnormal input never reaches the output as subnormal (every block is checked for it).
// What it costs against noise is measured by the CLAP benchmark (bench/), not here.
TEST_F(ClapValidator, ProcessAudioDenormals)
{
    StereoAudio audio(kFramesPerBlock, false);
    EventList none;
    for (int b = 0; b < 10; ++b) {
        audio.fill([&] { return static_cast<float>(uniform(rng_, -1.0, 1.0)) * std::numeric_limits<float>::min(); });
        EXPECT_EQ(process(audio, kFramesPerBlock, none), "") << "block " << b;
    }
}

// Silence, noise and notes in turns: every status is one a host knows, and a plug-in that
// said it sleeps writes quiet output while its input stays quiet.
TEST_F(ClapValidator, ProcessSleepProcessStatus)
{
    StereoAudio audio(kFramesPerBlock, false);
    NoteGenerator notes;
    EventList events;
    bool sleeping = false;
    for (bool quiet : {true, false, true, false, true, true}) {
        for (int b = 0; b < 10; ++b) {
            if (quiet) {
                audio.fillSilence();
                notes.stopAll(events, 0);
            } else {
                audio.fillNoise(rng_);
                notes.addEvents(rng_, events, kFramesPerBlock);
            }
            ASSERT_EQ(process(audio, kFramesPerBlock, events), "");
            if (sleeping && quiet) {
                for (const auto& channel : audio.outputChannels())
                    ASSERT_TRUE(channelQuiet(channel, kFramesPerBlock)) << "sleeping but not quiet";
            }
            sleeping = last_.status == CLAP_PROCESS_SLEEP ||
                       (last_.status == CLAP_PROCESS_CONTINUE_IF_NOT_QUIET && (last_.outputConstantMask & 3u) == 3u);
        }
    }
}

// Notes and MIDI of every kind the port takes: consistent, inconsistent (ends without a
// start, unknown ids) and wildcard ends (id, port, channel or key -1).
TEST_F(ClapValidator, ProcessNoteOutOfPlaceBasic)
{
    playNotes(NoteStream::Consistent);
}
TEST_F(ClapValidator, ProcessNoteInconsistent)
{
    playNotes(NoteStream::Inconsistent);
}
TEST_F(ClapValidator, ProcessNoteWildcard)
{
    playNotes(NoteStream::Wildcard);
}

// 1 kHz to 768 kHz, fractional rates among them.
TEST_F(ClapValidator, ProcessVaryingSampleRates)
{
    for (double rate : {1000.0, 1234.5678, 8000.0, 12345.678, 22050.0, 44100.0, 45678.901, 48000.0, 88200.0, 96000.0,
                        123456.78, 192000.0, 384000.0, 768000.0}) {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(activate(rate));
        StereoAudio audio(kFramesPerBlock, false);
        EXPECT_EQ(processNoise(rng_, audio, 5, kFramesPerBlock), "");
    }
}

// Each maximum block size from 1 to 16384 (non-powers of two among them), filled.
TEST_F(ClapValidator, ProcessVaryingBlockSizes)
{
    for (std::uint32_t size : {1u, 10u, 17u, 256u, 1024u, 1536u, 2027u, 4096u, 16384u}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(activate(kRate, size));
        StereoAudio audio(size, false);
        EXPECT_EQ(processNoise(rng_, audio, static_cast<int>(std::min(5u, 16384u / size)), size), "");
    }
}

// Blocks of random sizes up to the 2048 activated, one frame now and then.
TEST_F(ClapValidator, ProcessRandomBlockSizes)
{
    constexpr std::uint32_t kMaximum = 2048;
    ASSERT_TRUE(activate(kRate, kMaximum));
    StereoAudio audio(kMaximum, false);
    for (int b = 0; b < 20; ++b) {
        const auto frames = chance(rng_, 0.8) ? static_cast<std::uint32_t>(integer(rng_, 2, kMaximum)) : 1u;
        ASSERT_EQ(processNoise(rng_, audio, 1, frames), "") << frames << " frames";
    }
}

TEST_F(ClapValidator, ProcessResetReactivate)
{
    StereoAudio audio(kFramesPerBlock, false);
    NoteGenerator notes;
    ASSERT_EQ(processNoise(rng_, audio, 1, kFramesPerBlock, &notes), "");
    ASSERT_TRUE(activate());
    notes.forget();
    ASSERT_EQ(processNoise(rng_, audio, 1, kFramesPerBlock, &notes), "") << "after reactivation";
    plugin_->reset();
    notes.forget();
    EXPECT_EQ(processNoise(rng_, audio, 1, kFramesPerBlock, &notes), "") << "after reset";
}

// The one layout the ports declare is consistent: stable unique ids, the main port first,
// stereo with two channels, in-place pairs that name a port on the other side, note
// dialects that include the preferred one; and no extension offers other layouts.
TEST_F(ClapValidator, LayoutAudioPortsConfig)
{
    const auto* audio = plugin_->extension<clap_plugin_audio_ports_t>(kClapExtAudioPorts);
    ASSERT_NE(audio, nullptr);
    std::array<std::vector<clap_audio_port_info_t>, 2> sides;  // outputs, inputs
    for (bool isInput : {false, true}) {
        auto& ports = sides[isInput];
        ports.resize(audio->count(plugin_->plugin(), isInput));
        ASSERT_FALSE(ports.empty());
        std::set<clap_id> ids;
        for (std::uint32_t i = 0; i < ports.size(); ++i) {
            clap_audio_port_info_t& info = ports[i];
            ASSERT_TRUE(audio->get(plugin_->plugin(), i, isInput, &info));
            EXPECT_NE(info.id, kClapInvalidId);
            EXPECT_TRUE(ids.insert(info.id).second) << "duplicate port id";
            EXPECT_EQ((info.flags & CLAP_AUDIO_PORT_IS_MAIN) != 0, i == 0);
            EXPECT_GT(info.channel_count, 0u);
            if (info.port_type && std::strcmp(info.port_type, kClapPortStereo) == 0) {
                EXPECT_EQ(info.channel_count, 2u);
            }
        }
    }
    for (bool isInput : {false, true}) {
        for (const auto& info : sides[isInput]) {
            if (info.in_place_pair == kClapInvalidId) continue;
            const auto& other = sides[!isInput];
            const auto pair =
                std::find_if(other.begin(), other.end(), [&](const auto& o) { return o.id == info.in_place_pair; });
            ASSERT_NE(pair, other.end()) << "in-place pair names no port";
            EXPECT_EQ(pair->channel_count, info.channel_count);
            EXPECT_EQ(pair->in_place_pair, info.id);
        }
    }
    const auto* notes = plugin_->extension<clap_plugin_note_ports_t>(kClapExtNotePorts);
    ASSERT_NE(notes, nullptr);
    for (std::uint32_t i = 0; i < notes->count(plugin_->plugin(), true); ++i) {
        clap_note_port_info_t info{};
        ASSERT_TRUE(notes->get(plugin_->plugin(), i, true, &info));
        EXPECT_NE(info.supported_dialects, 0u);
        EXPECT_NE(info.supported_dialects & info.preferred_dialect, 0u);
    }
    for (const char* id : {kClapExtAudioPortsConfig, kClapExtConfigurableAudioPorts, kClapExtAudioPortsActivation})
        EXPECT_EQ(plugin_->extension<void>(id), nullptr) << id;
}

// Random values for every parameter: flushed to one instance and processed by another,
// they leave the same values, with the parameters' cookies and with null ones.
TEST_F(ClapValidator, ParamSetEvents)
{
    for (bool cookies : {true, false}) {
        SCOPED_TRACE(cookies ? "cookies" : "null cookies");
        std::unique_ptr<lfhost::ClapPluginHost> flushed;
        ASSERT_TRUE(load(flushed));
        const std::vector<double> initial = valuesOf(*flushed);
        EventList events;
        Rng flushRng(7);
        randomizeAll(flushRng, events, 0, false, cookies);
        flushed->flush(events.inTimeOrder());
        const std::vector<double> afterFlush = valuesOf(*flushed);
        ASSERT_NE(differences(afterFlush, initial), "") << "flush changed nothing";

        ASSERT_TRUE(load(plugin_));
        Rng processRng(7);
        EventList processed;
        randomizeAll(processRng, processed, 0, false, cookies);
        StereoAudio audio(kFramesPerBlock, false);
        audio.fillNoise(rng_);
        ASSERT_EQ(process(audio, kFramesPerBlock, processed), "");
        EXPECT_EQ(differences(values(), afterFlush), "");
    }
}

// Parameter values in another event space are not the plug-in's: nothing changes.
TEST_F(ClapValidator, ParamSetWrongNamespace)
{
    const std::vector<double> initial = values();
    EventList events;
    for (const clap_param_info_t& info : infos_) {
        clap_event_param_value_t event = paramValue(info.id, randomValue(rng_, info), 0, info.cookie);
        event.header.space_id = 0xb33f;
        events.add(event);
    }
    StereoAudio audio(kFramesPerBlock, false);
    audio.fillNoise(rng_);
    ASSERT_EQ(process(audio, kFramesPerBlock, events), "");
    EXPECT_EQ(values(), initial);
}

TEST_F(ClapValidator, ParamFuzzBasic)
{
    fuzzParameters(false);
}
TEST_F(ClapValidator, ParamFuzzBounds)
{
    fuzzParameters(true);
}

// Every parameter set anew every 1000, 100 and 10 frames, inside blocks.
TEST_F(ClapValidator, ParamFuzzSampleAccurate)
{
    StereoAudio audio(kFramesPerBlock, false);
    NoteGenerator notes;
    for (std::uint32_t interval : {1000u, 100u, 10u}) {
        SCOPED_TRACE(interval);
        std::uint32_t next = 0;
        for (std::uint32_t b = 0; b < (interval * 4 + kFramesPerBlock - 1) / kFramesPerBlock; ++b) {
            EventList events;
            for (; next < kFramesPerBlock; next += interval) randomizeAll(rng_, events, next);
            next -= kFramesPerBlock;
            audio.fillNoise(rng_);
            notes.addEvents(rng_, events, kFramesPerBlock, -1, 128);
            ASSERT_EQ(process(audio, kFramesPerBlock, events), "") << "block " << b;
        }
    }
}

// Values at irregular frames, modulation (which no parameter takes), per-note values and
// values outside the ranges: the output stays valid and every value inside its range.
TEST_F(ClapValidator, ParamFuzzModulation)
{
    StereoAudio audio(kFramesPerBlock, false);
    NoteGenerator notes;
    for (int b = 0; b < 10; ++b) {
        EventList events;
        for (int time = integer(rng_, 0, 20); time < static_cast<int>(kFramesPerBlock); time += integer(rng_, 0, 20)) {
            const clap_param_info_t& info =
                infos_[static_cast<std::size_t>(integer(rng_, 0, static_cast<int>(infos_.size()) - 1))];
            const double half = (info.max_value - info.min_value) / 2;
            const auto at = static_cast<std::uint32_t>(time);
            clap_event_param_mod_t mod{};
            mod.header = header(CLAP_EVENT_PARAM_MOD, sizeof mod, at);
            mod.param_id = info.id;
            mod.note_id = -1;
            mod.port_index = mod.channel = mod.key = -1;
            mod.amount = uniform(rng_, -half, half);
            clap_event_param_value_t perNote = paramValue(info.id, randomValue(rng_, info), at, info.cookie);
            perNote.key = static_cast<std::int16_t>(integer(rng_, 0, 127));
            perNote.note_id = integer(rng_, 0, 100);
            events.add(mod);
            events.add(perNote);
            events.add(paramValue(info.id, info.max_value + uniform(rng_, -3 * half, 3 * half), at, info.cookie));
        }
        audio.fillNoise(rng_);
        notes.addEvents(rng_, events, kFramesPerBlock);
        ASSERT_EQ(process(audio, kFramesPerBlock, events), "") << "block " << b;
    }
    for (const clap_param_info_t& info : infos_) {
        const double value = plugin_->parameter(info.id);
        EXPECT_TRUE(value >= info.min_value && value <= info.max_value) << info.name << " = " << value;
    }
}

// Five values across every parameter's range: value to text works for all, text back to
// value for all, and a second round gives the same text and value.
TEST_F(ClapValidator, ParamConversions)
{
    int failures = 0;
    for (const clap_param_info_t& info : infos_) {
        for (int i = 0; i < 5 && failures < 10; ++i) {
            const double start = info.min_value + (info.max_value - info.min_value) * i / 4.0;
            char first[256] = {}, second[256] = {};
            double value = 0.0, again = 0.0;
            const bool ok = params_->value_to_text(plugin_->plugin(), info.id, start, first, sizeof first) &&
                            params_->text_to_value(plugin_->plugin(), info.id, first, &value) &&
                            params_->value_to_text(plugin_->plugin(), info.id, value, second, sizeof second) &&
                            params_->text_to_value(plugin_->plugin(), info.id, second, &again);
            if (!ok || std::strcmp(first, second) != 0 || value != again) {
                ++failures;
                ADD_FAILURE() << info.name << " (" << info.id << ") " << start << " -> '" << first << "' -> " << value
                              << " -> '" << second << "' -> " << again;
            }
        }
    }
}

// Every parameter's info is well-formed (unique stable id, module path without empty
// parts, default inside the range, whole-number ends when stepped, read-only ones neither
// automatable nor modulatable, one stepped bypass at most) and its value after init is
// its default.
TEST_F(ClapValidator, ParamDefaultValues)
{
    std::set<clap_id> ids;
    int bypasses = 0;
    std::vector<double> defaults;
    for (const clap_param_info_t& info : infos_) {
        SCOPED_TRACE(info.name);
        const std::string module = info.module;
        EXPECT_NE(info.id, kClapInvalidId);
        EXPECT_TRUE(ids.insert(info.id).second) << "stable id twice";
        EXPECT_TRUE(module.empty() ||
                    (module.front() != '/' && module.back() != '/' && module.find("//") == std::string::npos));
        EXPECT_TRUE(info.min_value <= info.default_value && info.default_value <= info.max_value);
        if (info.flags & CLAP_PARAM_IS_STEPPED) {
            EXPECT_TRUE(info.min_value == std::trunc(info.min_value) && info.max_value == std::trunc(info.max_value));
        }
        if (info.flags & CLAP_PARAM_IS_READONLY) {
            EXPECT_EQ(info.flags & (CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE), 0u);
        }
        if (info.flags & CLAP_PARAM_IS_BYPASS) {
            ++bypasses;
            EXPECT_TRUE(info.flags & CLAP_PARAM_IS_STEPPED);
        }
        defaults.push_back(info.default_value);
    }
    EXPECT_LE(bypasses, 1);
    EXPECT_EQ(differences(values(), defaults), "");
}

TEST_F(ClapValidator, StateInvalidEmpty)
{
    const std::vector<std::uint8_t> before = plugin_->saveState();
    EXPECT_FALSE(plugin_->loadState({}));
    EXPECT_EQ(plugin_->saveState(), before);
}

// Three megabytes of random bytes, one at a time: refused, and nothing changed.
TEST_F(ClapValidator, StateInvalidRandom)
{
    const std::vector<std::uint8_t> before = plugin_->saveState();
    std::vector<std::uint8_t> bytes(1 << 20);
    for (int i = 0; i < 3; ++i) {
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(rng_());
        EXPECT_FALSE(plugin_->loadState(bytes));
    }
    EXPECT_EQ(plugin_->saveState(), before);
}

TEST_F(ClapValidator, StateReproducibilityBasic)
{
    stateRoundTrip(kWholeStream, kWholeStream, false);
}
TEST_F(ClapValidator, StateReproducibilityBuffered)
{
    stateRoundTrip(23, 17, false);
}
TEST_F(ClapValidator, StateReproducibilityBinary)
{
    stateRoundTrip(kWholeStream, kWholeStream, true);
}

TEST_F(ClapValidator, TransportNull)
{
    StereoAudio audio(128, false);
    NoteGenerator notes;
    EventList events;
    for (int b = 0; b < 5; ++b) {
        audio.fillNoise(rng_);
        notes.addEvents(rng_, events, 128, -1, 128);
        ASSERT_EQ(process(audio, 128, events, nullptr), "");
    }
}

// A transport that changes at random every block, absurd values in its absent fields.
TEST_F(ClapValidator, TransportFuzz)
{
    StereoAudio audio(128, false);
    NoteGenerator notes;
    TransportFuzzer transport;
    EventList events;
    for (int b = 0; b < 80; ++b) {
        transport.mutate(rng_);
        const clap_event_transport_t now = transport.event(0);
        audio.fillNoise(rng_);
        notes.addEvents(rng_, events, 128, -1, 128);
        ASSERT_EQ(process(audio, 128, events, &now), "") << "block " << b;
        transport.advance(128, kRate);
    }
}

// Transport events inside blocks every 1000, 100 and 1 frames.
TEST_F(ClapValidator, TransportFuzzSampleAccurate)
{
    StereoAudio audio(128, false);
    NoteGenerator notes;
    for (std::uint32_t interval : {1000u, 100u, 1u}) {
        SCOPED_TRACE(interval);
        TransportFuzzer transport;
        std::uint32_t next = 0;
        for (int b = 0; b < 20; ++b) {
            const clap_event_transport_t start = transport.event(0);
            EventList events;
            for (; next < 128; next += interval) {
                transport.advance(interval, kRate);
                transport.mutate(rng_);
                events.add(transport.event(next));
            }
            next -= 128;
            audio.fillNoise(rng_);
            notes.addEvents(rng_, events, 128, -1, 128);
            ASSERT_EQ(process(audio, 128, events, &start), "") << "block " << b;
        }
    }
}

// Every location each provider declares is indexed under both factory ids without error:
// each preset begun before its metadata, for this plug-in, with its own load key.
TEST_F(ClapValidator, PresetDiscoveryCrawl)
{
    for (const char* factory : {kClapPresetDiscoveryFactoryId, kClapPresetDiscoveryFactoryIdCompat}) {
        SCOPED_TRACE(factory);
        std::string error;
        const auto presets = plugin_->discoverPresets(factory, &error);
        ASSERT_FALSE(presets.empty()) << error;
        std::set<std::string> keys;
        for (const auto& preset : presets) {
            EXPECT_EQ(preset.misuse, "") << preset.name;
            EXPECT_FALSE(preset.name.empty());
            EXPECT_EQ(preset.pluginId, std::string("clap:") + plugin_->plugin()->desc->id);
            EXPECT_TRUE(keys.insert(preset.loadKey).second) << "load key twice: " << preset.loadKey;
        }
    }
}

// The descriptor the factory lists is the one the provider it creates carries.
TEST_F(ClapValidator, PresetDiscoveryDescriptorConsistency)
{
    const auto* factory = static_cast<const clap_preset_discovery_factory_t*>(
        plugin_->entry()->get_factory(kClapPresetDiscoveryFactoryId));
    ASSERT_NE(factory, nullptr);
    clap_preset_discovery_indexer_t indexer{};
    indexer.clap_version = kClapVersion;
    indexer.name = indexer.vendor = indexer.url = indexer.version = "";
    indexer.declare_filetype = [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_filetype_t*) {
        return true;
    };
    indexer.declare_location = [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_location_t*) {
        return true;
    };
    indexer.declare_soundpack = [](const clap_preset_discovery_indexer_t*, const clap_preset_discovery_soundpack_t*) {
        return true;
    };
    indexer.get_extension = [](const clap_preset_discovery_indexer_t*, const char*) -> const void* { return nullptr; };
    for (std::uint32_t i = 0; i < factory->count(factory); ++i) {
        const auto* listed = factory->get_descriptor(factory, i);
        ASSERT_NE(listed, nullptr);
        const auto* provider = factory->create(factory, &indexer, listed->id);
        ASSERT_TRUE(provider && provider->desc);
        EXPECT_EQ(orEmpty(provider->desc->id), orEmpty(listed->id));
        EXPECT_EQ(orEmpty(provider->desc->name), orEmpty(listed->name));
        EXPECT_EQ(orEmpty(provider->desc->vendor), orEmpty(listed->vendor));
        EXPECT_EQ(std::memcmp(&provider->desc->clap_version, &listed->clap_version, sizeof listed->clap_version), 0);
        provider->destroy(provider);
    }
}

// Every discovered preset loads into one instance, which then processes a valid block.
TEST_F(ClapValidator, PresetDiscoveryLoad)
{
    std::string error;
    const auto presets = plugin_->discoverPresets(kClapPresetDiscoveryFactoryId, &error);
    ASSERT_FALSE(presets.empty()) << error;
    StereoAudio audio(kFramesPerBlock, false);
    for (const auto& preset : presets) {
        plugin_->deactivate();  // presets load on the main thread, as a host loads them between blocks
        ASSERT_TRUE(plugin_->loadPreset(preset.loadKey)) << preset.name;
        EXPECT_EQ(processNoise(rng_, audio, 1, kFramesPerBlock), "") << preset.name;
    }
}
