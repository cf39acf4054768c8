#pragma once
// One plug-in instance as a JACK client: two audio inputs and outputs and a MIDI input as
// ports, processReplacing run on JACK's process callback with the block's MIDI messages
// sent first as VstEvents at their frames.
//
// Threads: open, start, stop and the destructor on the main thread; the process
// callback on JACK's real-time thread, where it allocates nothing, takes no lock of ours
// and does no I/O (the plug-in's own Lua lock is the only lock on that path).

#include <memory>
#include <string>

namespace lfhost {
class PluginInstance;
}

namespace lflive {

class JackHost {
public:
    // MIDI messages kept per piece of a JACK period; more are dropped.
    static constexpr int kMaxMidiEventsPerBlock = 512;

    // Connects to the running JACK server (never starts one). Null with *error set when
    // no server runs or the client or its ports cannot be made.
    [[nodiscard]] static std::unique_ptr<JackHost> open(const std::string& clientName, std::string* error);
    // Deactivates and closes the client.
    ~JackHost();
    JackHost(const JackHost&) = delete;
    JackHost& operator=(const JackHost&) = delete;

    [[nodiscard]] int sampleRate() const;
    [[nodiscard]] int bufferSize() const;
    [[nodiscard]] std::string clientName() const;

    // Starts processing through plugin (already resumed at sampleRate() and a block size
    // of bufferSize()). False with *error set when JACK refuses to activate the client.
    [[nodiscard]] bool start(lfhost::PluginInstance& plugin, std::string* error);
    // Connects ports to the system's; answers how many connections were made.
    int connectInputs();
    int connectOutputs();
    int connectMidi();
    // Ends processing: after this returns the process callback no longer runs.
    void stop();
    // True once the server went away (it shut down or dropped us).
    [[nodiscard]] bool serverGone() const;
    // A descriptor that becomes readable when the server goes away (poll it); -1 when the
    // system gave none, and then only serverGone() tells.
    [[nodiscard]] int serverGoneDescriptor() const;

private:
    struct Impl;
    explicit JackHost(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace lflive
