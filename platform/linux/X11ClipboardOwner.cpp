#include "platform/linux/X11ClipboardOwner.h"

#include "platform/linux/XErrorTrap.h"

#include <X11/Xatom.h>

namespace platform {

X11ClipboardOwner::X11ClipboardOwner(Display* display, Window window)
    : display_(display),
      window_(window),
      clipboard_(XInternAtom(display, "CLIPBOARD", False)),
      targets_(XInternAtom(display, "TARGETS", False)),
      utf8_(XInternAtom(display, "UTF8_STRING", False)),
      text_(XInternAtom(display, "TEXT", False))
{
}

void X11ClipboardOwner::offer(std::string text)
{
    offered_ = std::move(text);
    XSetSelectionOwner(display_, clipboard_, window_, CurrentTime);
    owning_ = XGetSelectionOwner(display_, clipboard_) == window_;
}

bool X11ClipboardOwner::isTextTarget(Atom target) const
{
    return target == utf8_ || target == XA_STRING || target == text_;
}

bool X11ClipboardOwner::handle(const XEvent& event)
{
    if (event.type == SelectionClear && event.xselectionclear.selection == clipboard_) {
        // A clear can arrive after this window took the clipboard back (a copy made before the
        // pending events were read): it is over only if another window owns it now.
        if (XGetSelectionOwner(display_, clipboard_) != window_) {
            owning_ = false;
            offered_.clear();
        }
        return true;
    }
    if (event.type == SelectionRequest && event.xselectionrequest.selection == clipboard_) {
        answer(event.xselectionrequest);
        return true;
    }
    return false;
}

void X11ClipboardOwner::answer(const XSelectionRequestEvent& request)
{
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = request.display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    reply.property = None;  // refused, unless filled below
    // Clients of the oldest conventions name no property: the target stands in for it.
    const Atom property = request.property != None ? request.property : request.target;
    // The requesting window may be gone already; that is its business, not the host's end.
    XErrorTrap trap(display_);
    if (owning_ && request.target == targets_) {
        const Atom offered[] = {targets_, utf8_, XA_STRING, text_};
        XChangeProperty(display_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 4);
        reply.property = property;
    } else if (owning_ && isTextTarget(request.target)) {
        const Atom type = request.target == text_ ? utf8_ : request.target;
        XChangeProperty(display_, request.requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered_.data()), static_cast<int>(offered_.size()));
        reply.property = property;
    }
    XSendEvent(display_, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    (void)trap.failed();
}

}  // namespace platform
