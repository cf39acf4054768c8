#include "formats/HostedInstance.h"

#include "editor/product/ProductEditor.h"
#include "platform/Cpu.h"
#include "engine/instance/QuanTessamire.h"

#include <cstdio>
#include <exception>
#include <string>

PluginEnginePointer HostedInstance::create(EngineListener& listener)
{
    if (!platform::hasSse2()) {
        std::fputs("Error: Corvanne Lumenfold requires a processor with SSE2 capability\n", stderr);
        return nullptr;
    }
    PluginEnginePointer engine;
    try {
        engine.reset(new QuanTessamire(listener, makeProductEditor));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "Error: Lumenfold could not start: %s\n", failure.what());
        return nullptr;
    }
    engine->start();
    return engine;
}
