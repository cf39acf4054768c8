#pragma once
// The X11 back end's, and the host tools' for their own windows.
//
// The editor's connections to the X server are its own (the window's, the render
// thread's, the short density query's), and nothing that happens on them may end the
// host process. Xlib hands a protocol error to one process-wide handler whose default
// ends the process, and so does a broken connection. So every connection the editor
// opens goes through openGuardedDisplay:
//   - protocol errors are taken at the connection itself (Xlib's per-connection error
//     conversion hook), counted for it and never reach the process-wide handler, which
//     stays the host's; the one exception is a failed MIT-SHM attach, which GL's
//     software renderer probes with a handler of its own and must go on to it;
//   - a broken connection is marked lost instead of ending the process: a process-wide
//     I/O error handler (put in front of the previous one, which still gets every other
//     connection's) and the connection's own exit handler, where Xlib has one (1.7 and
//     later; older ones still end the process).
// The library stays loaded once loaded, so the I/O error handler may stay installed.

#include <X11/Xlib.h>

namespace platform {

// A new connection to the default display, guarded as above; null when there is none.
[[nodiscard]] Display* openGuardedDisplay();
// Closes a connection from openGuardedDisplay, whatever state it is in. Null is ignored.
void closeGuardedDisplay(Display* display);
// True once the connection broke (the server went away). Any thread.
[[nodiscard]] bool connectionLost(Display* display);
// Protocol errors the connection has had so far. Any thread.
[[nodiscard]] unsigned long errorCount(Display* display);

// Tells whether the requests sent on a guarded connection between its construction and
// a call to failed() caused any error.
//
// Called on: the thread that uses the connection.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display);
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to process every request sent so far, then answers
    // whether any of them failed (or the connection broke) since the trap was set.
    [[nodiscard]] bool failed();

private:
    Display* display_;
    unsigned long errorsBefore_;
};

}  // namespace platform
