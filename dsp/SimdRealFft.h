#pragma once
// The vector paths of RealFft, written once over a GCC vector type V of W = 4 or 8 floats and
// compiled once per instruction set (RealFftSse2.cpp, RealFftAvx2.cpp).
//
// x is read as W interleaved real sequences: lane r of vector t holds x[W*t + r], so the lane
// sequences are x[r], x[r + W], x[r + 2W], ... and no data is moved across lanes until the end.
// Forward transform:
//   1. Every lane packs its sequence of 2P = N/W samples into P complex values (vector 2m the
//      real parts, vector 2m + 1 the imaginary parts: exactly how x lies in memory) and runs a
//      P-point complex FFT: radix-4 decimation in frequency, natural order in, bit-reversed out.
//   2. "fold": each lane turns its P complex bins into the 2P-point real spectrum U_r[0 ... P],
//      then multiplies by the lane twiddle W_N^(r*k).
//   3. "combine": blocks of W bins are transposed so that the lanes hold W consecutive bins, and a
//      W-point DFT across the lane sequences yields X[k + 2P*q]. Outputs above N/2 are stored as
//      the conjugates of the bins below (reversed), so every packed value is written once per
//      block; bins at odd multiples of P come from the lanes' real Nyquist values U_r[P].
// The inverse undoes each step in reverse order, unscaled (factors W, 2 and P: N in all).
//
// Requires N >= 2*W*W (so that P is a multiple of W). Called on: audio thread (no allocation).

#include "dsp/RealFft.h"

#include <cstdint>

// Isa is a type private to the file that instantiates the path: the same vector type is
// compiled with different instruction sets in different files, and without it the linker
// would keep one file's copy of each function for every path.
template <class V, int FixedPoints, class Isa>
class SimdRealFft {
public:
    static constexpr int W = static_cast<int>(sizeof(V) / sizeof(float));
    static_assert(W == 4 || W == 8, "four or eight lanes");

    [[gnu::flatten]] static void forward(const RealFft::VectorTables& t, const float* x, float* f) noexcept
    {
        radix4Forward(PlainSource{x}, t.work, points(t), points(t), t.stageTwiddles);
        finishForward(t, f);
    }

    // forward() of the frame x[i] * window[i], where x is firstHalf[0 ... N/2 - 1] followed by
    // secondHalf[0 ... N/2 - 1]; returns max |x[i]| (a NaN never becomes the peak) when Measure
    // is set, else 0. The window is applied as the first stage reads x, so no windowed copy is
    // made; that stage reads its elements 0 ... P/2 - 1 (butterfly slots 0 and 1) from the first
    // half and the rest (slots 2 and 3) from the second, so the halves need not be contiguous.
    template <bool Measure>
    [[gnu::flatten]] static float forwardWindowed(const RealFft::VectorTables& t, const float* firstHalf,
                                                  const float* secondHalf, const float* window, float* f) noexcept
    {
        WindowedSource<Measure> source{firstHalf, secondHalf, points(t) / 2, window, {}};
        radix4Forward(source, t.work, points(t), points(t), t.stageTwiddles);
        finishForward(t, f);
        return source.peak.largest();
    }

    [[gnu::flatten]] static void inverse(const RealFft::VectorTables& t, const float* f, float* x) noexcept
    {
        PlainSink sink{x};
        runInverse(t, f, sink);
    }

    // x[i] = inverse(f)[i] * scaledWindow[i] (the synthesis window times the gain); returns
    // max |inverse(f)[i] * gain| when Measure is set, else 0. The window is applied as the last
    // stage writes x.
    template <bool Measure>
    [[gnu::flatten]] static float inverseWindowed(const RealFft::VectorTables& t, const float* f,
                                                  const float* scaledWindow, float gain, float* x) noexcept
    {
        WindowedSink<Measure> sink{x, scaledWindow, gain, {}};
        runInverse(t, f, sink);
        return Measure ? sink.largest() : 0.0f;
    }

