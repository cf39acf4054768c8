#pragma once

#include "editor/toolkit/ParameterReadout.h"

#include <memory>
#include <vector>

namespace QN {

class Effect;
class Font;
class Group;
class HoverTextTable;
class ManagerPlatformBridge;
class ParameterListeners;
class TextureRecord;
class UIElement;

// What the render thread sees of an open editor: Manager provides it, ManagerRenderer
// draws it. The appearance is not here: the renderer takes its own copy at start.
//
// Threads: called on the render thread only.
//   - The element tree, effects, fonts, textures and hover texts are built by the layout
//     before rendering starts and are not added to or removed while it runs (the manager
//     stops the render thread before freeing them).
//   - The hovered element and id, the tooltip element, the open panel and the edited
//     parameter are atomics the GUI thread stores; read them once per frame.
class RenderScene {
public:
    // Owned resources, prepared at GL set-up and released at tear-down.
    [[nodiscard]] virtual const std::vector<std::unique_ptr<UIElement>>& elements() const = 0;
    [[nodiscard]] virtual const std::vector<std::unique_ptr<Effect>>& effects() const = 0;
    [[nodiscard]] virtual const std::vector<std::unique_ptr<TextureRecord>>& textures() const = 0;
    [[nodiscard]] virtual const std::vector<std::unique_ptr<Font>>& extraFonts() const = 0;
    // Null until the layout sets them.
    [[nodiscard]] virtual Font* mainFont() const = 0;
    [[nodiscard]] virtual Font* labelFont() const = 0;
    [[nodiscard]] virtual Font* textFieldFont() const = 0;
    [[nodiscard]] virtual Group& root() const = 0;
    // The window's GL contexts; null when the editor has no window.
    [[nodiscard]] virtual ManagerPlatformBridge* bridge() const = 0;

    // State the GUI thread stores.
    [[nodiscard]] virtual UIElement* hoveredElement() const = 0;
    [[nodiscard]] virtual int hoveredId() const = 0;
    [[nodiscard]] virtual UIElement* tooltipElement() const = 0;
    [[nodiscard]] virtual UIElement* modal() const = 0;
    // Read for the edited parameter only.
    [[nodiscard]] virtual const ParameterListeners& parameters() const = 0;
    [[nodiscard]] virtual const HoverTextTable& hoverTexts() const = 0;
    // Process-wide display preferences.
    [[nodiscard]] virtual bool floatingTooltip() const = 0;
    [[nodiscard]] virtual const float* bannerTextColour() const = 0;

    // The drawing hooks, in the order a frame or GL set-up calls them.
    virtual void initialiseGL() = 0;
    virtual void drawStaticLayer() = 0;
    virtual void drawBackground() = 0;
    [[nodiscard]] virtual ParameterReadout readout(int index) = 0;
    virtual void appendParameterInfo(Font& font, const ParameterReadout& readout, float x, float y) = 0;
    // Frees what the editor's own GL set-up made, at GL tear-down.
    virtual void shutDownRendering() = 0;

protected:
    ~RenderScene() = default;
};

}  // namespace QN
