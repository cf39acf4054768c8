#include "editor/toolkit/RenderTask.h"

#include "platform/ThreadName.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>

namespace QN {
namespace {

double monotonicMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

bool RenderTask::start(Callbacks callbacks)
{
    if (running_) {
        std::printf("double call to CreateRenderTask()\n");
        std::fflush(stdout);
        return false;
    }
    callbacks_ = std::move(callbacks);
    try {
        thread_ = std::thread([this] { loop(); });
    } catch (const std::system_error& error) {
        std::printf("failed to create render thread: %d\n", error.code().value());
        std::fflush(stdout);
        return false;
    }
    running_ = true;
    return true;
}

void RenderTask::stop()
{
    if (!running_) return;
    events_[kStop].set();
    if (!finished_.wait(kStopGraceMs)) {
        std::printf("render thread did not stop within %d ms; still waiting for it\n", kStopGraceMs);
        std::fflush(stdout);
    }
    thread_.join();
    running_ = false;
}

void RenderTask::loop()
{
    platform::nameThisThread("lf-gl");
    lastClockMs_ = monotonicMs();
    if (callbacks_.initialise) callbacks_.initialise();
    do {
        renderOneFrame();
    } while (!waitAndAct());
    if (callbacks_.release) callbacks_.release();
    finished_.set();
}

void RenderTask::renderOneFrame()
{
    const double cpuBefore = threadCpuSeconds();
    if (callbacks_.frame) callbacks_.frame();
    frameCpu_.store(frameCpu_.load() + threadCpuSeconds() - cpuBefore);
    frames_.fetch_add(1);
    updateTiming();
}

void RenderTask::updateTiming()
{
    const double now = monotonicMs();
    float frameTime = static_cast<float>((now - lastClockMs_) / 1000.0);
    lastClockMs_ = now;
    if (frameTime < 0.000001f) frameTime = 0.000001f;
    const float inverse = 1.0f / frameTime;
    float rate = (inverse + previousInverse_) / 2.0f;
    previousInverse_ = inverse;
    if (rate > 1000000.0f) rate = 0.0f;
    frameTime_.store(frameTime);
    frameRate_.store(rate);
    totalTime_.store(totalTime_.load() + frameTime);
}

bool RenderTask::waitAndAct()
{
    platform::Event* events[6];
    for (int i = 0; i < 6; ++i) events[i] = &events_[static_cast<std::size_t>(i)];
    int event = platform::Event::waitAny(events, 6, kFrameWaitMs);
    if (event == kPause) event = platform::Event::waitAny(events, 6, -1);
    switch (event) {
    case kStop: return true;
    case kContextHook:
        if (callbacks_.contextHook) callbacks_.contextHook();
        return false;
    case kRedrawStatic:
        if (callbacks_.redrawStatic) callbacks_.redrawStatic();
        return false;
    default: return false;
    }
}

}  // namespace QN
