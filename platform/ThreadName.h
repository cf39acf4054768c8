#pragma once
// Names the calling thread, so that a user looking at the host's threads (top -H, a
// debugger) can tell ours apart. Names longer than the system allows are cut.
// Called on: the thread to be named, once, when it starts.

namespace platform {

void nameThisThread(const char* name) noexcept;

}  // namespace platform
