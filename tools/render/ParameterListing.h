#pragma once
// What --list-parameters and --list-scripts print: every parameter with its id, name,
// unit, plain range, default and value texts, and the spectral scripts "Script Index"
// selects.

#include <cstdio>

namespace lfhost {
class PluginInstance;
}

namespace lfrender {

class ParameterCatalog;

// One header line, then one line per parameter:
//   id <tab> name <tab> unit <tab> minimum to maximum <tab> default <tab> value texts
// Value texts are listed for indexed rows as "index=text" where the text is not simply
// the number, and for rows whose unit is not their plain unit (the mix levels, in dB) as
// the texts of the range's ends ("0=-inf dB, 1=0.000 dB"). withValues adds a "state"
// column after the default: the value each parameter holds now (after a state was
// loaded), written as the value texts are ("3=256", "0.5=-18.062 dB", "-6"). The
// parameters' values are as before afterwards.
void printParameterList(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog, std::FILE* out,
                        bool withValues = false);

// One line per "Script Index" value: the index and the script's name. Throws RenderError
// when the plug-in has no such parameter.
void printScriptList(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog, std::FILE* out);

}  // namespace lfrender
