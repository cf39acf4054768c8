#include "platform/linux/GlxConfig.h"

namespace platform {

GLXFBConfig chooseEditorConfig(Display* display, int screen, VisualID visualId)
{
    const int attributes[] = {GLX_X_RENDERABLE, True,  GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                              GLX_RENDER_TYPE,  GLX_RGBA_BIT, GLX_DOUBLEBUFFER, True,
                              GLX_RED_SIZE,     8,     GLX_GREEN_SIZE,    8,
                              GLX_BLUE_SIZE,    8,     GLX_DEPTH_SIZE,    16,
                              None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, screen, attributes, &count);
    if (!configs) return nullptr;
    GLXFBConfig chosen = nullptr;
    for (int i = 0; i < count && !chosen; ++i) {
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, configs[i]);
        if (!visual) continue;
        // 24-bit visuals only: a 32-bit (alpha) visual would let the host's window show through.
        if (visual->depth == 24 && (visualId == 0 || visual->visualid == visualId)) chosen = configs[i];
        XFree(visual);
    }
    XFree(configs);
    return chosen;
}

}  // namespace platform