    // inverseWindowed() of f with bin k (f[k], f[N/2 + k]; DC f[0], Nyquist f[N/2]) times
    // levels[k], applied as the first stage reads f: the same products, rounded the same way, as
    // a separate pass over the spectrum. When leveled is not null the leveled spectrum is also
    // stored there (N floats).
    // Keep: leveled is not null (a parameter of the template, so that the transform tests it
    // nowhere).
    template <bool Measure, bool Keep>
    [[gnu::flatten]] static float inverseLeveledWindowed(const RealFft::VectorTables& t, const float* f,
                                                         const float* levels, float* leveled,
                                                         const float* scaledWindow, float gain, float* x) noexcept
    {
        WindowedSink<Measure> sink{x, scaledWindow, gain, {}};
        runInverse(t, f, sink, BinLevels<Keep>{levels, leveled});
        return Measure ? sink.largest() : 0.0f;
    }

private:
    // P, a compile-time constant for the small sizes so that their loops unroll completely.
    static int points(const RealFft::VectorTables& t) noexcept
    {
        return FixedPoints != 0 ? FixedPoints : t.points;
    }

    struct Complex {
        V re;
        V im;
    };

    static V load(const float* p) noexcept
    {
        V v;
        __builtin_memcpy(&v, p, sizeof v);
        return v;
    }
    static void store(float* p, V v) noexcept { __builtin_memcpy(p, &v, sizeof v); }
    static V splat(float s) noexcept { return V{} + s; }

    // Element e of a per-lane complex sequence: real parts at vector 2e, imaginary at 2e + 1.
    static Complex get(const float* base, int e) noexcept
    {
        return {load(base + 2 * W * e), load(base + 2 * W * e + W)};
    }
    static void put(float* base, int e, Complex c) noexcept
    {
        store(base + 2 * W * e, c.re);
        store(base + 2 * W * e + W, c.im);
    }

    // The running maximum of |v|, in two registers taken by turns (a butterfly's elements by
    // their slot), so that its comparisons do not all wait for each other; more would not stay
    // in registers beside the butterfly and would wait on memory instead: peak < v ? v : peak,
    // so NaNs never win. Measuring costs about a tenth of a transform, so it is only done when
    // asked for.
    template <bool Measure>
    struct Peak {
        V maxima[2]{};
        void take(int slot, V v) noexcept
        {
            if constexpr (!Measure) {
                return;
            }
            const V magnitude = absolute(v);
            V& maximum = maxima[slot & 1];
            maximum = maximum < magnitude ? magnitude : maximum;
        }
        float largest() const noexcept
        {
            float result = 0.0f;
            for (const V& m : maxima) {
                for (int lane = 0; lane < W; ++lane) {
                    result = result < m[lane] ? m[lane] : result;
                }
            }
            return result;
        }
    };

    static V absolute(V v) noexcept
    {
        typedef std::int32_t Bits __attribute__((vector_size(sizeof(V))));
        return reinterpret_cast<V>(reinterpret_cast<Bits>(v) & 0x7fffffff);
    }

    // Where the first forward stage reads and the last inverse stage writes. A slot (0 ... 3)
    // says which of a butterfly's four elements it is.
    struct PlainSource {
        const float* base;
        Complex get(int e, int) const noexcept { return SimdRealFft::get(base, e); }
    };
    template <bool Measure>
    struct WindowedSource {
        const float* firstHalf;
        const float* secondHalf;
        int halfElements;  // P/2: the elements of one half
        const float* window;
        Peak<Measure> peak;
        Complex get(int e, int slot) noexcept
        {
            const Complex c = slot < 2 ? SimdRealFft::get(firstHalf, e) : SimdRealFft::get(secondHalf, e - halfElements);
            peak.take(slot, c.re);
            peak.take(slot, c.im);
            const Complex w = SimdRealFft::get(window, e);
            return {c.re * w.re, c.im * w.im};
        }
    };
    struct PlainSink {
        float* base;
        void put(int e, int, Complex c) const noexcept { SimdRealFft::put(base, e, c); }
    };
    // Writes x = c * scaledWindow (the synthesis window times the gain): one product per
    // output, which keeps the last stage's chain short. The peak is taken before the window,
    // and scaled by the gain once at the end.
    template <bool Measure>
    struct WindowedSink {
        float* x;
        const float* scaledWindow;
        float gain;
        Peak<Measure> peak;
        void put(int e, int slot, Complex c) noexcept
        {
            peak.take(slot, c.re);
            peak.take(slot, c.im);
            const Complex w = SimdRealFft::get(scaledWindow, e);
            SimdRealFft::put(x, e, {c.re * w.re, c.im * w.im});
        }
        // max |c * gain| over the outputs: rounding is monotonic, so the largest |c| scaled is
        // the largest scaled |c|. An infinite peak times a zero gain is no peak.
        float largest() const noexcept
        {
            const float scaled = peak.largest() * __builtin_fabsf(gain);
            return scaled == scaled ? scaled : 0.0f;
        }
    };

