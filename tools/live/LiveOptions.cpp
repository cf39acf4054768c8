#include "tools/live/LiveOptions.h"

#include <charconv>
#include <stdexcept>

namespace lflive {
namespace {

const std::string& valueOf(const std::vector<std::string>& args, std::size_t& i)
{
    if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
    return args[++i];
}

int parseOffset(const std::string& text)
{
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > kMaxOscOffset)
        throw std::invalid_argument("--offset needs a whole number from 0 to " + std::to_string(kMaxOscOffset) +
                                    ", not \"" + text + "\"");
    return value;
}

std::string checkedName(const std::string& name)
{
    if (name.empty() || name.size() > kMaxClientNameLength || name.find(':') != std::string::npos)
        throw std::invalid_argument("--name needs 1 to " + std::to_string(kMaxClientNameLength) +
                                    " characters without ':', not \"" + name + "\"");
    return name;
}

}  // namespace

LiveOptions parseLiveOptions(const std::vector<std::string>& args)
{
    LiveOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--name") options.clientName = checkedName(valueOf(args, i));
        else if (arg == "--state") options.statePath = valueOf(args, i);
        else if (arg == "--offset") options.oscOffset = parseOffset(valueOf(args, i));
        else if (arg == "--plugin") options.pluginPath = valueOf(args, i);
        else if (arg == "--no-editor") options.editor = false;
        else if (arg == "--connect-inputs") options.connectInputs = true;
        else if (arg == "--connect-outputs") options.connectOutputs = true;
        else if (arg == "--connect-midi") options.connectMidi = true;
        else if (arg == "--connect") options.connectInputs = options.connectOutputs = options.connectMidi = true;
        else if (arg == "--help" || arg == "-h") options.showHelp = true;
        else throw std::invalid_argument("unknown option " + arg);
    }
    return options;
}

const char* liveUsage()
{
    return "usage: lumenfold-live [--name NAME] [--state FILE] [--offset N] [--no-editor]\n"
           "                      [--connect] [--connect-inputs] [--connect-outputs] [--connect-midi]\n"
           "                      [--plugin PATH]\n"
           "Runs one instance of the plug-in as a JACK client (PipeWire's JACK works the same):\n"
           "ports in_1, in_2, out_1, out_2 and midi_in, the editor in a window of its own.\n"
           "--name NAME     the JACK client's name (default Lumenfold)\n"
           "--state FILE    load the instance's state from FILE when it exists; save it there on exit\n"
           "--offset N      set \"OSC Port Offset\" to N (0 to 100; 0 turns OSC off): the instance\n"
           "                listens on the OSC Base Port preference (7000 by default) + N\n"
           "--no-editor     run without a window (no X display needed)\n"
           "--connect-inputs, --connect-outputs, --connect-midi\n"
           "                connect the system's capture ports to our inputs, our outputs to its\n"
           "                playback ports, every hardware MIDI source to midi_in; --connect: all three\n"
           "Ctrl+C (SIGINT), SIGTERM, SIGHUP, closing the window or losing the display end it,\n"
           "saving the state.\n"
           "Exit status: 0 on a clean end; 1 when the state file cannot be read, is not a state\n"
           "of this plug-in, is in use by another lumenfold-live or cannot be saved; 2 for a\n"
           "wrong command line; 3 when no JACK server runs, a JACK client of the same name runs,\n"
           "the plug-in cannot be loaded or the editor cannot be opened.\n";
}

}  // namespace lflive
