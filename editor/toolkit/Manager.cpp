#include "editor/toolkit/Manager.h"

#include "editor/toolkit/Control.h"
#include "editor/toolkit/Effect.h"
#include "editor/toolkit/Font.h"
#include "editor/toolkit/Group.h"
#include "editor/toolkit/ManagerPlatformBridge.h"
#include "editor/toolkit/PendingParameterChanges.h"
#include "editor/toolkit/PluginConnection.h"
#include "editor/toolkit/StaticText.h"
#include "editor/toolkit/TextureRecord.h"
#include "editor/toolkit/TexturedKnobRenderer.h"
#include "platform/PreferenceStore.h"
#include "Version.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace QN {
namespace {

std::atomic<bool> eyeCandyOn{true};
std::atomic<bool> constantRedrawOn{true};
std::atomic<bool> floatingTooltipOn{false};
// Process-wide like the layout's setting; the static text keeps its address.
float sharedBannerTextColour[4] = {0.5f, 0.5f, 0.5f, 1.0f};

constexpr float kVersionTextX = 60.0f;

}  // namespace

Manager::Manager(PluginConnection& plugin, PendingParameterChanges& pending)
    : plugin_(plugin),
      pending_(pending),
      parameters_(plugin, pending,
                  [this](UIElement* listener, int index, float value) {
                      return interceptParameterUpdate(listener, index, value);
                  })
{
    readDisplayPreferences();
    root_ = make<Group>();
    staticText_ = addEffect(std::make_unique<StaticText>(*this));
}

Manager::~Manager()
{
    stopRendering();
    pending_.stopListening();
    // The bridge may hold the window's GL surface, which every element has stopped using.
    elements_.clear();
    textures_.clear();
    effects_.clear();
    extraFonts_.clear();
    mainFont_.reset();
    labelFont_.reset();
    textFieldFont_.reset();
    shutdowner_.reset();
    bridge_.reset();
}

void Manager::readDisplayPreferences()
{
    eyeCandyOn.store(platform::readPreferenceInt("Enable eye candy", 1) != 0);
    constantRedrawOn.store(platform::readPreferenceInt("Enable constant redraw", 1) != 0);
    floatingTooltipOn.store(platform::readPreferenceInt("Enable floating tooltip", 0) != 0);
    TexturedKnobRenderer::setEyeCandy(eyeCandyOn.load());
}

bool Manager::eyeCandy() { return eyeCandyOn.load(); }

bool Manager::floatingTooltip() const { return floatingTooltipOn.load(); }

const float* Manager::bannerTextColour() const { return sharedBannerTextColour; }

void Manager::setBannerTextColour(float r, float g, float b, float a)
{
    sharedBannerTextColour[0] = r, sharedBannerTextColour[1] = g, sharedBannerTextColour[2] = b, sharedBannerTextColour[3] = a;
}

TextureRecord* Manager::addTexture(const std::string& path, int resourceId)
{
    textures_.push_back(std::make_unique<TextureRecord>(path, resourceId));
    return textures_.back().get();
}

Font* Manager::addExtraFont(std::unique_ptr<Font> font)
{
    if (!font) return nullptr;
    extraFonts_.push_back(std::move(font));
    return extraFonts_.back().get();
}

void Manager::setFonts(std::unique_ptr<Font> main, std::unique_ptr<Font> label, std::unique_ptr<Font> textField)
{
    mainFont_ = std::move(main);
    labelFont_ = std::move(label);
    textFieldFont_ = std::move(textField);
}

void Manager::setBridge(std::unique_ptr<ManagerPlatformBridge> bridge) { bridge_ = std::move(bridge); }

// ---- events ------------------------------------------------------------------------

void Manager::exitElementsNotContaining(Point point)
{
    for (auto it = hoverMap_.begin(); it != hoverMap_.end();) {
        if (it->second.contains(point)) {
            ++it;
            continue;
        }
        UIElement* element = it->first;
        it = hoverMap_.erase(it);
        element->mouseExit();
    }
}

void Manager::hover(Point point)
{
    if (modal_.load()) return;
    hoverHitTest_ = true;
    UIElement* hit = root_->hitTest(point);
    if (hit == root_) hit = nullptr;
    const bool isNew = hit == nullptr || hoverMap_.count(hit) == 0;
    exitElementsNotContaining(point);
    if (isNew) {
        if (hit) {
            hoverMap_[hit] = hit->absoluteBounds();
            hit->mouseEnter();
        }
        hoveredElement_.store(hit);
    }
    hoverHitTest_ = false;
}

void Manager::press(Point point, int modifiers)
{
    clearFocus();
    if (UIElement* panel = modal_.load()) {
        pressed_ = panel;
    } else {
        pressed_ = root_->hitTest(point);
        if (pressed_ == root_) pressed_ = nullptr;
    }
    pressModifiers_ = modifiers;
    if (!pressed_) return;
    // Whatever the press does until its release (a drag, a button's bulk edit) is one undo step.
    parameters_.beginEditStep();
    pressed_->mouseDown(point, modifiers);
    if (hooks_.captureMouse) hooks_.captureMouse();
}

