#include "platform/GlSurface.h"

#include "platform/linux/GlxConfig.h"
#include "platform/linux/XErrorTrap.h"

#include <X11/Xlib.h>

#include <cstring>

namespace platform {
namespace {

using CreateContextAttribs = GLXContext (*)(Display*, GLXFBConfig, GLXContext, Bool, const int*);

bool hasGlxExtension(Display* display, int screen, const char* name)
{
    const char* extensions = glXQueryExtensionsString(display, screen);
    if (!extensions) return false;
    const std::size_t length = std::strlen(name);
    for (const char* p = std::strstr(extensions, name); p; p = std::strstr(p + 1, name)) {
        if ((p == extensions || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) return true;
    }
    return false;
}

// A 2.1 context through the ARB entry point first (the way drivers prefer), then the
// legacy call.
GLXContext createContext(Display* display, int screen, GLXFBConfig config)
{
    XErrorTrap trap(display);
    GLXContext context = nullptr;
    if (hasGlxExtension(display, screen, "GLX_ARB_create_context")) {
        auto create = reinterpret_cast<CreateContextAttribs>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCreateContextAttribsARB")));
        const int attributes[] = {GLX_CONTEXT_MAJOR_VERSION_ARB, 2, GLX_CONTEXT_MINOR_VERSION_ARB, 1, None};
        if (create) context = create(display, config, nullptr, True, attributes);
        if (trap.failed()) context = nullptr;
    }
    if (!context) {
        XErrorTrap legacyTrap(display);
        context = glXCreateNewContext(display, config, GLX_RGBA_TYPE, nullptr, True);
        if (legacyTrap.failed()) context = nullptr;
    }
    return context;
}

}  // namespace

struct GlSurface::Impl {
    Display* display = nullptr;
    Window window = 0;
    GLXContext context = nullptr;
    bool windowGone = false;
};

GlSurface::GlSurface() : impl_(std::make_unique<Impl>()) {}

GlSurface::~GlSurface() { destroy(); }

bool GlSurface::create(std::uintptr_t window, std::string* error)
{
    impl_->display = openGuardedDisplay();
    if (!impl_->display) {
        *error = "the render thread cannot connect to the X display";
        return false;
    }
    Display* display = impl_->display;
    XWindowAttributes attributes;
    {
        XErrorTrap trap(display);
        if (!XGetWindowAttributes(display, static_cast<Window>(window), &attributes) || trap.failed()) {
            *error = "the editor window has gone";
            return false;
        }
    }
    const int screen = XScreenNumberOfScreen(attributes.screen);
    GLXFBConfig config = chooseEditorConfig(display, screen, XVisualIDFromVisual(attributes.visual));
    // GL's calls do not check for a connection that broke under them, so each step looks.
    if (connectionLost(display)) {
        *error = "the X display went away";
        return false;
    }
    if (!config) {
        *error = "no GL configuration for the editor window's visual";
        return false;
    }
    impl_->context = createContext(display, screen, config);
    if (!impl_->context || connectionLost(display)) {
        *error = "cannot create a GL context";
        return false;
    }
    impl_->window = static_cast<Window>(window);
    if (!makeCurrent()) {
        *error = "cannot make the GL context current";
        return false;
    }
    return true;
}

bool GlSurface::makeCurrent()
{
    if (!impl_->context || connectionLost(impl_->display)) return false;
    return glXMakeCurrent(impl_->display, impl_->window, impl_->context) == True;
}

void GlSurface::swapBuffers()
{
    if (impl_->context) glXSwapBuffers(impl_->display, impl_->window);
}

bool GlSurface::windowAlive()
{
    if (!impl_->context || impl_->windowGone) return false;
    // GL's own queries about the window do not say when it is gone (the software renderer
    // then reads its size from nowhere), so ask first: one round trip a frame.
    Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    const bool there = XGetGeometry(impl_->display, impl_->window, &root, &x, &y, &width, &height, &border, &depth);
    if (!there || connectionLost(impl_->display)) impl_->windowGone = true;
    return !impl_->windowGone;
}

void GlSurface::destroy()
{
    if (!impl_->display) return;
    // On a broken connection GL's calls would talk to it again; the context goes with it.
    if (impl_->context && !connectionLost(impl_->display)) {
        glXMakeCurrent(impl_->display, None, nullptr);
        glXDestroyContext(impl_->display, impl_->context);
    }
    closeGuardedDisplay(impl_->display);
    *impl_ = Impl{};
}

}  // namespace platform
