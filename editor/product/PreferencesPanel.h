#pragma once

#include "editor/toolkit/UIElement.h"

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

// The preferences and About panel, drawn by the editor over its own content while it is
// open and taking every pointer and key event: maker, product and version, the maker's
// web page, the OSC base port, the three display switches and the two OSC access switches
// (replies to any host, Lua calls from other machines; both off unless the user turns
// them on) and the editor's zoom (each click takes the next step; it applies the next
// time the editor opens). A switch or zoom is stored the moment it is clicked; the port
// only with OK (or Enter). Escape cancels.
//
// Threads: opened, clicked and typed into on the host GUI thread; drawn on the render
// thread (the texts under a small lock, the switches as atomics).
class PreferencesPanel : public QN::UIElement {
public:
    static constexpr const char* kWebAddress = "https://corvanne.example/lumenfold";
    // Parts of the panel, as the pointer finds them.
    enum class Part {
        None,
        WebButton,
        PortField,
        EyeCandy,
        ConstantRedraw,
        FloatingTooltip,
        OscReplyToAnyHost,
        OscAllowRemoteScripts,
        Zoom,
        Ok
    };

    struct Actions {
        // A valid new base port (1..65535); the caller stores and applies it.
        std::function<void(int)> applyPort;
        std::function<void(const std::string&)> openUrl;
        // One of the OSC access switches was stored; the caller makes the servers use it.
        std::function<void()> oscAccessChanged;
    };

    PreferencesPanel(QN::Manager& manager, Actions actions);

    // Reads the stored values and shows the panel (modal).
    void open();
    [[nodiscard]] bool isOpen() const;

    void mouseDown(QN::Point point, int modifiers) override;
    void mouseUp(QN::Point point, int modifiers) override;
    bool keyChar(char c) override;
    void drawTop() override;

    [[nodiscard]] Part partAt(QN::Point point) const;
    // Where a part lies in the window (origin bottom-left).
    [[nodiscard]] QN::Box boxOf(Part part) const;
    [[nodiscard]] QN::Box panelBox() const;
    [[nodiscard]] std::string portText() const;
    [[nodiscard]] int zoomPercent() const { return zoom_.load(); }

private:
    struct Switch {
        Part part = Part::None;
        const char* label = "";
        const char* preference = "";
        int defaultValue = 0;
        bool display = true;  // a display switch (else an OSC access switch)
        std::atomic<bool> on{false};
    };

    [[nodiscard]] QN::Box unitBox(float x, float y, float width, float height) const;
    void accept();
    void close();
    void toggle(Switch& option);
    void stepZoom();
    [[nodiscard]] Switch* switchFor(Part part);
    void drawFrame() const;
    void drawTexts(const QN::Font& font) const;
    void drawSwitches(const QN::Font& font) const;
    void drawZoom(const QN::Font& font) const;

    Actions actions_;
    mutable std::mutex portLock_;
    std::string port_;
    std::array<Switch, 5> switches_;
    std::atomic<int> zoom_{100};
    Part pressed_ = Part::None;
};
