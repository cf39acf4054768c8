#include "platform/EditorWindow.h"

#include "platform/linux/GlxConfig.h"
#include "platform/linux/X11ClipboardOwner.h"
#include "platform/linux/XErrorTrap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <optional>

namespace platform {
namespace {

std::atomic<int> openWindows{0};

constexpr long kEventMask =
    ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask | FocusChangeMask | StructureNotifyMask;

int modifiersOf(unsigned int state)
{
    int modifiers = 0;
    if (state & ShiftMask) modifiers |= WindowEvent::kShift;
    if (state & ControlMask) modifiers |= WindowEvent::kControl;
    if (state & Mod1Mask) modifiers |= WindowEvent::kAlt;
    return modifiers;
}

bool isEditorButton(unsigned int button) { return button >= Button1 && button <= Button3; }

bool isWheelButton(unsigned int button) { return button == Button4 || button == Button5; }

}  // namespace

struct EditorWindow::Impl {
    Display* display = nullptr;
    Window window = 0;
    Colormap colormap = 0;
    bool counted = false;  // counted in openWindows
    std::atomic<bool> destroyed{false};  // destroyed by someone else (the host, with its own window)
    std::optional<X11ClipboardOwner> clipboard;  // once something was copied

    bool create(Window parent, int width, int height, std::string* error);
    bool translate(XEvent& event, WindowEvent* out);
};

bool EditorWindow::Impl::create(Window parent, int width, int height, std::string* error)
{
    int errorBase = 0;
    int eventBase = 0;
    if (!glXQueryExtension(display, &errorBase, &eventBase)) {
        *error = "the display has no GL support (GLX)";
        return false;
    }
    XErrorTrap trap(display);
    XWindowAttributes parentAttributes;
    if (!XGetWindowAttributes(display, parent, &parentAttributes) || trap.failed()) {
        *error = "the host's window is not a window of this display";
        return false;
    }
    const int screen = XScreenNumberOfScreen(parentAttributes.screen);
    GLXFBConfig config = chooseEditorConfig(display, screen, 0);
    XVisualInfo* visual = config ? glXGetVisualFromFBConfig(display, config) : nullptr;
    if (!visual) {
        *error = "no double-buffered 24-bit GL visual";
        return false;
    }
    colormap = XCreateColormap(display, parentAttributes.root, visual->visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap;
    attributes.event_mask = kEventMask;
    attributes.border_pixel = 0;
    attributes.background_pixel = 0;
    window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                           visual->depth, InputOutput, visual->visual,
                           CWColormap | CWEventMask | CWBorderPixel | CWBackPixel, &attributes);
    XFree(visual);
    XMapWindow(display, window);
    if (trap.failed()) {
        *error = "the editor window could not be created";
        return false;
    }
    return true;
}

bool EditorWindow::Impl::translate(XEvent& event, WindowEvent* out)
{
    switch (event.type) {
    case MotionNotify:
        out->type = WindowEvent::Type::PointerMoved;
        out->x = event.xmotion.x;
        out->y = event.xmotion.y;
        out->modifiers = modifiersOf(event.xmotion.state);
        out->buttonHeld = (event.xmotion.state & (Button1Mask | Button2Mask | Button3Mask)) != 0;
        return true;
    case ButtonPress:
    case ButtonRelease:
        if (isWheelButton(event.xbutton.button)) {
            // One press per notch, and a release that means nothing.
            if (event.type != ButtonPress) return false;
            out->type = WindowEvent::Type::Wheel;
            out->x = event.xbutton.x;
            out->y = event.xbutton.y;
            out->modifiers = modifiersOf(event.xbutton.state);
            out->wheelSteps = event.xbutton.button == Button4 ? 1 : -1;
            return true;
        }
        if (!isEditorButton(event.xbutton.button)) return false;
        out->type = event.type == ButtonPress ? WindowEvent::Type::ButtonDown : WindowEvent::Type::ButtonUp;
        out->x = event.xbutton.x;
        out->y = event.xbutton.y;
        out->modifiers = modifiersOf(event.xbutton.state);
        return true;
    case KeyPress: {
        char text[8] = {};
        KeySym symbol = 0;
        if (XLookupString(&event.xkey, text, sizeof text, &symbol, nullptr) < 1) return false;
        out->type = WindowEvent::Type::Character;
        out->character = text[0];
        out->modifiers = modifiersOf(event.xkey.state);
        return true;
    }
    case FocusOut:
        // Grabs by other clients move the focus only for a moment.
        if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab) return false;
        // The pointer-root focus leaving as the window takes the focus itself, or the
        // focus moving into a child, is no loss.
        if (event.xfocus.detail == NotifyPointer || event.xfocus.detail == NotifyInferior) return false;
        out->type = WindowEvent::Type::FocusLost;
        return true;
    case DestroyNotify:
        if (event.xdestroywindow.window == window) destroyed.store(true);
        return false;
    case SelectionRequest:
    case SelectionClear:
        if (clipboard) (void)clipboard->handle(event);
        return false;
    default: return false;
    }
}

