#include "editor/product/WaveformDisplay.h"

#include "editor/toolkit/Group.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/Modifiers.h"
#include "editor/toolkit/PluginConnection.h"
#include "engine/model/DisplayBlock.h"
#include "engine/model/ParameterTable.h"

#include <algorithm>
#include <cmath>

namespace QN {
namespace {

const float kLogExtent = std::log(2051.0f);
const float kLogBinZero = std::log(2.0f);

// All FFT sizes measured in bins of the 4096-point transform.
float binScale(int sizeIndex) { return std::ldexp(1.0f, 7 - sizeIndex); }

std::uint8_t toByte(float component) { return static_cast<std::uint8_t>(std::clamp(component, 0.0f, 1.0f) * 255.0f); }

}  // namespace

void WaveformDisplay::RegionReceiver::getBounds(Box& box) { box.include(display_.column(bin_, display_.box())); }

void WaveformDisplay::RegionReceiver::mouseEnter()
{
    manager_.setHoveredId(kBinLevelBase + bin_);
    manager_.setTooltipElement(&display_);
}

void WaveformDisplay::RegionReceiver::mouseExit() { manager_.clearHoveredId(kBinLevelBase + bin_); }

WaveformDisplay::WaveformDisplay(Manager& manager, float x, float y, float width, float height, DisplayBlock* display)
    : UIElement(manager),
      box_(Box::of(x, y, x + width, y + height)),
      display_(display),
      levels_(std::make_unique<std::atomic<float>[]>(kMaxBins)),
      linearBars_(kMaxBins * 8, 0.0f),
      logBars_(kMaxBins * 8, 0.0f),
      linearLine_(kMaxBins * 4, 0.0f),
      logLine_(kMaxBins * 4, 0.0f),
      sliders_(kMaxBins * 4),
      pressLevels_(kMaxBins, 1.0f),
      smoothed_(kMaxBins, false)
{
    records_.reserve(kMaxBins);
    for (int bin = 0; bin < kMaxBins; ++bin) {
        levels_[static_cast<std::size_t>(bin)].store(1.0f);
        records_.push_back(manager.parameters().parameterInfo(kBinLevelBase + bin));
        manager.parameters().addListener(kBinLevelBase + bin, this);
        receivers_.push_back(manager.make<RegionReceiver>(*this, bin));
        const float k = static_cast<float>(bin);
        float* bar = &linearBars_[static_cast<std::size_t>(bin) * 8];
        bar[0] = k, bar[2] = k, bar[4] = k + 1, bar[6] = k + 1;
        float* line = &linearLine_[static_cast<std::size_t>(bin) * 4];
        line[0] = k, line[2] = k + 1;
    }
    for (std::size_t v = 0; v < sliders_.size(); ++v) {
        const bool left = v % 4 == 0 || v % 4 == 1;
        sliders_[v] = left ? SliderVertex{255, 128, 128, 160, 0, 0} : SliderVertex{255, 128, 160, 128, 0, 0};
    }
}

void WaveformDisplay::setSliderColours(float r1, float g1, float b1, float r2, float g2, float b2)
{
    for (std::size_t v = 0; v < sliders_.size(); ++v) {
        const bool left = v % 4 == 0 || v % 4 == 1;
        SliderVertex& s = sliders_[v];
        s.r = toByte(left ? r1 : r2), s.g = toByte(left ? g1 : g2), s.b = toByte(left ? b1 : b2), s.a = 255;
    }
}

// ---- geometry ----------------------------------------------------------------------

int WaveformDisplay::sizeIndex() const
{
    if (display_) return std::clamp(static_cast<int>(display_->fftSizeIndex.load()), 0, kFftSizeCount - 1);
    return fftSizeIndexFromValue(manager_.plugin().plainValue(ParameterId::FftSize));
}

int WaveformDisplay::binCount() const { return fftSizeFromIndex(sizeIndex()) / 2 + 1; }

bool WaveformDisplay::logarithmicAxis() const
{
    if (display_) return display_->frequencyAxisLog.load();
    return manager_.plugin().plainValue(ParameterId::ViewXAxis) == 0.0f;
}

float WaveformDisplay::logPosition(int bin, int index) const
{
    if (bin < 0) return 0.0f;
    return std::log(static_cast<float>(bin) * binScale(index) + 2.0f);
}

WaveformDisplay::BinPoint WaveformDisplay::pointToBin(Point point, const Box& box) const
{
    const float f = std::clamp((point.x - box.minX) / box.width(), 0.0f, 1.0f);
    const float level = std::clamp(2.0f * (point.y - box.minY) / box.height(), 0.0f, 1.0f);
    const int bins = binCount();
    int bin = 0;
    if (!logarithmicAxis()) {
        bin = static_cast<int>(static_cast<float>(bins) * f);
    } else {
        const float a = f * kLogExtent;
        if (a >= kLogBinZero) bin = static_cast<int>((std::exp(a) - 2.0f) / binScale(sizeIndex())) + 1;
    }
    return BinPoint{std::clamp(bin, 0, bins - 1), level};
}

Box WaveformDisplay::column(int bin, const Box& box) const
{
    Box c = box;
    if (!logarithmicAxis()) {
        const float width = box.width() / static_cast<float>(binCount());
        c.minX = box.minX + static_cast<float>(bin) * width;
        c.maxX = c.minX + width;
    } else {
        const int index = sizeIndex();
        const float scale = box.width() / kLogExtent;
        c.maxX = box.minX + logPosition(bin, index) * scale;
        c.minX = bin > 0 ? box.minX + logPosition(bin - 1, index) * scale : box.minX;
    }
    return c;
}

UIElement* WaveformDisplay::hitTest(Point point)
{
    if (!isVisible() || !box_.contains(point)) return nullptr;
    RegionReceiver* receiver = receivers_[static_cast<std::size_t>(pointToBin(point, box_).bin)];
    receiver->setParent(parent());  // the receivers share the display's offset
    return receiver;
}

// ---- editing -----------------------------------------------------------------------

void WaveformDisplay::valueChanged(const ControlParameterInfo& info, float value)
{
    const int bin = info.index - kBinLevelBase;
    if (bin >= 0 && bin < kMaxBins) levels_[static_cast<std::size_t>(bin)].store(value);
}

void WaveformDisplay::setLevel(int bin, float level)
{
    levels_[static_cast<std::size_t>(bin)].store(level);
    manager_.parameters().setParameterQuietly(records_[static_cast<std::size_t>(bin)], level);
}

void WaveformDisplay::mouseDown(Point point, int modifiers)
{
    const BinPoint hit = pointToBin(point, absoluteBounds());
    const ControlParameterInfo& record = records_[static_cast<std::size_t>(hit.bin)];
    // One edit gesture for the whole drag, however many bins it passes.
    const int edited = manager_.parameters().editedParameter();
    if (edited != record.index) {
        if (edited >= 0) manager_.parameters().endGesture(edited);
        manager_.parameters().beginGesture(record.index);
    }
    tool_ = toolFor(modifiers);
    if (tool_ != DrawTool::Freehand) return beginToolStroke(hit, point);
    if (modifiers & ModifierAlt) {
        manager_.parameters().setParameterFromControl(record, record.defaultValue);
        levels_[static_cast<std::size_t>(hit.bin)].store(record.defaultValue);
    }
    start_ = point;
    startLevel_ = lastLevel_ = level(hit.bin);
    anchorBin_ = lastBin_ = hit.bin;
    mouseDrag(point, modifiers);
}

void WaveformDisplay::mouseDrag(Point point, int modifiers)
{
    // The tool is the one chosen at the press; a modifier changed mid-drag makes the
    // manager press afresh, which starts a new stroke in the same undo step.
    if (tool_ != DrawTool::Freehand) return drawToolStroke(pointToBin(point, absoluteBounds()), point);
    if (modifiers & ModifierAlt) return;
    BinPoint hit = pointToBin(point, absoluteBounds());
    if (modifiers & ModifierControl) hit.bin = anchorBin_;
    if (modifiers & ModifierShift) {
        hit.level = std::clamp(startLevel_ + (point.y - start_.y) * kFineSensitivity, 0.0f, 1.0f);
    }
    editLine(hit.bin, hit.level);
}

void WaveformDisplay::editLine(int bin, float v)
{
    const float c = lastLevel_;
    lastLevel_ = v;
    if (bin < lastBin_) {
        const float span = static_cast<float>(lastBin_ - bin);
        for (int k = bin; k < lastBin_; ++k) setLevel(k, v + static_cast<float>(k - bin) * (c - v) / span);
    } else if (bin == lastBin_) {
        setLevel(bin, v);
    } else {
        const float span = static_cast<float>(bin - lastBin_);
        for (int k = lastBin_; k <= bin; ++k) setLevel(k, c + static_cast<float>(k - lastBin_) * (v - c) / span);
    }
    lastBin_ = bin;
}

// ---- drawing tools -----------------------------------------------------------------

WaveformDisplay::DrawTool WaveformDisplay::toolFor(int modifiers)
{
    const bool shift = modifiers & ModifierShift, control = modifiers & ModifierControl, alt = modifiers & ModifierAlt;
    if (control && shift && !alt) return DrawTool::Line;
    if (shift && alt && !control) return DrawTool::Smooth;
    if (control && alt && !shift) return DrawTool::Range;
    return DrawTool::Freehand;
}

void WaveformDisplay::beginToolStroke(const BinPoint& hit, Point point)
{
    start_ = point;
    startLevel_ = hit.level;
    anchorBin_ = lastBin_ = hit.bin;
    for (int bin = 0; bin < kMaxBins; ++bin) pressLevels_[static_cast<std::size_t>(bin)] = level(bin);
    std::fill(smoothed_.begin(), smoothed_.end(), false);
    spanFrom_ = hit.bin, spanTo_ = hit.bin - 1;  // nothing drawn yet
    drawToolStroke(hit, point);
}

void WaveformDisplay::drawToolStroke(const BinPoint& hit, Point point)
{
    switch (tool_) {
    case DrawTool::Line: drawStraightLine(hit, point); break;
    case DrawTool::Smooth: smoothPassedBins(hit.bin); break;
    case DrawTool::Range: setFlatRange(hit); break;
    case DrawTool::Freehand: break;
    }
}

float WaveformDisplay::columnCentreX(int bin) { return column(bin, absoluteBounds()).centre().x; }

void WaveformDisplay::restoreOutside(int from, int to)
{
    for (int bin = spanFrom_; bin <= spanTo_; ++bin) {
        if (bin < from || bin > to) setLevel(bin, pressLevels_[static_cast<std::size_t>(bin)]);
    }
    spanFrom_ = from, spanTo_ = to;
}

void WaveformDisplay::drawStraightLine(const BinPoint& hit, Point point)
{
    const int from = std::min(anchorBin_, hit.bin), to = std::max(anchorBin_, hit.bin);
    restoreOutside(from, to);
    // Interpolated along the display's x, so the line is straight on either axis.
    const float dx = point.x - start_.x;
    for (int bin = from; bin <= to; ++bin) {
        const float t = dx != 0.0f ? std::clamp((columnCentreX(bin) - start_.x) / dx, 0.0f, 1.0f) : 1.0f;
        setLevel(bin, startLevel_ + t * (hit.level - startLevel_));
    }
}

void WaveformDisplay::smoothPassedBins(int bin)
{
    const int bins = binCount();
    const int from = std::min(lastBin_, bin), to = std::max(lastBin_, bin);
    for (int k = from; k <= to; ++k) {
        if (smoothed_[static_cast<std::size_t>(k)]) continue;
        smoothed_[static_cast<std::size_t>(k)] = true;
        float sum = 0.0f;
        int count = 0;
        for (int j = std::max(0, k - kSmoothWidth / 2); j <= std::min(bins - 1, k + kSmoothWidth / 2); ++j, ++count) {
            sum += pressLevels_[static_cast<std::size_t>(j)];
        }
        setLevel(k, sum / static_cast<float>(count));
    }
    lastBin_ = bin;
}

void WaveformDisplay::setFlatRange(const BinPoint& hit)
{
    const int from = std::min(anchorBin_, hit.bin), to = std::max(anchorBin_, hit.bin);
    restoreOutside(from, to);
    for (int bin = from; bin <= to; ++bin) setLevel(bin, hit.level);
}

// ---- spectra -----------------------------------------------------------------------

float WaveformDisplay::smoothingFactor(float smoothing)
{
    return smoothing > 0.0f ? std::exp(-5.2f / (smoothing * 0.03f)) : 0.0f;
}

float WaveformDisplay::smoothedHeight(float height, float value, float viewMin, float viewMax, float factor)
{
    const float v = std::clamp((height + viewMin - value) * factor + value, viewMin, viewMax);
    return v - viewMin;
}

float WaveformDisplay::levelOf(float power, int fftSize, bool decibels, float viewMin)
{
    const float scale = 2.0f / static_cast<float>(fftSize);
    if (!decibels) return std::sqrt(power) * scale;
    if (!(power > 0.0f)) return viewMin;
    // Decibels of the bin's amplitude, sqrt(power) * 2 / N.
    return 10.0f * std::log10(power) + 20.0f * std::log10(scale);
}

}  // namespace QN
