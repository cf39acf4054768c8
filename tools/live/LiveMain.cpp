// lumenfold-live: one instance of the plug-in on JACK, with its editor in a window of its
// own (or none), OSC as configured, and its state loaded at start and saved at the end.

#include "tools/host/DefaultPluginPath.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"
#include "tools/live/JackHost.h"
#include "tools/live/LiveOptions.h"
#include "tools/live/StateFileClaim.h"
#include "tools/render/RenderError.h"
#include "tools/render/RenderJob.h"
#include "tools/render/TemporaryOutputFile.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kExitFileProblem = 1;
constexpr int kExitCommandLine = 2;
constexpr int kExitHostProblem = 3;
constexpr int kIdleMs = 20;
constexpr int kOscOffsetId = 0;

int fail(const std::string& message, int status)
{
    std::fprintf(stderr, "lumenfold-live: %s\n", message.c_str());
    return status;
}

// SIGINT, SIGTERM and SIGHUP (the terminal closed) are blocked in every thread from the
// start (threads inherit the mask) and taken by the main loop, so no handler ever runs
// inside a JACK or plug-in thread and each of them ends the program with its state saved.
sigset_t endSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

bool endSignalArrived(const sigset_t& signals, int waitMs)
{
    const timespec wait{waitMs / 1000, static_cast<long>(waitMs % 1000) * 1000000L};
    return sigtimedwait(&signals, nullptr, &wait) > 0;
}

// Without a window the host has nothing to do until an end signal or the server's end:
// it sleeps on both, with no time-out. Without the server's descriptor, or when poll
// fails, it looks every tenth of a second instead.
void sleepUntilEnd(const sigset_t& signals, const lflive::JackHost& jack)
{
    const int signalled = ::signalfd(-1, &signals, SFD_CLOEXEC);
    const int gone = jack.serverGoneDescriptor();
    if (signalled >= 0 && gone >= 0) {
        pollfd ends[2] = {{signalled, POLLIN, 0}, {gone, POLLIN, 0}};
        int ready = 0;
        while (!jack.serverGone() && (ready = ::poll(ends, 2, -1)) < 0 && errno == EINTR) {
        }
        ::close(signalled);
        if (ready > 0 || jack.serverGone()) return;
    } else if (signalled >= 0) {
        ::close(signalled);
    }
    while (!jack.serverGone() && !endSignalArrived(signals, kIdleMs * 5)) {
    }
}

std::vector<std::uint8_t> loadStateIfPresent(const std::string& path)
{
    std::error_code ignored;
    if (path.empty() || !std::filesystem::exists(path, ignored)) return {};
    return lfrender::readStateFile(path);
}

// A trial of the save at the end, made before anything runs: a missing or read-only
// folder, or a folder under the state's name, refuses the start instead of losing the
// session's state at its end. The trial file is removed again.
void checkStateCanBeSaved(const std::string& path)
{
    if (path.empty()) return;
    const lfrender::TemporaryOutputFile trial(path);
}

void saveState(lfhost::PluginInstance& plugin, const std::string& path)
{
    const std::vector<std::uint8_t> state = plugin.getChunk();
    lfrender::TemporaryOutputFile file(path);
    file.writeAll(state.data(), state.size());
    file.commit();
}

int saveStateIfAsked(lfhost::PluginInstance& plugin, const std::string& path)
{
    if (path.empty()) return 0;
    try {
        saveState(plugin, path);
    } catch (const lfrender::RenderError& saveError) {
        return fail(saveError.what(), kExitFileProblem);
    }
    return 0;
}

void connectRequested(lflive::JackHost& jack, const lflive::LiveOptions& options)
{
    if (options.connectInputs && jack.connectInputs() == 0)
        std::fprintf(stderr, "lumenfold-live: warning: no system capture ports to connect\n");
    if (options.connectOutputs && jack.connectOutputs() == 0)
        std::fprintf(stderr, "lumenfold-live: warning: no system playback ports to connect\n");
    if (options.connectMidi && jack.connectMidi() == 0)
        std::fprintf(stderr, "lumenfold-live: warning: no hardware MIDI sources to connect\n");
}

