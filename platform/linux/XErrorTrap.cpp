#include "platform/linux/XErrorTrap.h"

#include "platform/MessageOutput.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <dlfcn.h>
// Xlib's extension interface (the per-connection error conversion); it defines min and max.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace platform {
namespace {

using WireToError = Bool (*)(Display*, XErrorEvent*, xError*);
// Xlib 1.7's per-connection exit handler, looked up at run time so that the library
// still loads with an older Xlib.
using IoExitHandler = void (*)(Display*, void*);
using SetIoExitHandler = void (*)(Display*, IoExitHandler, void*);

constexpr int kErrorCodes = 256;
constexpr int kShmAttach = 1;  // MIT-SHM's attach request

struct GuardedConnection {
    Display* display = nullptr;
    std::array<WireToError, kErrorCodes> previous{};  // each code's conversion before ours
    int shmOpcode = -1;
    std::atomic<unsigned long> errors{0};
    std::atomic<bool> lost{false};
};

std::mutex registryMutex;
std::vector<std::shared_ptr<GuardedConnection>> connections;

std::mutex ioHandlerMutex;
std::atomic<XIOErrorHandler> previousIoHandler{nullptr};
thread_local bool forwardingIoError = false;

std::shared_ptr<GuardedConnection> find(Display* display)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    for (const auto& connection : connections) {
        if (connection->display == display) return connection;
    }
    return nullptr;
}

// Installed only on guarded connections, so an error that finds no record belongs to one
// being closed: it is dropped too.
Bool keepErrorOnConnection(Display* display, XErrorEvent* event, xError* wire)
{
    const std::shared_ptr<GuardedConnection> connection = find(display);
    if (!connection) return False;
    const WireToError previous = connection->previous[event->error_code];
    if (previous && !previous(display, event, wire)) return False;
    connection->errors.fetch_add(1);
    const bool shmProbe = event->request_code == connection->shmOpcode && event->minor_code == kShmAttach;
    return shmProbe ? True : False;
}

bool markLost(Display* display)
{
    const std::shared_ptr<GuardedConnection> connection = find(display);
    if (!connection) return false;
    if (!connection->lost.exchange(true)) showError("the connection to the X display was lost");
    return true;
}

int onIoError(Display* display)
{
    if (markLost(display)) return 0;
    // Another connection: the handler that was there before decides. A chain that leads
    // back here ends with the connection's exit handler.
    const XIOErrorHandler previous = previousIoHandler.load();
    if (!previous || forwardingIoError) return 0;
    forwardingIoError = true;
    previous(display);
    forwardingIoError = false;
    return 0;
}

void onIoErrorExit(Display* display, void*) { (void)markLost(display); }

void installIoErrorHandler()
{
    std::lock_guard<std::mutex> lock(ioHandlerMutex);
    const XIOErrorHandler current = XSetIOErrorHandler(onIoError);
    // Someone may have put a handler in front of ours since: it becomes the one we pass on to.
    if (current != onIoError) previousIoHandler.store(current);
}

void keepProcessAliveOnLoss(Display* display)
{
    static const auto setExitHandler = reinterpret_cast<SetIoExitHandler>(dlsym(RTLD_DEFAULT, "XSetIOErrorExitHandler"));
    if (setExitHandler) setExitHandler(display, onIoErrorExit, nullptr);
    installIoErrorHandler();
}

void guard(GuardedConnection& connection)
{
    Display* display = connection.display;
    int event = 0, error = 0;
    if (!XQueryExtension(display, "MIT-SHM", &connection.shmOpcode, &event, &error)) connection.shmOpcode = -1;
    for (int code = 0; code < kErrorCodes; ++code) {
        const WireToError previous = XESetWireToError(display, code, keepErrorOnConnection);
        // Xlib leaves the entry for code 0 (no error) unset.
        if (code > 0) connection.previous[static_cast<std::size_t>(code)] = previous;
    }
    keepProcessAliveOnLoss(display);
}

}  // namespace

Display* openGuardedDisplay()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    auto connection = std::make_shared<GuardedConnection>();
    connection->display = display;
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        // A record left by a connection at the same address that is just being closed.
        std::erase_if(connections, [display](const auto& c) { return c->display == display; });
        connections.push_back(connection);
    }
    guard(*connection);
    return display;
}

void closeGuardedDisplay(Display* display)
{
    if (!display) return;
    const std::shared_ptr<GuardedConnection> connection = find(display);
    // Closing still talks to the server: the record stays until the connection is gone.
    XCloseDisplay(display);
    std::lock_guard<std::mutex> lock(registryMutex);
    std::erase(connections, connection);
}

bool connectionLost(Display* display)
{
    const std::shared_ptr<GuardedConnection> connection = find(display);
    return connection && connection->lost.load();
}

unsigned long errorCount(Display* display)
{
    const std::shared_ptr<GuardedConnection> connection = find(display);
    return connection ? connection->errors.load() : 0;
}

// Xlib is not fit for use once its connection broke (a call may wait for ever on its
// internal locks), so neither end of a trap talks to a lost connection.
XErrorTrap::XErrorTrap(Display* display) : display_(display)
{
    if (!connectionLost(display_)) XSync(display_, False);
    errorsBefore_ = errorCount(display_);
}

bool XErrorTrap::failed()
{
    if (!connectionLost(display_)) XSync(display_, False);
    return errorCount(display_) != errorsBefore_ || connectionLost(display_);
}

}  // namespace platform
