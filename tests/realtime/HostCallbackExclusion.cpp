// The host library records every callback the plug-in makes, which allocates and locks
// in the host's code. The link wraps that recording (-Wl,--wrap, see CMakeLists.txt)
// so that the probe pauses inside it and counts only the plug-in's own work.

#include "AudioThreadProbe.h"

namespace lfhost {
class HostCallLog;
struct HostCall;
}  // namespace lfhost

// lfhost::HostCallLog::record(const HostCall&), called with the object as first argument.
extern "C" void __real__ZN6lfhost11HostCallLog6recordERKNS_8HostCallE(lfhost::HostCallLog* log,
                                                                      const lfhost::HostCall& call);

extern "C" void __wrap__ZN6lfhost11HostCallLog6recordERKNS_8HostCallE(lfhost::HostCallLog* log,
                                                                      const lfhost::HostCall& call)
{
    AudioThreadProbe::enterHostCallback();
    __real__ZN6lfhost11HostCallLog6recordERKNS_8HostCallE(log, call);
    AudioThreadProbe::leaveHostCallback();
}
