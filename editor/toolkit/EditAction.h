#pragma once

#include <string_view>

namespace QN {

// What the editor's history and A/B keys and buttons do (ParameterListeners::perform).
enum class EditAction { None, Undo, Redo, SwitchAB, CopyAToB, CopyBToA };

// The action of a typed key: Ctrl+Z undo, Ctrl+Shift+Z and Ctrl+Y redo, Ctrl+B switch
// A/B, Ctrl+Shift+B copy A to B, Ctrl+Alt+B copy B to A. character is what the keyboard
// gives with Ctrl held (Ctrl+Z is 26).
[[nodiscard]] constexpr EditAction editActionForKey(char character, bool shift, bool alt)
{
    constexpr char kCtrlB = 'B' & 0x1f, kCtrlY = 'Y' & 0x1f, kCtrlZ = 'Z' & 0x1f;
    switch (character) {
    case kCtrlZ: return shift ? EditAction::Redo : EditAction::Undo;
    case kCtrlY: return EditAction::Redo;
    case kCtrlB: return alt ? EditAction::CopyBToA : shift ? EditAction::CopyAToB : EditAction::SwitchAB;
    default: return EditAction::None;
    }
}

// The action a skin names: "undo", "redo", "ab", "copyAToB", "copyBToA".
[[nodiscard]] constexpr EditAction editActionNamed(std::string_view name)
{
    if (name == "undo") return EditAction::Undo;
    if (name == "redo") return EditAction::Redo;
    if (name == "ab") return EditAction::SwitchAB;
    if (name == "copyAToB") return EditAction::CopyAToB;
    if (name == "copyBToA") return EditAction::CopyBToA;
    return EditAction::None;
}

}  // namespace QN
