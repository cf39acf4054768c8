#include "tools/render/RenderOptions.h"

#include "tools/render/RenderError.h"
#include "tools/render/TextMatching.h"

#include <charconv>
#include <cmath>

namespace lfrender {
namespace {

int parseBlockSize(const std::string& text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxBlockSize)
        throw RenderError::commandLine("--block needs a whole number from 1 to " + std::to_string(kMaxBlockSize) + ", not \"" +
                          text + "\"");
    return value;
}

float parseSampleRate(const std::string& text)
{
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < kMinSampleRate || value > kMaxSampleRate)
        throw RenderError::commandLine("--sample-rate needs a rate from 1000 to 768000 Hz, not \"" + text + "\"");
    return value;
}

double parseQuality(const std::string& text)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= 0.0 && value <= 1.0))
        throw RenderError::commandLine("--quality needs a number from 0 (smallest file) to 1 (best sound), not \"" +
                                       text + "\"");
    return value;
}

SampleBits parseBits(const std::string& text)
{
    const std::optional<SampleBits> bits = parseSampleBits(text);
    if (!bits) throw RenderError::commandLine("--bits takes 16, 24 or 32f, not \"" + text + "\"");
    return *bits;
}

std::pair<std::string, std::string> parseAssignment(const std::string& text)
{
    const auto equals = text.find('=');
    if (equals == std::string::npos || trimmed(std::string_view(text).substr(0, equals)).empty())
        throw RenderError::commandLine("--set needs NAME=VALUE, not \"" + text + "\"");
    return {text.substr(0, equals), text.substr(equals + 1)};
}

const std::string& valueOf(const std::vector<std::string>& args, std::size_t& i)
{
    if (i + 1 >= args.size()) throw RenderError::commandLine(args[i] + " needs a value");
    return args[++i];
}

void applyOption(RenderOptions& options, const std::vector<std::string>& args, std::size_t& i)
{
    const std::string& name = args[i];
    if (name == "--set") options.assignments.push_back(parseAssignment(valueOf(args, i)));
    else if (name == "--state") options.statePath = valueOf(args, i);
    else if (name == "--save-state") options.saveStatePath = valueOf(args, i);
    else if (name == "--preset") options.preset = valueOf(args, i);
    else if (name == "--save-preset") options.savePresetPath = valueOf(args, i);
    else if (name == "--block") options.blockSize = parseBlockSize(valueOf(args, i));
    else if (name == "--sample-rate") options.sampleRate = parseSampleRate(valueOf(args, i));
    else if (name == "--plugin") options.pluginPath = valueOf(args, i);
    else if (name == "--midi") options.midiPath = valueOf(args, i);
    else if (name == "--bits") options.bits = parseBits(valueOf(args, i));
    else if (name == "--quality") options.quality = parseQuality(valueOf(args, i));
    else if (name == "--demo") options.demo = true;
    else if (name == "--list-parameters") options.listParameters = true;
    else if (name == "--list-scripts") options.listScripts = true;
    else if (name == "--list-presets") options.listPresets = true;
    else if (name == "--allow-script-errors") options.allowScriptErrors = true;
    else if (name == "--help" || name == "-h") options.showHelp = true;
    else throw RenderError::commandLine("unknown option " + name);
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
    if (options.listParameters || options.listScripts || options.listPresets) {
        if (!files.empty())
            throw RenderError::commandLine("--list-parameters, --list-scripts and --list-presets take no file names");
        return options;
    }
    if (files.empty())
        throw RenderError::commandLine("no output file given (usage: lumenfold-render IN OUT, or --demo OUT)");
    if (files.size() > 2) throw RenderError::commandLine("too many file names: give at most IN and OUT");
    if (options.demo && files.size() == 2)
        throw RenderError::commandLine("--demo renders the built-in demo signal: give only OUT, not " + files.front());
    // One name alone is never taken as the output: it may well be an input that would be
    // replaced by the demo signal.
    if (!options.demo && files.size() == 1)
        throw RenderError::commandLine("no output file named for " + files.front() +
                                       ": give IN and OUT, or --demo OUT to render the built-in demo signal");
    options.outputPath = files.back();
    if (files.size() == 2) options.inputPath = files.front();
    return options;
}

