#include "platform/ThreadName.h"

#include <cstring>
#include <pthread.h>

namespace platform {

void nameThisThread(const char* name) noexcept
{
    // The kernel keeps 15 characters and the terminating zero.
    char shortName[16] = {};
    std::strncpy(shortName, name, sizeof(shortName) - 1);
    ::pthread_setname_np(::pthread_self(), shortName);
}

}  // namespace platform
