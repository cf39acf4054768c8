#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// A GL context on an existing window, owned by the render thread: it opens its
// own connection to the display server, so the render thread never shares one
// with the event pump. The context is a compatibility (2.x) context, since the
// editor draws with fixed-function GL.
//
// Called on: the render thread only, from create to destroy.
class GlSurface {
public:
    GlSurface();
    ~GlSurface();
    GlSurface(const GlSurface&) = delete;
    GlSurface& operator=(const GlSurface&) = delete;

    // Makes the context current on success.
    [[nodiscard]] bool create(std::uintptr_t window, std::string* error);
    bool makeCurrent();
    void swapBuffers();
    // False once the window is gone (destroyed with the host's window, or the display's
    // connection broke); then nothing more may be drawn, only destroy() called. X errors
    // on the surface's connection never end the host process.
    [[nodiscard]] bool windowAlive();
    // Releases the context and closes the connection. Safe when not created.
    void destroy();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
