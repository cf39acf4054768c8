#pragma once
// One call the plug-in made into our host callback, as recorded by HostCallLog.

#include "engine/abi/Vst2Abi.h"

#include <thread>

namespace lfhost {

struct HostCall {
    int opcode = 0;
    int index = 0;
    VstIntPtr value = 0;
    float opt = 0.0f;
    std::thread::id thread;  // the plug-in thread that made the call
};

}  // namespace lfhost
