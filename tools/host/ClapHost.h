#pragma once
// A small CLAP host of our own, for tests and tools: loads a .clap file, creates the
// plug-in from its one factory, and drives it as a host does (activate, process blocks
// with parameter and MIDI events, state, parameters). Host extensions offered: params,
// latency, state, timer-support and thread-check; what the plug-in asks of them and every
// event it sends back is recorded.
//
// Threads: the test's thread plays both the main and the audio thread; the thread-check
// answers can be changed to pretend otherwise.

#include "formats/clap/ClapAbi.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lfhost {

class ClapPluginHost {
public:
    struct OutputEvent {
        std::uint16_t type;
        clap_id paramId;  // parameter events only
        double value;     // parameter values only
        std::uint32_t time = 0;
    };
    // One block as a host builds it by hand: the buffers (inputs may be the outputs, for
    // processing in place), the events in time order and the transport, or none.
    struct Block {
        float* const* inputs = nullptr;
        float* const* outputs = nullptr;
        std::uint32_t frames = 0;
        std::vector<const clap_event_header_t*> events;
        const clap_event_transport_t* transport = nullptr;
        std::int64_t steadyTime = -1;
        std::uint64_t inputConstantMask = 0;
    };
    // What the plug-in answered for a Block.
    struct BlockResult {
        clap_process_status status;
        std::uint64_t outputConstantMask;
    };
    // What a scanner reads of one plug-in without creating it.
    struct ScannedPlugin {
        clap_version_t clapVersion;
        std::string id;
        std::string name;
        std::vector<std::string> features;
    };
    // One preset as a preset indexer records it.
    struct DiscoveredPreset {
        std::uint32_t locationKind = 0;
        std::string name;
        std::string loadKey;
        std::string description;
        std::string pluginId;  // the last one added, as "abi:id"
        std::uint32_t flags = 0;
        // How the provider broke the indexer's rules for this preset, empty when it did not.
        std::string misuse;
    };

    // Null with *error set when the file, its entry, its factory or the plug-in fails.
    // Without initialise the plug-in is created but init is left to the caller.
    [[nodiscard]] static std::unique_ptr<ClapPluginHost> load(const std::string& path, std::string* error,
                                                              bool initialise = true);
    // Opens the library, reads every descriptor of its plug-in factory and closes it again,
    // as a host's scan does. Empty, with *error set, when any step fails.
    [[nodiscard]] static std::vector<ScannedPlugin> scan(const std::string& path, std::string* error);
    ~ClapPluginHost();
    ClapPluginHost(const ClapPluginHost&) = delete;
    ClapPluginHost& operator=(const ClapPluginHost&) = delete;

    [[nodiscard]] const clap_plugin_t* plugin() const { return plugin_; }
    [[nodiscard]] const clap_plugin_entry_t* entry() const { return entry_; }
    template <typename T>
    [[nodiscard]] const T* extension(const char* id) const
    {
        return static_cast<const T*>(plugin_->get_extension(plugin_, id));
    }

    // Destroys the plug-in as a careless host does: plugin() still returns the record,
    // for calls the plug-in must answer safely, and it is not destroyed again.
    void destroyEarly();

    bool activate(double sampleRate, std::uint32_t maxFrames, std::uint32_t minFrames = 1);
    void deactivate();
    [[nodiscard]] bool active() const { return active_; }
    // The plug-in's reset, as a host calls it on the audio thread between two renders.
    void reset() { plugin_->reset(plugin_); }

    // Queued for the next process call, at the given sample offset.
    void setParameter(clap_id id, double value, std::uint32_t time = 0);
    void sendMidi(std::uint32_t time, std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // Processes one block (two channels; in and out may be the same buffers).
    clap_process_status process(float* const* inputs, float* const* outputs, std::uint32_t frames);
    // Processes a block built by hand; the queued events are left for the next process.
    BlockResult process(const Block& block);
    // Calls params.flush with the queued parameter events.
    void flush();
    // Calls params.flush with these events.
    void flush(const std::vector<const clap_event_header_t*>& events);

    [[nodiscard]] double parameter(clap_id id) const;
    // The stream takes at most maxBytesPerWrite a call and gives at most maxBytesPerRead.
    [[nodiscard]] std::vector<std::uint8_t> saveState(std::uint64_t maxBytesPerWrite = 1000) const;
    bool loadState(const std::vector<std::uint8_t>& bytes, std::uint64_t maxBytesPerRead = ~std::uint64_t{0});
    [[nodiscard]] std::uint32_t latency() const;

    // Runs the library's preset-discovery factory (asked for by factoryId) as an indexer
    // does: each provider declares its locations, then lists the presets of each. Empty,
    // with *error set, when the factory, a provider or a location fails.
    [[nodiscard]] std::vector<DiscoveredPreset> discoverPresets(const char* factoryId, std::string* error) const;
    // The plug-in's preset-load for a preset inside the plug-in itself.
    bool loadPreset(const std::string& loadKey);

    [[nodiscard]] const std::vector<OutputEvent>& outputEvents() const { return output_; }
    void clearOutputEvents() { output_.clear(); }
    [[nodiscard]] int flushRequests() const { return flushRequests_.load(); }
    [[nodiscard]] int restartRequests() const { return restartRequests_.load(); }
    [[nodiscard]] int latencyChanges() const { return latencyChanges_.load(); }
    // Every params.rescan flag the plug-in has asked for, or-ed together.
    [[nodiscard]] std::uint32_t rescanFlags() const { return rescanFlags_.load(); }
    // How often the plug-in asked for a main-thread callback (it reports problems there).
    [[nodiscard]] int callbackRequests() const { return callbackRequests_.load(); }

    // What thread-check answers from now on.
    void pretendThreads(bool isMainThread, bool isAudioThread)
    {
        isMain_ = isMainThread;
        isAudio_ = isAudioThread;
    }

private:
    ClapPluginHost();
    struct Queued {
        std::uint32_t time;
        bool isParameter;
        clap_id id;
        double value;
        std::uint8_t midi[3];
    };
    static ClapPluginHost& of(const clap_host_t* host) { return *static_cast<ClapPluginHost*>(host->host_data); }
    static const void* hostExtension(const clap_host_t* host, const char* id);
    void buildEvents();

    clap_host_t host_{};
    const clap_plugin_entry_t* entry_ = nullptr;
    const clap_plugin_t* plugin_ = nullptr;
    bool active_ = false;
    bool destroyed_ = false;
    bool processing_ = false;
    std::vector<Queued> queued_;
    std::vector<clap_event_param_value_t> paramEvents_;
    std::vector<clap_event_midi_t> midiEvents_;
    std::vector<const clap_event_header_t*> inputList_;
    std::vector<OutputEvent> output_;
    std::atomic<int> flushRequests_{0};
    std::atomic<int> restartRequests_{0};
    std::atomic<int> latencyChanges_{0};
    std::atomic<std::uint32_t> rescanFlags_{0};
    std::atomic<int> callbackRequests_{0};
    std::atomic<bool> isMain_{true};
    std::atomic<bool> isAudio_{true};
};

}  // namespace lfhost
