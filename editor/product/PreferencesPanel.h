#pragma once

#include "editor/toolkit/UIElement.h"

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The preferences and About panel, drawn by the editor over its own content while it is
// open and taking every pointer and key event: maker, product and version, the maker's
// web page, the OSC base port, the three display switches and the two OSC access switches
// (replies to any host, Lua calls from other machines; both off unless the user turns
// them on) and the editor's zoom (each click takes the next step; it applies the next
// time the editor opens) and the skin (each click takes the next of the skins installed
// with the plug-in, then the user's, each marked as such; it applies the next time the
// editor opens). A switch, zoom or skin is stored the moment it is clicked; the port
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
        Skin,
        Ok
    };
    // A layout the "Skin" preference can choose: name is what the preference holds (empty
    // for the built-in layout); installed skins come with the plug-in, the others from the
    // user's skins folder.
    struct SkinChoice {
        std::string name;
        bool installed = false;

        bool operator==(const SkinChoice& other) const { return name == other.name && installed == other.installed; }
    };
    // The built-in layout, the skins installed with the plug-in, then the user's (sorted;
    // a folder named like an installed skin is left out: the installed one is used).
    [[nodiscard]] static std::vector<SkinChoice> skinChoices();
    // How the panel names a choice: "Flat (installed)", "Compact (yours)".
    [[nodiscard]] static std::string describe(const SkinChoice& choice);

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
    // The skin row's text: the chosen skin, marked, and its place in the list.
    [[nodiscard]] std::string skinText() const;

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
    void stepSkin();
    [[nodiscard]] Switch* switchFor(Part part);
    void drawFrame() const;
    void drawTexts(const QN::Font& font) const;
    void drawSwitches(const QN::Font& font) const;
    void drawZoom(const QN::Font& font) const;
    void drawSkin(const QN::Font& font) const;

    Actions actions_;
    mutable std::mutex portLock_;
    std::string port_;
    std::array<Switch, 5> switches_;
    std::atomic<int> zoom_{100};
    // Read when the panel opens (GUI thread), drawn on the render thread.
    mutable std::mutex skinLock_;
    std::vector<SkinChoice> skins_;
    std::size_t skin_ = 0;
    std::string unlistedSkin_;  // a "Skin" preference naming no skin there is
    Part pressed_ = Part::None;
};
