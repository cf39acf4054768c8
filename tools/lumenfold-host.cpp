// lumenfold-host: loads a plug-in the way a host does and prints what the host sees.
//
//   lumenfold-host [PLUGIN.so]
//   lumenfold-host editor --screenshot FILE [--frames N] [--hover X Y] [--zoom P] [PLUGIN.so]
//   lumenfold-host --help
//
// The editor command opens the plug-in's editor in a window of its own (the X display
// named by DISPLAY) while the built-in demo signal plays through the instance, so that
// the spectra and meters show, runs the host's idle loop for about N frames of the
// editor (30 a second; 30 by default), optionally points at (X, Y) in the window first,
// and saves the window's picture as a PNG file. --zoom opens the editor at P percent
// (100, 125, 150 or 200) whatever the screen's density, through LUMENFOLD_SCALE. The
// picture is the whole editor even when the window is larger than the screen.

#include "tools/host/DefaultPluginPath.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"
#include "tools/render/DemoSignal.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kDetailedParameterRows = 32;

std::string fourCharText(int code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<unsigned>(code) >> shift) & 0xff);
        text += (c >= 32 && c < 127) ? c : '.';
    }
    return text;
}

// How hosts read a version number: one decimal digit per part ("1020" is 1.0.2.0), or, for
// larger numbers, one byte per part (0x00010002 is 1.0.2). Trailing zero parts past the
// third are left off.
std::string versionText(int number)
{
    std::vector<int> parts;
    if (number > 0 && number < 10000) {
        for (int divisor = 1000; divisor > 0; divisor /= 10) parts.push_back(number / divisor % 10);
    } else {
        for (int shift = 24; shift >= 0; shift -= 8) parts.push_back((static_cast<unsigned>(number) >> shift) & 0xff);
        while (parts.size() > 3 && parts.front() == 0) parts.erase(parts.begin());
    }
    while (parts.size() > 3 && parts.back() == 0) parts.pop_back();
    std::string text;
    for (int part : parts) {
        if (!text.empty()) text += '.';
        text += std::to_string(part);
    }
    return text;
}

void printIdentity(lfhost::PluginInstance& plugin)
{
    std::printf("Name:            %s\n", plugin.effectName().c_str());
    std::printf("Vendor:          %s\n", plugin.vendorString().c_str());
    std::printf("Product:         %s\n", plugin.productString().c_str());
    std::printf("Vendor version:  %s (%d)\n", versionText(plugin.vendorVersion()).c_str(), plugin.vendorVersion());
    std::printf("VST version:     %d\n", plugin.vstVersion());
    std::printf("Unique ID:       '%s' (%d)\n", fourCharText(plugin.uniqueId()).c_str(), plugin.uniqueId());
    std::printf("Version:         %s (%d)\n", versionText(plugin.version()).c_str(), plugin.version());
    std::printf("Flags:           0x%x\n", static_cast<unsigned>(plugin.flags()));
    std::printf("Inputs/outputs:  %d/%d\n", plugin.numInputs(), plugin.numOutputs());
}

void printParameters(lfhost::PluginInstance& plugin)
{
    const int count = plugin.numParams();
    std::printf("Parameters:      %d\n", count);
    const int detailed = count < kDetailedParameterRows ? count : kDetailedParameterRows;
    for (int i = 0; i < detailed; ++i) {
        std::printf("  %4d  %-16s %-24s %s\n", i, plugin.parameterName(i).c_str(), plugin.parameterDisplay(i).c_str(),
                    plugin.parameterLabel(i).c_str());
    }
    // The remaining rows are the bin levels: one line tells them apart from a broken table.
    if (count > detailed) {
        std::printf("  %4d-%d  %s ... %s\n", detailed, count - 1, plugin.parameterName(detailed).c_str(),
                    plugin.parameterName(count - 1).c_str());
    }
}

void printState(lfhost::PluginInstance& plugin)
{
    std::printf("Latency:         %d samples\n", plugin.initialDelay());
    std::printf("Program:         %s\n", plugin.programName().c_str());
    std::printf("State size:      %zu bytes\n", plugin.getChunk().size());
    std::printf("canDo receiveVstMidiEvent: %s\n", plugin.canDo("receiveVstMidiEvent") ? "yes" : "no");
}

