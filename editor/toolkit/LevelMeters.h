#pragma once

#include "editor/toolkit/Effect.h"

#include <atomic>

namespace QN {

// A row of level meters drawn together; each reads its level (linear amplitude, 1 is full
// scale) once per frame from wherever the audio thread publishes it.
class LevelMeters : public Effect {
public:
    // level must outlive the manager's rendering. Called on: host GUI thread (layout).
    virtual void add(float x, float y, const std::atomic<float>* level) = 0;
};

}  // namespace QN
