#include "editor/toolkit/ManagerX11Bridge.h"

#include "platform/EditorWindow.h"
#include "platform/GlSurface.h"
#include "platform/MessageOutput.h"

namespace QN {

ManagerX11Bridge::ManagerX11Bridge(platform::EditorWindow& window)
    : window_(window), surface_(std::make_unique<platform::GlSurface>())
{
}

ManagerX11Bridge::~ManagerX11Bridge() = default;

bool ManagerX11Bridge::createWindowContext()
{
    std::string error;
    if (surface_->create(window_.handle(), &error)) return true;
    platform::showError(error);
    return false;
}

void ManagerX11Bridge::makeWindowContextCurrent() { surface_->makeCurrent(); }

void ManagerX11Bridge::destroyContexts() { surface_->destroy(); }

void ManagerX11Bridge::swapBuffers() { surface_->swapBuffers(); }

// The window's own connection may have seen it go already; the render thread's asks the server.
bool ManagerX11Bridge::windowAlive() { return !window_.isGone() && surface_->windowAlive(); }

void ManagerX11Bridge::takeKeyboardFocus() { window_.takeKeyboardFocus(); }

void ManagerX11Bridge::copyText(const std::string& text) { window_.copyText(text); }

}  // namespace QN
