#pragma once
// The process-wide list of live scripting helpers, one per plug-in instance, so that
// scripts can reach other instances by their "OSC Port Offset". Instances enter when
// built and leave when destroyed. The list's lock is taken after the Lua lock and is
// held while a search acts on the instances it finds.

namespace QN {

class LuaMIDIHelper;

namespace LiveInstances {

void add(LuaMIDIHelper* helper);
void remove(LuaMIDIHelper* helper);

// Calls action for every live helper whose instance has "OSC Port Offset" == offset,
// under the list's lock; stops early when action returns false. Allocates nothing, so
// scripts on the audio thread may use it.
using InstanceAction = bool (*)(LuaMIDIHelper& helper, void* context);
void forEachWithOffset(double offset, InstanceAction action, void* context);

template <typename Action>
void forEachWithOffset(double offset, Action& action)
{
    forEachWithOffset(
        offset, [](LuaMIDIHelper& helper, void* context) { return (*static_cast<Action*>(context))(helper); },
        &action);
}

}  // namespace LiveInstances
}  // namespace QN
