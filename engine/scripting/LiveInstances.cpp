#include "engine/scripting/LiveInstances.h"

#include "engine/scripting/LuaMIDIHelper.h"
#include "engine/scripting/PluginServices.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace QN::LiveInstances {

namespace {

std::mutex& listLock()
{
    static std::mutex lock;
    return lock;
}

std::vector<LuaMIDIHelper*>& helpers()
{
    static std::vector<LuaMIDIHelper*> list;
    return list;
}

}  // namespace

void add(LuaMIDIHelper* helper)
{
    std::lock_guard<std::mutex> lock(listLock());
    helpers().push_back(helper);
}

void remove(LuaMIDIHelper* helper)
{
    std::lock_guard<std::mutex> lock(listLock());
    std::erase(helpers(), helper);
}

void forEachWithOffset(double offset, InstanceAction action, void* context)
{
    std::lock_guard<std::mutex> lock(listLock());
    for (LuaMIDIHelper* helper : helpers()) {
        PluginServices* plugin = helper->plugin();
        if (plugin != nullptr && static_cast<double>(plugin->parameterValue(0)) == offset) {
            if (!action(*helper, context)) {
                return;
            }
        }
    }
}

}  // namespace QN::LiveInstances
