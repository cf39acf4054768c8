#include "tools/render/ParameterListing.h"

#include "tools/host/PluginInstance.h"
#include "tools/render/ParameterAssigner.h"
#include "tools/render/ParameterCatalog.h"
#include "tools/render/RenderError.h"

#include <cmath>
#include <locale>
#include <sstream>
#include <string>

namespace lfrender {
namespace {

std::string plainText(float value)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

std::string valueTextList(ParameterAssigner& assigner, int id)
{
    std::string list;
    for (const auto& [index, text] : assigner.valueTexts(id)) {
        if (text == std::to_string(index)) continue;
        list += (list.empty() ? "" : ", ") + std::to_string(index) + "=" + text;
    }
    return list;
}

// A row whose unit is not its plain unit (the mix levels, shown in dB): what the ends of
// its plain range show, so that the unit column is not read as the range's unit.
std::string rangeEndTexts(ParameterAssigner& assigner, int id, const ParameterRange& range)
{
    return plainText(range.minValue) + "=" + assigner.shownText(id, range.minValue) + ", " +
           plainText(range.maxValue) + "=" + assigner.shownText(id, range.maxValue);
}

std::string valueTextsColumn(ParameterAssigner& assigner, int id, const ParameterRange& range)
{
    if (range.isIndexed) return valueTextList(assigner, id);
    return range.unitIsNotPlain ? rangeEndTexts(assigner, id, range) : std::string();
}

// The value the plug-in holds now, in plain units, written as the texts column writes
// values: "3=256" for an indexed row whose text is not its number, "0.5=-18.062 dB" for
// the mix levels, else the number.
std::string currentValueText(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog,
                             ParameterAssigner& assigner, int id, const ParameterRange& range)
{
    const float normalized = plugin.getParameter(id);
    if (range.isIndexed) {
        const long index = std::lround(range.minValue + normalized * (range.maxValue - range.minValue));
        const std::string text = plugin.parameterDisplay(id);
        return text == std::to_string(index) ? text : std::to_string(index) + "=" + text;
    }
    const float plain = catalog.normalizedToPlain(id, normalized);
    return range.unitIsNotPlain ? plainText(plain) + "=" + assigner.shownText(id, plain) : plainText(plain);
}

}  // namespace

void printParameterList(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog, std::FILE* out,
                        bool withValues)
{
    ParameterAssigner assigner(plugin, catalog);
    std::fprintf(out, "id\tname\tunit\trange\tdefault\t%svalue texts\n", withValues ? "state\t" : "");
    for (int id = 0; id < plugin.numParams(); ++id) {
        const ParameterRange range = assigner.effectiveRange(id);
        const std::optional<float> byDefault = catalog.defaultValue(id);
        const std::string value = withValues ? currentValueText(plugin, catalog, assigner, id, range) + "\t" : "";
        const std::string texts = valueTextsColumn(assigner, id, range);
        std::fprintf(out, "%d\t%s\t%s\t%s to %s\t%s\t%s%s\n", id, plugin.parameterName(id).c_str(),
                     catalog.unit(id).c_str(), plainText(range.minValue).c_str(), plainText(range.maxValue).c_str(),
                     byDefault ? plainText(*byDefault).c_str() : "-", value.c_str(), texts.c_str());
    }
}

void printScriptList(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog, std::FILE* out)
{
    const int id = catalog.findByName("Script Index");
    if (id < 0) throw RenderError("this plug-in has no \"Script Index\" parameter, so no spectral scripts", ExitStatus::PluginProblem);
    ParameterAssigner assigner(plugin, catalog);
    for (const auto& [index, name] : assigner.valueTexts(id)) std::fprintf(out, "%d\t%s\n", index, name.c_str());
}

}  // namespace lfrender
