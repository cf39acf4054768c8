#include "platform/FontLocator.h"

#include "platform/FileSystem.h"
#include "platform/MessageOutput.h"

#include <dlfcn.h>

namespace platform {
namespace {

// The font configuration library is opened when first needed rather than linked: a
// portable plug-in file must load where it is missing, or present in another version
// that the host may have loaded too. Only the calls below are used; their
// declarations follow the library's published C interface.
constexpr const char* kFontConfigLibrary = "libfontconfig.so.1";

struct FcConfig;
struct FcPattern;
using FcChar8 = unsigned char;
using FcBool = int;
constexpr FcBool kFcTrue = 1;
constexpr int kFcResultMatch = 0;
constexpr int kFcResultNoMatch = 1;
constexpr int kFcMatchPattern = 0;
constexpr const char* kFcFamily = "family";
constexpr const char* kFcScalable = "scalable";
constexpr const char* kFcFile = "file";

struct FontConfigApi {
    FcConfig* (*initLoadConfigAndFonts)() = nullptr;
    void (*configDestroy)(FcConfig*) = nullptr;
    FcBool (*configSubstitute)(FcConfig*, FcPattern*, int) = nullptr;
    void (*defaultSubstitute)(FcPattern*) = nullptr;
    FcPattern* (*fontMatch)(FcConfig*, FcPattern*, int*) = nullptr;
    FcPattern* (*patternCreate)() = nullptr;
    void (*patternDestroy)(FcPattern*) = nullptr;
    FcBool (*patternAddString)(FcPattern*, const char*, const FcChar8*) = nullptr;
    FcBool (*patternAddBool)(FcPattern*, const char*, FcBool) = nullptr;
    int (*patternGetString)(const FcPattern*, const char*, int, FcChar8**) = nullptr;
};

template <class Function>
bool resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

bool resolveAll(void* library, FontConfigApi& api)
{
    return resolve(library, "FcInitLoadConfigAndFonts", api.initLoadConfigAndFonts) &&
           resolve(library, "FcConfigDestroy", api.configDestroy) &&
           resolve(library, "FcConfigSubstitute", api.configSubstitute) &&
           resolve(library, "FcDefaultSubstitute", api.defaultSubstitute) &&
           resolve(library, "FcFontMatch", api.fontMatch) &&
           resolve(library, "FcPatternCreate", api.patternCreate) &&
           resolve(library, "FcPatternDestroy", api.patternDestroy) &&
           resolve(library, "FcPatternAddString", api.patternAddString) &&
           resolve(library, "FcPatternAddBool", api.patternAddBool) &&
           resolve(library, "FcPatternGetString", api.patternGetString);
}

// Opened once per process and never closed (its fonts' memory may be shared with the
// host's own use of it). Null when the library or one of its calls is missing; the
// editor then says once that it uses its built-in font.
const FontConfigApi* openFontConfig()
{
    static const FontConfigApi* const api = [] () -> const FontConfigApi* {
        static FontConfigApi resolved;
        void* library = dlopen(kFontConfigLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library && resolveAll(library, resolved)) return &resolved;
        if (library) dlclose(library);
        showError(std::string(kFontConfigLibrary) + " is not usable: the editor uses its built-in font");
        return nullptr;
    }();
    return api;
}

// Set to 1, the locator behaves as on a system without the font configuration
// library, so that the built-in font can be seen and tested on any system.
bool fontConfigSwitchedOff()
{
    return environmentValue("LUMENFOLD_WITHOUT_FONTCONFIG") == "1";
}

std::string familyFromFileName(const std::string& name)
{
    const std::size_t slash = name.find_last_of('/');
    std::string stem = slash == std::string::npos ? name : name.substr(slash + 1);
    const std::size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    return stem;
}

// The file the configuration substitutes for the family, or empty.
std::string matchFamily(const FontConfigApi& fc, FcConfig* config, const std::string& family)
{
    FcPattern* pattern = fc.patternCreate();
    if (!pattern) return {};
    std::string file;
    if (fc.patternAddString(pattern, kFcFamily, reinterpret_cast<const FcChar8*>(family.c_str())) &&
        fc.patternAddBool(pattern, kFcScalable, kFcTrue) && fc.configSubstitute(config, pattern, kFcMatchPattern)) {
        fc.defaultSubstitute(pattern);
        int result = kFcResultNoMatch;
        FcPattern* match = fc.fontMatch(config, pattern, &result);
        FcChar8* path = nullptr;
        if (match && fc.patternGetString(match, kFcFile, 0, &path) == kFcResultMatch && path) {
            file = reinterpret_cast<const char*>(path);
        }
        if (match) fc.patternDestroy(match);
    }
    fc.patternDestroy(pattern);
    return file;
}

}  // namespace

std::string locateFontFile(const std::string& name)
{
    if (name.empty()) return {};
    // A FIFO or a device named by a skin would hold the font engine reading it.
    if (isReadableRegularFile(name)) return name;
    if (fontConfigSwitchedOff()) return {};
    const FontConfigApi* fc = openFontConfig();
    if (!fc) return {};
    FcConfig* config = fc->initLoadConfigAndFonts();
    if (!config) return {};
    const std::string file = matchFamily(*fc, config, familyFromFileName(name));
    fc->configDestroy(config);
    return isReadableRegularFile(file) ? file : std::string();
}

}  // namespace platform