EditorWindow::EditorWindow() : impl_(std::make_unique<Impl>()) {}

EditorWindow::~EditorWindow() { close(); }

bool EditorWindow::open(std::uintptr_t parent, int width, int height, std::string* error)
{
    std::string ignored;
    if (!error) error = &ignored;
    if (isOpen()) return true;
    if (parent == 0) {
        *error = "the host gave no parent window";
        return false;
    }
    // X refuses an empty window with an error whose default handling ends the process.
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        *error = "the editor's size " + std::to_string(width) + " x " + std::to_string(height) + " is not usable";
        return false;
    }
    impl_->display = openGuardedDisplay();
    if (!impl_->display) {
        *error = "cannot connect to the X display";
        return false;
    }
    if (!impl_->create(static_cast<Window>(parent), width, height, error)) {
        close();
        return false;
    }
    openWindows.fetch_add(1);
    impl_->counted = true;
    return true;
}

void EditorWindow::close()
{
    if (!impl_->display) return;
    if (!connectionLost(impl_->display)) {
        // The host may already have destroyed its window, and ours with it.
        XErrorTrap trap(impl_->display);
        if (impl_->window) XDestroyWindow(impl_->display, impl_->window);
        if (impl_->colormap) XFreeColormap(impl_->display, impl_->colormap);
        (void)trap.failed();
    }
    if (impl_->counted) openWindows.fetch_sub(1);
    closeGuardedDisplay(impl_->display);
    impl_->clipboard.reset();
    impl_->display = nullptr;
    impl_->window = 0;
    impl_->colormap = 0;
    impl_->counted = false;
    impl_->destroyed.store(false);
}

bool EditorWindow::isOpen() const { return impl_->window != 0; }

bool EditorWindow::isGone() const
{
    return impl_->destroyed.load() || (impl_->display && connectionLost(impl_->display));
}

std::uintptr_t EditorWindow::handle() const { return impl_->window; }

void EditorWindow::dispatchPending(const std::function<void(const WindowEvent&)>& sink)
{
    if (!impl_->display) return;
    // A broken connection is never used again: Xlib may wait for ever on it.
    while (!connectionLost(impl_->display) && XPending(impl_->display) > 0) {
        XEvent event;
        XNextEvent(impl_->display, &event);
        if (event.xany.window != impl_->window) continue;
        WindowEvent translated;
        if (impl_->translate(event, &translated)) sink(translated);
    }
}

void EditorWindow::takeKeyboardFocus()
{
    if (!impl_->window || isGone()) return;
    XErrorTrap trap(impl_->display);
    XSetInputFocus(impl_->display, impl_->window, RevertToParent, CurrentTime);
    (void)trap.failed();
}

void EditorWindow::copyText(const std::string& text)
{
    if (!impl_->window || isGone()) return;
    if (!impl_->clipboard) impl_->clipboard.emplace(impl_->display, impl_->window);
    impl_->clipboard->offer(text);
    XFlush(impl_->display);
}

int EditorWindow::openCount() { return openWindows.load(); }

}  // namespace platform