    // What the first inverse stage multiplies the spectrum by as it reads it: nothing, or the bin
    // levels (at the bin's index, for its real and imaginary parts alike), keeping the products
    // where asked. A product is kept from fusing with the addition that follows it, so that it
    // rounds as in a separate pass over the spectrum.
    struct NoLevels {
        V apply(V v, int, int) const noexcept { return v; }
        float apply(float v, int, int) const noexcept { return v; }
    };
    template <bool Keep>
    struct BinLevels {
        const float* levels;
        float* leveled;  // used only when Keep is set
        // v holds the packed values at f[at ...], of the bins at levels[bin ...].
        V apply(V v, int at, int bin) const noexcept
        {
            V product = v * load(levels + bin);
            __asm__("" : "+x"(product));
            if constexpr (Keep) {
                store(leveled + at, product);
            }
            return product;
        }
        float apply(float v, int at, int bin) const noexcept
        {
            const float product = v * levels[bin];
            if constexpr (Keep) {
                leveled[at] = product;
            }
            return product;
        }
    };

    // The forward stages after the first (which read x into the work buffer), in place.
    static void finishForward(const RealFft::VectorTables& t, float* f) noexcept
    {
        const int p = points(t);
        const float* twiddles = t.stageTwiddles + (p >= 8 ? 6 * (p / 4) : 0);
        int length = p / 4;
        for (; length >= 4; length /= 4) {
            radix4Forward(PlainSource{t.work}, t.work, p, length, twiddles);
            twiddles += length >= 8 ? 6 * (length / 4) : 0;
        }
        if (length == 2) {
            radix2(t.work, p);
        }
        fold(t);
        combineForward(t, f);
    }

    // Every inverse stage; the last one writes through the sink. The first applies the levels,
    // if any.
    template <class Sink, class Levels = NoLevels>
    static void runInverse(const RealFft::VectorTables& t, const float* f, Sink& sink, Levels levels = {}) noexcept
    {
        combineInverse(t, f, levels);
        unfold(t);
        const int p = points(t);
        int length = 4;
        if ((__builtin_ctz(static_cast<unsigned>(p)) & 1) != 0) {
            radix2(t.work, p);
            length = 8;
        }
        for (; length < p; length *= 4) {
            PlainSink work{t.work};
            radix4Inverse(t.work, work, p, length, t.stageTwiddles + twiddleOffset(p, length));
        }
        radix4Inverse(t.work, sink, p, p, t.stageTwiddles);
    }

    static Complex add(Complex a, Complex b) noexcept { return {a.re + b.re, a.im + b.im}; }
    static Complex sub(Complex a, Complex b) noexcept { return {a.re - b.re, a.im - b.im}; }
    static Complex mul(Complex a, V wr, V wi) noexcept { return {a.re * wr - a.im * wi, a.re * wi + a.im * wr}; }
    static Complex mulConj(Complex a, V wr, V wi) noexcept { return {a.re * wr + a.im * wi, a.im * wr - a.re * wi}; }
    // Multiplication by -i (forward) or +i (inverse).
    template <bool Inverse>
    static Complex rotate(Complex a) noexcept
    {
        if constexpr (Inverse) {
            return {-a.im, a.re};
        } else {
            return {a.im, -a.re};
        }
    }

    // v with lane 0 replaced by zero.
    static V withoutFirstLane(V v) noexcept
    {
        if constexpr (W == 8) {
            return __builtin_shufflevector(v, V{}, 8, 1, 2, 3, 4, 5, 6, 7);
        } else {
            return __builtin_shufflevector(v, V{}, 4, 1, 2, 3);
        }
    }

