#pragma once
// The plug-in's editor opened the way a Linux host opens it: in a top-level X11 window
// of the host's own, with effEditIdle called from the host's event loop. Input is real
// input through the X server's test extension, so the editor sees exactly what a user
// would cause (including the pointer grab between a press and its release).
//
// The window keeps its whole picture off the screen where the server can (the Composite
// extension), so a window larger than the screen is captured whole; otherwise what lies
// outside the screen comes out black. X errors on the host's connection, and the loss of
// the connection, never end the process: the calls concerned just fail (see windowLost).
//
// Threads: everything on the thread that made the EditorHost (the host's GUI thread).

#include "tools/host/Screenshot.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lfhost {

class PluginInstance;

class EditorHost {
public:
    // Opens the window at (x, y) on the screen, at the size effEditGetRect reports, and
    // calls effEditOpen. Null with *error set when there is no display or the plug-in
    // refuses to open. Windows of several editors should not overlap: without a
    // compositor a covered part of a window has no picture to capture.
    [[nodiscard]] static std::unique_ptr<EditorHost> open(PluginInstance& plugin, std::string* error, int x = 0,
                                                          int y = 0);
    // effEditClose, then the window goes.
    ~EditorHost();
    EditorHost(const EditorHost&) = delete;
    EditorHost& operator=(const EditorHost&) = delete;

    [[nodiscard]] int width() const;
    [[nodiscard]] int height() const;

    // The host's event loop for ms milliseconds: effEditIdle about every 20 ms.
    void pumpFor(int ms);
    // Pumps until condition holds or timeoutMs pass; answers the condition's last value.
    bool pumpUntil(const std::function<bool()>& condition, int timeoutMs);

    // Pointer and keys, in window pixels from the top-left corner (may lie outside).
    void movePointer(int x, int y);
    void pressButton(int button = 1);
    void releaseButton(int button = 1);
    // A left click and a left-button drag, each step followed by settleMs of pumping, as a
    // user's hand gives the editor time between moves.
    void click(int x, int y, int settleMs = 60);
    void drag(int fromX, int fromY, int toX, int toY, int settleMs = 60);
    // Keys by X keysym name ("Shift_L", "Return", "minus", "1", ...), through the same
    // test extension; typeKeys presses and releases each name in turn.
    void pressKey(const std::string& keysym);
    void releaseKey(const std::string& keysym);
    void typeKeys(const std::vector<std::string>& keysyms);

    // The window's picture at the editor's size; none once the window is lost.
    [[nodiscard]] std::optional<Screenshot> capture();
    // Windows the plug-in placed inside ours.
    [[nodiscard]] int childWindowCount();
    // True once the user asked the window manager to close the window, and also once the
    // window is lost (see windowLost): either way the caller's loop should end, save what
    // it keeps and let the EditorHost go, which closes the editor cleanly.
    [[nodiscard]] bool closeRequested() const;
    // True once the window is gone without being asked to close: destroyed by someone
    // else (a killed client, a window manager), or the connection to the X server broke
    // (the server went away). The editor is still open in the plug-in; pumping goes on
    // calling its idle without touching the display, and the destructor closes it.
    [[nodiscard]] bool windowLost() const;
    // effEditClose now (the destructor then only removes the window).
    void closeEditor();
    // The host closed the plug-in with the editor open (effClose closes it): the
    // destructor then only removes the window.
    void pluginClosed();

private:
    struct Impl;
    explicit EditorHost(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace lfhost