const char* renderUsage()
{
    return "usage: lumenfold-render IN OUT [--set NAME=VALUE]... [--midi FILE.mid] [--bits 16|24|32f]\n"
           "                        [--quality Q] [--state FILE] [--save-state FILE] [--block N]\n"
           "                        [--preset NAME|FILE] [--save-preset FILE]\n"
           "                        [--allow-script-errors] [--plugin PATH]\n"
           "       lumenfold-render --demo OUT [--sample-rate R] [the options above]\n"
           "       lumenfold-render --list-parameters | --list-scripts | --list-presets [--state FILE]\n"
           "                        [--plugin PATH]\n"
           "Runs IN (WAV, FLAC, AIFF, Ogg and what else libsndfile reads; mono or stereo, 1000 to\n"
           "768000 Hz, not empty) through the plug-in into OUT, with the plug-in's latency\n"
           "compensated, a block at a time (memory does not grow with the file's length); a file\n"
           "that does not say its length (a FLAC streamed without it) is read to its end.\n"
           "--demo renders a built-in demo signal instead (at --sample-rate R, 48000 by default);\n"
           "one file name without --demo is refused, since it could be an input.\n"
           "OUT appears only when the render is complete; a file already under its name is then\n"
           "replaced in one step. OUT and --save-state must name files other than IN and each\n"
           "other (a link to the same file counts as the same file); a folder, FIFO or device\n"
           "under their names is refused, never replaced.\n"
           "OUT's extension chooses its format: .wav, .flac, .aiff/.aif, .ogg/.oga (Ogg Vorbis),\n"
           ".opus, .mp3; any other is refused. OUT keeps IN's sample format unless --bits says\n"
           "otherwise (16 and 24 bits get TPDF dither, except on samples that are exactly zero, so\n"
           "digital silence stays silent); fixed-point output that clips is named in one warning\n"
           "with its peak. --quality Q (0 smallest file to 1 best sound) sets a lossy format's\n"
           "quality; by default MP3 0.6 (192 kbps, constant), Opus 0.235 (128 kbps for stereo),\n"
           "Ogg Vorbis 0.5 (variable, about 170 kbps for stereo).\n"
           "--set takes plain values in the parameter's own units, with or without the unit\n"
           "(\"Input Gain = -6 dB\"), or its display text; names and texts match without regard to\n"
           "case or surrounding blanks, and \"Bin 47-512 Level=0\" sets a range of bins. A value\n"
           "outside the parameter's range is clamped to it, with a warning; a value that is not a\n"
           "finite number (nan, inf) is an error. Parameters that run from 0 to 1 also take a\n"
           "percentage (\"Bin 5 Level=50%\"). The ranges: OSC Port Offset 0 to 100, Dry and Wet\n"
           "Level 0 to 1 (fader positions; \"Wet Level=-6 dB\" and \"-inf\" give their gain in dB\n"
           "instead), FFT Size 32, 64, ... 4096 (or its index 0 to 7; other numbers are refused),\n"
           "Input and Output Gain -80 to 36 dB, Bin N Level 0 to 1, Script Index a script's name\n"
           "or 0 to the number of spectral scripts. An unknown name is answered with the closest\n"
           "names. --list-parameters prints them all with units, defaults and value texts (with\n"
           "--state FILE also the values the state holds); --list-scripts the spectral scripts.\n"
           "--list-presets prints the plug-in's programs with their descriptions. --preset NAME\n"
           "selects the program of that name; --preset FILE reads a preset file (as Lumenfold\n"
           "writes them, see docs/tools.md) whole and sets every value it holds, the defaults it\n"
           "leaves out included; lines it cannot read are named in one warning each, and a file\n"
           "with nothing usable is an error. The preset is applied after --state and before\n"
           "--set. --save-preset FILE writes the plug-in's values after the render as a preset\n"
           "file (only what differs from the defaults).\n"
           "--midi FILE.mid plays a standard MIDI file (format 0 or 1) into the plug-in, each\n"
           "message at its exact sample; messages after the end of IN are not played.\n"
           "--state FILE loads a state saved by the plug-in (--save-state, or a host's); a file\n"
           "that is not a whole state of this plug-in is an error and nothing is written.\n"
           "Every file read (IN, --midi, --state, --plugin) must be a regular file: a FIFO or a\n"
           "device is refused at once; a state may hold at most 64 KB, a MIDI file 64 MB.\n"
           "A render in which the selected spectral script failed on every frame it ran writes\n"
           "nothing and ends with exit status 4, unless --allow-script-errors is given.\n"
           "Exit status: 0 on success; 1 when a file cannot be read or written or is not what it\n"
           "should be (nothing is written then); 2 for a wrong command line (unknown option,\n"
           "parameter or value); 3 when the plug-in cannot be loaded; 4 when the spectral script\n"
           "failed on every frame.\n";
}

}  // namespace lfrender
