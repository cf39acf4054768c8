#pragma once
// How the bindings other than VST make their instance: the engine with the product's
// editor, its host notifications going to the binding's listener. Building fails without
// SSE2 or when the instance cannot start; the failure is reported here, once for every
// format, as one "Error: ..." line.
//
// Called on: the host's main (instantiating) thread.

#include "engine/instance/PluginEngine.h"

class EngineListener;

class HostedInstance {
public:
    // The started engine (the host hears values set by start-up scripts from now on), or
    // null after the error line.
    [[nodiscard]] static PluginEnginePointer create(EngineListener& listener);
};