struct EditorOptions {
    std::string screenshot;
    int frames = 30;
    bool hover = false;
    int hoverX = 0;
    int hoverY = 0;
    int zoom = 0;  // 0: the screen's own scale
    std::string plugin;
};

// The host's audio thread: the demo signal, looped, in blocks at about the real rate.
class DemoPlayer {
public:
    static constexpr int kBlock = 512;

    explicit DemoPlayer(lfhost::PluginInstance& plugin)
        : plugin_(plugin), signal_(lfrender::makeDemoSignal(lfrender::kDemoDefaultSampleRate))
    {
        plugin_.setSampleRate(lfrender::kDemoDefaultSampleRate);
        plugin_.setBlockSize(kBlock);
        plugin_.resume();
        thread_ = std::thread([this] { run(); });
    }
    ~DemoPlayer()
    {
        stop_.store(true);
        thread_.join();
        plugin_.suspend();
    }
    DemoPlayer(const DemoPlayer&) = delete;
    DemoPlayer& operator=(const DemoPlayer&) = delete;

private:
    void run()
    {
        pthread_setname_np(pthread_self(), "lf-demo-audio");
        std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
        float* inputs[] = {left.data(), right.data()};
        float* outputs[] = {outLeft.data(), outRight.data()};
        const std::size_t length = signal_[0].size();
        const auto period = std::chrono::microseconds(kBlock * 1000000LL / 48000);
        auto due = std::chrono::steady_clock::now();
        std::size_t position = 0;
        while (!stop_.load()) {
            for (std::size_t i = 0; i < static_cast<std::size_t>(kBlock); ++i, position = (position + 1) % length) {
                left[i] = signal_[0][position];
                right[i] = signal_[1][position];
            }
            plugin_.processReplacing(inputs, outputs, kBlock);
            due += period;
            std::this_thread::sleep_until(due);
        }
    }

    lfhost::PluginInstance& plugin_;
    std::vector<std::vector<float>> signal_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

constexpr int kEditorFrameMs = 33;
constexpr int kExitCommandLine = 2;

constexpr const char* kUsage =
    "usage: lumenfold-host [PLUGIN.so]\n"
    "       lumenfold-host editor --screenshot FILE [--frames N] [--hover X Y] [--zoom 100|125|150|200]\n"
    "                             [PLUGIN.so]\n"
    "       lumenfold-host --help\n"
    "\n"
    "Loads the plug-in as a host does and prints what the host sees: its identity, its\n"
    "parameters and its state. Without PLUGIN.so it uses Lumenfold.so next to itself, else\n"
    "the first found in LXVST_PATH, VST_PATH, ../lib/vst (or ../lib/lxvst) and ~/.vst.\n"
    "\n"
    "Commands and options:\n"
    "  editor              open the plug-in's editor in a window on DISPLAY while the built-in\n"
    "                      demo signal plays through it, and save the window's picture\n"
    "    --screenshot FILE the PNG file to save the picture to (required)\n"
    "    --frames N        editor frames (30 a second) to run before the picture; 30 by default\n"
    "    --hover X Y       point at X Y (pixels in the window) first\n"
    "    --zoom P          open the editor at P percent, 100, 125, 150 or 200, whatever the\n"
    "                      screen's density; the screen's own by default\n"
    "  --help, -h          this text\n"
    "\n"
    "Exit status: 0 done; 1 the plug-in, its editor or the picture failed; 2 wrong command line.\n";

bool isHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

int commandLineError(const std::string& message)
{
    std::fprintf(stderr, "lumenfold-host: %s (lumenfold-host --help lists the commands and options)\n",
                 message.c_str());
    return kExitCommandLine;
}

bool parseNumber(const char* text, int* value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 0 || parsed > 100000) return false;
    *value = static_cast<int>(parsed);
    return true;
}

// What a value given to an option should have been, or empty when it is fine.
std::string zoomProblem(const char* text, int* zoom)
{
    if (parseNumber(text, zoom) && (*zoom == 100 || *zoom == 125 || *zoom == 150 || *zoom == 200)) return "";
    return std::string("--zoom takes 100, 125, 150 or 200 (percent), not \"") + text + "\"";
}

