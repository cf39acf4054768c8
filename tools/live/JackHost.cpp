#include "tools/live/JackHost.h"

#include "tools/host/PluginInstance.h"
#include "tools/host/RealtimeMidiBlock.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace lflive {
namespace {

constexpr int kChannels = 2;
const char* const kInputNames[kChannels] = {"in_1", "in_2"};
const char* const kOutputNames[kChannels] = {"out_1", "out_2"};

std::string statusText(jack_status_t status)
{
    if (status & JackServerFailed) return "no JACK server is running (start one with jackd, or run PipeWire's JACK)";
    if (status & JackNameNotUnique)
        return "a JACK client with this name runs already (another lumenfold-live?); choose another --name";
    if (status & JackVersionError) return "the JACK server speaks another protocol version";
    return "the JACK server refused the client";
}

// libjack prints its own diagnostics (several lines when no server runs); ours are one
// clear line each, so its texts are dropped.
void quiet(const char*) {}

}  // namespace

struct JackHost::Impl {
    jack_client_t* client = nullptr;
    jack_port_t* inputs[kChannels] = {};
    jack_port_t* outputs[kChannels] = {};
    jack_port_t* midiIn = nullptr;
    lfhost::PluginInstance* plugin = nullptr;
    int blockSize = 0;
    bool active = false;
    std::atomic<bool> serverGone{false};
    // Readable once the server went away, so that the main loop can sleep until then.
    int serverGoneEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // Set before deactivating: from then on the process callback leaves the plug-in alone
    // and counts the periods it answered with silence.
    std::atomic<bool> stopping{false};
    std::atomic<int> silentPeriods{0};
    lfhost::RealtimeMidiBlock midi{kMaxMidiEventsPerBlock};

    ~Impl()
    {
        if (client) {
            if (active) {
                leavePluginAlone();
                jack_deactivate(client);
            }
            jack_client_close(client);
        }
        if (serverGoneEvent >= 0) ::close(serverGoneEvent);
    }

