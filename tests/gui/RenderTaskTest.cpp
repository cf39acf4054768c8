// The render thread's life: frames until stopped, and a stop that waits for the frame
// in progress.

#include "editor/toolkit/RenderTask.h"
#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

namespace {

TEST(RenderTask, RunsSetUpFramesAndTearDownOnItsOwnThread)
{
    QN::RenderTask task;
    std::atomic<int> frames{0};
    std::thread::id setUpThread, tearDownThread;
    platform::Event threeFrames;
    QN::RenderTask::Callbacks callbacks;
    callbacks.initialise = [&] { setUpThread = std::this_thread::get_id(); };
    callbacks.frame = [&] {
        if (++frames == 3) threeFrames.set();
    };
    callbacks.release = [&] { tearDownThread = std::this_thread::get_id(); };
    ASSERT_TRUE(task.start(callbacks));
    EXPECT_FALSE(task.start(callbacks));  // a second start is refused
    ASSERT_TRUE(threeFrames.wait(5000));
    task.stop();
    EXPECT_FALSE(task.isRunning());
    EXPECT_NE(setUpThread, std::this_thread::get_id());
    EXPECT_EQ(setUpThread, tearDownThread);
    EXPECT_GE(task.framesRendered(), 3);
    EXPECT_GT(task.totalTime(), 0.0);
}

TEST(RenderTask, StoppingWhileAFrameRendersWaitsForTheFrameToFinish)
{
    QN::RenderTask task;
    platform::Event frameStarted, letFrameFinish;
    std::atomic<bool> frameFinished{false};
    std::atomic<bool> firstFrame{true};
    QN::RenderTask::Callbacks callbacks;
    callbacks.frame = [&] {
        if (!firstFrame.exchange(false)) return;
        frameStarted.set();
        letFrameFinish.wait(10000);
        frameFinished = true;
    };
    ASSERT_TRUE(task.start(callbacks));
    ASSERT_TRUE(frameStarted.wait(5000));
    auto stopped = std::async(std::launch::async, [&] {
        task.stop();
        return frameFinished.load();
    });
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    letFrameFinish.set();
    EXPECT_TRUE(stopped.get());
}

TEST(RenderTask, TheStaticLayerEventReRendersItWithoutStopping)
{
    QN::RenderTask task;
    platform::Event redrawn;
    QN::RenderTask::Callbacks callbacks;
    callbacks.redrawStatic = [&] { redrawn.set(); };
    ASSERT_TRUE(task.start(callbacks));
    task.signal(QN::RenderTask::kRedrawStatic);
    EXPECT_TRUE(redrawn.wait(5000));
    EXPECT_TRUE(task.isRunning());
    task.stop();
}

}  // namespace
