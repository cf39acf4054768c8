#include "tools/render/RenderOptions.h"

#include "tools/render/RenderError.h"

#include <charconv>
#include <cmath>

namespace lfrender {
namespace {

int parseBlockSize(const std::string& text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxBlockSize)
        throw RenderError("--block needs a whole number from 1 to " + std::to_string(kMaxBlockSize) + ", not \"" +
                          text + "\"");
    return value;
}

float parseSampleRate(const std::string& text)
{
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < kMinSampleRate || value > kMaxSampleRate)
        throw RenderError("--sample-rate needs a rate from 1000 to 768000 Hz, not \"" + text + "\"");
    return value;
}

std::pair<std::string, std::string> parseAssignment(const std::string& text)
{
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw RenderError("--set needs NAME=VALUE, not \"" + text + "\"");
    return {text.substr(0, equals), text.substr(equals + 1)};
}

const std::string& valueOf(const std::vector<std::string>& args, std::size_t& i)
{
    if (i + 1 >= args.size()) throw RenderError(args[i] + " needs a value");
    return args[++i];
}

void applyOption(RenderOptions& options, const std::vector<std::string>& args, std::size_t& i)
{
    const std::string& name = args[i];
    if (name == "--set") options.assignments.push_back(parseAssignment(valueOf(args, i)));
    else if (name == "--state") options.statePath = valueOf(args, i);
    else if (name == "--save-state") options.saveStatePath = valueOf(args, i);
    else if (name == "--block") options.blockSize = parseBlockSize(valueOf(args, i));
    else if (name == "--sample-rate") options.sampleRate = parseSampleRate(valueOf(args, i));
    else if (name == "--plugin") options.pluginPath = valueOf(args, i);
    else if (name == "--help" || name == "-h") options.showHelp = true;
    else throw RenderError("unknown option " + name);
}

}  // namespace

RenderOptions parseRenderOptions(const std::vector<std::string>& args)
{
    RenderOptions options;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].size() > 1 && args[i][0] == '-') applyOption(options, args, i);
        else files.push_back(args[i]);
    }
    if (options.showHelp) return options;
    if (files.empty()) throw RenderError("no output file given (usage: lumenfold-render [IN] OUT [options])");
    if (files.size() > 2) throw RenderError("too many file names: give at most IN and OUT");
    options.outputPath = files.back();
    if (files.size() == 2) options.inputPath = files.front();
    return options;
}

const char* renderUsage()
{
    return "usage: lumenfold-render [IN] OUT [--set NAME=VALUE]... [--state FILE] [--save-state FILE]\n"
           "                        [--block N] [--sample-rate R] [--plugin PATH]\n"
           "Runs IN (WAV, FLAC or AIFF, mono or stereo) through the plug-in into OUT, with the\n"
           "plug-in's latency compensated. Without IN a built-in demo signal is rendered.\n"
           "--set takes plain values in the parameter's own units, or its display text. A value\n"
           "outside the parameter's range is clamped to it, with a warning; a value that is not a\n"
           "finite number (nan, inf) is an error. The ranges: OSC Port Offset 0 to 100, Dry and\n"
           "Wet Level 0 to 1, FFT Size 0 to 7 (32 to 4096), Input and Output Gain -80 to 36 dB,\n"
           "Bin N Level 0 to 1, Script Index 0 to the number of spectral scripts.\n"
           "--state FILE loads a state saved by the plug-in (--save-state, or a host's); a file\n"
           "that is not a whole state of this plug-in is an error and nothing is written.\n"
           "Exit status: 0 on success, 1 on any error.\n";
}

}  // namespace lfrender
