#include "editor/product/ScriptConsolePanel.h"

#include "editor/product/PanelShapes.h"
#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/ManagerPlatformBridge.h"
#include "editor/toolkit/Modifiers.h"
#include "editor/toolkit/PluginConnection.h"
#include "editor/toolkit/TextElision.h"
#include "editor/product/WaveformDisplay.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kTitleHeight = 24, kMargin = 6, kScrollBarWidth = 10;
constexpr float kButtonWidth = 54, kButtonHeight = 18, kButtonGap = 6;
constexpr float kSmallestWidth = 240, kSmallestHeight = 120;
constexpr int kWheelRows = 3;
constexpr char kCopy = 3, kSelectAll = 1, kEscape = 27;  // Ctrl+C and Ctrl+A as typed

using PanelShapes::fill;
using PanelShapes::outline;

// The editor's fonts draw printable ASCII only: a tab (print's separator) becomes spaces.
std::string drawable(const std::string& text)
{
    std::string shown;
    for (char c : text) shown += c == '\t' ? std::string(4, ' ') : std::string(1, c);
    return shown;
}

const QN::Font* fontOf(const QN::Manager& manager)
{
    if (manager.textFieldFont()) return manager.textFieldFont();
    return manager.mainFont() ? manager.mainFont() : manager.labelFont();
}

}  // namespace

ScriptConsolePanel::ScriptConsolePanel(QN::Manager& manager) : UIElement(manager) {}

QN::Box ScriptConsolePanel::placement() const
{
    for (const auto& element : manager().elements()) {
        auto* display = dynamic_cast<QN::WaveformDisplay*>(element.get());
        if (!display || !display->isVisible()) continue;
        const QN::Box box = display->absoluteBounds();
        if (!box.isEmpty() && box.width() >= kSmallestWidth && box.height() >= kSmallestHeight) return box;
    }
    const float w = static_cast<float>(manager().width()), h = static_cast<float>(manager().height());
    return QN::Box::of(w * 0.1f, h * 0.1f, w * 0.9f, h * 0.9f);
}

void ScriptConsolePanel::open()
{
    box_ = placement();
    pressed_ = Part::None;
    scrolledBack_.store(0);
    anchor_.store(0);
    end_.store(0);
    // Ctrl+C and Escape come as key events, which need the keyboard.
    if (manager().bridge()) manager().bridge()->takeKeyboardFocus();
    manager().openModal(this);
}

bool ScriptConsolePanel::isOpen() const { return manager().modal() == this; }

void ScriptConsolePanel::close() { manager().closeModal(); }

QN::Box ScriptConsolePanel::boxOf(Part part) const
{
    const QN::Box& b = box_;
    const float buttonTop = b.maxY - (kTitleHeight - kButtonHeight) / 2;
    const auto button = [&](int fromRight) {
        const float right = b.maxX - kMargin - static_cast<float>(fromRight) * (kButtonWidth + kButtonGap);
        return QN::Box::of(right - kButtonWidth, buttonTop - kButtonHeight, right, buttonTop);
    };
    switch (part) {
    case Part::Close: return button(0);
    case Part::Clear: return button(1);
    case Part::Copy: return button(2);
    case Part::Lines:
        return QN::Box::of(b.minX + kMargin, b.minY + kMargin, b.maxX - kMargin - kScrollBarWidth - 4,
                           b.maxY - kTitleHeight);
    case Part::ScrollBar:
        return QN::Box::of(b.maxX - kMargin - kScrollBarWidth, b.minY + kMargin, b.maxX - kMargin,
                           b.maxY - kTitleHeight);
    case Part::None:
    case Part::Outside: break;
    }
    return QN::Box{};
}

ScriptConsolePanel::Part ScriptConsolePanel::partAt(QN::Point point) const
{
    if (!box_.contains(point)) return Part::Outside;
    for (Part part : {Part::Copy, Part::Clear, Part::Close, Part::Lines, Part::ScrollBar}) {
        if (boxOf(part).contains(point)) return part;
    }
    return Part::None;
}

float ScriptConsolePanel::rowHeight() const
{
    const QN::Font* font = fontOf(manager());
    return font ? std::ceil(font->lineHeight()) + 2 : 14.0f;
}

std::size_t ScriptConsolePanel::visibleRows() const
{
    return static_cast<std::size_t>(std::max(1.0f, std::floor(boxOf(Part::Lines).height() / rowHeight())));
}

ScriptConsolePanel::Window ScriptConsolePanel::windowOf(std::size_t lineCount) const
{
    const std::size_t count = std::min(lineCount, visibleRows());
    const std::size_t back = std::min(static_cast<std::size_t>(std::max(scrolledBack_.load(), 0)), lineCount - count);
    return Window{lineCount - count - back, count};
}

