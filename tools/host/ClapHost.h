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
        clap_id paramId;
        double value;
    };
    // One preset as a preset indexer records it.
    struct DiscoveredPreset {
        std::uint32_t locationKind = 0;
        std::string name;
        std::string loadKey;
        std::string description;
        std::string pluginId;  // the last one added, as "abi:id"
        std::uint32_t flags = 0;
    };

    // Null with *error set when the file, its entry, its factory or the plug-in fails.
    // Without initialise the plug-in is created but init is left to the caller.
    [[nodiscard]] static std::unique_ptr<ClapPluginHost> load(const std::string& path, std::string* error,
                                                              bool initialise = true);
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

    bool activate(double sampleRate, std::uint32_t maxFrames);
    void deactivate();
    [[nodiscard]] bool active() const { return active_; }
    // The plug-in's reset, as a host calls it on the audio thread between two renders.
    void reset() { plugin_->reset(plugin_); }

    // Queued for the next process call, at the given sample offset.
    void setParameter(clap_id id, double value, std::uint32_t time = 0);
    void sendMidi(std::uint32_t time, std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // Processes one block (two channels; in and out may be the same buffers).
    clap_process_status process(float* const* inputs, float* const* outputs, std::uint32_t frames);
    // Calls params.flush with the queued parameter events.
    void flush();

    [[nodiscard]] double parameter(clap_id id) const;
    [[nodiscard]] std::vector<std::uint8_t> saveState() const;
    bool loadState(const std::vector<std::uint8_t>& bytes);
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
    std::atomic<bool> isMain_{true};
    std::atomic<bool> isAudio_{true};
};

}  // namespace lfhost
