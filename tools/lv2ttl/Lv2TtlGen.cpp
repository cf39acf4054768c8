// Writes the LV2 bundle's manifest.ttl and Lumenfold.ttl from the parameter table and the
// binding's port layout, so the description always matches the binary.
// Usage: lumenfold-lv2ttl BUNDLE_FOLDER BINARY_NAME

#include "plugin/core/ParameterTable.h"
#include "plugin/core/ValueFormatting.h"
#include "plugin/lv2/Lv2Ports.h"
#include "Version.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

using namespace lumenfold::lv2;

namespace {

std::string number(float value) { return formatFixed(value, 6); }

std::string symbolOf(const char* name)
{
    std::string symbol;
    for (const char* c = name; *c; ++c) {
        const char ch = *c;
        const bool word = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        symbol += word ? static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch) : '_';
    }
    return symbol;
}

const char* unitUri(ParameterUnit unit)
{
    switch (unit) {
    case ParameterUnit::Decibels: return "units:db";
    case ParameterUnit::Milliseconds: return "units:ms";
    default: return nullptr;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: lumenfold-lv2ttl BUNDLE_FOLDER BINARY_NAME\n";
        return 2;
    }
    const std::string folder = argv[1];
    const std::string binary = argv[2];
    std::ofstream manifest(folder + "/manifest.ttl");
    manifest << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n"
             << "<" << kPluginUri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary
             << "> ;\n    rdfs:seeAlso <Lumenfold.ttl> .\n\n"
             << "<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << binary
             << "> ;\n    rdfs:seeAlso <Lumenfold.ttl> .\n";

    std::ofstream ttl(folder + "/Lumenfold.ttl");
    ttl << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
           "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
           "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
           "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
           "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
           "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
           "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
           "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
           "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n\n";
    for (int k = 0; k < kBinCount; ++k) {
        ttl << "<" << kBinUriPrefix << k << ">\n    a lv2:Parameter ;\n    rdfs:label \"Bin " << k
            << " Level\" ;\n    rdfs:range atom:Float ;\n    lv2:default 1.0 ;\n    lv2:minimum 0.0 ;\n"
               "    lv2:maximum 1.0 .\n\n";
    }
    ttl << "<" << kPluginUri << ">\n"
        << "    a lv2:Plugin , lv2:AnalyserPlugin ;\n"
           "    doap:name \"Lumenfold\" ;\n"
           "    doap:license <http://usefulinc.com/doap/licenses/gpl> ;\n"
           "    lv2:minorVersion "
        << QN::version::kMinor << " ;\n    lv2:microVersion " << QN::version::kDot
        << " ;\n"
           "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n"
           "    lv2:extensionData state:interface ;\n";
    ttl << "    patch:writable\n";
    for (int k = 0; k < kBinCount; ++k) {
        ttl << "        <" << kBinUriPrefix << k << ">" << (k + 1 < kBinCount ? " ,\n" : " ;\n");
    }
    ttl << "    patch:readable\n";
    for (int k = 0; k < kBinCount; ++k) {
        ttl << "        <" << kBinUriPrefix << k << ">" << (k + 1 < kBinCount ? " ,\n" : " ;\n");
    }
    ttl << "    ui:ui <" << kUiUri << "> ;\n";
    const char* audio[] = {"in_1", "in_2", "out_1", "out_2"};
    const char* audioNames[] = {"Input 1", "Input 2", "Output 1", "Output 2"};
    ttl << "    lv2:port ";
    for (int i = 0; i < 4; ++i) {
        ttl << "[\n        a lv2:AudioPort , " << (i < 2 ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
            << "        lv2:index " << i << " ;\n        lv2:symbol \"" << audio[i] << "\" ;\n        lv2:name \""
            << audioNames[i] << "\" ;\n    ] , ";
    }
    ttl << "[\n        a lv2:InputPort , atom:AtomPort ;\n        atom:bufferType atom:Sequence ;\n"
           "        atom:supports midi:MidiEvent , patch:Message ;\n        lv2:designation lv2:control ;\n"
           "        lv2:portProperty lv2:connectionOptional ;\n"
        << "        lv2:index " << kControlIn << " ;\n        lv2:symbol \"control\" ;\n        lv2:name \"Control\" ;\n"
        << "    ] , [\n        a lv2:OutputPort , atom:AtomPort ;\n        atom:bufferType atom:Sequence ;\n"
           "        atom:supports patch:Message ;\n        lv2:designation lv2:control ;\n"
           "        lv2:portProperty lv2:connectionOptional ;\n"
        << "        lv2:index " << kNotifyOut << " ;\n        lv2:symbol \"notify\" ;\n        lv2:name \"Notify\" ;\n"
        << "    ] , [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:designation lv2:latency ;\n"
           "        lv2:portProperty lv2:reportsLatency , lv2:integer , pprop:notOnGUI ;\n"
        << "        lv2:index " << kLatencyOut << " ;\n        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
        << "        lv2:minimum 0 ;\n        lv2:maximum 4096 ;\n        units:unit units:frame ;\n    ]";
    for (int id = 0; id < kControlParameterCount; ++id) {
        const ParameterInfo row = parameterInfo(id);
        // "Script Index" is per instance: its range here covers any script list.
        const float maximum = id == ParameterId::ScriptIndex ? 127.0f : row.maxValue;
        ttl << " , [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index " << kFirstParameterPort + id
            << " ;\n        lv2:symbol \"" << symbolOf(row.name) << "\" ;\n        lv2:name \"" << row.name
            << "\" ;\n        lv2:default " << number(row.defaultValue) << " ;\n        lv2:minimum "
            << number(row.minValue) << " ;\n        lv2:maximum " << number(maximum) << " ;\n";
        if (row.unit == ParameterUnit::Indexed) ttl << "        lv2:portProperty lv2:integer ;\n";
        if (row.unit == ParameterUnit::Boolean) ttl << "        lv2:portProperty lv2:toggled ;\n";
        if (const char* unit = unitUri(row.unit)) ttl << "        units:unit " << unit << " ;\n";
        ttl << "    ]";
    }
    ttl << " .\n\n<" << kUiUri << ">\n    a ui:X11UI ;\n"
        << "    lv2:requiredFeature ui:parent , <http://lv2plug.in/ns/ext/instance-access> ;\n"
           "    lv2:optionalFeature ui:resize ;\n"
           "    lv2:extensionData ui:idleInterface .\n";
    if (!manifest || !ttl) {
        std::cerr << "lumenfold-lv2ttl: cannot write into " << folder << "\n";
        return 1;
    }
    return 0;
}
