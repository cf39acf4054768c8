#pragma once
// The command line of lumenfold-live, checked but not yet acted on.

#include <optional>
#include <string>
#include <vector>

namespace lflive {

struct LiveOptions {
    std::string clientName = "Lumenfold";
    std::string statePath;   // loaded at start when it exists, saved at the end
    std::optional<int> oscOffset;
    std::string pluginPath;  // empty: the plug-in found by defaultPluginPath()
    bool editor = true;
    bool connectInputs = false;   // system capture ports -> our inputs
    bool connectOutputs = false;  // our outputs -> system playback ports
    bool connectMidi = false;     // every hardware MIDI source -> our MIDI input
    bool showHelp = false;
};

// The longest client name JACK accepts is shorter on some servers; ours stays well below.
inline constexpr std::size_t kMaxClientNameLength = 48;
inline constexpr int kMaxOscOffset = 100;

// args without the program name. Throws std::invalid_argument with a one-line reason.
[[nodiscard]] LiveOptions parseLiveOptions(const std::vector<std::string>& args);

[[nodiscard]] const char* liveUsage();

}  // namespace lflive
