// The spectrum display's render-thread side: spectra into the vertex arrays, then one
// draw call each for the bars, the line and the sliders.

#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"
#include "editor/product/WaveformDisplay.h"
#include "engine/model/DisplayBlock.h"
#include "engine/model/ParameterTable.h"

#include <cmath>

namespace QN {
namespace {

struct View {
    float min, max;
    bool decibels;
};

View viewOf(const DisplayBlock& block)
{
    View view{};
    view.decibels = block.levelAxisLog.load();
    view.min = view.decibels ? block.viewMinDb.load() : block.viewMinLinear.load();
    view.max = view.decibels ? block.viewMaxDb.load() : block.viewMaxLinear.load();
    // An empty or inverted range would scale by infinity: show a sliver instead.
    if (!(view.max > view.min)) view.max = view.min + 1e-3f;
    return view;
}

// Power of bin k in the packed spectrum: (re, im) = (f[k], f[N/2 + k]), DC and Nyquist real.
float powerOf(const float* spectrum, int k, int fftSize)
{
    const int half = fftSize / 2;
    const float re = spectrum[k];
    if (k == 0 || k == half) return re * re;
    const float im = spectrum[half + k];
    return re * re + im * im;
}

}  // namespace

void WaveformDisplay::updateLogPositions(int index)
{
    if (index == cachedSizeIndex_) return;
    cachedSizeIndex_ = index;
    const int bins = fftSizeFromIndex(index) / 2 + 1;
    for (int k = 0; k < bins; ++k) {
        const float left = logPosition(k - 1, index), right = logPosition(k, index);
        float* bar = &logBars_[static_cast<std::size_t>(k) * 8];
        bar[0] = left, bar[2] = left, bar[4] = right, bar[6] = right;
        float* line = &logLine_[static_cast<std::size_t>(k) * 4];
        line[0] = left, line[2] = right;
    }
}

void WaveformDisplay::updateSpectra()
{
    if (!display_) return;
    const float* analysis = display_->analysisSpectrum[0].load(std::memory_order_acquire);
    // Null while no script runs: the spectrum after the levels is then the analysis times the
    // bin levels shown here.
    const float* working = display_->workingSpectrum[0].load(std::memory_order_acquire);
    if (!analysis) return;
    const int index = sizeIndex();
    const bool logAxis = logarithmicAxis();
    if (logAxis) updateLogPositions(index);
    const int fftSize = fftSizeFromIndex(index);
    const View view = viewOf(*display_);
    const float factor = smoothingFactor(display_->viewSmoothing.load());
    std::vector<float>& bars = logAxis ? logBars_ : linearBars_;
    std::vector<float>& line = logAxis ? logLine_ : linearLine_;
    for (int k = 0; k <= fftSize / 2; ++k) {
        const float analysisPower = powerOf(analysis, k, fftSize);
        const float workingPower = working ? powerOf(working, k, fftSize) : analysisPower * level(k) * level(k);
        float a = levelOf(analysisPower, fftSize, view.decibels, view.min);
        float w = levelOf(workingPower, fftSize, view.decibels, view.min);
        if (!std::isfinite(a)) a = view.min;
        if (!std::isfinite(w)) w = view.min;
        float* bar = &bars[static_cast<std::size_t>(k) * 8];
        bar[3] = bar[5] = smoothedHeight(bar[3], a, view.min, view.max, factor);
        float* segment = &line[static_cast<std::size_t>(k) * 4];
        segment[1] = segment[3] = smoothedHeight(segment[1], w, view.min, view.max, factor);
    }
}

void WaveformDisplay::rebuildSliders(int bins)
{
    const std::vector<float>& line = logarithmicAxis() ? logLine_ : linearLine_;
    for (int k = 0; k < bins; ++k) {
        const float left = line[static_cast<std::size_t>(k) * 4], right = line[static_cast<std::size_t>(k) * 4 + 2];
        const float top = level(k);
        SliderVertex* quad = &sliders_[static_cast<std::size_t>(k) * 4];
        quad[0].x = left, quad[0].y = 0;
        quad[1].x = left, quad[1].y = top;
        quad[2].x = right, quad[2].y = top;
        quad[3].x = right, quad[3].y = 0;
    }
}

void WaveformDisplay::draw()
{
    if (!isVisible()) return;
    const int bins = binCount();
    if (logarithmicAxis()) updateLogPositions(sizeIndex());
    updateSpectra();
    rebuildSliders(bins);
    const View view = display_ ? viewOf(*display_) : View{0.0f, 1.0f, false};
    const bool logAxis = logarithmicAxis();
    const float extent = logAxis ? std::log(2051.0f) : static_cast<float>(bins);

    // The box and grid are in the static layer, which exists once there is a label font.
    if (!manager_.labelFont()) fillBox();
    followAxes();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    glPushMatrix();
    glTranslatef(box_.minX, box_.centre().y, 0);
    glScalef(box_.width() / extent, box_.height() / (view.max - view.min) * 0.5f, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    if (display_) {
        glColor3fv(analysisColour_.data());
        glVertexPointer(2, GL_FLOAT, 0, (logAxis ? logBars_ : linearBars_).data());
        glDrawArrays(GL_QUADS, 0, bins * 4);
        glColor3fv(workingColour_.data());
        glVertexPointer(2, GL_FLOAT, 0, (logAxis ? logLine_ : linearLine_).data());
        glDrawArrays(GL_LINES, 0, bins * 2);
    }
    glScalef(1, view.max - view.min, 1);
    glTranslatef(0, -1, 0);
    glInterleavedArrays(GL_C4UB_V2F, 0, sliders_.data());
    glDrawArrays(GL_QUADS, 0, bins * 4);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
    glDisable(GL_BLEND);
    if (Font* font = manager_.labelFont()) {
        if (manager_.hasStaticLayerFramebuffer()) {
            const Box absolute = absoluteBounds();
            const Point shift{absolute.minX - box_.minX, absolute.minY - box_.minY};
            for (const Box& strip : labelStrips_) {
                if (strip.width() <= 0 || strip.height() <= 0) continue;
                const Box moved = Box::of(strip.minX + shift.x, strip.minY + shift.y, strip.maxX + shift.x,
                                          strip.maxY + shift.y);
                manager_.drawStaticLayerOver(strip, moved, kLabelAlpha);
            }
        } else {
            drawGridLabels(*font, gridAxes());  // no cached layer: drawn every frame anyway
        }
    }
}

}  // namespace QN
