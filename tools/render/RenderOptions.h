#pragma once
// The command line of lumenfold-render, checked but not yet acted on.

#include "tools/render/AudioFile.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lfrender {

struct RenderOptions {
    std::string inputPath;  // empty: render the built-in demo signal (--demo)
    std::string outputPath;
    std::vector<std::pair<std::string, std::string>> assignments;  // --set NAME=VALUE, in order
    std::string statePath;
    std::string saveStatePath;
    std::string preset;  // --preset: a program name of the plug-in, or a preset file
    std::string savePresetPath;
    std::string midiPath;
    std::optional<SampleBits> bits;
    int blockSize = 1024;
    std::optional<float> sampleRate;
    std::optional<double> quality;  // 0..1 for lossy output; empty: the format's default
    std::string pluginPath;  // empty: the plug-in found by defaultPluginPath()
    bool demo = false;  // --demo: no input file, the built-in demo signal into OUT
    bool showHelp = false;
    bool listParameters = false;
    bool listScripts = false;
    bool listPresets = false;
    bool allowScriptErrors = false;  // keep a render whose spectral script always failed
};

inline constexpr int kMaxBlockSize = 1 << 20;
inline constexpr float kMinSampleRate = 1000.0f;
inline constexpr float kMaxSampleRate = 768000.0f;

// args without the program name. Throws RenderError with a one-line reason.
[[nodiscard]] RenderOptions parseRenderOptions(const std::vector<std::string>& args);

[[nodiscard]] const char* renderUsage();

}  // namespace lfrender
