#pragma once

#include "platform/WindowEvent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// The editor's child window inside the host's window, with the visual the render
// thread's GL context needs (double-buffered RGBA, 24 colour bits, 16 depth bits).
//
// The window has its own connection to the display server, used only by the
// thread that pumps the editor's events (the host GUI thread, or the editor's
// stand-in when the host stops calling idle; the editor's lock keeps them apart).
// The render thread opens a connection of its own (GlSurface). Nothing on either
// connection ends the host process: X errors stay with the connection, and a broken
// connection only marks the window gone.
//
// Called on: the host GUI thread (or the editor's idle stand-in, under the editor lock).
class EditorWindow {
public:
    // Largest width and height of the window.
    static constexpr int kMaxSide = 4096;

    EditorWindow();
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // Creates and maps the child window of parent (the host's window id). False with
    // *error set when there is no display, no suitable GL visual or the parent is
    // not a window, or the size is not 1 to kMaxSide each way.
    [[nodiscard]] bool open(std::uintptr_t parent, int width, int height, std::string* error);
    // Destroys the window and closes the connection. Safe when not open.
    void close();
    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] std::uintptr_t handle() const;
    // True once the window was destroyed by someone else (a host that destroys its own
    // window destroys ours with it; seen among the events dispatchPending reads) or the
    // connection to the display broke. close() is still needed and safe then.
    // Called on: any thread.
    [[nodiscard]] bool isGone() const;

    // Reads every event already queued, without blocking, and hands each to sink.
    void dispatchPending(const std::function<void(const WindowEvent&)>& sink);
    void takeKeyboardFocus();
    // Puts text on the clipboard, where it stays while the window is open (its events
    // answer other programs' requests for it) or until something else is copied.
    void copyText(const std::string& text);

    // Editor windows open in this process right now.
    [[nodiscard]] static int openCount();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
