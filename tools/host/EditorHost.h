#pragma once
// The plug-in's editor opened the way a Linux host opens it: in a top-level X11 window
// of the host's own, with effEditIdle called from the host's event loop. Input is real
// input through the X server's test extension, so the editor sees exactly what a user
// would cause (including the pointer grab between a press and its release).
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
    // Keys by X keysym name ("Shift_L", "Return", "minus", "1", ...), through the same
    // test extension; typeKeys presses and releases each name in turn.
    void pressKey(const std::string& keysym);
    void releaseKey(const std::string& keysym);
    void typeKeys(const std::vector<std::string>& keysyms);

    [[nodiscard]] std::optional<Screenshot> capture();
    // Windows the plug-in placed inside ours.
    [[nodiscard]] int childWindowCount();
    // True once the user asked the window manager to close the window.
    [[nodiscard]] bool closeRequested() const;
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