std::string ScriptConsolePanel::textOf(const QN::ConsoleLine& line)
{
    std::string text = line.source.empty() ? line.text : line.source + "  " + line.text;
    if (line.repeats > 0) text += "  (repeated " + std::to_string(line.repeats) + " more times)";
    return text;
}

bool ScriptConsolePanel::isSelected(std::uint64_t number) const
{
    const std::uint64_t anchor = anchor_.load(), end = end_.load();
    return anchor != 0 && std::min(anchor, end) <= number && number <= std::max(anchor, end);
}

std::string ScriptConsolePanel::copiedText() const
{
    const bool all = anchor_.load() == 0;
    std::string text;
    for (const QN::ConsoleLine& line : manager().plugin().consoleLines()) {
        if (all || isSelected(line.number)) text += textOf(line) + "\n";
    }
    return text;
}

// ---- input -------------------------------------------------------------------------

std::uint64_t ScriptConsolePanel::lineNumberAt(QN::Point point) const
{
    const std::vector<QN::ConsoleLine> lines = manager().plugin().consoleLines();
    const Window shown = windowOf(lines.size());
    const float fromTop = boxOf(Part::Lines).maxY - point.y;
    if (fromTop < 0) return 0;
    const auto row = static_cast<std::size_t>(fromTop / rowHeight());
    return row < shown.count ? lines[shown.first + row].number : 0;
}

void ScriptConsolePanel::selectAt(QN::Point point, bool extend)
{
    const std::uint64_t number = lineNumberAt(point);
    if (number == 0) {
        if (!extend) anchor_.store(0), end_.store(0);
        return;
    }
    if (!extend || anchor_.load() == 0) anchor_.store(number);
    end_.store(number);
}

void ScriptConsolePanel::scrollBy(int rows)
{
    const std::size_t lineCount = manager().plugin().consoleLines().size();
    const std::size_t rowsShown = std::min(lineCount, visibleRows());
    const int most = static_cast<int>(lineCount - rowsShown);
    scrolledBack_.store(std::clamp(scrolledBack_.load() + rows, 0, most));
}

// The bar stands for every line: a point on it brings the lines there to the middle.
void ScriptConsolePanel::scrollTo(QN::Point point)
{
    const std::size_t lineCount = manager().plugin().consoleLines().size();
    const QN::Box bar = boxOf(Part::ScrollBar);
    if (bar.height() <= 0) return;  // a window too small to show the bar
    const float fraction = std::clamp((bar.maxY - point.y) / bar.height(), 0.0f, 1.0f);
    const auto rows = static_cast<float>(std::min(lineCount, visibleRows()));
    const float first = fraction * static_cast<float>(lineCount) - rows / 2;
    const float back = static_cast<float>(lineCount) - rows - first;
    scrolledBack_.store(std::clamp(static_cast<int>(std::lround(back)), 0,
                                   static_cast<int>(lineCount) - static_cast<int>(rows)));
}

void ScriptConsolePanel::mouseDown(QN::Point point, int modifiers)
{
    pressed_ = partAt(point);
    if (pressed_ == Part::Outside) {
        close();
    } else if (pressed_ == Part::ScrollBar) {
        scrollTo(point);
    } else if (pressed_ == Part::Lines) {
        selectAt(point, (modifiers & QN::ModifierShift) != 0);
    }
}

void ScriptConsolePanel::mouseDrag(QN::Point point, int)
{
    if (pressed_ == Part::ScrollBar) {
        scrollTo(point);
    } else if (pressed_ == Part::Lines) {
        selectAt(point, true);
    }
}

void ScriptConsolePanel::mouseUp(QN::Point point, int)
{
    const Part part = partAt(point);
    const Part pressed = pressed_;
    pressed_ = Part::None;
    if (part != pressed) return;  // a click counts where it started and ended
    if (part == Part::Copy) {
        copy();
    } else if (part == Part::Clear) {
        clear();
    } else if (part == Part::Close) {
        close();
    }
}

bool ScriptConsolePanel::scrollWheel(QN::Point, int steps)
{
    scrollBy(steps * kWheelRows);
    return true;
}

bool ScriptConsolePanel::keyChar(char c)
{
    if (c == kCopy) {
        copy();
    } else if (c == kSelectAll) {
        anchor_.store(0), end_.store(0);  // no selection copies everything
    } else if (c == kEscape) {
        close();
    } else {
        return false;
    }
    return true;
}

void ScriptConsolePanel::copy() const
{
    if (manager().bridge()) manager().bridge()->copyText(copiedText());
}

