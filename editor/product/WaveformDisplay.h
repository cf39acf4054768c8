#pragma once

#include "editor/product/SpectrumGrid.h"
#include "editor/toolkit/UIElement.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct DisplayBlock;

namespace QN {

// The spectrum display and bin editor. It shows the analysis spectrum (filled bars in
// the upper half), the processed spectrum (a line) and one slider per bin for its
// level parameter (lower half); dragging draws the levels, every bin passed over set
// along a straight line, and with two modifiers held a drag is one of the DrawTool
// tools instead (each drag one edit gesture, so one undo step). The frequency axis is
// linear or logarithmic, the level axis linear or in decibels, both following the
// plug-in's view settings.
//
// The frequency and level grid, its labels and the bin levels' scale are drawn into the
// cached static layer with the display's dark box, and drawn again whenever the axes
// change. The labels are the only opaque pixels of that box, so each frame shows them
// over the spectra with one textured quad taken from the layer.
//
// Threads: built and fed with events on the host GUI thread; drawn on the render
// thread, which reads the cached levels and the display block without locks (a torn
// frame only shows once).
class WaveformDisplay : public UIElement {
public:
    static constexpr int kMaxBins = 2049;
    static constexpr float kFineSensitivity = 0.0005f;
    // Static-layer pixels at least this opaque are grid labels, shown over the spectra.
    static constexpr float kLabelAlpha = 0.2f;

    // Stands for one bin towards the manager's hover and press routing. Never drawn.
    class RegionReceiver : public UIElement {
    public:
        RegionReceiver(Manager& manager, WaveformDisplay& display, int bin)
            : UIElement(manager), display_(display), bin_(bin)
        {
        }
        void getBounds(Box& box) override;
        void mouseDown(Point point, int modifiers) override { display_.mouseDown(point, modifiers); }
        void mouseDrag(Point point, int modifiers) override { display_.mouseDrag(point, modifiers); }
        void mouseEnter() override;
        void mouseExit() override;
        [[nodiscard]] int bin() const { return bin_; }

    private:
        WaveformDisplay& display_;
        int bin_;
    };

    struct BinPoint {
        int bin;
        float level;
    };

    // What a drag does, chosen by the modifiers held at the press. One modifier keeps its
    // own meaning (Shift fine, Ctrl one bin, Alt default), so the tools take two.
    enum class DrawTool {
        Freehand,  // none, Shift, Ctrl or Alt
        Line,      // Ctrl+Shift: a straight line from the press to the pointer
        Smooth,    // Shift+Alt: smooths the bins passed over
        Range,     // Ctrl+Alt: a flat level from the press to the pointer
    };
    [[nodiscard]] static DrawTool toolFor(int modifiers);
    // Bins averaged by the smoothing tool, centred on the bin.
    static constexpr int kSmoothWidth = 5;

    // display may be null (nothing but the sliders is drawn then).
    WaveformDisplay(Manager& manager, float x, float y, float width, float height, DisplayBlock* display);

    void setFFTColour(float r, float g, float b) { analysisColour_ = {r, g, b}; }
    void setPFFTColour(float r, float g, float b) { workingColour_ = {r, g, b}; }
    void setSliderColours(float r1, float g1, float b1, float r2, float g2, float b2);
    // The grid's look. Label colours are opaque (see above). Called on: host GUI thread.
    void setGridColour(float r, float g, float b, float a);
    void setGridLabelColour(float r, float g, float b);
    void showGrid(bool frequencies, bool levels, bool binLevels);

    void draw() override;
    void drawStatic(Font& font) override;
    void getBounds(Box& box) override { box.include(box_); }
    UIElement* hitTest(Point point) override;
    void mouseDown(Point point, int modifiers) override;
    void mouseDrag(Point point, int modifiers) override;
    void valueChanged(const ControlParameterInfo& info, float value) override;

