// lumenfold-host: loads a plug-in the way a host does and prints what the host sees.

#include "tools/host/DefaultPluginPath.h"
#include "tools/host/PluginInstance.h"

#include <cstdio>
#include <string>

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

void printIdentity(lfhost::PluginInstance& plugin)
{
    std::printf("Name:            %s\n", plugin.effectName().c_str());
    std::printf("Vendor:          %s\n", plugin.vendorString().c_str());
    std::printf("Product:         %s\n", plugin.productString().c_str());
    std::printf("Vendor version:  %d\n", plugin.vendorVersion());
    std::printf("VST version:     %d\n", plugin.vstVersion());
    std::printf("Unique ID:       '%s' (%d)\n", fourCharText(plugin.uniqueId()).c_str(), plugin.uniqueId());
    std::printf("Version:         %d\n", plugin.version());
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: lumenfold-host [PLUGIN.so]\n");
        return 2;
    }
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
