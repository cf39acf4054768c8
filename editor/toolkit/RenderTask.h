#pragma once

#include "platform/Event.h"

#include <array>
#include <atomic>
#include <functional>
#include <thread>

namespace QN {

// The render thread of one open editor: GL set-up, about thirty frames a second
// (a 33 ms wait after each frame), GL tear-down, all on the thread itself.
//
// Six auto-reset events steer the loop: 0 stop, 1 and 3 render now, 2 pause until
// the next event, 4 run the context hook, 5 re-render the static layer.
class RenderTask {
public:
    enum EventId { kStop = 0, kRenderNow = 1, kPause = 2, kRenderNowToo = 3, kContextHook = 4, kRedrawStatic = 5 };
    static constexpr int kFrameWaitMs = 33;
    static constexpr int kStopGraceMs = 5000;

    struct Callbacks {
        std::function<void()> initialise;    // GL set-up, before the first frame
        std::function<void()> frame;         // one whole frame, ending with the buffer swap
        std::function<void()> redrawStatic;  // re-render the static layer
        std::function<void()> contextHook;
        std::function<void()> release;       // GL tear-down, after the last frame
    };

    RenderTask() = default;
    ~RenderTask() { stop(); }
    RenderTask(const RenderTask&) = delete;
    RenderTask& operator=(const RenderTask&) = delete;

    // False when already running or when the thread cannot start (both reported on
    // standard output). Called on: host GUI thread.
    bool start(Callbacks callbacks);
    // Signals event 0 and waits for the loop to end: a frame in progress is finished
    // first. A thread that takes longer than 5000 ms is reported and still waited
    // for, since it may be using what its owner is about to free. Called on: host GUI thread.
    void stop();
    // Called on: any thread.
    void signal(EventId event) { events_[event].set(); }
    [[nodiscard]] bool isRunning() const { return running_; }

    // Frame timing, written by the render thread. Called on: any thread.
    [[nodiscard]] float frameTime() const { return frameTime_.load(); }
    [[nodiscard]] float frameRate() const { return frameRate_.load(); }
    [[nodiscard]] double totalTime() const { return totalTime_.load(); }
    [[nodiscard]] long framesRendered() const { return frames_.load(); }
    // Processor time the render thread spent inside frames, in seconds.
    [[nodiscard]] double frameCpuSeconds() const { return frameCpu_.load(); }

private:
    void loop();
    void renderOneFrame();
    void updateTiming();
    // True when the loop must end.
    bool waitAndAct();

    Callbacks callbacks_;
    std::array<platform::Event, 6> events_;
    platform::Event finished_;
    std::thread thread_;
    bool running_ = false;
    double lastClockMs_ = 0.0;
    float previousInverse_ = 0.0f;
    std::atomic<float> frameTime_{0.0f};
    std::atomic<float> frameRate_{0.0f};
    std::atomic<double> totalTime_{0.0};
    std::atomic<long> frames_{0};
    std::atomic<double> frameCpu_{0.0};
};

}  // namespace QN
