#pragma once
// Private to the X11 back end: the frame-buffer configuration the editor window and
// its render context agree on.

#include <GL/glx.h>

namespace platform {

// The first double-buffered RGBA window configuration with 24 colour bits and at least
// 16 depth bits; with visualId non-zero, only one of that visual. Null when none.
GLXFBConfig chooseEditorConfig(Display* display, int screen, VisualID visualId);

}  // namespace platform