    bool registerPorts()
    {
        for (int c = 0; c < kChannels; ++c) {
            inputs[c] = jack_port_register(client, kInputNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
            outputs[c] = jack_port_register(client, kOutputNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
            if (!inputs[c] || !outputs[c]) return false;
        }
        midiIn = jack_port_register(client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        return midiIn != nullptr;
    }

    // Called on: JACK's process thread.
    static int process(jack_nframes_t frames, void* self)
    {
        auto* impl = static_cast<Impl*>(self);
        if (impl->stopping.load(std::memory_order_acquire))
            impl->answerSilence(static_cast<int>(frames));
        else
            impl->processPeriod(static_cast<int>(frames));
        return 0;
    }

    void answerSilence(int frames)
    {
        for (jack_port_t* port : outputs)
            std::memset(jack_port_get_buffer(port, static_cast<jack_nframes_t>(frames)), 0,
                        sizeof(float) * static_cast<std::size_t>(frames));
        silentPeriods.fetch_add(1, std::memory_order_release);
    }

    // JACK may cancel its process thread when the client is deactivated; that must never
    // happen inside the plug-in. A period answered with silence proves that the call in
    // flight, if any, has returned. A server that stopped calling is not waited for long.
    void leavePluginAlone()
    {
        stopping.store(true, std::memory_order_release);
        const double periodMs = 1000.0 * jack_get_buffer_size(client) / std::max<jack_nframes_t>(1, jack_get_sample_rate(client));
        const auto limit = std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(100 + static_cast<int>(4.0 * periodMs));
        while (silentPeriods.load(std::memory_order_acquire) == 0 && !serverGone.load(std::memory_order_acquire) &&
               std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    static void shutdown(void* self)
    {
        auto* impl = static_cast<Impl*>(self);
        impl->serverGone.store(true, std::memory_order_release);
        const std::uint64_t one = 1;
        if (impl->serverGoneEvent >= 0) (void)!::write(impl->serverGoneEvent, &one, sizeof(one));
    }

    // A period longer than the block size the plug-in was told is run in pieces of it.
    void processPeriod(int frames)
    {
        float* in[kChannels];
        float* out[kChannels];
        for (int c = 0; c < kChannels; ++c) {
            in[c] = static_cast<float*>(jack_port_get_buffer(inputs[c], static_cast<jack_nframes_t>(frames)));
            out[c] = static_cast<float*>(jack_port_get_buffer(outputs[c], static_cast<jack_nframes_t>(frames)));
        }
        void* midiBuffer = jack_port_get_buffer(midiIn, static_cast<jack_nframes_t>(frames));
        const std::uint32_t eventCount = jack_midi_get_event_count(midiBuffer);
        std::uint32_t nextEvent = 0;
        for (int start = 0; start < frames; start += blockSize) {
            const int length = std::min(blockSize, frames - start);
            nextEvent = sendMidiOfPiece(midiBuffer, eventCount, nextEvent, start, length);
            float* pieceIn[kChannels] = {in[0] + start, in[1] + start};
            float* pieceOut[kChannels] = {out[0] + start, out[1] + start};
            plugin->processReplacing(pieceIn, pieceOut, length);
        }
    }

    std::uint32_t sendMidiOfPiece(void* buffer, std::uint32_t count, std::uint32_t next, int start, int length)
    {
        midi.clear();
        jack_midi_event_t event;
        for (; next < count; ++next) {
            if (jack_midi_event_get(&event, buffer, next) != 0) continue;
            if (static_cast<int>(event.time) >= start + length) break;
            const int offset = std::max(0, static_cast<int>(event.time) - start);
            (void)midi.add(offset, event.buffer, event.size);  // system-exclusive and overflow dropped
        }
        if (midi.count() > 0) plugin->sendEvents(midi.events());
        return next;
    }

    int connect(unsigned long flags, const char* type, jack_port_t* const* ours, int ourCount, bool oursAreInputs)
    {
        const char** system = jack_get_ports(client, nullptr, type, flags);
        if (!system) return 0;
        int made = 0;
        for (int i = 0; system[i]; ++i) {
            jack_port_t* port = ours[ourCount == 1 ? 0 : i];
            const char* ourName = jack_port_name(port);
            const int result =
                oursAreInputs ? jack_connect(client, system[i], ourName) : jack_connect(client, ourName, system[i]);
            if (result == 0) ++made;
            if (ourCount > 1 && i + 1 >= ourCount) break;
        }
        jack_free(system);
        return made;
    }
};

JackHost::JackHost(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

JackHost::~JackHost() = default;

std::unique_ptr<JackHost> JackHost::open(const std::string& clientName, std::string* error)
{
    jack_set_error_function(&quiet);
    jack_set_info_function(&quiet);
    auto impl = std::make_unique<Impl>();
    jack_status_t status{};
    impl->client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (!impl->client) {
        *error = statusText(status);
        return nullptr;
    }
    // The server gives a taken name a suffix; a second instance under the first one's name
    // would be easy to mistake for it, so it is refused instead.
    if (clientName != jack_get_client_name(impl->client)) {
        *error = statusText(JackNameNotUnique);
        return nullptr;
    }
    if (!impl->registerPorts()) {
        *error = "JACK refused to make the client's ports";
        return nullptr;
    }
    jack_on_shutdown(impl->client, &Impl::shutdown, impl.get());
    return std::unique_ptr<JackHost>(new JackHost(std::move(impl)));
}

int JackHost::sampleRate() const { return static_cast<int>(jack_get_sample_rate(impl_->client)); }

int JackHost::bufferSize() const { return static_cast<int>(jack_get_buffer_size(impl_->client)); }

std::string JackHost::clientName() const { return jack_get_client_name(impl_->client); }

bool JackHost::start(lfhost::PluginInstance& plugin, std::string* error)
{
    impl_->plugin = &plugin;
    impl_->blockSize = std::max(1, bufferSize());
    if (jack_set_process_callback(impl_->client, &Impl::process, impl_.get()) != 0 ||
        jack_activate(impl_->client) != 0) {
        *error = "JACK refused to start the client";
        return false;
    }
    impl_->active = true;
    return true;
}

int JackHost::connectInputs()
{
    return impl_->connect(JackPortIsPhysical | JackPortIsOutput, JACK_DEFAULT_AUDIO_TYPE, impl_->inputs, kChannels, true);
}

int JackHost::connectOutputs()
{
    return impl_->connect(JackPortIsPhysical | JackPortIsInput, JACK_DEFAULT_AUDIO_TYPE, impl_->outputs, kChannels, false);
}

int JackHost::connectMidi()
{
    return impl_->connect(JackPortIsPhysical | JackPortIsOutput, JACK_DEFAULT_MIDI_TYPE, &impl_->midiIn, 1, true);
}

void JackHost::stop()
{
    if (!impl_->active) return;
    impl_->leavePluginAlone();
    jack_deactivate(impl_->client);
    impl_->active = false;
}

bool JackHost::serverGone() const { return impl_->serverGone.load(std::memory_order_acquire); }

int JackHost::serverGoneDescriptor() const { return impl_->serverGoneEvent; }

}  // namespace lflive
