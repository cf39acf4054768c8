#pragma once

#include <cstdint>
#include <vector>

// RealFft: real-input FFT for one power-of-two size N.
// Each object owns its tables and scratch buffer; the plug-in makes eight
// of them (N = 32 ... 4096) at start and keeps them for its lifetime.
//
// Packed spectrum (the output of forward() and the input of inverse()), N floats, for
//     X_k = sum_{n=0}^{N-1} x_n * exp(-2*pi*i*k*n/N):
//
//     f[0]         = Re X_0                      (DC)
//     f[k]         = Re X_k      for 1 <= k < N/2
//     f[N/2]       = Re X_{N/2}                  (Nyquist)
//     f[N/2 + k]   = -Im X_k     for 1 <= k < N/2
//
//   Bin k (1 <= k < N/2) is the pair (f[k], f[N/2 + k]); bins 0 and N/2 are real. The second
//   member is the imaginary part with the sign of the exp(+2*pi*i*k*n/N) convention, i.e. the
//   NEGATED imaginary part of X_k. Example: x_n = sin(2*pi*n/N) gives f[N/2 + 1] = N/2.
//   For N = 1 the spectrum is f[0] = x[0]; for N = 2 it is f[0] = DC, f[1] = Nyquist.
//
// Scaling: neither direction scales. forward() computes X exactly as defined above;
// inverse() computes x_n = sum over all N bins of X_k * exp(+2*pi*i*k*n/N) from the packed
// half spectrum (bins N/2+1 ... N-1 are the conjugates of bins N/2-1 ... 1), so
// inverse(forward(x)) = N * x. Callers divide by N themselves (the kernel folds 1/N into its
// output gain).
//
// Sizes: N must be a power of two with 1 <= N <= kMaxSize (65536); the plug-in uses 32 ... 4096.
// Any other N makes the constructor throw std::invalid_argument, so no object with a size
// that could lead to out-of-bounds access can exist.
//
// Code paths: the radix-2 algorithm above in plain C++ (Portable, any CPU and any N), and two
// vector paths that compute the same transforms with a different operation order (SimdRealFft):
// Sse2 (four lanes, any x86-64) and Avx2Fma (eight lanes with fused multiply-add; four lanes
// below N = 128). The vector paths run for N >= 32 and fall back to the radix-2 code below. The
// constructor picks the fastest path the CPU runs; the two-argument constructor forces one (tests,
// benchmarks). All paths agree within float rounding, not bit for bit: an FFT of N points carries
// an error of order log2(N) * 2^-24 * sum|x| per bin, whichever path computes it.
//
// Memory: all memory is allocated in the constructor. Portable: bit-reversal table (N ints),
// cosine table (2^(B-1) - 4 floats, none when B <= 3), scratch (N floats, none when B <= 2),
// B = log2 N, and N floats for the windowed input of forwardWindowed (and the leveled spectrum of
// inverseLeveledWindowed when the caller keeps none). Vector paths with W lanes
// and P = N/(2W): lane twiddles (N floats), stage, fold and column twiddles (about 2.5P + W*W
// floats), bit reversal of P entries, and a 64-byte aligned work buffer of N floats. The
// transforms allocate nothing, take no lock and do not throw. Arrays need no particular
// alignment.
//
// Threads: construction and destruction on the thread that initialises or destroys the
// plug-in (host dispatcher thread). forward() and inverse() are called on the audio thread;
// they use the object's scratch buffer, so one object must not run two transforms at the
// same time (the two kernels share the transforms but run one after the other on the audio
// thread).
class RealFft {
public:
    static constexpr int kMaxSize = 65536;

    enum class Path { Portable, Sse2, Avx2Fma };

    // True when this CPU (and this build) can run the path.
    static bool machineRuns(Path path) noexcept;
    // The fastest path this CPU runs.
    static Path fastestPath() noexcept;

    // Builds the tables and the scratch buffer for size n on the fastest path.
    // Throws std::invalid_argument unless n is a power of two with 1 <= n <= kMaxSize.
    explicit RealFft(int n);
    // The same on a chosen path; also throws std::invalid_argument if the CPU cannot run it.
    RealFft(int n, Path path);

    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;
    RealFft(RealFft&&) = delete;
    RealFft& operator=(RealFft&&) = delete;
    ~RealFft() = default;

