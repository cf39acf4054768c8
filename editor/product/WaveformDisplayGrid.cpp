// The spectrum display's grid: its dark box, the frequency and level lines and labels
// and the bin levels' scale, drawn into the static layer on the render thread.

#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/PluginConnection.h"
#include "editor/product/WaveformDisplay.h"
#include "engine/model/DisplayBlock.h"
#include "engine/model/ParameterTable.h"

#include <algorithm>
#include <cmath>

namespace QN {
namespace {

constexpr float kLabelGap = 6.0f;
constexpr float kInset = 3.0f;

}  // namespace

void WaveformDisplay::setGridColour(float r, float g, float b, float a) { gridColour_ = {r, g, b, a}; }

void WaveformDisplay::setGridLabelColour(float r, float g, float b) { gridLabelColour_ = {r, g, b}; }

void WaveformDisplay::showGrid(bool frequencies, bool levels, bool binLevels)
{
    showFrequencies_.store(frequencies);
    showLevels_.store(levels);
    showBinLevels_.store(binLevels);
}

SpectrumGrid::Axes WaveformDisplay::gridAxes() const
{
    SpectrumGrid::Axes axes;
    axes.sizeIndex = sizeIndex();
    axes.logFrequency = logarithmicAxis();
    axes.sampleRate = manager_.plugin().sampleRate();
    if (display_) {
        axes.decibels = display_->levelAxisLog.load();
        axes.viewMin = axes.decibels ? display_->viewMinDb.load() : display_->viewMinLinear.load();
        axes.viewMax = axes.decibels ? display_->viewMaxDb.load() : display_->viewMaxLinear.load();
    } else {
        axes.decibels = false;
    }
    return axes;
}

void WaveformDisplay::followAxes()
{
    if (!gridDrawn_ || !manager_.hasStaticLayerFramebuffer()) return;
    const SpectrumGrid::Axes axes = gridAxes();
    if (axes == drawnAxes_ || axes == requestedAxes_) return;
    requestedAxes_ = axes;
    manager_.requestStaticRedraw();
}

void WaveformDisplay::fillBox() const
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.1f, 0.1f, 0.1f, 0.7f);
    glBegin(GL_QUADS);
    glVertex2f(box_.minX, box_.minY), glVertex2f(box_.maxX, box_.minY);
    glVertex2f(box_.maxX, box_.maxY), glVertex2f(box_.minX, box_.maxY);
    glEnd();
    glDisable(GL_BLEND);
}

void WaveformDisplay::drawStatic(Font& font)
{
    const SpectrumGrid::Axes axes = gridAxes();
    drawnAxes_ = requestedAxes_ = axes;
    gridDrawn_ = true;
    glPushMatrix();
    const Box offset = absoluteBounds();  // the static layer is drawn in window coordinates
    glTranslatef(offset.minX - box_.minX, offset.minY - box_.minY, 0);
    // The box and lines leave the layer's alpha alone (the background stays lit under
    // them); only the labels' pixels become opaque, which is how the frame finds them.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    fillBox();
    drawGridLines(axes);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    drawGridLabels(font, axes);
    glPopMatrix();
}

void WaveformDisplay::drawGridLines(const SpectrumGrid::Axes& axes) const
{
    const float middle = box_.centre().y, half = box_.height() / 2;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4fv(gridColour_.data());
    glBegin(GL_LINES);
    if (showFrequencies_.load()) {
        for (const auto& tick : SpectrumGrid::frequencyTicks(axes)) {
            const float x = std::floor(box_.minX + tick.position * box_.width()) + 0.5f;
            glVertex2f(x, box_.minY), glVertex2f(x, box_.maxY);
        }
    }
    if (showLevels_.load()) {
        for (const auto& tick : SpectrumGrid::levelTicks(axes)) {
            const float y = std::floor(middle + tick.position * half) + 0.5f;
            glVertex2f(box_.minX, y), glVertex2f(box_.maxX, y);
        }
    }
    if (showBinLevels_.load()) {
        for (const auto& tick : SpectrumGrid::binLevelTicks()) {
            const float y = std::floor(box_.minY + tick.position * half) + 0.5f;
            glVertex2f(box_.maxX - 8, y), glVertex2f(box_.maxX, y);
        }
    }
    glEnd();
    glDisable(GL_BLEND);
}

void WaveformDisplay::drawGridLabels(Font& font, const SpectrumGrid::Axes& axes)
{
    const float middle = box_.centre().y, half = box_.height() / 2;
    const float ascent = font.lineHeight() + font.descender();
    float leftWidth = 0, rightWidth = 0;
    glColor4f(gridLabelColour_[0], gridLabelColour_[1], gridLabelColour_[2], 1.0f);
    if (showFrequencies_.load()) {
        // Along the top edge, where the spectra seldom reach; a label that would touch the
        // one before it or leave the box is left out.
        const float baseline = box_.maxY - kInset - ascent;
        float free = box_.minX + kInset;
        for (const auto& tick : SpectrumGrid::frequencyTicks(axes)) {
            const float x = std::floor(box_.minX + tick.position * box_.width()) + 2;
            const float width = font.measureText(tick.label);
            if (x < free || x + width > box_.maxX - kInset) continue;
            font.drawText(tick.label, x, baseline);
            free = x + width + kLabelGap;
        }
    }
    if (showLevels_.load()) {
        float free = middle;
        for (const auto& tick : SpectrumGrid::levelTicks(axes)) {
            const float y = std::floor(middle + tick.position * half) + 2;
            if (y < free || y + ascent > box_.maxY - kInset - font.lineHeight()) continue;
            font.drawText(tick.label, box_.minX + kInset, y);
            leftWidth = std::max(leftWidth, font.measureText(tick.label));
            free = y + font.lineHeight();
        }
    }
    if (showBinLevels_.load()) {
        float free = box_.minY;
        for (const auto& tick : SpectrumGrid::binLevelTicks()) {
            const float y = std::max(box_.minY + 2, std::floor(box_.minY + tick.position * half) + 2);
            if (y < free) continue;
            const float width = font.measureText(tick.label);
            font.drawText(tick.label, box_.maxX - 10 - width, y);
            rightWidth = std::max(rightWidth, width);
            free = y + font.lineHeight();
        }
    }
    const float top = box_.maxY - kInset - ascent + font.descender() - 1;
    labelStrips_[0] = showFrequencies_.load() ? Box::of(box_.minX, top, box_.maxX, box_.maxY) : Box{};
    labelStrips_[1] = Box::of(box_.minX, middle, box_.minX + kInset + leftWidth + 2, top);
    labelStrips_[2] = Box::of(box_.maxX - 12 - rightWidth, box_.minY, box_.maxX - 8, middle + font.lineHeight());
}

}  // namespace QN