std::string numberProblem(const char* option, const char* text, int* value, const char* what)
{
    if (parseNumber(text, value)) return "";
    return std::string(option) + " takes " + what + " from 0 to 100000, not \"" + text + "\"";
}

// Reads one option at argv[i] (and its values, moving i past them); empty when it fits.
std::string parseEditorOption(int argc, char** argv, int& i, EditorOptions* options)
{
    const std::string arg = argv[i];
    const int values = arg == "--hover" ? 2 : (arg == "--screenshot" || arg == "--frames" || arg == "--zoom") ? 1 : 0;
    if (i + values >= argc) return arg + " needs " + (values == 2 ? "two values" : "a value");
    if (arg == "--screenshot") {
        options->screenshot = argv[++i];
    } else if (arg == "--frames") {
        return numberProblem("--frames", argv[++i], &options->frames, "a whole number of frames");
    } else if (arg == "--hover") {
        options->hover = true;
        const std::string x = numberProblem("--hover", argv[++i], &options->hoverX, "whole numbers of pixels");
        return x.empty() ? numberProblem("--hover", argv[++i], &options->hoverY, "whole numbers of pixels") : x;
    } else if (arg == "--zoom") {
        return zoomProblem(argv[++i], &options->zoom);
    } else if (arg[0] == '-') {
        return "unknown option " + arg;
    } else if (!options->plugin.empty()) {
        return "one plug-in only: " + options->plugin + " and " + arg;
    } else {
        options->plugin = arg;
    }
    return "";
}

std::string parseEditorOptions(int argc, char** argv, EditorOptions* options)
{
    for (int i = 2; i < argc; ++i) {
        const std::string problem = parseEditorOption(argc, argv, i, options);
        if (!problem.empty()) return problem;
    }
    return options->screenshot.empty() ? "editor needs --screenshot FILE" : "";
}

int runEditor(int argc, char** argv)
{
    EditorOptions options;
    const std::string problem = parseEditorOptions(argc, argv, &options);
    if (!problem.empty()) return commandLineError(problem);
    const std::string path = options.plugin.empty() ? lfhost::defaultPluginPath() : options.plugin;
    if (options.zoom != 0) setenv("LUMENFOLD_SCALE", std::to_string(options.zoom / 100.0).c_str(), 1);
    std::string error;
    auto plugin = lfhost::PluginInstance::create(path, &error);
    if (!plugin) {
        std::fprintf(stderr, "lumenfold-host: %s\n", error.c_str());
        return 1;
    }
    DemoPlayer audio(*plugin);
    auto editor = lfhost::EditorHost::open(*plugin, &error);
    if (!editor) {
        std::fprintf(stderr, "lumenfold-host: %s\n", error.c_str());
        return 1;
    }
    if (options.hover) editor->movePointer(options.hoverX, options.hoverY);
    editor->pumpFor(options.frames * kEditorFrameMs);
    if (editor->windowLost()) {
        std::fprintf(stderr, "lumenfold-host: the editor's window went away (or the X display did)\n");
        return 1;
    }
    const auto shot = editor->capture();
    if (!shot || !shot->savePng(options.screenshot)) {
        std::fprintf(stderr, "lumenfold-host: cannot save the editor's picture to %s\n", options.screenshot.c_str());
        return 1;
    }
    std::printf("Editor:          %d x %d, saved to %s\n", shot->width, shot->height, options.screenshot.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (isHelp(argv[i])) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (argc >= 2 && std::strcmp(argv[1], "editor") == 0) {
        return runEditor(argc, argv);
    }
    if (argc == 2 && argv[1][0] == '-') return commandLineError(std::string("unknown option ") + argv[1]);
    if (argc > 2) return commandLineError("one plug-in only, or the editor command first");
    const std::string path = argc == 2 ? argv[1] : lfhost::defaultPluginPath();
    std::string error;
    auto plugin = lfhost::PluginInstance::create(path, &error);
    if (!plugin) {
        std::fprintf(stderr, "lumenfold-host: %s\n", error.c_str());
        return 1;
    }
    std::printf("Plug-in:         %s\n", path.c_str());
    printIdentity(*plugin);
    printParameters(*plugin);
    printState(*plugin);
    return 0;
}
