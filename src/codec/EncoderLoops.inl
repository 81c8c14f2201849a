// The per-sample coders of EncoderKernels. Included twice, inside an unnamed namespace, by
// EncoderKernels.cpp (generic) and x86/encoder_kernels_avx2.cpp (-mavx2): every helper here has
// internal linkage, so neither build can end up calling the other's copy. Every operation is
// written out in the order the coded stream defines; nothing may be reassociated or fused.
// The including file includes codec/EncoderKernels.h, codec/LevinsonSteps.h, <array>, <cmath>,
// <cstdint> and <utility> first.

template <class T>
inline T larger(T a, T b) { return a > b ? a : b; }

// Nearest integer, halves away from zero, for a residual in steps. NaN gives 0; beyond the 32-bit
// range the value saturates at +-2147483647, so its magnitude is always representable.
inline std::int32_t roundResidual(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483647.0) return -2147483647;
    std::int64_t i = static_cast<std::int64_t>(v);  // truncates; |v| < 2^31 here
    const double fraction = v - static_cast<double>(i);  // exact
    if (fraction >= 0.5) {
        ++i;
    } else if (fraction <= -0.5) {
        --i;
    }
    if (i > 2147483647) i = 2147483647;
    if (i < -2147483647) i = -2147483647;
    return static_cast<std::int32_t>(i);
}

inline std::uint32_t magnitude(std::int32_t q) { return static_cast<std::uint32_t>(q < 0 ? -q : q); }

