#include "editor/toolkit/CarbonVSTEditor.h"

#include "editor/toolkit/Manager.h"
#include "editor/toolkit/ManagerX11Bridge.h"
#include "editor/toolkit/PluginConnection.h"
#include "editor/toolkit/Point.h"
#include "platform/EditorWindow.h"
#include "platform/MessageOutput.h"
#include "platform/ThreadName.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace QN {
namespace {

constexpr unsigned char kVirtualReturn = 4;
constexpr unsigned char kVirtualEnter = 19;

// With LUMENFOLD_EDITOR_STATS set, closing prints how much the render thread cost.
void reportRenderStatistics(const RenderTask& task)
{
    if (!std::getenv("LUMENFOLD_EDITOR_STATS") || task.framesRendered() == 0) return;
    const double frames = static_cast<double>(task.framesRendered());
    std::printf("editor: %ld frames in %.2f s, render thread CPU %.2f ms per frame\n", task.framesRendered(),
                task.totalTime(), task.frameCpuSeconds() * 1000.0 / frames);
    std::fflush(stdout);
}

// The history and A/B keys work wherever the focus is, but not under an open panel, nor
// while the mouse holds a control: the drag would overwrite what they restore.
bool runEditShortcut(Manager& manager, char character, bool shift, bool alt)
{
    const EditAction action = editActionForKey(character, shift, alt);
    if (action == EditAction::None || manager.modal() || manager.pressed()) return false;
    (void)manager.parameters().perform(action);
    return true;
}

std::chrono::steady_clock::rep nowTicks() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

}  // namespace

CarbonVSTEditor::CarbonVSTEditor(AudioEffect* effect, int parameterCount)
    : QuanEditor(effect), pending_(parameterCount), window_(std::make_unique<platform::EditorWindow>())
{
}

CarbonVSTEditor::~CarbonVSTEditor() { close(); }

int CarbonVSTEditor::openEditorCount() { return platform::EditorWindow::openCount(); }

bool CarbonVSTEditor::getRect(ERect** rect)
{
    sendDeferredHostCalls();
    rect_.top = 0;
    rect_.left = 0;
    if (manager_) {
        rect_.bottom = static_cast<std::int16_t>(manager_->pixelHeight());
        rect_.right = static_cast<std::int16_t>(manager_->pixelWidth());
    }
    *rect = &rect_;
    return true;
}

bool CarbonVSTEditor::open(void* parent)
{
    if (isOpen()) return true;
    std::unique_lock<std::mutex> lock(editorLock_);
    manager_ = createManager();
    systemWindow_ = parent;
    manager_->setUpGeometry();
    if (!openWindow(parent)) {
        manager_.reset();
        releaseGui();
        systemWindow_ = nullptr;
        return false;
    }
    installHooks();
    manager_->startRendering();
    manager_->parameters().refreshAllControls();
    lock.unlock();
    lastIdle_.store(nowTicks());
    startIdleStandIn();
    return true;
}

bool CarbonVSTEditor::openWindow(void* parent)
{
    std::string error;
    if (window_->open(reinterpret_cast<std::uintptr_t>(parent), manager_->pixelWidth(), manager_->pixelHeight(),
                      &error)) {
        return true;
    }
    platform::showError("the editor cannot open: " + error);
    return false;
}

void CarbonVSTEditor::installHooks()
{
    Manager::Hooks hooks;
    // The window system keeps sending pointer events to the window between a press and
    // its release (an implicit grab), so capturing needs nothing more.
    hooks.captureMouse = [] {};
    hooks.releaseMouse = [] {};
    manager_->setHooks(std::move(hooks));
    manager_->setBridge(std::make_unique<ManagerX11Bridge>(*window_));
}

void CarbonVSTEditor::close()
{
    stopIdleStandIn();
    std::lock_guard<std::mutex> lock(editorLock_);
    if (manager_) {
        sendDeferredHostCalls();
        manager_->parameters().endOpenGesture();
    }
    releaseGui();
    if (manager_) {
        reportRenderStatistics(manager_->renderTask());
        // The render thread ends (and releases GL on itself) before anything it draws goes.
        manager_->stopRendering();
        manager_.reset();
    }
    window_->close();
    buttonHeld_ = false;
    systemWindow_ = nullptr;
}

void CarbonVSTEditor::idle()
{
    lastIdle_.store(nowTicks());
    std::lock_guard<std::mutex> lock(editorLock_);
    sendDeferredHostCalls();
    pumpLocked();
}

