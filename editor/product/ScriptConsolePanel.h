#pragma once

#include "editor/toolkit/ConsoleLine.h"
#include "editor/toolkit/UIElement.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The script console: a panel over the spectrum display with the instance's last script
// output and errors, each with where it came from, newest at the bottom. While it is
// open it takes every pointer and key event. The wheel or the scroll bar scroll it; a
// click selects a line, Shift+click a run of lines; Ctrl+C (or "Copy") puts the selected
// lines, or all of them, on the clipboard; "Clear" empties the console; Escape, "Close"
// or a click outside the panel closes it.
//
// Threads: opened, clicked and typed into on the host GUI thread; drawn on the render
// thread (the scroll position and selection as atomics, the lines read afresh).
class ScriptConsolePanel : public QN::UIElement {
public:
    enum class Part { None, Copy, Clear, Close, Lines, ScrollBar, Outside };

    explicit ScriptConsolePanel(QN::Manager& manager);

    // Shows the newest lines, over the spectrum display when the layout has one.
    void open();
    [[nodiscard]] bool isOpen() const;

    void mouseDown(QN::Point point, int modifiers) override;
    void mouseDrag(QN::Point point, int modifiers) override;
    void mouseUp(QN::Point point, int modifiers) override;
    bool scrollWheel(QN::Point point, int steps) override;
    bool keyChar(char c) override;
    void drawTop() override;

    [[nodiscard]] Part partAt(QN::Point point) const;
    // Where a part lies in the window (origin bottom-left).
    [[nodiscard]] QN::Box boxOf(Part part) const;
    // A line as shown and as copied: where it came from, its text, how often it repeated.
    [[nodiscard]] static std::string textOf(const QN::ConsoleLine& line);
    // The selected lines, or every line without a selection, one per text line.
    [[nodiscard]] std::string copiedText() const;

private:
    // Which lines show: the first index and how many, for a given number of lines.
    struct Window {
        std::size_t first = 0;
        std::size_t count = 0;
    };

    [[nodiscard]] QN::Box placement() const;
    [[nodiscard]] float rowHeight() const;
    [[nodiscard]] std::size_t visibleRows() const;
    [[nodiscard]] Window windowOf(std::size_t lineCount) const;
    [[nodiscard]] bool isSelected(std::uint64_t number) const;
    // The number of the line at a point of the text area; 0 for none.
    [[nodiscard]] std::uint64_t lineNumberAt(QN::Point point) const;
    void selectAt(QN::Point point, bool extend);
    void scrollTo(QN::Point point);
    void scrollBy(int rows);
    void copy() const;
    void clear();
    void close();
    void drawFrame() const;
    void drawButtons(const QN::Font& font) const;
    void drawLines(const QN::Font& font, const std::vector<QN::ConsoleLine>& lines) const;
    void drawScrollBar(std::size_t lineCount) const;

    QN::Box box_;
    Part pressed_ = Part::None;
    std::atomic<int> scrolledBack_{0};  // rows above the newest; 0 follows new lines
    std::atomic<std::uint64_t> anchor_{0};  // selection: from anchor to end, 0 for none
    std::atomic<std::uint64_t> end_{0};
};
