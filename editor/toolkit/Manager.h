#pragma once

#include "editor/toolkit/Appearance.h"
#include "editor/toolkit/Box.h"
#include "editor/toolkit/ControlParameterInfo.h"
#include "editor/toolkit/HoverTextTable.h"
#include "editor/toolkit/ManagerRenderer.h"
#include "editor/toolkit/ParameterListeners.h"
#include "editor/toolkit/ParameterReadout.h"
#include "editor/toolkit/Point.h"
#include "editor/toolkit/RenderScene.h"
#include "editor/toolkit/RenderTask.h"

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace QN {

class Control;
class Effect;
class Font;
class Group;
class ManagerPlatformBridge;
class PendingParameterChanges;
class PluginConnection;
class StaticText;
class TextureRecord;
class UIElement;

// Everything an open editor shows: the element tree, effects, fonts and textures, hover
// and focus state and the routing of input to elements. It is the object elements and
// the layout talk to; the parameter traffic lives in ParameterListeners and the drawing
// of each frame in ManagerRenderer, both owned here.
//
// Threads: made, laid out, fed with events and destroyed on the host GUI thread. The
// render thread (ManagerRenderer) sees it only as a RenderScene: it calls the drawing
// hooks (initialiseGL, drawStaticLayer, drawBackground, appendParameterInfo, readout and
// so parameterInfoText) and reads the hover, tooltip and panel state through their
// atomics; the appearance it draws is a copy taken when rendering starts.
class Manager : private RenderScene {
public:
    // Released on the render thread at GL tear-down (a subclass's GL objects).
    class RenderingShutdowner {
    public:
        virtual ~RenderingShutdowner() = default;
        virtual void shutdown() {}
    };

    // What the window system does around a press (edit gestures go to PluginConnection).
    struct Hooks {
        std::function<void()> captureMouse;
        std::function<void()> releaseMouse;
    };

    using ParameterReadout = QN::ParameterReadout;

    Manager(PluginConnection& plugin, PendingParameterChanges& pending);
    virtual ~Manager();
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    // Elements, effects and textures: made here, owned here.
    template <class T, class... Args>
    T* make(Args&&... args)
    {
        auto element = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T* raw = element.get();
        elements_.push_back(std::move(element));
        return raw;
    }
    template <class T>
    T* addEffect(std::unique_ptr<T> effect)
    {
        T* raw = effect.get();
        effects_.push_back(std::move(effect));
        return raw;
    }
    TextureRecord* addTexture(const std::string& path, int resourceId);
    Font* addExtraFont(std::unique_ptr<Font> font);
    void setFonts(std::unique_ptr<Font> main, std::unique_ptr<Font> label, std::unique_ptr<Font> textField);
    [[nodiscard]] Group& root() const override { return *root_; }
    [[nodiscard]] StaticText& staticText() { return *staticText_; }
    [[nodiscard]] Font* mainFont() const override { return mainFont_.get(); }
    [[nodiscard]] Font* labelFont() const override { return labelFont_.get(); }
    [[nodiscard]] Font* textFieldFont() const override { return textFieldFont_.get(); }
    [[nodiscard]] const std::vector<std::unique_ptr<UIElement>>& elements() const override { return elements_; }

    // Events, in window coordinates (origin bottom-left). Called on: host GUI thread.
    void hover(Point point);
    void press(Point point, int modifiers);
    void drag(Point point, int modifiers);
    void release(Point point, int modifiers);
    void typeCharacter(char character);
    // The wheel: to the open panel, else to the element under the pointer.
    void scroll(Point point, int steps);
    void setFocus(UIElement* element);
    void clearFocus() { setFocus(nullptr); }
    [[nodiscard]] UIElement* focus() const { return focus_.load(); }
    // A panel that takes every pointer and key event while it is open and is drawn over
    // everything else (the preferences). The manager must own it (make).
    // Called on: host GUI thread.
    void openModal(UIElement* panel);
    void closeModal();
    [[nodiscard]] UIElement* modal() const override { return modal_.load(); }
    [[nodiscard]] UIElement* pressed() const { return pressed_; }
    [[nodiscard]] bool isHoverHitTestRunning() const { return hoverHitTest_; }
    [[nodiscard]] bool isHovering(UIElement* element) const { return hoverMap_.count(element) != 0; }

    // Parameter traffic: listeners, gestures and edits (see ParameterListeners).
    // Called on: host GUI thread; the render thread reads the edited parameter.
    [[nodiscard]] ParameterListeners& parameters() { return parameters_; }
    [[nodiscard]] const ParameterListeners& parameters() const override { return parameters_; }
    [[nodiscard]] PluginConnection& plugin() const { return plugin_; }

    // Hover and tooltip state, set by elements. Called on: host GUI thread.
    void setHoveredId(int id) { hoveredId_.store(id); }
    void clearHoveredId(int id);
    [[nodiscard]] int hoveredId() const override { return hoveredId_.load(); }
    void setTooltipElement(UIElement* element) { tooltipElement_.store(element); }
    [[nodiscard]] UIElement* hoveredElement() const override { return hoveredElement_.load(); }
    [[nodiscard]] HoverTextTable& hoverTexts() { return hoverTexts_; }
    [[nodiscard]] const HoverTextTable& hoverTexts() const override { return hoverTexts_; }

    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }
    void setBridge(std::unique_ptr<ManagerPlatformBridge> bridge);
    [[nodiscard]] ManagerPlatformBridge* bridge() const override { return bridge_.get(); }

    // Appearance, set by the layout. Called on: host GUI thread before rendering starts
    // (startRendering hands the renderer a copy).
    void setSize(int width, int height);
    [[nodiscard]] int width() const { return appearance_.width; }
    [[nodiscard]] int height() const { return appearance_.height; }
    // Window pixels per layout pixel (EditorScale): the layout and every element work in
    // layout pixels, the window and the static layer have the scaled size.
    void setScale(float scale);
    [[nodiscard]] float scale() const { return appearance_.scale; }
    [[nodiscard]] int pixelWidth() const { return appearance_.pixelWidth(); }
    [[nodiscard]] int pixelHeight() const { return appearance_.pixelHeight(); }
    void setBackgroundColour(float r, float g, float b) { appearance_.backgroundColour = {r, g, b}; }
    void setBannerColour(float r, float g, float b, float a) { appearance_.bannerColour = {r, g, b, a}; }
    void setBannerPosition(float y, bool showVersion);
    // The projection, light target and version text for the window size.
    void setUpGeometry();
    static void setBannerTextColour(float r, float g, float b, float a);
    // The display preferences, read once per manager; process-wide.
    static void readDisplayPreferences();

    // The banner's read-out of a parameter. Called on: render thread (and tests).
    [[nodiscard]] ParameterReadout readout(int index) override;
    // What a subclass adds after the value and label (TKmanager: bin frequency and note).
    [[nodiscard]] virtual std::string parameterInfoText(int index);

    // Render thread life. Called on: host GUI thread.
    void startRendering();
    // Stops the render thread; must run before a subclass's parts go away.
    void stopRendering();
    void requestStaticRedraw() { renderTask_.signal(RenderTask::kRedrawStatic); }
    [[nodiscard]] const RenderTask& renderTask() const { return renderTask_; }
    // Draws the static layer's pixels of at least minimumAlpha that lie in absolute (a
    // box in window coordinates) over where (the same box in the current coordinates).
    // Called on: render thread, in the overlay pass.
    void drawStaticLayerOver(const Box& where, const Box& absolute, float minimumAlpha) const;
    // Whether GL set-up gave a framebuffer for the static layer. Called on: any thread.
    [[nodiscard]] bool hasStaticLayerFramebuffer() const { return renderer_.hasStaticLayerFramebuffer(); }

protected:
    // Virtual operations in their fixed order; the drawing hooks are called on the render thread.
    virtual bool interceptParameterUpdate(UIElement*, int, float) { return false; }
    void initialiseGL() override {}
    virtual std::unique_ptr<RenderingShutdowner> createRenderingShutdowner();
    void drawStaticLayer() override;
    // Draws the read-out's info (parameterInfoText) at x; the tooltip takes it from the readout's line.
    void appendParameterInfo(Font& font, const ParameterReadout& readout, float x, float y) override;
    void drawBackground() override {}

    // Render thread: the static layer's texture, for a subclass's background pass.
    void drawScreenQuad() const { renderer_.drawScreenQuad(); }
    [[nodiscard]] unsigned screenTexture() const { return renderer_.screenTexture(); }
    // The screen texture's size in layout pixels (it is at least the window's).
    [[nodiscard]] std::array<float, 2> screenTextureExtent() const { return renderer_.screenTextureExtent(); }
    [[nodiscard]] std::array<float, 3> backgroundColour() const { return appearance_.backgroundColour; }
    [[nodiscard]] float bannerY() const { return appearance_.bannerY; }
    static bool eyeCandy();

private:
    // The rest of what the renderer reads (RenderScene).
    [[nodiscard]] const std::vector<std::unique_ptr<Effect>>& effects() const override { return effects_; }
    [[nodiscard]] const std::vector<std::unique_ptr<TextureRecord>>& textures() const override { return textures_; }
    [[nodiscard]] const std::vector<std::unique_ptr<Font>>& extraFonts() const override { return extraFonts_; }
    [[nodiscard]] UIElement* tooltipElement() const override { return tooltipElement_.load(); }
    [[nodiscard]] bool floatingTooltip() const override;
    [[nodiscard]] const float* bannerTextColour() const override;
    void shutDownRendering() override;

    void exitElementsNotContaining(Point point);

    PluginConnection& plugin_;
    PendingParameterChanges& pending_;
    std::vector<std::unique_ptr<UIElement>> elements_;
    std::vector<std::unique_ptr<TextureRecord>> textures_;
    std::vector<std::unique_ptr<Effect>> effects_;
    std::vector<std::unique_ptr<Font>> extraFonts_;
    std::unique_ptr<Font> mainFont_, labelFont_, textFieldFont_;
    Group* root_ = nullptr;
    StaticText* staticText_ = nullptr;
    ParameterListeners parameters_;
    std::unique_ptr<ManagerPlatformBridge> bridge_;
    Hooks hooks_;

    UIElement* pressed_ = nullptr;
    int pressModifiers_ = 0;
    std::atomic<UIElement*> focus_{nullptr};
    std::atomic<UIElement*> modal_{nullptr};
    bool hoverHitTest_ = false;
    std::map<UIElement*, Box> hoverMap_;
    std::atomic<int> hoveredId_{-1};
    std::atomic<UIElement*> hoveredElement_{nullptr};
    std::atomic<UIElement*> tooltipElement_{nullptr};
    HoverTextTable hoverTexts_;

    Appearance appearance_;

    std::unique_ptr<RenderingShutdowner> shutdowner_;
    ManagerRenderer renderer_{*this};
    RenderTask renderTask_;
};

}  // namespace QN