    // From the last W packed imaginary slots f[N - W ... N - 1] (bins N/2 - W ... N/2 - 1), the
    // reversed conjugate block of bins N/2 ... N/2 - W + 1: lane 0 is the Nyquist bin (zero).
    static V nyquistImaginary(V last) noexcept
    {
        if constexpr (W == 8) {
            return __builtin_shufflevector(last, V{}, 8, 7, 6, 5, 4, 3, 2, 1);
        } else {
            return __builtin_shufflevector(last, V{}, 4, 3, 2, 1);
        }
    }

    static V reversed(V v) noexcept
    {
        if constexpr (W == 8) {
            return __builtin_shufflevector(v, v, 7, 6, 5, 4, 3, 2, 1, 0);
        } else {
            return __builtin_shufflevector(v, v, 3, 2, 1, 0);
        }
    }

    static void transpose(V* r) noexcept
    {
        if constexpr (W == 8) {
            V t[8];
            for (int i = 0; i < 8; i += 2) {
                t[i] = __builtin_shufflevector(r[i], r[i + 1], 0, 8, 1, 9, 4, 12, 5, 13);
                t[i + 1] = __builtin_shufflevector(r[i], r[i + 1], 2, 10, 3, 11, 6, 14, 7, 15);
            }
            V u[8];
            for (int i = 0; i < 8; i += 4) {
                u[i] = __builtin_shufflevector(t[i], t[i + 2], 0, 1, 8, 9, 4, 5, 12, 13);
                u[i + 1] = __builtin_shufflevector(t[i], t[i + 2], 2, 3, 10, 11, 6, 7, 14, 15);
                u[i + 2] = __builtin_shufflevector(t[i + 1], t[i + 3], 0, 1, 8, 9, 4, 5, 12, 13);
                u[i + 3] = __builtin_shufflevector(t[i + 1], t[i + 3], 2, 3, 10, 11, 6, 7, 14, 15);
            }
            for (int i = 0; i < 4; ++i) {
                r[i] = __builtin_shufflevector(u[i], u[i + 4], 0, 1, 2, 3, 8, 9, 10, 11);
                r[i + 4] = __builtin_shufflevector(u[i], u[i + 4], 4, 5, 6, 7, 12, 13, 14, 15);
            }
        } else {
            const V t0 = __builtin_shufflevector(r[0], r[1], 0, 4, 1, 5);
            const V t1 = __builtin_shufflevector(r[0], r[1], 2, 6, 3, 7);
            const V t2 = __builtin_shufflevector(r[2], r[3], 0, 4, 1, 5);
            const V t3 = __builtin_shufflevector(r[2], r[3], 2, 6, 3, 7);
            r[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
            r[1] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
            r[2] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
            r[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
        }
    }

    // Where the twiddles of the radix-4 stage of the given length start: the stages run from
    // length P down, and only lengths of 8 and more have a table.
    static int twiddleOffset(int p, int length) noexcept
    {
        int offset = 0;
        for (int l = p; l > length; l /= 4) {
            offset += l >= 8 ? 6 * (l / 4) : 0;
        }
        return offset;
    }

    // One radix-4 decimation-in-frequency stage (two radix-2 stages merged), src may be dst.
    template <class Source>
    static void radix4Forward(Source&& src, float* dst, int p, int length, const float* tw) noexcept
    {
        const int s = length / 4;
        for (int b = 0; b < p; b += length) {
            for (int j = 0; j < s; ++j) {
                const int e = b + j;
                const Complex a = src.get(e, 0);
                const Complex bb = src.get(e + s, 1);
                const Complex c = src.get(e + 2 * s, 2);
                const Complex d = src.get(e + 3 * s, 3);
                const Complex sumAc = add(a, c);
                const Complex sumBd = add(bb, d);
                const Complex diffAc = sub(a, c);
                const Complex diffBd = rotate<false>(sub(bb, d));
                Complex y1 = sub(sumAc, sumBd);
                Complex y2 = add(diffAc, diffBd);
                Complex y3 = sub(diffAc, diffBd);
                if (length >= 8) {
                    const float* w = tw + 6 * j;
                    y2 = mul(y2, splat(w[0]), splat(w[1]));
                    y1 = mul(y1, splat(w[2]), splat(w[3]));
                    y3 = mul(y3, splat(w[4]), splat(w[5]));
                }
                put(dst, e, add(sumAc, sumBd));
                put(dst, e + s, y1);
                put(dst, e + 2 * s, y2);
                put(dst, e + 3 * s, y3);
            }
        }
    }

    // The inverse of radix4Forward (decimation in time, conjugate twiddles), times 4.
    template <class Sink>
    static void radix4Inverse(const float* src, Sink& dst, int p, int length, const float* tw) noexcept
    {
        const int s = length / 4;
        for (int b = 0; b < p; b += length) {
            for (int j = 0; j < s; ++j) {
                const int e = b + j;
                const Complex y0 = get(src, e);
                Complex t1 = get(src, e + s);
                Complex t2 = get(src, e + 2 * s);
                Complex t3 = get(src, e + 3 * s);
                if (length >= 8) {
                    const float* w = tw + 6 * j;
                    t2 = mulConj(t2, splat(w[0]), splat(w[1]));
                    t1 = mulConj(t1, splat(w[2]), splat(w[3]));
                    t3 = mulConj(t3, splat(w[4]), splat(w[5]));
                }
                const Complex sumAc = add(y0, t1);
                const Complex sumBd = sub(y0, t1);
                const Complex diffAc = add(t2, t3);
                const Complex diffBd = rotate<true>(sub(t2, t3));
                dst.put(e, 0, add(sumAc, diffAc));
                dst.put(e + s, 1, add(sumBd, diffBd));
                dst.put(e + 2 * s, 2, sub(sumAc, diffAc));
                dst.put(e + 3 * s, 3, sub(sumBd, diffBd));
            }
        }
    }

    // The last radix-2 stage (length 2, no twiddles), in place; its own inverse times 2.
    static void radix2(float* data, int p) noexcept
    {
        for (int e = 0; e < p; e += 2) {
            const Complex a = get(data, e);
            const Complex b = get(data, e + 1);
            put(data, e, add(a, b));
            put(data, e + 1, sub(a, b));
        }
    }

    static Complex laneTwiddle(const RealFft::VectorTables& t, int k) noexcept
    {
        return get(t.laneTwiddles, k);
    }

    // Per lane: P complex bins (bit-reversed) -> the real spectrum U[0 ... P], times the lane
    // twiddles, in place; the real U[P] goes to the column buffer.
    static void fold(const RealFft::VectorTables& t) noexcept
    {
        const int p = points(t);
        const std::int32_t* rev = t.reverse;
        const Complex z0 = get(t.work, 0);
        put(t.work, 0, {z0.re + z0.im, V{}});
        store(t.column, z0.re - z0.im);
        const V half = splat(0.5f);
        for (int k = 1; k <= p / 2; ++k) {
            const int ia = rev[k];
            const int ib = rev[p - k];
            const Complex a = get(t.work, ia);
            const Complex b = get(t.work, ib);
            const V tr = splat(t.foldTwiddles[2 * (k - 1)]);
            const V ti = splat(t.foldTwiddles[2 * (k - 1) + 1]);
            const V hr = half * (a.re + b.re);
            const V hi = half * (a.im - b.im);
            const V dr = a.re - b.re;
            const V di = a.im + b.im;
            const V alpha = tr * dr - ti * di;
            const V beta = tr * di + ti * dr;
            const Complex wk = laneTwiddle(t, k);
            const Complex wp = laneTwiddle(t, p - k);
            put(t.work, ib, mul({hr - alpha, beta - hi}, wp.re, wp.im));
            put(t.work, ia, mul({hr + alpha, hi + beta}, wk.re, wk.im));
        }
    }

    // The inverse of fold, times 2, in place.
    static void unfold(const RealFft::VectorTables& t) noexcept
    {
        const int p = points(t);
        const std::int32_t* rev = t.reverse;
        const V u0 = load(t.work);
        const V up = load(t.column);
        put(t.work, 0, {u0 + up, u0 - up});
        for (int k = 1; k <= p / 2; ++k) {
            const int ia = rev[k];
            const int ib = rev[p - k];
            const Complex wk = laneTwiddle(t, k);
            const Complex wp = laneTwiddle(t, p - k);
            const Complex uk = mulConj(get(t.work, ia), wk.re, wk.im);
            const Complex um = mulConj(get(t.work, ib), wp.re, wp.im);
            const float trf = t.foldTwiddles[2 * (k - 1)];
            const float tif = t.foldTwiddles[2 * (k - 1) + 1];
            const V xr = splat(trf + trf);
            const V yi = splat(tif + tif);
            const V sr = uk.re + um.re;
            const V si = uk.im - um.im;
            const V a2 = uk.re - um.re;
            const V b2 = uk.im + um.im;
            const V dr = xr * a2 + yi * b2;
            const V di = xr * b2 - yi * a2;
            put(t.work, ib, {sr - dr, di - si});
            put(t.work, ia, {sr + dr, si + di});
        }
    }

    // W-point DFT across the W vectors (natural order in and out); Inverse uses +i.
    template <bool Inverse>
    static void dft4(Complex* y) noexcept
    {
        const Complex a0 = add(y[0], y[2]);
        const Complex a1 = sub(y[0], y[2]);
        const Complex b0 = add(y[1], y[3]);
        const Complex b1 = rotate<Inverse>(sub(y[1], y[3]));
        y[0] = add(a0, b0);
        y[2] = sub(a0, b0);
        y[1] = add(a1, b1);
        y[3] = sub(a1, b1);
    }

    template <bool Inverse>
    static void dft(Complex* y) noexcept
    {
        if constexpr (W == 4) {
            dft4<Inverse>(y);
        } else {
            Complex e[4] = {y[0], y[2], y[4], y[6]};
            Complex o[4] = {y[1], y[3], y[5], y[7]};
            dft4<Inverse>(e);
            dft4<Inverse>(o);
            const V r = splat(0.70710678118654752f);
            const Complex o1 = o[1];
            const Complex o3 = o[3];
            if constexpr (Inverse) {
                o[1] = {r * (o1.re - o1.im), r * (o1.re + o1.im)};
                o[3] = {r * (-o3.re - o3.im), r * (o3.re - o3.im)};
            } else {
                o[1] = {r * (o1.re + o1.im), r * (o1.im - o1.re)};
                o[3] = {r * (o3.im - o3.re), r * (-o3.re - o3.im)};
            }
            o[2] = rotate<Inverse>(o[2]);
            for (int q = 0; q < 4; ++q) {
                y[q] = add(e[q], o[q]);
                y[q + 4] = sub(e[q], o[q]);
            }
        }
    }

    // Blocks of W bins: transpose to lanes = bins, DFT across the lane sequences, store.
    static void combineForward(const RealFft::VectorTables& t, float* f) noexcept
    {
        const int p = points(t);
        const int half = t.n / 2;
        for (int k0 = 0; k0 < p; k0 += W) {
            V re[W];
            V im[W];
            for (int j = 0; j < W; ++j) {
                const Complex v = get(t.work, t.reverse[k0 + j]);
                re[j] = v.re;
                im[j] = v.im;
            }
            transpose(re);
            transpose(im);
            Complex y[W];
            for (int r = 0; r < W; ++r) {
                y[r] = {re[r], im[r]};
            }
            dft<false>(y);
            // Bins below N/2 directly (the packed second member is the negated imaginary part).
            for (int q = 0; q < W / 2; ++q) {
                store(f + k0 + 2 * p * q, y[q].re);
                store(f + half + k0 + 2 * p * q, -y[q].im);
            }
            // Bins above N/2 as the conjugates of N - k, reversed. In the first block this
            // writes the Nyquist value over the DC imaginary slot stored above, and the
            // imaginary slot of the Nyquist bin (which does not exist) is left out.
            for (int q = W / 2; q < W; ++q) {
                const int b = 2 * p * (W - q) - k0 - (W - 1);
                store(f + b, reversed(y[q].re));
                if (k0 == 0 && q == W / 2) {
                    alignas(32) float edge[W];
                    store(edge, reversed(y[q].im));
                    for (int j = 0; j < W - 1; ++j) {
                        f[half + b + j] = edge[j];
                    }
                } else {
                    store(f + half + b, reversed(y[q].im));
                }
            }
        }
        // Bins at odd multiples of P: X[(2q + 1)P] = sum_r U_r[P] exp(-i*pi*r*(2q + 1)/W).
        for (int q = 0; q < W / 2; ++q) {
            const float* cs = t.columnTwiddles + 2 * W * q;
            float sumCos = 0.0f;
            float sumSin = 0.0f;
            for (int r = 0; r < W; ++r) {
                sumCos += t.column[r] * cs[r];
                sumSin += t.column[r] * cs[W + r];
            }
            f[(2 * q + 1) * p] = sumCos;
            f[half + (2 * q + 1) * p] = sumSin;
        }
    }

    // The inverse of combineForward, times W: packed spectrum (times the levels) -> lane spectra
    // in the work buffer.
    template <class Levels>
    static void combineInverse(const RealFft::VectorTables& t, const float* f, const Levels& levels) noexcept
    {
        const int p = points(t);
        const int half = t.n / 2;
        for (int k0 = 0; k0 < p; k0 += W) {
            Complex y[W];
            for (int q = 0; q < W / 2; ++q) {
                const int k = k0 + 2 * p * q;
                y[q] = {levels.apply(load(f + k), k, k), -levels.apply(load(f + half + k), half + k, k)};
            }
            // In the first block the DC imaginary slot read above is the Nyquist value; the block
            // of q = W/2 reads it again with its own level, and keeps it last.
            for (int q = W / 2; q < W; ++q) {
                const int b = 2 * p * (W - q) - k0 - (W - 1);
                const bool nyquist = k0 == 0 && q == W / 2;
                y[q] = {reversed(levels.apply(load(f + b), b, b)),
                        nyquist ? V{} : reversed(levels.apply(load(f + half + b), half + b, b))};
            }
            if (k0 == 0) {
                // DC and Nyquist have no imaginary part in the packing (f[N/2] is the Nyquist
                // value and f[N] does not exist): zero lane 0 of both.
                y[0].im = withoutFirstLane(y[0].im);
                y[W / 2].im = nyquistImaginary(levels.apply(load(f + t.n - W), t.n - W, half - W));
            }
            dft<true>(y);
            V re[W];
            V im[W];
            for (int r = 0; r < W; ++r) {
                re[r] = y[r].re;
                im[r] = y[r].im;
            }
            transpose(re);
            transpose(im);
            for (int j = 0; j < W; ++j) {
                put(t.work, t.reverse[k0 + j], {re[j], im[j]});
            }
        }
        // U_r[P] * W = sum over q < W/2 of 2 Re(X[(2q + 1)P] exp(+i*pi*r*(2q + 1)/W)).
        float re[W / 2];
        float im[W / 2];
        for (int q = 0; q < W / 2; ++q) {
            const int k = (2 * q + 1) * p;
            re[q] = levels.apply(f[k], k, k);
            im[q] = levels.apply(f[half + k], half + k, k);
        }
        for (int r = 0; r < W; ++r) {
            float sum = 0.0f;
            for (int q = 0; q < W / 2; ++q) {
                const float* cs = t.columnTwiddles + 2 * W * q;
                sum += re[q] * cs[r] + im[q] * cs[W + r];
            }
            t.column[r] = sum + sum;
        }
    }
};

// The entry points of one instantiation, as RealFft calls them.
template <class Instance>
RealFft::VectorEntryPoints entryPointsOf() noexcept
{
    return {Instance::forward,
            Instance::inverse,
            {Instance::template forwardWindowed<false>, Instance::template forwardWindowed<true>},
            {Instance::template inverseWindowed<false>, Instance::template inverseWindowed<true>},
            {{Instance::template inverseLeveledWindowed<false, false>, Instance::template inverseLeveledWindowed<true, false>},
             {Instance::template inverseLeveledWindowed<false, true>, Instance::template inverseLeveledWindowed<true, true>}}};
}

// The entry points for size n on the lanes of V (n >= 2 * W * W): the small sizes get an
// instantiation with P fixed, so that their loops unroll.
template <class V, class Isa>
RealFft::VectorEntryPoints entryPointsFor(int n) noexcept
{
    switch (n / (2 * static_cast<int>(sizeof(V) / sizeof(float)))) {
    case 4:
        return entryPointsOf<SimdRealFft<V, 4, Isa>>();
    case 8:
        return entryPointsOf<SimdRealFft<V, 8, Isa>>();
    case 16:
        return entryPointsOf<SimdRealFft<V, 16, Isa>>();
    default:
        return entryPointsOf<SimdRealFft<V, 0, Isa>>();
    }
}
