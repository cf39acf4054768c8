#pragma once

#include <string>

namespace QN {

// The window system's side of a manager: the GL context of the editor window, keyboard
// focus and the clipboard. Every operation but takeKeyboardFocus and copyText runs on
// the render thread; those two run on the host GUI thread.
class ManagerPlatformBridge {
public:
    virtual ~ManagerPlatformBridge() = default;
    // Called after GL set-up succeeded.
    virtual void contextReady() = 0;
    // Creates the window's context and makes it current; false when it cannot.
    [[nodiscard]] virtual bool createWindowContext() = 0;
    virtual void makeWindowContextCurrent() = 0;
    virtual void destroyContexts() = 0;
    virtual void swapBuffers() = 0;
    // False once the window is gone (the host destroyed it, or the display went away):
    // the render thread then draws nothing more. Asked before every frame.
    [[nodiscard]] virtual bool windowAlive() { return true; }
    virtual void takeKeyboardFocus() = 0;
    virtual void copyText(const std::string&) {}
};

}  // namespace QN
