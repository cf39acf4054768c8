#pragma once
// Private to the X11 back end.

#include <X11/Xlib.h>

namespace platform {

// Catches X protocol errors of one connection for as long as it lives, so that a
// bad window id from a host or a refused GL context ends in an error result
// instead of Xlib's default handler, which ends the whole host process.
// The handler is process-wide; it is installed while any trap exists and the
// previous handler is put back when the last one goes.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to process every request sent so far, then answers
    // whether any of them failed since the trap was set.
    [[nodiscard]] bool failed();

private:
    Display* display_;
};

}  // namespace platform