    // Bins shown for the current FFT size (N/2 + 1).
    [[nodiscard]] int binCount() const;
    [[nodiscard]] bool logarithmicAxis() const;
    // The bin and level (0..1) under a point of the given box.
    [[nodiscard]] BinPoint pointToBin(Point point, const Box& box) const;
    // The bin's column of the box, in the box's coordinates.
    [[nodiscard]] Box column(int bin, const Box& box) const;
    [[nodiscard]] float level(int bin) const { return levels_[static_cast<std::size_t>(bin)].load(); }
    [[nodiscard]] const Box& box() const { return box_; }

    // One smoothing step of a stored height towards a new value, limited to the view.
    [[nodiscard]] static float smoothedHeight(float height, float value, float viewMin, float viewMax, float factor);
    // The smoothing factor for "View Smoothing" (0 for none).
    [[nodiscard]] static float smoothingFactor(float smoothing);
    // A bin's value on the level axis from its power; a power of 0 gives viewMin.
    [[nodiscard]] static float levelOf(float power, int fftSize, bool decibels, float viewMin);

private:
    struct SliderVertex {
        std::uint8_t r, g, b, a;
        float x, y;
    };

    void setLevel(int bin, float level);
    void editLine(int bin, float level);
    // The tools other than freehand; levels come from those at the press.
    void beginToolStroke(const BinPoint& hit, Point point);
    void drawToolStroke(const BinPoint& hit, Point point);
    void drawStraightLine(const BinPoint& hit, Point point);
    void smoothPassedBins(int bin);
    void setFlatRange(const BinPoint& hit);
    // Puts the bins of the last tool span that the new one [from, to] no longer covers back.
    void restoreOutside(int from, int to);
    [[nodiscard]] float columnCentreX(int bin);
    void updateSpectra();
    void updateLogPositions(int sizeIndex);
    void rebuildSliders(int bins);
    [[nodiscard]] int sizeIndex() const;
    [[nodiscard]] float logPosition(int bin, int sizeIndex) const;
    [[nodiscard]] SpectrumGrid::Axes gridAxes() const;
    void fillBox() const;
    void drawGridLines(const SpectrumGrid::Axes& axes) const;
    void drawGridLabels(Font& font, const SpectrumGrid::Axes& axes);
    // Render thread: asks for a new static layer when the axes left the drawn grid.
    void followAxes();

    Box box_;
    DisplayBlock* display_;
    std::vector<ControlParameterInfo> records_;
    std::unique_ptr<std::atomic<float>[]> levels_;
    std::array<float, 3> analysisColour_{0.4f, 0.1f, 0.45f};
    std::array<float, 3> workingColour_{0.85f, 0.3f, 0.9f};
    std::vector<float> linearBars_, logBars_, linearLine_, logLine_;
    std::vector<SliderVertex> sliders_;
    int cachedSizeIndex_ = -1;
    std::vector<RegionReceiver*> receivers_;

    Point start_;
    float startLevel_ = 0.0f;
    float lastLevel_ = 0.0f;
    int anchorBin_ = 0;
    int lastBin_ = 0;
    DrawTool tool_ = DrawTool::Freehand;
    // The levels when the tool's drag began, and the bins smoothed during it.
    std::vector<float> pressLevels_;
    std::vector<bool> smoothed_;
    int spanFrom_ = 0, spanTo_ = -1;

    std::array<float, 4> gridColour_{1.0f, 1.0f, 1.0f, 0.14f};
    std::array<float, 3> gridLabelColour_{0.8f, 0.78f, 0.82f};
    std::atomic<bool> showFrequencies_{true}, showLevels_{true}, showBinLevels_{true};
    // Render thread only: the axes of the grid in the static layer and of the last request.
    SpectrumGrid::Axes drawnAxes_{}, requestedAxes_{};
    bool gridDrawn_ = false;
    // Render thread only: the strips along the box's edges where the labels lie, the only
    // parts shown again over the spectra.
    std::array<Box, 3> labelStrips_{};
};

}  // namespace QN
