#include "platform/FontLocator.h"

#include "platform/FileSystem.h"

#include <fontconfig/fontconfig.h>

namespace platform {
namespace {

std::string familyFromFileName(const std::string& name)
{
    const std::size_t slash = name.find_last_of('/');
    std::string stem = slash == std::string::npos ? name : name.substr(slash + 1);
    const std::size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    return stem;
}

}  // namespace

std::string locateFontFile(const std::string& name)
{
    if (name.empty()) return {};
    // A FIFO or a device named by a skin would hold the font engine reading it.
    if (isReadableRegularFile(name)) return name;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return {};
    std::string file;
    FcPattern* pattern = FcPatternCreate();
    const std::string family = familyFromFileName(name);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
        file = reinterpret_cast<const char*>(path);
    }
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return isReadableRegularFile(file) ? file : std::string();
}

}  // namespace platform
