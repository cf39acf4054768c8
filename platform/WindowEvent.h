#pragma once

namespace platform {

// One input event of the editor window, already translated from the window
// system. Positions are window pixels with the origin at the top-left corner, as
// the window system reports them; the editor flips y.
struct WindowEvent {
    enum class Type { PointerMoved, ButtonDown, ButtonUp, Character, FocusLost, Wheel };

    // Modifier bits, the editor's own codes.
    static constexpr int kAlt = 0x100;
    static constexpr int kShift = 0x200;
    static constexpr int kControl = 0x800;

    Type type = Type::PointerMoved;
    int x = 0;
    int y = 0;
    int modifiers = 0;
    char character = 0;
    bool buttonHeld = false;  // a pointer move while any of buttons 1-3 is down
    int wheelSteps = 0;       // notches turned: positive away from the user (up)
};

}  // namespace platform