    // x[0 .. N-1] -> packed spectrum f[0 .. N-1], unscaled. x is not modified.
    // x and f must be different, non-overlapping arrays (no in-place transform).
    // Called on: audio thread (no allocation).
    void forward(const float* x, float* f) noexcept;

    // Packed spectrum f[0 .. N-1] -> x[0 .. N-1], unscaled: inverse(forward(x)) = N * x.
    // f is not modified. f and x must be different, non-overlapping arrays.
    // Called on: audio thread (no allocation).
    void inverse(const float* f, float* x) noexcept;

    // The analysis and synthesis steps of a windowed frame, with the window applied inside the
    // transform where the path allows, so that no windowed copy is made:
    // forwardWindowed: f = forward(x[i] * window[i]), where the frame x is firstHalf[0 .. N/2-1]
    //   followed by secondHalf[0 .. N/2-1] (two separate arrays, or one: secondHalf =
    //   firstHalf + N/2); returns max |x[i]| if measurePeak, else 0. Needs N >= 2.
    // inverseWindowed: x[i] = inverse(f)[i] * scaledWindow[i], where scaledWindow is the synthesis
    //   window already multiplied by the output gain (the caller keeps it, so that each output
    //   takes one product); returns max |inverse(f)[i] * gain| if measurePeak, else 0, computed
    //   as max |inverse(f)[i]| * |gain| (rounding is monotonic, so the two are the same number).
    //   (Measuring costs about a tenth of a transform on the vector paths.)
    // Products are rounded as written (x times window, then the transform; the transform's
    // output times the scaled window). A NaN never becomes the returned peak. Inputs, windows
    // and output must not overlap.
    // Called on: audio thread (no allocation).
    // (The vector paths are called inline: the kernel calls these for every frame, and at the
    // small sizes an out-of-line call costs a visible part of a transform.)
    float forwardWindowed(const float* firstHalf, const float* secondHalf, const float* window, float* f,
                          bool measurePeak) noexcept
    {
        if (vector_.forward != nullptr) {
            return vector_.forwardWindowed[measurePeak ? 1 : 0](tables_, firstHalf, secondHalf, window, f);
        }
        return forwardWindowedRadix2(firstHalf, secondHalf, window, f, measurePeak);
    }
    float inverseWindowed(const float* f, const float* scaledWindow, float gain, float* x, bool measurePeak) noexcept
    {
        if (vector_.forward != nullptr) {
            return vector_.inverseWindowed[measurePeak ? 1 : 0](tables_, f, scaledWindow, gain, x);
        }
        return inverseWindowedRadix2(f, scaledWindow, gain, x, measurePeak);
    }
    // inverseWindowed of f times the bin levels: bin k (f[k] and f[N/2 + k]; DC f[0] and Nyquist
    // f[N/2]) times levels[k], levels holding N/2 + 1 values. The vector paths apply the levels as
    // their first stage reads f, with the same products as a separate pass would give, so the
    // output is bit for bit that of leveling first. When leveled is not null the leveled spectrum
    // (N floats) is stored there too. f is not modified; leveled must not overlap f or x.
    // Called on: audio thread (no allocation).
    float inverseLeveledWindowed(const float* f, const float* levels, float* leveled, const float* scaledWindow,
                                 float gain, float* x, bool measurePeak) noexcept
    {
        if (vector_.forward != nullptr) {
            return vector_.inverseLeveledWindowed[leveled != nullptr ? 1 : 0][measurePeak ? 1 : 0](
                tables_, f, levels, leveled, scaledWindow, gain, x);
        }
        return inverseLeveledWindowedRadix2(f, levels, leveled, scaledWindow, gain, x, measurePeak);
    }

    // N, the transform size.
    int size() const noexcept { return size_; }
    // B = log2 N.
    int bits() const noexcept { return bits_; }
    // The path chosen at construction.
    Path path() const noexcept { return path_; }
    // The path that actually runs at this size (Portable where a vector path needs a larger N).
    Path effectivePath() const noexcept { return vector_.forward != nullptr ? path_ : Path::Portable; }