// The nearest level of a class: top level at or beyond it, the linear part itself, else bisection
// with the upper level on a tie. a is compared as T.
template <class T>
inline std::uint32_t levelIndex(const kestrava::codec::LevelClass<T>& c, std::uint32_t a) {
    const T value = static_cast<T>(a);
    if (value >= c.levels[c.levelCount - 1]) return c.levelCount - 1;
    if (a <= c.linearLimit) return a;
    std::uint32_t lo = c.linearLimit;
    std::uint32_t hi = c.levelCount - 1;
    while (hi - lo > 1) {
        const std::uint32_t mid = lo + (hi - lo) / 2;
        if (c.levels[mid] >= value) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    return c.levels[hi] - value > value - c.levels[lo] ? lo : hi;
}

// Clamp to +-limit; a NaN becomes -limit.
template <class T>
inline T clampPrediction(T s, T limit) {
    const T m = limit < s ? limit : s;
    return m > -limit ? m : -limit;
}

// The float generation's guard against a runaway prediction: beyond +-3 it is replaced by the
// extrapolation of the last two predictions, limited in size to the last one and zero when it
// changes sign. lastPrediction and priorPrediction move on every sample.
inline float guardPrediction(float p, float limit, kestrava::codec::ChannelHistory<float>& h) {
    if (std::fabs(p) > 3.0f) {
        const float last = h.lastPrediction;
        const float g = (last - h.priorPrediction) + last;
        if (last * g < 0.0f) {
            p = 0.0f;
        } else if (std::fabs(g) > std::fabs(last)) {
            p = last;
        } else {
            p = g;
        }
    }
    // A prediction that is not a number stays one, as max(min(p, limit), -limit) leaves it: its
    // block is then not finite and never sent, so no decoder depends on how it would bound it.
    if (p == p) p = clampPrediction(p, limit);
    h.priorPrediction = h.lastPrediction;
    h.lastPrediction = p;
    return p;
}

float codeMainDouble(kestrava::codec::BackwardLpc16& lpc, kestrava::codec::ChannelHistory<double>& h, kestrava::codec::ChannelRateState<double>& rate,
                     const kestrava::codec::Quantizer<double, 1>& quantizer, const float* x, std::uint32_t n, std::int32_t* codes,
                     double* steps, float* reconstruction, const kestrava::codec::CodecKernels& core) {
    const kestrava::codec::LevelClass<double>& table = quantizer.levelClasses[rate.levelClass];
    float energy = 0.0f;
    for (std::uint32_t i = 0; i < n; ++i) {
        lpc.update(h, core);
        const std::uint32_t w = h.writePos;
        double s = 0.0;
        for (std::uint32_t k = 1; k <= 15; ++k) s = s + lpc.coefTable[15][k] * h.samples[(w - k) & 127u];
        const double p = clampPrediction(s, lpc.predictionLimit);
        const double d = std::sqrt(rate.power) * rate.stepFactor;
        const double step = d > quantizer.minStep ? d : quantizer.minStep;
        steps[i] = step;
        const std::int32_t q = roundResidual((static_cast<double>(x[i]) - p) / step);
        const std::uint32_t j = levelIndex(table, magnitude(q));
        const std::int32_t code = q >= 0 ? static_cast<std::int32_t>(j) : -static_cast<std::int32_t>(j);
        codes[i] = code;
        double level;
        if (j <= table.linearLimit) {
            level = static_cast<double>(code);
        } else {
            level = code < 0 ? -table.levels[j] : table.levels[j];
            const double below = static_cast<double>(static_cast<float>(table.levels[j - 1]));
            steps[i] = (table.levels[j] - below) * step;
        }
        const double r = level * step;
        const double y = p + r;
        rate.power = (0.1 * r) * r + rate.power * 0.9;
        h.samples[w] = y;
        if (reconstruction != nullptr) reconstruction[i] = static_cast<float>(y);
        h.writePos = (w + 1) & 127u;
        h.fillCount += 1;
        energy = static_cast<float>(static_cast<double>(energy) + y * y);
    }
    return energy;
}

std::uint32_t codeThirdDouble(kestrava::codec::BackwardLpc5& lpc, kestrava::codec::ChannelHistory<double>& h, const kestrava::codec::LevelClass<double>& table,
                              const float* x, std::uint32_t n, const double* steps0, const double* steps1,
                              std::int32_t* codes, float* reconstruction, const kestrava::codec::CodecKernels& core) {
    std::uint32_t silent = 1;
    for (std::uint32_t i = 0; i < n; ++i) {
        lpc.update(h, core);
        const std::uint32_t w = h.writePos;
        double s = 0.0;
        for (std::uint32_t k = 1; k <= 5; ++k) s = s + lpc.coefTable[5][k] * h.samples[(w - k) & 63u];
        const double step = larger(larger(steps0[i], steps1[i]) / 1.414199948310852, 0.02);
        const double p = clampPrediction(s, lpc.predictionLimit);
        const std::int32_t q = roundResidual((static_cast<double>(x[i]) - p) / step);
        const std::uint32_t j = levelIndex(table, magnitude(q));
        const std::int32_t code = q >= 0 ? static_cast<std::int32_t>(j) : -static_cast<std::int32_t>(j);
        codes[i] = code;
        if (code != 0) silent = 0;
        double level;
        if (j <= table.linearLimit) {
            level = static_cast<double>(code);
        } else {
            level = code < 0 ? -table.levels[j] : table.levels[j];
        }
        h.samples[w] = p + level * step;
        if (reconstruction != nullptr) reconstruction[i] = static_cast<float>(h.samples[w]);
        h.writePos = (w + 1) & 63u;
        h.fillCount += 1;
    }
    return silent;
}

float codeMainFloat(kestrava::codec::BackwardLpc11& lpc, kestrava::codec::ChannelHistory<float>& h, kestrava::codec::ChannelRateState<float>& rate,
                    const kestrava::codec::Quantizer<float, 1>& quantizer, const float* x, std::uint32_t n, std::int32_t* codes,
                    float* steps, float* reconstruction, const kestrava::codec::CodecKernels& core) {
    const kestrava::codec::LevelClass<float>& table = quantizer.levelClasses[rate.levelClass];
    float energy = 0.0f;
    for (std::uint32_t i = 0; i < n; ++i) {
        lpc.update(h, core);
        const std::uint32_t w = h.writePos;
        float s = 0.0f;
        for (std::uint32_t k = 1; k <= 11; ++k) s = s + lpc.coefTable[11][k] * h.samples[(w + 320u - k) % 320u];
        const float p = guardPrediction(s, lpc.predictionLimit, h);
        const float d = std::sqrt(rate.power) * rate.stepFactor;
        const float step = d > quantizer.minStep ? d : quantizer.minStep;
        steps[i] = step;
        const std::int32_t q = roundResidual(static_cast<double>((x[i] - p) / step));
        const std::uint32_t j = levelIndex(table, magnitude(q));
        const std::int32_t code = q >= 0 ? static_cast<std::int32_t>(j) : -static_cast<std::int32_t>(j);
        codes[i] = code;
        float level;
        if (j <= table.linearLimit) {
            level = static_cast<float>(code);
        } else {
            level = code < 0 ? -table.levels[j] : table.levels[j];
            steps[i] = (table.levels[j] - table.levels[j - 1]) * step;
        }
        const float e = level * step;
        const float r = p + e;
        rate.power = (0.03f * e) * e + rate.power * 0.97f;
        h.samples[w] = r;
        if (reconstruction != nullptr) reconstruction[i] = r;
        energy = energy + r * r;
        h.writePos = w >= 319u ? 0u : w + 1;
        h.fillCount += 1;
    }
    return energy;
}

std::uint32_t codeThirdFloat(kestrava::codec::BackwardLpc3& lpc, kestrava::codec::ChannelHistory<float>& h, const kestrava::codec::LevelClass<float>& table,
                             const float* x, std::uint32_t n, const float* steps0, const float* steps1,
                             std::int32_t* codes, float* reconstruction, const kestrava::codec::CodecKernels& core) {
    std::uint32_t silent = 1;
    for (std::uint32_t i = 0; i < n; ++i) {
        lpc.update(h, core);
        const std::uint32_t w = h.writePos;
        float s = 0.0f;
        for (std::uint32_t k = 1; k <= 3; ++k) s = s + lpc.coefTable[3][k] * h.samples[(w - k) & 31u];
        const float p = guardPrediction(s, lpc.predictionLimit, h);
        const float step = larger(larger(steps0[i], steps1[i]) / 1.4142f, 0.02f);
        const std::int32_t q = roundResidual(static_cast<double>((x[i] - p) / step));
        const std::uint32_t j = levelIndex(table, magnitude(q));
        const std::int32_t code = q >= 0 ? static_cast<std::int32_t>(j) : -static_cast<std::int32_t>(j);
        codes[i] = code;
        if (code != 0) silent = 0;
        float level;
        if (j <= table.linearLimit) {
            level = static_cast<float>(code);
        } else {
            level = code < 0 ? -table.levels[j] : table.levels[j];
        }
        h.samples[w] = p + level * step;
        if (reconstruction != nullptr) reconstruction[i] = h.samples[w];
        h.writePos = (w + 1) & 31u;
        h.fillCount += 1;
    }
    return silent;
}

// The legacy predictor of one sample: window the ring oldest first, autocorrelate, run the
// Levinson-Durbin recursion over all orders and predict with the order of least error (the lowest
// on a tie), limited to +-1.5. K channels run in lock step: each channel's recursion is one serial
// chain of divisions, and two chains side by side keep the core busy while each waits.
template <int N, int K>
struct LegacyBatch {
    std::array<LegacyLpc<N>*, K> lpc;
    std::array<const double*, K> ring;
    std::array<std::uint32_t, K> w;
    std::array<std::array<double, N>, K> r;
    std::array<double, K> bestError;
    std::array<int, K> best;
};

template <int N>
using LegacyRow = kestrava::codec::levinson_steps::Row<double, N>;

// Orders M..N-1 from the order-(M-1) rows; row m goes to coefTable[m], the order of least error
// (the first on a tie) to best.
template <int M, int N, int K, std::size_t... C>
inline void legacyLevinson(const std::array<LegacyRow<N>, K>& prev, const std::array<double, K>& error,
                           LegacyBatch<N, K>& b, std::index_sequence<C...> channels) {
    namespace steps = kestrava::codec::levinson_steps;
    const std::array<double, K> g{
        ((b.r[C][M] - steps::backwardDot<M>(prev[C], b.r[C].data())) / (error[C] + 2.2250738585072014e-308))...};
    const std::array<LegacyRow<N>, K> rows{steps::reflect<M>(prev[C], g[C])...};
    (steps::storeRow<M>(rows[C], b.lpc[C]->coefTable[M]), ...);
    const std::array<double, K> next{((1.0 - g[C] * g[C]) * error[C])...};
    ((next[C] < b.bestError[C] ? (b.bestError[C] = next[C], b.best[C] = M) : 0), ...);
    if constexpr (M < N - 1) legacyLevinson<M + 1, N, K>(rows, next, b, channels);
}

template <int N, int K>
inline void legacyAutocorrelation(LegacyBatch<N, K>& b, int c) {
    double* f = b.lpc[c]->analysisFrame;
    for (std::uint32_t i = 0; i < N; ++i) f[i] = b.ring[c][(b.w[c] + i) % N];
    b.lpc[c]->window.apply(f);
    std::array<double, N>& r = b.r[c];
    for (int m = 0; m < N; ++m) {
        double sum = 0.0;
        for (int i = 0; i + m < N; ++i) sum = sum + f[i] * f[i + m];
        r[m] = sum;
    }
    for (int m = 0; m < N; ++m) r[m] = r[m] * b.lpc[c]->window.invLength;
    b.bestError[c] = r[0];
    b.best[c] = 0;
}

template <int N, int K>
inline double legacyPredictionOf(const LegacyBatch<N, K>& b, int c) {
    const int order = b.best[c];
    const double* a = b.lpc[c]->coefTable[order];
    const double* ring = b.ring[c];
    const std::uint32_t w = b.w[c];
    double p = 0.0;
    for (int i = 1; i <= order; ++i) p = p + a[i] * ring[(w + N - i) % N];
    return clampPrediction(p, 1.5);
}

template <int N, int K>
inline void legacyPredict(LegacyBatch<N, K>& b, double* p) {
    for (int c = 0; c < K; ++c) legacyAutocorrelation(b, c);
    std::array<double, K> error;
    for (int c = 0; c < K; ++c) error[c] = b.r[c][0];
    legacyLevinson<1, N, K>(std::array<LegacyRow<N>, K>{}, error, b, std::make_index_sequence<K>{});
    for (int c = 0; c < K; ++c) p[c] = legacyPredictionOf(b, c);
}

template <int N>
inline double legacyPrediction(LegacyLpc<N>& lpc, const double* ring, std::uint32_t w) {
    LegacyBatch<N, 1> b;
    b.lpc[0] = &lpc;
    b.ring[0] = ring;
    b.w[0] = w;
    double p;
    legacyPredict(b, &p);
    return p;
}

// The nearest valid legacy level: the first m with a <= levels[m + 1], then the nearer of the two
// (the upper on a tie); levelCount - 1 beyond the last valid level. Never reads past levelCount.
inline std::int32_t legacyCode(const kestrava::codec::LegacyQuantizer<1>& quantizer, std::int32_t levelCount, std::int32_t q) {
    const double* levels = quantizer.levels;
    const double a = static_cast<double>(magnitude(q));
    std::int32_t index = levelCount - 1;
    for (std::int32_t m = 0; m + 1 < levelCount; ++m) {
        if (a <= levels[m + 1]) {
            index = a - levels[m] >= levels[m + 1] - a ? m + 1 : m;
            break;
        }
    }
    if (index < 0) index = 0;
    return q < 0 ? -index : index;
}

inline double legacyLevel(const kestrava::codec::LegacyQuantizer<1>& quantizer, std::int32_t code) {
    return code < 0 ? -quantizer.levels[-code] : quantizer.levels[code];
}

// Codes n samples of K main channels in lock step. Channel 0's squared reconstructions continue
// `energy` in sample order; a second channel's are added after all of the first's, from `later`
// (room for n values), as when the channels are coded one after the other.
template <int K>
inline float codeMainLegacyChannels(const LegacyMainChannel* ch, double scale, std::uint32_t n, double* later,
                                    float energy) {
    LegacyBatch<16, K> b;
    for (int c = 0; c < K; ++c) b.lpc[c] = ch[c].lpc;
    for (std::uint32_t i = 0; i < n; ++i) {
        for (int c = 0; c < K; ++c) {
            b.ring[c] = ch[c].history->samples;
            b.w[c] = ch[c].history->writePos;
        }
        double predictions[K];
        legacyPredict(b, predictions);
        for (int c = 0; c < K; ++c) {
            const LegacyMainChannel& m = ch[c];
            ChannelRateState<double>& rate = *m.rate;
            ChannelHistory<double>& h = *m.history;
            const LegacyQuantizer<1>& quantizer = *m.quantizer;
            const std::uint32_t w = h.writePos;
            const double p = predictions[c];
            double step = (rate.stepFactor * std::sqrt(rate.power)) / scale;
            if (step < quantizer.minStep) step = quantizer.minStep;
            const std::int32_t q = roundResidual((static_cast<double>(m.x[i]) - p) / step);
            const std::int32_t code = legacyCode(quantizer, rate.levelCount, q);
            const double r = legacyLevel(quantizer, code) * step;
            rate.power = (quantizer.newPowerWeight * r) * r + quantizer.oldPowerWeight * rate.power;
            const double y = p + r;
            m.codes[i] = code;
            m.steps[i] = step;
            h.samples[w] = y;
            if (m.reconstruction != nullptr) m.reconstruction[i] = static_cast<float>(y);
            h.writePos = (w + 1) & 15u;
            if (c == 0) {
                energy = static_cast<float>(static_cast<double>(energy) + y * y);
            } else {
                later[i] = y;
            }
        }
    }
    if constexpr (K == 2) {
        for (std::uint32_t i = 0; i < n; ++i) energy = static_cast<float>(static_cast<double>(energy) + later[i] * later[i]);
    }
    return energy;
}

float codeMainLegacy(LegacyLpc<16>& lpc, ChannelHistory<double>& h, ChannelRateState<double>& rate,
                     const LegacyQuantizer<1>& quantizer, double scale, const float* x, std::uint32_t n,
                     std::int32_t* codes, double* steps, float* reconstruction, float energy) {
    const LegacyMainChannel channel{&lpc, &h, &rate, &quantizer, x, codes, steps, reconstruction};
    return codeMainLegacyChannels<1>(&channel, scale, n, nullptr, energy);
}

float codeMainLegacyPair(const LegacyMainChannel* channels, double scale, std::uint32_t n, double* later,
                         float energy) {
    return codeMainLegacyChannels<2>(channels, scale, n, later, energy);
}

std::uint32_t codeThirdLegacy(kestrava::codec::LegacyLpc<6>& lpc, kestrava::codec::ChannelHistory<double>& h, std::int32_t levelCount,
                              const kestrava::codec::LegacyQuantizer<1>& quantizer, const float* x, std::uint32_t n,
                              const double* steps0, const double* steps1, std::int32_t* codes,
                              float* reconstruction) {
    std::uint32_t silent = 1;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t w = h.writePos;
        const double p = legacyPrediction(lpc, h.samples, w);
        double step = larger(steps0[i], steps1[i]) / 1.41419994831085205078125;
        if (step < 0.02) step = 0.02;
        const std::int32_t q = roundResidual((static_cast<double>(x[i]) - p) / step);
        const std::int32_t code = legacyCode(quantizer, levelCount, q);
        codes[i] = code;
        if (code != 0) silent = 0;
        h.samples[w] = p + legacyLevel(quantizer, code) * step;
        if (reconstruction != nullptr) reconstruction[i] = static_cast<float>(h.samples[w]);
        h.writePos = (w + 1) % 6u;
    }
    return silent;
}
