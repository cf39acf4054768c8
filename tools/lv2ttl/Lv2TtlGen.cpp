// Writes the LV2 bundle's manifest.ttl, Lumenfold.ttl and presets.ttl from the parameter table, the
// plug-in's own value texts and the binding's port layout, so the description always
// matches the binary.
// Usage: lumenfold-lv2ttl BUNDLE_FOLDER BINARY_NAME

#include "engine/model/CFArray.h"
#include "engine/model/ParameterTable.h"
#include "engine/model/StatusCodes.h"
#include "engine/model/ValueFormatting.h"
#include "formats/lv2/Lv2Ports.h"
#include "tools/lv2ttl/PresetTurtle.h"
#include "tools/lv2ttl/TurtleText.h"
#include "tools/lv2ttl/ValueTextSource.h"
#include "Version.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

using namespace lumenfold::lv2;
using lflv2ttl::ValueTextSource;
using lflv2ttl::number;
using lflv2ttl::quoted;
using lflv2ttl::symbolOf;

namespace {

// The port groups, as fragments of the plug-in's URI: the stereo pairs, and the control
// sections a host's generic UI shows (symbol, name).
constexpr char kInputGroup[] = "#in";
constexpr char kOutputGroup[] = "#out";
constexpr const char* kControlGroups[][2] = {{"main", "Main"}, {"view", "View"}, {"script", "Script"}};

// The levels a fader row's scale points name, in dB; silence (position 0) is named too.
constexpr int kFaderPointsDb[] = {-48, -24, -18, -12, -6, 0};

struct ScalePoint {
    float value;
    std::string label;
};

// What a host may show for a control port besides its number.
struct PortNames {
    std::vector<ScalePoint> points;
    bool enumeration = false;  // every value of the port is one of the points
};

bool isFiniteNumber(const std::string& text)
{
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && std::isfinite(value);
}

// A fader row stores a position whose gain is the position cubed: its points are named by
// that gain, 20·log10(value³) dB, so a position of 10^(dB/60) is dB.
std::vector<ScalePoint> faderPoints()
{
    std::vector<ScalePoint> points{{0.0f, "-inf dB"}};
    for (const int db : kFaderPointsDb) {
        points.push_back({static_cast<float>(std::pow(10.0, db / 60.0)), std::to_string(db) + " dB"});
    }
    return points;
}

// The names the plug-in shows for the steps of a list row ("FFT Size": "32" .. "4096");
// empty for a row without a list.
std::vector<ScalePoint> listPoints(ValueTextSource& texts, int id, const ParameterInfo& row)
{
    CFArrayHolder list;
    if (texts.getParameterValueStrings(kScopeGlobal, id, list.out()) != kNoErr || list.get() == nullptr) return {};
    std::vector<ScalePoint> points;
    for (int step = static_cast<int>(row.minValue); step <= static_cast<int>(row.maxValue); ++step) {
        if (step >= 0 && step < list.get()->count()) {
            points.push_back({static_cast<float>(step), texts.displayTextOf(id, static_cast<float>(step))});
        }
    }
    return points;
}

// The word a row's lowest value shows instead of its number ("Off", "-inf"): the plug-in's
// words belong to the bottom of their ranges, where a control switches off or goes silent.
std::vector<ScalePoint> wordPoints(ValueTextSource& texts, int id, const ParameterInfo& row)
{
    std::string text = texts.displayTextOf(id, row.minValue);
    if (text.empty() || isFiniteNumber(text)) return {};
    return {{row.minValue, std::move(text)}};
}

PortNames namesOf(ValueTextSource& texts, int id, const ParameterInfo& row)
{
    if (row.unit == ParameterUnit::MixerFaderCurve1) return {faderPoints(), false};
    std::vector<ScalePoint> list = listPoints(texts, id, row);
    if (!list.empty()) return {std::move(list), true};
    return {wordPoints(texts, id, row), false};
}

// What a host's generic UI shows beside a control, for what its range and points cannot say.
const char* commentOf(int id, const ParameterInfo& row)
{
    if (row.unit == ParameterUnit::MixerFaderCurve1) {
        return "A fader position from 0 to 1; the gain is the position cubed, 20*log10(value^3) dB "
               "(0.5 is -18 dB).";
    }
    switch (id) {
    case ParameterId::OscPortOffset:
        return "The instance's OSC server listens on the base port plus this offset; 0 closes it. Give every "
               "instance its own offset.";
    case ParameterId::FftSize:
        return "The frame length N in samples. Bin k sits at k * sample rate / N Hz, and the output is delayed "
               "by N samples.";
    case ParameterId::ViewXAxis: return "The spectrum display's frequency axis.";
    case ParameterId::ViewYAxis: return "The spectrum display's level axis.";
    case ParameterId::ViewMinDb: return "The bottom of the spectrum display on its dB axis.";
    case ParameterId::ViewMaxDb: return "The top of the spectrum display on its dB axis.";
    case ParameterId::ViewMinLinear: return "The bottom of the spectrum display on its linear axis.";
    case ParameterId::ViewMaxLinear: return "The top of the spectrum display on its linear axis.";
    case ParameterId::ViewSmoothing: return "How slowly the spectrum display follows the signal.";
    case ParameterId::InputGain: return "The gain of the input before it is transformed.";
    case ParameterId::OutputGain: return "The gain of the transformed (wet) signal.";
    case ParameterId::ScriptIndex:
        return "The spectral script, by its place in this instance's script list (the built-in scripts and "
               "the user's own). The names are known only when the instance runs, so the range covers any "
               "list and each instance clamps the value to its own.";
    case ParameterId::ScriptPosition: return "Whether the spectral script runs after or before the bin levels.";
    case ParameterId::Scripted1:
    case ParameterId::Scripted2:
    case ParameterId::Scripted3:
    case ParameterId::Scripted4: return "A value the selected spectral script reads; its meaning is the script's.";
    case ParameterId::Overlap:
        return "Frames per frame length: more frames follow changes more smoothly and cost more work.";
    default: return nullptr;
    }
}

// The host's generic UI shows a port under its group: the same sections as the CLAP
// modules ("Main", "View", "Script").
const char* groupOf(int id)
{
    if (id >= ParameterId::ViewXAxis && id <= ParameterId::ViewSmoothing) return "view";
    if (id >= ParameterId::ScriptIndex && id <= ParameterId::Scripted4) return "script";
    return "main";
}

// Range bounds of a stepped port are whole numbers in the Turtle too, as hosts and
// validators expect of lv2:integer and lv2:toggled.
std::string boundText(const ParameterInfo& row, float value)
{
    if (row.unit == ParameterUnit::Indexed || row.unit == ParameterUnit::Boolean) {
        return std::to_string(std::lround(value));
    }
    return number(value);
}

const char* unitUri(ParameterUnit unit)
{
    switch (unit) {
    case ParameterUnit::Decibels: return "units:db";
    case ParameterUnit::Milliseconds: return "units:ms";
    default: return nullptr;
    }
}

void writeManifest(std::ostream& out, const std::string& binary)
{
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
           "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n"
        << "<" << kPluginUri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary
        << "> ;\n    rdfs:seeAlso <Lumenfold.ttl> .\n\n"
        << "<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << binary
        << "> ;\n    rdfs:seeAlso <Lumenfold.ttl> .\n";
    lflv2ttl::writePresetManifest(out);
}

void writePrefixes(std::ostream& ttl)
{
    ttl << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
           "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
           "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
           "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
           "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
           "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
           "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
           "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
           "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
           "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
           "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
           "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n\n";
}

void writeBinParameters(std::ostream& ttl)
{
    for (int k = 0; k < kBinCount; ++k) {
        ttl << "<" << kBinUriPrefix << k << ">\n    a lv2:Parameter ;\n    rdfs:label \"Bin " << k
            << " Level\" ;\n    rdfs:comment \"The gain of bin " << k << " (at " << k
            << " * sample rate / FFT size Hz): 0 removes it, 1 leaves it as it is.\" ;\n"
               "    rdfs:range atom:Float ;\n    units:unit units:coef ;\n    lv2:default 1.0 ;\n"
               "    lv2:minimum 0.0 ;\n    lv2:maximum 1.0 .\n\n";
    }
}

void writeBinList(std::ostream& ttl, const char* property)
{
    ttl << "    " << property << "\n";
    for (int k = 0; k < kBinCount; ++k) {
        ttl << "        <" << kBinUriPrefix << k << ">" << (k + 1 < kBinCount ? " ,\n" : " ;\n");
    }
}

// The plug-in's own statements, up to its ports. It works on audio in the frequency
// domain: lv2:SpectralPlugin is the class hosts file such effects under. The validators
// want the doap:Project that doap:maintainer belongs to named outright, and the maker
// reachable by the same address and page as the Debian package. No opts:options: the
// binding reads no option (the rate comes with instantiate, and any block length works).
void writePluginHead(std::ostream& ttl)
{
    ttl << "<" << kPluginUri << ">\n"
        << "    a lv2:Plugin , lv2:SpectralPlugin , doap:Project ;\n"
           "    doap:name \"Lumenfold\" ;\n"
           "    doap:shortdesc \"Spectral effect: 2049 automatable bin levels, Lua scripts and OSC control\" ;\n"
           "    rdfs:comment \"Each channel is cut into overlapping frames and transformed by a real FFT; every "
           "one of 2049 bins gets its own level, spectral scripts may rewrite the bins, and the result is mixed "
           "with the delayed dry signal.\" ;\n"
           "    doap:maintainer [\n        foaf:name \"Corvanne\" ;\n"
           "        foaf:mbox <mailto:lumenfold@corvanne.example> ;\n"
           "        foaf:homepage <https://corvanne.example/lumenfold>\n    ] ;\n"
           "    doap:license <http://usefulinc.com/doap/licenses/gpl> ;\n"
           "    lv2:minorVersion "
        << QN::version::kMinor << " ;\n    lv2:microVersion " << QN::version::kDot
        << " ;\n"
           "    lv2:optionalFeature lv2:hardRTCapable , urid:map ;\n"
           "    lv2:extensionData state:interface ;\n"
           "    pg:mainInput <" << kPluginUri << kInputGroup << "> ;\n"
           "    pg:mainOutput <" << kPluginUri << kOutputGroup << "> ;\n";
    writeBinList(ttl, "patch:writable");
    writeBinList(ttl, "patch:readable");
    ttl << "    ui:ui <" << kUiUri << "> ;\n";
}

// The stereo pairs, each a group whose ports are its left and right channels.
void writeAudioPorts(std::ostream& ttl)
{
    const char* audio[] = {"in_1", "in_2", "out_1", "out_2"};
    const char* audioNames[] = {"Input 1", "Input 2", "Output 1", "Output 2"};
    for (int i = 0; i < 4; ++i) {
        const bool input = i < 2;
        ttl << "[\n        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
            << "        lv2:index " << i << " ;\n        lv2:symbol \"" << audio[i] << "\" ;\n        lv2:name \""
            << audioNames[i] << "\" ;\n        pg:group <" << kPluginUri << (input ? kInputGroup : kOutputGroup)
            << "> ;\n        lv2:designation " << (i % 2 == 0 ? "pg:left" : "pg:right") << " ;\n    ] , ";
    }
}

// The audio, atom and latency ports, which do not come from the parameter table.
void writeFixedPorts(std::ostream& ttl)
{
    ttl << "    lv2:port ";
    writeAudioPorts(ttl);
    ttl << "[\n        a lv2:InputPort , atom:AtomPort ;\n        atom:bufferType atom:Sequence ;\n"
           "        atom:supports midi:MidiEvent , patch:Message ;\n        lv2:designation lv2:control ;\n"
           "        lv2:portProperty lv2:connectionOptional ;\n"
           "        rdfs:comment \"MIDI for the scripts and the MIDI mapping; patch:Set and patch:Get for the bin "
           "levels.\" ;\n"
        << "        lv2:index " << kControlIn << " ;\n        lv2:symbol \"control\" ;\n        lv2:name \"Control\" ;\n"
        << "    ] , [\n        a lv2:OutputPort , atom:AtomPort ;\n        atom:bufferType atom:Sequence ;\n"
           "        atom:supports patch:Message ;\n        lv2:designation lv2:control ;\n"
           "        lv2:portProperty lv2:connectionOptional ;\n"
           "        rdfs:comment \"patch:Set for bin levels changed inside the plug-in and in answer to "
           "patch:Get.\" ;\n"
        << "        lv2:index " << kNotifyOut << " ;\n        lv2:symbol \"notify\" ;\n        lv2:name \"Notify\" ;\n"
        << "    ] , [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:designation lv2:latency ;\n"
           "        lv2:portProperty lv2:reportsLatency , lv2:integer , pprop:notOnGUI ;\n"
        << "        lv2:index " << kLatencyOut << " ;\n        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
        << "        lv2:minimum 0 ;\n        lv2:maximum 4096 ;\n        units:unit units:frame ;\n"
           "        rdfs:comment \"The delay of the output behind the input: the FFT size.\" ;\n    ]";
}

void writePortProperties(std::ostream& ttl, const ParameterInfo& row, const PortNames& names)
{
    std::string properties;
    if (row.unit == ParameterUnit::Indexed) properties = "lv2:integer";
    if (row.unit == ParameterUnit::Boolean) properties = "lv2:toggled";
    if (names.enumeration) properties += properties.empty() ? "lv2:enumeration" : " , lv2:enumeration";
    if (!properties.empty()) ttl << "        lv2:portProperty " << properties << " ;\n";
}

void writeScalePoints(std::ostream& ttl, const std::vector<ScalePoint>& points)
{
    if (points.empty()) return;
    ttl << "        lv2:scalePoint";
    for (std::size_t i = 0; i < points.size(); ++i) {
        ttl << (i == 0 ? " " : " ,\n            ") << "[ rdfs:label " << quoted(points[i].label) << " ; rdf:value "
            << number(points[i].value) << " ]";
    }
    ttl << " ;\n";
}

void writeControlPort(std::ostream& ttl, ValueTextSource& texts, int id)
{
    const ParameterInfo row = parameterInfo(id);
    // "Script Index" is per instance: its range here covers any script list.
    const float maximum = id == ParameterId::ScriptIndex ? 127.0f : row.maxValue;
    ttl << " , [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index " << kFirstParameterPort + id
        << " ;\n        lv2:symbol \"" << symbolOf(row.name) << "\" ;\n        lv2:name " << quoted(row.name)
        << " ;\n        lv2:default " << boundText(row, row.defaultValue) << " ;\n        lv2:minimum "
        << boundText(row, row.minValue) << " ;\n        lv2:maximum " << boundText(row, maximum) << " ;\n"
        << "        pg:group <" << kPluginUri << "#" << groupOf(id) << "> ;\n";
    if (const char* comment = commentOf(id, row)) ttl << "        rdfs:comment " << quoted(comment) << " ;\n";
    const PortNames names = namesOf(texts, id, row);
    writePortProperties(ttl, row, names);
    writeScalePoints(ttl, names.points);
    if (const char* unit = unitUri(row.unit)) ttl << "        units:unit " << unit << " ;\n";
    ttl << "    ]";
}

void writeGroups(std::ostream& ttl)
{
    ttl << "<" << kPluginUri << kInputGroup << ">\n    a pg:InputGroup , pg:StereoGroup ;\n"
        << "    lv2:symbol \"in\" ;\n    lv2:name \"Input\" .\n\n"
        << "<" << kPluginUri << kOutputGroup << ">\n    a pg:OutputGroup , pg:StereoGroup ;\n"
        << "    lv2:symbol \"out\" ;\n    lv2:name \"Output\" ;\n    pg:source <" << kPluginUri << kInputGroup
        << "> .\n\n";
    for (const auto& group : kControlGroups) {
        ttl << "<" << kPluginUri << "#" << group[0] << ">\n    a pg:Group ;\n    lv2:symbol \"" << group[0]
            << "\" ;\n    lv2:name \"" << group[1] << "\" .\n\n";
    }
}

// The host's idle calls drive the editor when it offers them; without them the editor
// pumps its own events, so ui:idleInterface is optional.
void writeUi(std::ostream& ttl)
{
    ttl << "<" << kUiUri << ">\n    a ui:X11UI ;\n"
        << "    lv2:requiredFeature ui:parent , <http://lv2plug.in/ns/ext/instance-access> ;\n"
           "    lv2:optionalFeature ui:resize , ui:idleInterface ;\n"
           "    lv2:extensionData ui:idleInterface .\n";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: lumenfold-lv2ttl BUNDLE_FOLDER BINARY_NAME\n";
        return 2;
    }
    const std::string folder = argv[1];
    std::ofstream manifest(folder + "/manifest.ttl");
    writeManifest(manifest, argv[2]);

    std::ofstream ttl(folder + "/Lumenfold.ttl");
    writePrefixes(ttl);
    writeBinParameters(ttl);
    writeGroups(ttl);
    writePluginHead(ttl);
    writeFixedPorts(ttl);
    ValueTextSource texts;
    for (int id = 0; id < kControlParameterCount; ++id) writeControlPort(ttl, texts, id);
    ttl << " .\n\n";
    writeUi(ttl);
    std::ofstream presets(folder + "/presets.ttl");
    lflv2ttl::writePresets(presets);
    if (!manifest || !ttl || !presets) {
        std::cerr << "lumenfold-lv2ttl: cannot write into " << folder << "\n";
        return 1;
    }
    return 0;
}