    // What the vector paths read, laid out for W lanes and P = N/(2W) (see SimdRealFft.h):
    struct VectorTables {
        int n = 0;                              // N
        int points = 0;                         // P, the per-lane complex FFT size
        const float* stageTwiddles = nullptr;   // radix-4 stages L = P, P/4, ... >= 8: per j < L/4,
                                                //   W_L^j, W_L^2j, W_L^3j as (re, im)
        const float* foldTwiddles = nullptr;    // k = 1 ... P/2: (-sin(pi k/P)/2, -cos(pi k/P)/2)
        const float* laneTwiddles = nullptr;    // k < P: W floats re, W floats im of W_N^(r k)
        const float* columnTwiddles = nullptr;  // q < W/2: cos, then sin of pi r (2q + 1)/W, r < W
        const std::int32_t* reverse = nullptr;  // P entries: bit reversal of log2 P bits
        float* work = nullptr;                  // N floats, 64-byte aligned
        float* column = nullptr;                // W floats: the lanes' real Nyquist values
    };

    // What a vector path provides for one size.
    struct VectorEntryPoints {
        void (*forward)(const VectorTables&, const float*, float*) noexcept = nullptr;
        void (*inverse)(const VectorTables&, const float*, float*) noexcept = nullptr;
        // [0]: without the peak, [1]: with it.
        float (*forwardWindowed[2])(const VectorTables&, const float*, const float*, const float*, float*) noexcept = {};
        float (*inverseWindowed[2])(const VectorTables&, const float*, const float*, float, float*) noexcept = {};
        // [0]: without the leveled copy, [1]: with it; then the peak as above.
        float (*inverseLeveledWindowed[2][2])(const VectorTables&, const float*, const float*, float*, const float*,
                                              float, float*) noexcept = {};
    };

    // The two steps of a frame that measures no peak and keeps no leveled spectrum, for a caller
    // that runs frames in a loop of its own: forwardWindowed and inverseLeveledWindowed as
    // above, called as forward(*tables, ...) and inverse(*tables, ...). Both null on the
    // portable path.
    struct QuietFrameSteps {
        float (*forward)(const VectorTables&, const float*, const float*, const float*, float*) noexcept;
        float (*inverse)(const VectorTables&, const float*, const float*, float*, const float*, float, float*) noexcept;
        const VectorTables* tables;
    };
    QuietFrameSteps quietFrameSteps() const noexcept
    {
        return {vector_.forwardWindowed[0], vector_.inverseLeveledWindowed[0][0], &tables_};
    }

private:
    void buildRadix2Tables();
    void buildVectorTables(int lanes);
    void forwardRadix2(const float* x, float* f) noexcept;
    float forwardWindowedRadix2(const float* firstHalf, const float* secondHalf, const float* window, float* f,
                                bool measurePeak) noexcept;
    float inverseWindowedRadix2(const float* f, const float* window, float gain, float* x, bool measurePeak) noexcept;
    float inverseLeveledWindowedRadix2(const float* f, const float* levels, float* leveled, const float* window,
                                       float gain, float* x, bool measurePeak) noexcept;
    void inverseRadix2(const float* f, float* x) noexcept;

    // Portable path: tables first, then the size and the scratch buffer.
    std::vector<std::int32_t> bitReverse_;  // N entries; entry j = B-bit reversal of j
    std::vector<float> cosTable_;           // 2^(B-1) - 4 entries: level L at index 2^(L-1) - 4
    float sqrtHalf_;                        // sqrt(2)/2 as float, 0x3f3504f3
    std::int32_t size_;                     // N
    std::int32_t bits_;                     // B
    std::vector<float> scratch_;            // N floats; empty when B <= 2

    // Vector paths.
    Path path_ = Path::Portable;
    VectorEntryPoints vector_;                 // all null: the radix-2 code runs
    std::vector<float> windowed_;              // radix-2 code only: N floats for forwardWindowed
                                               // and the levels of inverseLeveledWindowed
    std::vector<float> vectorStorage_;         // all twiddles, then the work buffer and column
    std::vector<std::int32_t> laneReverse_;
    VectorTables tables_;
};
