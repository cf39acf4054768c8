#include "platform/linux/XErrorTrap.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex trapMutex;
int trapCount = 0;
XErrorHandler previousHandler = nullptr;
std::vector<Display*> trappedDisplays;
std::vector<Display*> failedDisplays;

int recordError(Display* display, XErrorEvent*)
{
    std::lock_guard<std::mutex> lock(trapMutex);
    if (std::find(failedDisplays.begin(), failedDisplays.end(), display) == failedDisplays.end()) {
        failedDisplays.push_back(display);
    }
    return 0;
}

}  // namespace

XErrorTrap::XErrorTrap(Display* display) : display_(display)
{
    XSync(display_, False);
    std::lock_guard<std::mutex> lock(trapMutex);
    if (trapCount++ == 0) previousHandler = XSetErrorHandler(recordError);
    trappedDisplays.push_back(display_);
    std::erase(failedDisplays, display_);
}

XErrorTrap::~XErrorTrap()
{
    XSync(display_, False);
    std::lock_guard<std::mutex> lock(trapMutex);
    auto it = std::find(trappedDisplays.begin(), trappedDisplays.end(), display_);
    if (it != trappedDisplays.end()) trappedDisplays.erase(it);
    std::erase(failedDisplays, display_);
    if (--trapCount == 0) XSetErrorHandler(previousHandler);
}

bool XErrorTrap::failed()
{
    XSync(display_, False);
    std::lock_guard<std::mutex> lock(trapMutex);
    return std::find(failedDisplays.begin(), failedDisplays.end(), display_) != failedDisplays.end();
}

}  // namespace platform