void ScriptConsolePanel::clear()
{
    manager().plugin().clearConsole();
    anchor_.store(0), end_.store(0);
    scrolledBack_.store(0);
}

// ---- drawing -----------------------------------------------------------------------

void ScriptConsolePanel::drawTop()
{
    const std::vector<QN::ConsoleLine> lines = manager().plugin().consoleLines();
    drawFrame();
    drawScrollBar(lines.size());
    const QN::Font* font = fontOf(manager());
    if (!font) return;
    drawButtons(*font);
    drawLines(*font, lines);
}

void ScriptConsolePanel::drawFrame() const
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.06f, 0.05f, 0.09f, 0.95f);
    fill(box_);
    glDisable(GL_BLEND);
    glColor3f(0.02f, 0.02f, 0.04f);
    fill(boxOf(Part::Lines));
    glColor3f(0.8f, 0.75f, 0.7f);
    outline(box_);
}

void ScriptConsolePanel::drawButtons(const QN::Font& font) const
{
    glColor3f(0.9f, 0.88f, 0.85f);
    font.drawText("Script console", box_.minX + kMargin + 2, box_.maxY - kTitleHeight / 2 - font.lineHeight() / 2 -
                                                                   font.descender());
    const std::pair<Part, const char*> buttons[] = {{Part::Copy, "Copy"}, {Part::Clear, "Clear"}, {Part::Close, "Close"}};
    for (const auto& [part, label] : buttons) {
        const QN::Box box = boxOf(part);
        glColor3f(0.3f, 0.27f, 0.35f);
        fill(box);
        glColor3f(0.9f, 0.88f, 0.85f);
        const QN::Point centre = box.centre();
        font.drawText(label, centre.x - font.measureText(label) / 2, centre.y - font.lineHeight() / 2 - font.descender());
    }
}

void ScriptConsolePanel::drawLines(const QN::Font& font, const std::vector<QN::ConsoleLine>& lines) const
{
    const QN::Box area = boxOf(Part::Lines);
    const float row = rowHeight();
    const float left = area.minX + 4;
    // Long lines end at the panel's edge rather than being measured and cut one by one.
    glEnable(GL_SCISSOR_TEST);
    glScissor(static_cast<int>(area.minX), static_cast<int>(area.minY), static_cast<int>(std::max(0.0f, area.width())),
              static_cast<int>(std::max(0.0f, area.height())));
    if (lines.empty()) {
        glColor3f(0.55f, 0.55f, 0.6f);
        font.drawText("No script output yet.", left, area.maxY - row - font.descender() + 1);
    }
    const Window shown = windowOf(lines.size());
    for (std::size_t i = 0; i < shown.count; ++i) {
        const QN::ConsoleLine& line = lines[shown.first + i];
        const float bottom = area.maxY - static_cast<float>(i + 1) * row;
        if (isSelected(line.number)) {
            glColor3f(0.3f, 0.25f, 0.45f);
            fill(QN::Box::of(area.minX, bottom, area.maxX, bottom + row));
        }
        const float baseline = bottom - font.descender() + 1;
        float x = left;
        // A path too long for the panel loses its front folders, never its file name and line.
        if (!line.source.empty()) {
            glColor3f(0.6f, 0.65f, 0.85f);
            x = font.drawText(QN::elideLeadingFolders(font, drawable(line.source), area.width() / 3), x, baseline) + 8;
        }
        if (line.error) {
            glColor3f(1.0f, 0.55f, 0.45f);
        } else {
            glColor3f(0.88f, 0.88f, 0.9f);
        }
        x = font.drawText(QN::elideLeadingFolders(font, drawable(line.text), area.maxX - 4 - x), x, baseline);
        if (line.repeats > 0) {
            glColor3f(0.55f, 0.55f, 0.6f);
            font.drawText("  (repeated " + std::to_string(line.repeats) + " more times)", x, baseline);
        }
    }
    glDisable(GL_SCISSOR_TEST);
}

void ScriptConsolePanel::drawScrollBar(std::size_t lineCount) const
{
    const QN::Box bar = boxOf(Part::ScrollBar);
    glColor3f(0.15f, 0.14f, 0.2f);
    fill(bar);
    if (lineCount == 0) return;
    const Window shown = windowOf(lineCount);
    const float total = static_cast<float>(lineCount);
    const float top = bar.maxY - bar.height() * static_cast<float>(shown.first) / total;
    const float height = std::max(6.0f, bar.height() * static_cast<float>(shown.count) / total);
    glColor3f(0.5f, 0.5f, 0.7f);
    fill(QN::Box::of(bar.minX + 1, std::max(bar.minY, top - height), bar.maxX - 1, top));
}
