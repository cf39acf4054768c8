#include "tools/host/PluginLibrary.h"

#include "platform/FileSystem.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <limits>

namespace lfhost {
namespace {

void setError(std::string* error, const std::string& text)
{
    if (error) *error = text;
}

PluginEntryProc findSymbol(void* handle, const char* name)
{
    dlerror();
    void* symbol = dlsym(handle, name);
    if (dlerror() != nullptr || symbol == nullptr) return nullptr;
    return reinterpret_cast<PluginEntryProc>(symbol);
}

}  // namespace

PluginLibrary::PluginLibrary(std::string path, PluginEntryProc entry, std::string entryName)
    : path_(std::move(path)), entry_(entry), entryName_(std::move(entryName))
{
}

std::unique_ptr<PluginLibrary> PluginLibrary::open(const std::string& soPath, std::string* error)
{
    // dlopen searches the library path for names without a slash; a plug-in path given
    // on a command line means a file, so anchor bare names to the working directory.
    const std::string path = soPath.find('/') == std::string::npos ? "./" + soPath : soPath;
    // dlopen on a FIFO would wait for a writer for ever: only a regular file is loaded.
    // Missing and unreadable files are left to dlopen, whose words say more.
    const platform::OpenedFile file = platform::openRegularFile(path, std::numeric_limits<std::uint64_t>::max());
    if (file.status() == platform::FileReadStatus::NotRegular) {
        setError(error, "cannot load " + soPath + ": it is " + file.kind() +
                            (std::strcmp(file.kind(), "a folder") == 0 ? ", not a file" : ", not a regular file"));
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        setError(error, "cannot load " + soPath + ": " + (reason ? reason : "unknown error"));
        return nullptr;
    }
    for (const char* name : {"VSTPluginMain", "main"}) {
        if (PluginEntryProc entry = findSymbol(handle, name))
            return std::unique_ptr<PluginLibrary>(new PluginLibrary(soPath, entry, name));
    }
    // The handle stays open on purpose: see the class comment.
    setError(error, soPath + " has no VSTPluginMain or main entry point");
    return nullptr;
}

}  // namespace lfhost