void CarbonVSTEditor::sendDeferredHostCalls()
{
    if (manager_) manager_->plugin().sendDeferredHostCalls();
}

void CarbonVSTEditor::pumpAsStandInLocked()
{
    if (!manager_) return;
    PluginConnection& plugin = manager_->plugin();
    plugin.deferHostCallsOnThisThread(true);
    pumpLocked();
    plugin.deferHostCallsOnThisThread(false);
}

void CarbonVSTEditor::pumpLocked()
{
    if (!manager_) return;
    window_->dispatchPending([this](const platform::WindowEvent& event) { handle(event); });
    manager_->parameters().deliverPendingChanges();
}

void CarbonVSTEditor::handle(const platform::WindowEvent& event)
{
    using Type = platform::WindowEvent::Type;
    // Window pixels to layout pixels, origin at the bottom-left.
    const float scale = manager_->scale();
    const Point point{static_cast<float>(event.x) / scale,
                      static_cast<float>(manager_->pixelHeight() - event.y) / scale};
    switch (event.type) {
    case Type::FocusLost: manager_->clearFocus(); break;
    case Type::Character:
        if (!runEditShortcut(*manager_, event.character, (event.modifiers & platform::WindowEvent::kShift) != 0,
                             (event.modifiers & platform::WindowEvent::kAlt) != 0)) {
            manager_->typeCharacter(event.character);
        }
        break;
    case Type::PointerMoved:
        if (buttonHeld_) {
            manager_->drag(point, event.modifiers);
        } else {
            manager_->hover(point);
        }
        break;
    case Type::ButtonDown:
        manager_->press(point, event.modifiers);
        buttonHeld_ = true;
        break;
    case Type::ButtonUp:
        manager_->release(point, event.modifiers);
        buttonHeld_ = false;
        break;
    case Type::Wheel: manager_->scroll(point, event.wheelSteps); break;
    }
}

bool CarbonVSTEditor::onKeyDown(VstKeyCode& key)
{
    char character = static_cast<char>(key.character & 0xff);
    if (key.virt == kVirtualReturn || key.virt == kVirtualEnter) character = 13;
    if (static_cast<unsigned char>(character) == 190) character = '.';
    // A host that keeps the keyboard sends Ctrl+letter as the letter and a modifier; the
    // elements take the control character a keyboard gives (Ctrl+C is 3).
    const bool control = (key.modifier & (MODIFIER_COMMAND | MODIFIER_CONTROL)) != 0;
    if (control && std::isalpha(static_cast<unsigned char>(character))) {
        character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)) & 0x1f);
    }
    std::lock_guard<std::mutex> lock(editorLock_);
    sendDeferredHostCalls();
    const bool shift = (key.modifier & MODIFIER_SHIFT) != 0, alt = (key.modifier & MODIFIER_ALTERNATE) != 0;
    if (manager_ && control && runEditShortcut(*manager_, character, shift, alt)) return true;
    if (manager_ && (manager_->focus() || manager_->modal())) manager_->typeCharacter(character);
    return character != 0;
}

void CarbonVSTEditor::parameterChanged(int index, float value) { pending_.push(index, value); }

void CarbonVSTEditor::refreshAllControls()
{
    if (manager_) manager_->parameters().refreshAllControls();
}

// ---- idle stand-in -----------------------------------------------------------------

void CarbonVSTEditor::startIdleStandIn()
{
    standInStop_ = false;
    standIn_ = std::thread([this] { idleStandInLoop(); });
}

void CarbonVSTEditor::stopIdleStandIn()
{
    if (!standIn_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(standInMutex_);
        standInStop_ = true;
    }
    standInWake_.notify_all();
    standIn_.join();
}

void CarbonVSTEditor::idleStandInLoop()
{
    platform::nameThisThread("lf-editor-idle");
    const auto period = std::chrono::milliseconds(kIdleStandInMs);
    std::unique_lock<std::mutex> lock(standInMutex_);
    while (!standInWake_.wait_for(lock, period, [this] { return standInStop_; })) {
        const auto sinceIdle = std::chrono::steady_clock::duration(nowTicks() - lastIdle_.load());
        if (sinceIdle < period) continue;
        std::lock_guard<std::mutex> editorLock(editorLock_);
        pumpAsStandInLocked();
    }
}

}  // namespace QN
