#include "tools/lv2ttl/PresetTurtle.h"

#include "engine/model/FactoryPresets.h"
#include "engine/model/QuanProgramQNlfv1.h"
#include "formats/lv2/Lv2Ports.h"
#include "platform/Resources.h"
#include "tools/lv2ttl/TurtleText.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace lflv2ttl {
namespace {

using namespace lumenfold::lv2;

// The place of the built-in midi.lua in the plug-in's resources.
constexpr int kBuiltInScriptId = 136;

// The spectral script list an instance with the built-in midi.lua has: "Off", then the
// scripts in the order it registers them. A preset's block names its script by place,
// so the bundle's presets are made for that list.
std::vector<std::string> builtInScriptNames()
{
    std::vector<std::string> names{"Off"};
    const auto script = platform::findResource(platform::kResourceTypeScript, kBuiltInScriptId);
    if (!script) return names;
    const std::string_view text(reinterpret_cast<const char*>(script->data), script->size);
    constexpr std::string_view kCall = "addSpectralScript(\"";
    for (auto at = text.find(kCall); at != std::string_view::npos; at = text.find(kCall, at)) {
        at += kCall.size();
        const auto end = text.find('"', at);
        if (end == std::string_view::npos) break;
        names.emplace_back(text.substr(at, end - at));
    }
    return names;
}

float scriptIndexOf(int preset, const std::vector<std::string>& scripts)
{
    const char* wanted = FactoryPresets::scriptName(preset);
    for (std::size_t i = 0; wanted != nullptr && i < scripts.size(); ++i) {
        if (scripts[i] == wanted) return static_cast<float>(i);
    }
    return 0.0f;
}

std::string base64(const void* data, std::size_t size)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::string text;
    text.reserve((size + 2) / 3 * 4);
    for (std::size_t i = 0; i < size; i += 3) {
        const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (i + 1 < size ? bytes[i + 1] << 8 : 0) |
                                    (i + 2 < size ? bytes[i + 2] : 0);
        text += kDigits[(group >> 18) & 63];
        text += kDigits[(group >> 12) & 63];
        text += i + 1 < size ? kDigits[(group >> 6) & 63] : '=';
        text += i + 2 < size ? kDigits[group & 63] : '=';
    }
    return text;
}

void writePreset(std::ostream& ttl, int index, const std::vector<std::string>& scripts)
{
    ProgramValues content;
    FactoryPresets::fill(index, scriptIndexOf(index, scripts), content);
    QuanProgramQNlfv1 block;
    block.load(content);
    ttl << "<" << presetUri(index) << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << kPluginUri
        << "> ;\n    rdfs:label " << quoted(FactoryPresets::name(index)) << " ;\n    rdfs:comment "
        << quoted(FactoryPresets::description(index)) << " ;\n    lv2:port ";
    for (int id = 0; id < kControlParameterCount; ++id) {
        ttl << (id == 0 ? "" : " , ") << "[\n        lv2:symbol \"" << symbolOf(parameterInfo(id).name)
            << "\" ;\n        pset:value " << exactNumber(content.values[static_cast<std::size_t>(id)]) << "\n    ]";
    }
    ttl << " ;\n    state:state [\n        <" << kStateUri << "> \"" << base64(block.getData(), block.getSize())
        << "\"^^xsd:base64Binary\n    ] .\n\n";
}

}  // namespace

std::string presetUri(int index)
{
    std::string slug;
    for (const char* c = FactoryPresets::name(index); *c; ++c) {
        const char ch = *c;
        const bool word = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        slug += word ? static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch) : '_';
    }
    // Letters, digits and underscores only: jalv's console takes no other characters in a
    // preset's URI.
    return std::string(kPluginUri) + "#preset_" + slug;
}

void writePresetManifest(std::ostream& manifest)
{
    for (int index = 1; index < FactoryPresets::count(); ++index) {
        manifest << "\n<" << presetUri(index) << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << kPluginUri
                 << "> ;\n    rdfs:seeAlso <presets.ttl> .\n";
    }
}

void writePresets(std::ostream& ttl)
{
    ttl << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
           "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
           "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";
    // The property each preset's state holds: the whole program block.
    ttl << "<" << kStateUri << ">\n    a rdf:Property ;\n    rdfs:label \"Lumenfold state\" ;\n"
        << "    rdfs:comment \"The whole program block: its name and every parameter value.\" .\n\n";
    const std::vector<std::string> scripts = builtInScriptNames();
    for (int index = 1; index < FactoryPresets::count(); ++index) writePreset(ttl, index, scripts);
}

}  // namespace lflv2ttl
