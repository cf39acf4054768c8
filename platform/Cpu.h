#pragma once

namespace platform {

// True when the processor executes SSE2 (CPUID leaf 1, EDX bit 26). Every x86-64
// processor has it, but the check is still made so that an emulator that hides
// it is caught; on processors that are not x86 the question does not arise and
// the answer is true.
bool hasSse2();

}  // namespace platform