// The host's loop until a signal, the server's end or the window's close.
void runUntilEnd(lflive::JackHost& jack, lfhost::EditorHost* editor)
{
    const sigset_t signals = endSignals();
    while (!jack.serverGone()) {
        if (editor) {
            editor->pumpFor(kIdleMs);
            if (editor->windowLost())
                std::fprintf(stderr, "lumenfold-live: the window or the X display went away; ending with the state saved\n");
            if (editor->closeRequested() || endSignalArrived(signals, 0)) return;
        } else {
            sleepUntilEnd(signals, jack);
            if (!jack.serverGone()) return;
        }
    }
    std::fprintf(stderr, "lumenfold-live: the JACK server went away\n");
}

void printRunning(const lflive::JackHost& jack, const lflive::LiveOptions& options)
{
    std::printf("lumenfold-live: running as JACK client \"%s\" at %d Hz, %d frames a period", jack.clientName().c_str(),
                jack.sampleRate(), jack.bufferSize());
    if (!options.statePath.empty()) std::printf("; the state is saved to %s at the end", options.statePath.c_str());
    std::printf("\n");
    std::fflush(stdout);
}

int run(const lflive::LiveOptions& options)
{
    const sigset_t signals = endSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::unique_ptr<lflive::StateFileClaim> claim;
    if (!options.statePath.empty()) {
        claim = lflive::StateFileClaim::claim(options.statePath);
        if (!claim)
            return fail("state file " + options.statePath +
                            " is in use by another lumenfold-live; give each instance a state file of its own",
                        kExitFileProblem);
    }
    std::vector<std::uint8_t> state;
    try {
        state = loadStateIfPresent(options.statePath);
    } catch (const lfrender::RenderError& error) {
        return fail(error.what(), kExitFileProblem);
    }
    try {
        checkStateCanBeSaved(options.statePath);
    } catch (const lfrender::RenderError& error) {
        return fail(std::string(error.what()) + " (the state is saved there at the end; choose another --state)",
                    kExitFileProblem);
    }
    std::string error;
    auto jack = lflive::JackHost::open(options.clientName, &error);
    if (!jack) return fail(error, kExitHostProblem);

    lfhost::HostOptions hostOptions;
    hostOptions.sampleRate = static_cast<float>(jack->sampleRate());
    hostOptions.blockSize = jack->bufferSize();
    hostOptions.recordCalls = false;
    const std::string pluginPath = options.pluginPath.empty() ? lfhost::defaultPluginPath() : options.pluginPath;
    auto plugin = lfhost::PluginInstance::create(pluginPath, &error, hostOptions);
    if (!plugin) return fail(error, kExitHostProblem);
    plugin->setSampleRate(hostOptions.sampleRate);
    plugin->setBlockSize(hostOptions.blockSize);
    if (!state.empty() && plugin->setChunk(state.data(), state.size()) == 0)
        return fail("state file " + options.statePath + " is not a state of this plug-in (the plug-in refused it)",
                    kExitFileProblem);
    if (options.oscOffset)
        plugin->setParameter(kOscOffsetId, static_cast<float>(*options.oscOffset) / lflive::kMaxOscOffset);

    std::unique_ptr<lfhost::EditorHost> editor;
    if (options.editor) {
        editor = lfhost::EditorHost::open(*plugin, &error);
        if (!editor) return fail("cannot open the editor: " + error + " (--no-editor runs without it)", kExitHostProblem);
    }
    plugin->resume();
    if (!jack->start(*plugin, &error)) return fail(error, kExitHostProblem);
    connectRequested(*jack, options);
    printRunning(*jack, options);

    runUntilEnd(*jack, editor.get());

    // The state is saved before the editor closes: a window or display that went away
    // must not cost the settings.
    jack->stop();
    const int status = saveStateIfAsked(*plugin, options.statePath);
    editor.reset();
    plugin->suspend();
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    lflive::LiveOptions options;
    try {
        options = lflive::parseLiveOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& error) {
        return fail(std::string(error.what()) + " (lumenfold-live --help lists the options)", kExitCommandLine);
    }
    if (options.showHelp) {
        std::fputs(lflive::liveUsage(), stdout);
        return 0;
    }
    try {
        return run(options);
    } catch (const std::exception& error) {
        return fail(std::string("unexpected failure: ") + error.what(), kExitHostProblem);
    }
}