void Manager::drag(Point point, int modifiers)
{
    if (!pressed_) return;
    parameters_.deliverPendingChanges();
    if (modifiers != pressModifiers_) {
        // A modifier pressed or let go mid-drag starts the drag afresh from here.
        pressed_->mouseUp(point, pressModifiers_);
        pressed_->mouseDown(point, modifiers);
        pressModifiers_ = modifiers;
    }
    pressed_->mouseDrag(point, modifiers);
}

void Manager::release(Point point, int modifiers)
{
    if (!pressed_) return;
    if (hooks_.releaseMouse) hooks_.releaseMouse();
    UIElement* element = pressed_;
    element->mouseUp(point, modifiers);
    parameters_.endOpenGesture();
    plugin_.updateDisplay();
    pressed_ = nullptr;
}

void Manager::typeCharacter(char character)
{
    if (UIElement* panel = modal_.load()) {
        (void)panel->keyChar(character);
    } else if (UIElement* focused = focus_.load()) {
        (void)focused->keyChar(character);
    }
}

void Manager::scroll(Point point, int steps)
{
    UIElement* target = modal_.load();
    if (!target) target = root_->hitTest(point);
    if (target && target != root_) (void)target->scrollWheel(point, steps);
}

void Manager::setFocus(UIElement* element)
{
    UIElement* previous = focus_.exchange(element);
    if (previous && previous != element) previous->loseFocus();
}

void Manager::openModal(UIElement* panel)
{
    clearFocus();
    // Whatever the pointer was over stops being hovered while the panel is up.
    for (auto& [element, box] : hoverMap_) element->mouseExit();
    hoverMap_.clear();
    hoveredElement_.store(nullptr);
    modal_.store(panel);
    if (bridge_) bridge_->takeKeyboardFocus();
}

void Manager::closeModal() { modal_.store(nullptr); }

// ---- hover ------------------------------------------------------------------------

void Manager::clearHoveredId(int id)
{
    int expected = id;
    hoveredId_.compare_exchange_strong(expected, -1);
}

// ---- appearance and read-out -------------------------------------------------------

void Manager::setSize(int width, int height)
{
    appearance_.width = std::max(1, width);
    appearance_.height = std::max(1, height);
}

void Manager::setScale(float scale) { appearance_.scale = std::isfinite(scale) && scale >= 1.0f ? scale : 1.0f; }

void Manager::setBannerPosition(float y, bool showVersion)
{
    appearance_.bannerY = y;
    appearance_.versionBanner = showVersion;
}

void Manager::setUpGeometry()
{
    const float width = static_cast<float>(appearance_.width), height = static_cast<float>(appearance_.height);
    const float halfAngle = appearance_.fieldOfView / 2.0f * static_cast<float>(M_PI) / 180.0f;
    appearance_.eyeDistance = (height / 2.0f) / std::tan(halfAngle);
    appearance_.lightTarget = Point{width / 2.0f, height / 2.0f};
    if (mainFont_ && appearance_.versionBanner) {
        char text[64];
        std::snprintf(text, sizeof text, "corvanne : lumenfold %s", version::kText);
        staticText_->add(text, kVersionTextX, appearance_.bannerY - mainFont_->descender(), sharedBannerTextColour);
    }
}

Manager::ParameterReadout Manager::readout(int index)
{
    ParameterReadout result;
    if (!parameters_.isKnownParameter(index)) return result;
    result.name = parameters_.parameterInfo(index).name;
    result.value = plugin_.displayText(index);
    result.label = plugin_.unitLabel(index);
    result.info = parameterInfoText(index);
    return result;
}

std::string Manager::parameterInfoText(int) { return {}; }

// ---- render thread life ------------------------------------------------------------

void Manager::startRendering()
{
    shutdowner_ = createRenderingShutdowner();
    renderer_.start(appearance_);
    RenderTask::Callbacks callbacks;
    callbacks.initialise = [this] { renderer_.initialise(); };
    callbacks.frame = [this] { renderer_.frame(); };
    callbacks.redrawStatic = [this] { renderer_.renderStaticLayer(); };
    callbacks.contextHook = [this] {
        if (bridge_) bridge_->contextReady();
    };
    callbacks.release = [this] { renderer_.release(); };
    (void)renderTask_.start(std::move(callbacks));
}

void Manager::stopRendering() { renderTask_.stop(); }

void Manager::drawStaticLayerOver(const Box& where, const Box& absolute, float minimumAlpha) const
{
    renderer_.drawStaticLayerOver(where, absolute, minimumAlpha);
}

void Manager::drawStaticLayer() { renderer_.drawStaticLayerTexture(); }

void Manager::appendParameterInfo(Font& font, const ParameterReadout& readout, float x, float y)
{
    if (!readout.info.empty()) font.drawText(readout.info, x, y);
}

std::unique_ptr<Manager::RenderingShutdowner> Manager::createRenderingShutdowner()
{
    return std::make_unique<RenderingShutdowner>();
}

void Manager::shutDownRendering()
{
    if (shutdowner_) shutdowner_->shutdown();
}

}  // namespace QN
