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
};

GlSurface::GlSurface() : impl_(std::make_unique<Impl>()) {}

GlSurface::~GlSurface() { destroy(); }

bool GlSurface::create(std::uintptr_t window, std::string* error)
{
    impl_->display = XOpenDisplay(nullptr);
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
    if (!config) {
        *error = "no GL configuration for the editor window's visual";
        return false;
    }
    impl_->context = createContext(display, screen, config);
    if (!impl_->context) {
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
    if (!impl_->context) return false;
    return glXMakeCurrent(impl_->display, impl_->window, impl_->context) == True;
}

void GlSurface::swapBuffers()
{
    if (impl_->context) glXSwapBuffers(impl_->display, impl_->window);
}

void GlSurface::destroy()
{
    if (!impl_->display) return;
    if (impl_->context) {
        glXMakeCurrent(impl_->display, None, nullptr);
        glXDestroyContext(impl_->display, impl_->context);
    }
    XCloseDisplay(impl_->display);
    *impl_ = Impl{};
}

}  // namespace platform
