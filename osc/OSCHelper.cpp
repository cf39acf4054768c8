#include "osc/OSCHelper.h"

namespace QN {

OSCHelper::OSCHelper(LuaMIDIHelper* luaHelper) : luaHelper_(luaHelper) {}

OSCHelper::~OSCHelper() { Stop(); }

void OSCHelper::Start() {}

void OSCHelper::Stop() { StopListening(); }

void OSCHelper::Listen(int port) { requestedPort_.store(port, std::memory_order_relaxed); }

void OSCHelper::StopListening() { requestedPort_.store(0, std::memory_order_relaxed); }

void OSCHelper::parameterChanged(int id, float plainValue)
{
    if (isUpdateRegistered(id)) {
        setParamQueue_.Write(id, plainValue);
    }
}

void OSCHelper::setUpdateRegistered(int id, bool registered)
{
    if (id >= 0 && id < kParameterSlots) {
        updateFlags_[static_cast<std::size_t>(id)].store(registered, std::memory_order_relaxed);
    }
}

bool OSCHelper::isUpdateRegistered(int id) const
{
    return id >= 0 && id < kParameterSlots && updateFlags_[static_cast<std::size_t>(id)].load(std::memory_order_relaxed);
}

}  // namespace QN
