#pragma once

namespace QN {

// Modifier flags passed with mouse events.
constexpr int ModifierAlt = 0x100;
constexpr int ModifierShift = 0x200;
constexpr int ModifierControl = 0x800;

}  // namespace QN
