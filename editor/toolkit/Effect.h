#pragma once

namespace QN {

// A batched renderer drawn after the element tree (static text, knobs, meters). Owned
// by the manager. Every operation but the destructor runs on the render thread.
class Effect {
public:
    virtual ~Effect() = default;
    virtual void update() {}
    virtual void drawOverlay() {}
    virtual void draw3D() {}
    virtual void initialiseGL() {}
    virtual void releaseGL() {}
};

}  // namespace QN
