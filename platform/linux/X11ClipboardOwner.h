#pragma once
// Private to the X11 back end.

#include <X11/Xlib.h>

#include <string>

namespace platform {

// Offers a text on the X clipboard (the CLIPBOARD selection) for one window: X keeps no
// copy, so the window answers every request for the text itself until another client
// takes the clipboard or the window goes. Plain text only (UTF-8 and Latin-1 targets).
//
// Called on: the thread that pumps the window's events.
class X11ClipboardOwner {
public:
    X11ClipboardOwner(Display* display, Window window);

    // Makes the window the clipboard's owner, holding text.
    void offer(std::string text);
    // Answers a selection event meant for the clipboard; false for any other event.
    bool handle(const XEvent& event);

private:
    void answer(const XSelectionRequestEvent& request);
    [[nodiscard]] bool isTextTarget(Atom target) const;

    Display* display_;
    Window window_;
    Atom clipboard_;
    Atom targets_;
    Atom utf8_;
    Atom text_;
    std::string offered_;
    bool owning_ = false;
};

}  // namespace platform
