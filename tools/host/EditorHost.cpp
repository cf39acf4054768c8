#include "tools/host/EditorHost.h"

#include "platform/linux/XErrorTrap.h"
#include "engine/abi/Vst2Abi.h"
#include "tools/host/PluginInstance.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
// Xlib's extension interface (the Composite request below); it defines min and max.
#include <X11/Xlibint.h>
#include <X11/extensions/composite.h>
#include <X11/extensions/compositeproto.h>
#undef min
#undef max

namespace lfhost {
namespace {

constexpr int kIdleTickMs = 20;
constexpr int kMapWaitMs = 10000;

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

// Has the server keep the window's whole picture in a pixmap of its own (the Composite
// extension's automatic redirection), so that the parts outside the screen, or under
// another window, can be captured too. False when the server cannot.
bool keepWholePicture(Display* display, Window window)
{
    int opcode = 0, event = 0, error = 0;
    if (!XQueryExtension(display, COMPOSITE_NAME, &opcode, &event, &error)) return false;
    Display* dpy = display;  // the name Xlib's request macros use
    LockDisplay(dpy);
    xCompositeQueryVersionReq* query = nullptr;
    GetReq(CompositeQueryVersion, query);
    query->reqType = static_cast<CARD8>(opcode);
    query->compositeReqType = X_CompositeQueryVersion;
    query->majorVersion = COMPOSITE_MAJOR;
    query->minorVersion = COMPOSITE_MINOR;
    xCompositeQueryVersionReply reply{};
    const bool answered = _XReply(dpy, reinterpret_cast<xReply*>(&reply), 0, xTrue) != 0;
    if (answered) {
        xCompositeRedirectWindowReq* redirect = nullptr;
        GetReq(CompositeRedirectWindow, redirect);
        redirect->reqType = static_cast<CARD8>(opcode);
        redirect->compositeReqType = X_CompositeRedirectWindow;
        redirect->window = static_cast<CARD32>(window);
        redirect->update = CompositeRedirectAutomatic;
    }
    UnlockDisplay(dpy);
    SyncHandle();
    return answered;
}

}  // namespace

struct EditorHost::Impl {
    PluginInstance& plugin;
    Display* display = nullptr;  // guarded: its errors and its loss never end the process
    Window window = 0;
    int width = 0;
    int height = 0;
    bool editorOpen = false;
    Atom deleteWindow = 0;
    bool closeRequested = false;
    bool windowDestroyed = false;

    explicit Impl(PluginInstance& p) : plugin(p) {}
    ~Impl()
    {
        if (editorOpen) plugin.dispatch(effEditClose);
        if (window && !windowLost()) XDestroyWindow(display, window);
        platform::closeGuardedDisplay(display);
    }
    [[nodiscard]] bool connectionLost() const { return display && platform::connectionLost(display); }
    [[nodiscard]] bool windowLost() const { return windowDestroyed || connectionLost(); }
    bool createWindow(std::string* error, int x, int y);
    bool waitForMap();
    void handle(const XEvent& event)
    {
        if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
            closeRequested = true;
        if (event.type == DestroyNotify && event.xdestroywindow.window == window) windowDestroyed = true;
    }
    void drainEvents()
    {
        while (!connectionLost() && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            handle(event);
        }
    }
    void tick(int ms)
    {
        if (connectionLost()) {
            // Nothing more comes from the server: only the plug-in's idle calls go on.
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else {
            pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
            (void)poll(&descriptor, 1, ms);
            drainEvents();
        }
        if (editorOpen) plugin.dispatch(effEditIdle);
    }
    bool captureArea(int x, int y, int w, int h, Screenshot& shot);
};

bool EditorHost::Impl::createWindow(std::string* error, int x, int y)
{
    display = platform::openGuardedDisplay();
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
    (void)keepWholePicture(display, window);
    XMapWindow(display, window);
    if (!waitForMap()) {
        *error = "the host's window did not appear";
        return false;
    }
    return true;
}

bool EditorHost::Impl::waitForMap()
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMapWaitMs);
    while (!windowLost() && std::chrono::steady_clock::now() < end) {
        if (XPending(display) == 0) {
            pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
            (void)poll(&descriptor, 1, kIdleTickMs);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && event.xmap.window == window) return true;
        handle(event);
    }
    return false;
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

bool EditorHost::closeRequested() const { return impl_->closeRequested || impl_->windowLost(); }

bool EditorHost::windowLost() const { return impl_->windowLost(); }

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

void EditorHost::click(int x, int y, int settleMs)
{
    movePointer(x, y);
    pumpFor(settleMs);
    pressButton();
    pumpFor(settleMs);
    releaseButton();
    pumpFor(settleMs);
}

void EditorHost::drag(int fromX, int fromY, int toX, int toY, int settleMs)
{
    movePointer(fromX, fromY);
    pumpFor(settleMs);
    pressButton();
    pumpFor(settleMs);
    movePointer(toX, toY);
    pumpFor(settleMs);
    releaseButton();
    pumpFor(settleMs);
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

// The area (x, y, w, h) of the window into shot, at the same place.
bool EditorHost::Impl::captureArea(int x, int y, int w, int h, Screenshot& shot)
{
    XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                              ZPixmap);
    if (!image) return false;
    for (int row = 0; row < h; ++row) {
        std::uint8_t* out = shot.rgb.data() + (static_cast<std::size_t>(y + row) * static_cast<std::size_t>(shot.width) +
                                               static_cast<std::size_t>(x)) * 3;
        for (int column = 0; column < w; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            *out++ = channel(pixel, image->red_mask);
            *out++ = channel(pixel, image->green_mask);
            *out++ = channel(pixel, image->blue_mask);
        }
    }
    XDestroyImage(image);
    return true;
}

std::optional<Screenshot> EditorHost::capture()
{
    if (impl_->windowLost()) return std::nullopt;
    XSync(impl_->display, False);
    Screenshot shot;
    shot.width = impl_->width;
    shot.height = impl_->height;
    shot.rgb.assign(static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height) * 3, 0);
    // The whole window, from its own pixmap where the server keeps one.
    if (impl_->captureArea(0, 0, shot.width, shot.height, shot)) return shot;
    // Otherwise only what is on the screen can be read; the rest stays black.
    int left = 0, top = 0;
    Window child = 0;
    Display* display = impl_->display;
    if (!XTranslateCoordinates(display, impl_->window, DefaultRootWindow(display), 0, 0, &left, &top, &child))
        return std::nullopt;
    const int x0 = std::max(0, -left), y0 = std::max(0, -top);
    const int x1 = std::min(shot.width, DisplayWidth(display, DefaultScreen(display)) - left);
    const int y1 = std::min(shot.height, DisplayHeight(display, DefaultScreen(display)) - top);
    if (x1 <= x0 || y1 <= y0 || !impl_->captureArea(x0, y0, x1 - x0, y1 - y0, shot)) return std::nullopt;
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
