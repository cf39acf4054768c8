// Built instead of LumenfoldParameterCatalog.cpp while the parameter table's library is
// not part of the build: every plug-in is then described by the names it reports.

#include "tools/render/LumenfoldParameterCatalog.h"

namespace lfrender {

std::unique_ptr<ParameterCatalog> makeLumenfoldParameterCatalog(lfhost::PluginInstance& /*plugin*/)
{
    return nullptr;
}

}  // namespace lfrender
