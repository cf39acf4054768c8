#pragma once

#include "editor/toolkit/ManagerPlatformBridge.h"

#include <memory>

namespace platform {
class EditorWindow;
class GlSurface;
}  // namespace platform

namespace QN {

// The bridge on the X11 editor window: a GLX context of the render thread's own on
// the window, and focus and the clipboard through the window's event connection.
class ManagerX11Bridge : public ManagerPlatformBridge {
public:
    // window must outlive the bridge.
    explicit ManagerX11Bridge(platform::EditorWindow& window);
    ~ManagerX11Bridge() override;

    void contextReady() override {}
    bool createWindowContext() override;
    void makeWindowContextCurrent() override;
    void destroyContexts() override;
    void swapBuffers() override;
    bool windowAlive() override;
    void takeKeyboardFocus() override;
    void copyText(const std::string& text) override;

private:
    platform::EditorWindow& window_;
    std::unique_ptr<platform::GlSurface> surface_;
};

}  // namespace QN
