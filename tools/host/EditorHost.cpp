#include "tools/host/EditorHost.h"

#include "plugin/vst/Vst2Abi.h"
#include "tools/host/PluginInstance.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>

#include <chrono>

namespace lfhost {
namespace {

constexpr int kIdleTickMs = 20;

int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) mask >>= 1, ++shift;
    return shift;
}

std::uint8_t channel(unsigned long pixel, unsigned long mask)
{
    const unsigned long value = (pixel & mask) >> shiftOf(mask);
    const unsigned long maximum = mask >> shiftOf(mask);
    return static_cast<std::uint8_t>(maximum ? value * 255 / maximum : 0);
}

}  // namespace

struct EditorHost::Impl {
    PluginInstance& plugin;
    Display* display = nullptr;
    Window window = 0;
    int width = 0;
    int height = 0;
    bool editorOpen = false;
    Atom deleteWindow = 0;
    bool closeRequested = false;

    explicit Impl(PluginInstance& p) : plugin(p) {}
    ~Impl()
    {
        if (editorOpen) plugin.dispatch(effEditClose);
        if (window) XDestroyWindow(display, window);
        if (display) XCloseDisplay(display);
    }
    bool createWindow(std::string* error, int x, int y);
    void waitForMap();
    void drainEvents()
    {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
                closeRequested = true;
        }
    }
    void tick(int ms)
    {
        pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
        (void)poll(&descriptor, 1, ms);
        drainEvents();
        if (editorOpen) plugin.dispatch(effEditIdle);
    }
};

bool EditorHost::Impl::createWindow(std::string* error, int x, int y)
{
    display = XOpenDisplay(nullptr);
    if (!display) {
        *error = "cannot connect to the X display";
        return false;
    }
    ERect* rect = nullptr;
    if (!plugin.dispatch(effEditGetRect, 0, 0, &rect) || !rect) {
        *error = "the plug-in reports no editor size";
        return false;
    }
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    const int screen = DefaultScreen(display);
    window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                 BlackPixel(display, screen));
    XSelectInput(display, window, StructureNotifyMask);
    XStoreName(display, window, "Lumenfold editor");
    // Closing the window is then a request to us rather than the end of our connection.
    deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XMapWindow(display, window);
    waitForMap();
    return true;
}

void EditorHost::Impl::waitForMap()
{
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && event.xmap.window == window) return;
    }
}

EditorHost::EditorHost(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

EditorHost::~EditorHost() = default;

std::unique_ptr<EditorHost> EditorHost::open(PluginInstance& plugin, std::string* error, int x, int y)
{
    std::string ignored;
    if (!error) error = &ignored;
    auto impl = std::make_unique<Impl>(plugin);
    if (!impl->createWindow(error, x, y)) return nullptr;
    if (!plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(impl->window))) {
        *error = "the plug-in did not open its editor";
        return nullptr;
    }
    impl->editorOpen = true;
    return std::unique_ptr<EditorHost>(new EditorHost(std::move(impl)));
}

int EditorHost::width() const { return impl_->width; }

bool EditorHost::closeRequested() const { return impl_->closeRequested; }

int EditorHost::height() const { return impl_->height; }

void EditorHost::pumpFor(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) impl_->tick(kIdleTickMs);
}

bool EditorHost::pumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        impl_->tick(kIdleTickMs);
    }
    return true;
}

void EditorHost::movePointer(int x, int y)
{
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(impl_->display, impl_->window, DefaultRootWindow(impl_->display), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(impl_->display, -1, rootX, rootY, CurrentTime);
    XFlush(impl_->display);
}

void EditorHost::pressButton(int button)
{
    XTestFakeButtonEvent(impl_->display, static_cast<unsigned>(button), True, CurrentTime);
    XFlush(impl_->display);
}

void EditorHost::releaseButton(int button)
{
    XTestFakeButtonEvent(impl_->display, static_cast<unsigned>(button), False, CurrentTime);
    XFlush(impl_->display);
}

namespace {

void fakeKey(Display* display, const std::string& keysym, bool down)
{
    const KeySym symbol = XStringToKeysym(keysym.c_str());
    const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
    if (code == 0) return;
    XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
    XFlush(display);
}

}  // namespace

void EditorHost::pressKey(const std::string& keysym) { fakeKey(impl_->display, keysym, true); }

void EditorHost::releaseKey(const std::string& keysym) { fakeKey(impl_->display, keysym, false); }

void EditorHost::typeKeys(const std::vector<std::string>& keysyms)
{
    for (const std::string& keysym : keysyms) {
        pressKey(keysym);
        releaseKey(keysym);
    }
}

std::optional<Screenshot> EditorHost::capture()
{
    XSync(impl_->display, False);
    XImage* image = XGetImage(impl_->display, impl_->window, 0, 0, static_cast<unsigned>(impl_->width),
                              static_cast<unsigned>(impl_->height), AllPlanes, ZPixmap);
    if (!image) return std::nullopt;
    Screenshot shot;
    shot.width = impl_->width;
    shot.height = impl_->height;
    shot.rgb.resize(static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height) * 3);
    std::uint8_t* out = shot.rgb.data();
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            *out++ = channel(pixel, image->red_mask);
            *out++ = channel(pixel, image->green_mask);
            *out++ = channel(pixel, image->blue_mask);
        }
    }
    XDestroyImage(image);
    return shot;
}

int EditorHost::childWindowCount()
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XSync(impl_->display, False);
    if (!XQueryTree(impl_->display, impl_->window, &root, &parent, &children, &count)) return -1;
    if (children) XFree(children);
    return static_cast<int>(count);
}

void EditorHost::pluginClosed() { impl_->editorOpen = false; }

void EditorHost::closeEditor()
{
    if (!impl_->editorOpen) return;
    impl_->plugin.dispatch(effEditClose);
    impl_->editorOpen = false;
}

}  // namespace lfhost
