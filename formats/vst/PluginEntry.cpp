// The library's two exported entry points. Hosts call one of them with their callback;
// it checks the host and the processor, builds one plug-in instance and hands its
// descriptor to the host.

#include "editor/product/ProductEditor.h"
#include "platform/Cpu.h"
#include "platform/MessageOutput.h"
#include "platform/ThreadCancellation.h"
#include "engine/instance/QuanTessamire.h"

#include <exception>

namespace {

AEffect* createPluginInstance(AudioMasterCallback audioMaster)
{
    if (audioMaster == nullptr || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    if (!platform::hasSse2()) {
        platform::showError("Corvanne Lumenfold requires a processor with SSE2 capability");
        return nullptr;
    }
    try {
        auto* plugin = new QuanTessamire(audioMaster, makeProductEditor);
        return plugin->getAeffect();
    } catch (const std::exception& error) {
        // Nothing may escape into the host: a failed build means no instance.
        platform::showError(std::string("Lumenfold could not start: ") + error.what());
        return nullptr;
    } catch (...) {
        platform::rethrowIfThreadCancelled();  // the host cancelled this thread: it ends as cancelled
        return nullptr;
    }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) AEffect* VSTPluginMain(AudioMasterCallback audioMaster)
{
    return createPluginInstance(audioMaster);
}

// Older hosts look for "main"; the assembler name keeps the compiler from treating it
// as the program's entry function.
__attribute__((visibility("default"))) AEffect* legacyPluginMain(AudioMasterCallback audioMaster) asm("main");

AEffect* legacyPluginMain(AudioMasterCallback audioMaster) { return createPluginInstance(audioMaster); }

}  // extern "C"
