#pragma once

#include "editor/toolkit/PendingParameterChanges.h"
#include "editor/toolkit/QuanEditor.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {
class EditorWindow;
struct WindowEvent;
}  // namespace platform

namespace QN {

class Manager;

// The editor on the X11 window: opens a child window in the host's window, runs the
// manager's render thread while open, and feeds the window's input to the manager.
//
// Input is read in idle on the host GUI thread. Some hosts call idle rarely or not at
// all, so a stand-in thread of the editor pumps the events and parameter changes when
// no idle came for 50 ms; the editor lock lets only one of them touch the window
// connection and the manager at a time. What the stand-in's work tells the host (edit
// gestures, automation, display refreshes) waits in the connection and goes out on the
// host GUI thread: at the next idle, key, size query or close, or before the next edit
// made there. Closing also ends a gesture still open, so every begin has its end.
//
// Called on: the host GUI thread, except parameterChanged (any thread).
class CarbonVSTEditor : public QuanEditor {
public:
    static constexpr int kIdleStandInMs = 50;

    // parameterCount: how many parameters the plug-in has (the size of the change queue).
    CarbonVSTEditor(AudioEffect* effect, int parameterCount);
    ~CarbonVSTEditor() override;

    bool getRect(ERect** rect) override;
    // parent is the host's X11 window id. False, with one "Error: ..." line, when the
    // window cannot open (no display, no GL visual, bad parent).
    bool open(void* parent) override;
    void close() override;
    bool isOpen() override { return systemWindow_ != nullptr; }
    void idle() override;
    bool onKeyDown(VstKeyCode& key) override;
    bool onKeyUp(VstKeyCode&) override { return false; }
    bool setKnobMode(VstInt32) override { return false; }
    // Queues the change for the controls that listen to it; nothing is drawn here.
    // Called on: any thread, the audio thread included (no allocation, no lock).
    void parameterChanged(int index, float value) override;
    virtual void refreshAllControls();

    // Editors open in this process.
    static int openEditorCount();

protected:
    // Makes the manager, populated; the editor takes it.
    virtual std::unique_ptr<Manager> createManager() = 0;
    virtual void createGui() = 0;
    virtual bool hook() { return true; }
    virtual void releaseGui() {}

    [[nodiscard]] Manager* manager() const { return manager_.get(); }
    [[nodiscard]] PendingParameterChanges& pendingChanges() { return pending_; }

private:
    bool openWindow(void* parent);
    void installHooks();
    void pumpLocked();
    void pumpAsStandInLocked();
    // Sends what the stand-in's work left for the host. Called on: host GUI thread.
    void sendDeferredHostCalls();
    void handle(const platform::WindowEvent& event);
    void startIdleStandIn();
    void stopIdleStandIn();
    void idleStandInLoop();

    PendingParameterChanges pending_;
    std::unique_ptr<Manager> manager_;
    std::unique_ptr<platform::EditorWindow> window_;
    bool buttonHeld_ = false;
    std::mutex editorLock_;

    std::thread standIn_;
    std::mutex standInMutex_;
    std::condition_variable standInWake_;
    bool standInStop_ = false;
    std::atomic<std::chrono::steady_clock::rep> lastIdle_{0};
};

}  // namespace QN
