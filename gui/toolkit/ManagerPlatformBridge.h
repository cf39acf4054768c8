#pragma once

namespace QN {

// The window system's side of a manager: the GL context of the editor window and
// keyboard focus. Every operation but takeKeyboardFocus runs on the render thread;
// takeKeyboardFocus runs on the host GUI thread.
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
    virtual void takeKeyboardFocus() = 0;
};

}  // namespace QN
