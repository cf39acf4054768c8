#pragma once

#include "editor/product/PresetLibrary.h"
#include "editor/toolkit/UIElement.h"

#include <mutex>
#include <string>
#include <vector>

// The preset menu's open panel (modal), hung below the menu's box (above it when there
// is no room, always inside the window): the user's presets, then the factory ones (a
// click loads one; the wheel scrolls), a name field that takes what is typed, and Save
// (the typed name), Rename (the chosen user preset to the typed name) and Delete (the
// chosen user preset, at a second click) under it, then one line saying what happened or
// why it was refused (on two lines when it needs them). Escape, "Close" or a click outside the panel closes it.
// Threads: opened, clicked and typed into on the host GUI thread; drawn on the render
// thread from a copy taken under a small lock.
class PresetPanel : public QN::UIElement {
public:
    enum class Part { None, Row, Field, Save, Rename, Delete, Close };
    static constexpr int kVisibleRows = 12;
    static constexpr float kWidth = 320, kPad = 6, kRowHeight = 16, kLineHeight = 18, kGap = 4;

    PresetPanel(QN::Manager& manager, PresetLibrary library);

    // Reads the presets folder and shows the panel under menuBox (window coordinates).
    void open(const QN::Box& menuBox);
    [[nodiscard]] bool isOpen() const;
    // What the menu shows; refreshed at every opening and action. Called on: any editor thread.
    [[nodiscard]] std::string currentName() const;

    void mouseDown(QN::Point point, int modifiers) override;
    void mouseUp(QN::Point point, int modifiers) override;
    bool scrollWheel(QN::Point point, int steps) override;
    bool keyChar(char c) override;
    void drawTop() override;

    [[nodiscard]] QN::Box panelBox() const;
    // Where a part lies in the window (origin bottom-left); row counts the visible rows.
    [[nodiscard]] QN::Box boxOf(Part part, int row = 0) const;
    [[nodiscard]] std::string statusText() const;
    [[nodiscard]] std::string typedName() const;

private:
    struct Hit {
        Part part = Part::None;
        int row = 0;
        bool operator==(const Hit& other) const { return part == other.part && row == other.row; }
    };
    // What the render thread draws, copied under lock_.
    struct View {
        std::vector<PresetLibrary::Entry> entries;
        int firstRow = 0;
        int chosen = -1;
        std::string typed, status, current;
        bool statusIsError = false;
        QN::Box menuBox;
    };

    [[nodiscard]] Hit hitAt(QN::Point point) const;
    void act(const Hit& hit);
    void choose(int entry);
    void save();
    void renameChosen();
    void deleteChosen();
    void close();
    // The chosen user preset's name; empty (and the status says why) without one.
    [[nodiscard]] std::string chosenUserPreset();
    void report(const std::string& error, const std::string& done);
    void reloadEntries(const std::string& chosenName);
    void drawRows(const QN::Font& font, const View& view) const;
    void drawControls(const QN::Font& font, const View& view) const;

    [[nodiscard]] View copyView() const;
    [[nodiscard]] static QN::Box panelBoxUnder(const QN::Box& menuBox, float windowWidth, float windowHeight);
    [[nodiscard]] static QN::Box partIn(const QN::Box& panel, Part part, int row);

    PresetLibrary library_;
    mutable std::mutex lock_;
    View view_;
    std::string armedDelete_;  // the preset a first Delete click named
    Hit pressed_;
};
