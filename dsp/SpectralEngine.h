#pragma once
// What the kernels of one instance share: the eight transforms and both windows of each
// frame size (32..4096), the block parameters of the current piece, and the spectral script runner.
// Owned by the plug-in object; made in initialize, used on the audio thread.

#include "dsp/AlignedFloats.h"
#include "dsp/BlockParameters.h"
#include "dsp/KernelLoops.h"
#include "dsp/RealFft.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class SpectralScriptRunner;

class SpectralEngine {
public:
    static constexpr int kSizeCount = 8;
    static constexpr int kMaxFftSize = 4096;

    SpectralEngine() = default;
    SpectralEngine(const SpectralEngine&) = delete;
    SpectralEngine& operator=(const SpectralEngine&) = delete;

    // Makes the transform and window of every size, smallest first (host thread).
    void makeTransforms();
    void releaseTransforms();
    bool hasTransforms() const { return transforms_[0] != nullptr; }

    RealFft& transform(int sizeIndex) { return *transforms_[static_cast<std::size_t>(sizeIndex)]; }
    const float* window(int sizeIndex) const { return windows_[static_cast<std::size_t>(sizeIndex)].data(); }
    // The Hann window of the 4x and 8x overlaps.
    const float* hannWindow(int sizeIndex) const { return hannWindows_[static_cast<std::size_t>(sizeIndex)].data(); }

    BlockParameters& block() { return block_; }
    const BlockParameters& block() const { return block_; }

    // The kernels' sample loops: the widest the CPU runs, unless a test chooses.
    const KernelLoops& loops() const { return loops_; }
    void useLoops(KernelLoops::Width width) { loops_ = KernelLoops::of(width); }

    void setScriptRunner(SpectralScriptRunner* runner) { scriptRunner_ = runner; }
    SpectralScriptRunner* scriptRunner() const { return scriptRunner_; }

    // Called on: the audio thread, by a kernel that met a non-finite sample and cleared itself.
    void noteNonFinite()
    {
        ++unreportedClears_;
        clears_.fetch_add(1, std::memory_order_relaxed);
    }
    // Where report lines go: post(context, line) must not block, allocate or write (the
    // instance's console, which writes them out on a thread of its own). Without one,
    // clears are only counted. Called on: the host thread, before audio runs.
    using ReportLine = void (*)(void* context, const char* line);
    void setReportLine(ReportLine post, void* context)
    {
        reportLine_ = post;
        reportContext_ = context;
    }
    // Called on: the audio thread, at the end of every host block of `samples` samples. Posts
    // one line, naming the clears not reported yet, when there are some and no line was
    // posted during the last kReportInterval samples: a script that keeps writing NaNs
    // costs a line now and then, not one per block or per frame.
    void reportNonFinite(int samples);
    static constexpr int kReportInterval = 65536;  // about 1.4 s at 48 kHz
    // Every clear since the engine was made. Called on: any thread.
    std::uint64_t nonFiniteClears() const { return clears_.load(std::memory_order_relaxed); }

private:
    std::array<std::unique_ptr<RealFft>, kSizeCount> transforms_{};
    std::array<AlignedFloats, kSizeCount> windows_{};
    std::array<AlignedFloats, kSizeCount> hannWindows_{};
    BlockParameters block_{};
    SpectralScriptRunner* scriptRunner_ = nullptr;
    KernelLoops loops_ = KernelLoops::fastest();
    ReportLine reportLine_ = nullptr;
    void* reportContext_ = nullptr;
    std::uint32_t unreportedClears_ = 0;
    int samplesSinceReport_ = kReportInterval;
    std::atomic<std::uint64_t> clears_{0};
};
