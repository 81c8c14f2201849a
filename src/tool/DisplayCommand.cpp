// kestrava-tool display wave|mpx|meters --rate HZ [--width N] [--height N] < composite.f32:
// runs one redraw of a display over a composite signal (float32, full scale 1.0) and prints
// a summary line, then the column words (wave, mpx) or one line per meter, for checking by hand.
#include "tool/Commands.h"

#include "audio/OldSamples.h"
#include "params/DisplayCanvas.h"
#include "params/LevelHistory.h"
#include "params/PMeter.h"
#include "params/PMpx.h"
#include "params/PWave.h"
#include "params/ParamTable.h"
#include "params/WidgetUpdate.h"
#include "platform/AlignedNew.h"
#include "platform/RealFft.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

using kestrava::audio::OldSamples;

namespace {

using namespace kestrava::params;

constexpr int view = 3;
constexpr std::size_t blockSamples = 1024;

int usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "usage: kestrava-tool display wave|mpx|meters --rate HZ [--width N] [--height N] < composite.f32\n"
                 "  HZ: whole samples per second, 1000..768000 (required)\n"
                 "  N: canvas width 1..2048 (default 256; the spectrum keeps at most 1024) and height\n"
                 "     1..2047 (default 100; the spectrum keeps at most 1023)\n"
                 "  wave: the input waveform display (0.025 s); mpx: the input spectrum (8192 samples);\n"
                 "  meters: peak, RMS and 19 kHz pilot level of 20 ms windows, as level meters\n");
    return out == stdout ? 0 : 2;
}

int fail(const char* reason) {
    std::fprintf(stderr, "kestrava-tool display: %s\n", reason);
    return usage();
}

bool parseWhole(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= low && value <= high;
}

// Reads standard input in blocks; `take` gets each block.
template <typename F>
std::size_t readSamples(F take) {
    std::vector<float> block(blockSamples);
    std::size_t total = 0;
    for (;;) {
        const std::size_t n = std::fread(block.data(), sizeof(float), block.size(), stdin);
        if (n == 0) break;
        take(block.data(), n);
        total += n;
    }
    return total;
}

// One forced "/update" group for the display, returning the words after the six header words.
std::vector<std::uint16_t> redraw(Param& p, DisplayCanvas& canvas, int width, int height) {
    WordWriter out;
    const std::vector<std::int32_t> group{static_cast<std::int32_t>(p.id()) | (1 << 16), width, height};
    applyWidgetUpdate(p, RequestContext{view, &canvas}, group, out);
    if (out.size() < 6) return {};
    return std::vector<std::uint16_t>(out.data().begin() + 6, out.data().end());
}

// Prints one line per column of six band words, from word `at`, and returns the column whose
// topmost lit row is highest.
int printColumns(const std::vector<std::uint16_t>& words, std::size_t at, int first, int stride) {
    int peak = -1, peakRow = 1 << 30;
    for (int c = first; at + 6 <= words.size(); ++c, at += static_cast<std::size_t>(stride)) {
        std::printf("%4d", c);
        for (int k = 0; k < 6; ++k) std::printf(" %5u", static_cast<unsigned>(words[at + static_cast<std::size_t>(k)]));
        std::printf("\n");
        const int top = std::min({words[at], words[at + 1], words[at + 2]});
        if (top < peakRow) peakRow = top, peak = c;
    }
    return peak;
}

int runWave(float rate, int width, int height) {
    ParamTable owner;
    auto history = kestrava::makeAligned<OldSamples>(true);
    if (!history) return fail("out of memory");
    history->storedRate.store(rate);
    PWave wave(owner, 4, kestrava::OUTPUT_FM_WAVE, 17, history.get(), nullptr, 0.025f, true, false);
    wave.updateViewFlags();
    const std::int32_t n = wave.getScaledLevel();
    wave.reserveHistory(view, 0.0f, n);
    history->append(nullptr, 0);  // swaps the larger ring in before any sample arrives
    history->captureView(view);
    readSamples([&](const float* s, std::size_t count) { history->append(s, static_cast<std::int32_t>(count)); });
    history->captureView(view);

    DisplayCanvas canvas;
    const auto words = redraw(wave, canvas, width, height);
    if (words.size() < 7) return fail("nothing to draw (no samples, or the canvas is empty)");
    std::vector<float> window(static_cast<std::size_t>(std::max(n, 1)));
    wave.fetchWindow(view, window.data(), n, 0);
    float peak = 0.0f;
    for (float s : window) peak = std::max(peak, std::fabs(s) / 32768.0f);
    const int start = words[4];
    std::printf("wave: span %.4f s (%d samples), level %.3f (%.2f dB), %u x %u canvas, columns %d..%u\n",
                static_cast<double>(wave.current()), n, static_cast<double>(peak),
                20.0 * std::log10(std::max(static_cast<double>(peak), 1e-10)), words[0], words[1], start,
                words[0] - 1u);
    printColumns(words, 7, start, 8);
    return 0;
}

int runMpx(float rate, int width, int height) {
    if (!kestrava::RealFft::prepare()) return fail("the FFT plans could not be made");
    ParamTable owner;
    auto history = kestrava::makeAligned<OldSamples>(false);
    if (!history) return fail("out of memory");
    history->storedRate.store(rate);
    PMpx mpx(owner, 4, kestrava::OUTPUT_FM_MPX, history.get());
    mpx.updateViewFlags();
    readSamples([&](const float* s, std::size_t count) { history->append(s, static_cast<std::int32_t>(count)); });
    history->captureView(view);

    DisplayCanvas canvas;
    const auto words = redraw(mpx, canvas, width, height);
    if (words.size() < 2 || words[0] == 0) return fail("nothing to draw (the canvas is empty)");
    const int columns = words[0];
    const std::int32_t bins = PMpx::binsBelow(8192, rate, 1, mpx.maxFrequency());
    std::printf("mpx: %d bins below %d Hz over %d columns, %u rows\n", bins, mpx.maxFrequency(), columns, words[1]);
    const int peak = printColumns(words, 2, 0, 6);
    // Column c shows bin c x bins / (columns - 1).
    const double hz = columns > 1 ? peak * static_cast<double>(bins) / (columns - 1) * rate / 8192.0 : 0.0;
    std::printf("peak column %d (%.0f Hz)\n", peak, hz);
    return 0;
}

int runMeters(float rate) {
    constexpr double interval = 0.02;
    const auto window = static_cast<std::size_t>(std::max(1.0, std::round(rate * interval)));
    LevelHistory peakLevels, rmsLevels, pilotLevels;
    for (LevelHistory* h : {&peakLevels, &rmsLevels, &pilotLevels}) h->setInterval(static_cast<float>(interval));

    // Per window: the sample peak, the RMS, and the 19 kHz amplitude (twice the magnitude of the
    // mean of the signal times the pilot's complex exponential).
    std::size_t inWindow = 0;
    long index = 0;
    double peak = 0, energy = 0, re = 0, im = 0;
    const double w = 2.0 * std::numbers::pi * 19000.0 / rate;
    readSamples([&](const float* s, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i, ++index) {
            const double x = s[i];
            peak = std::max(peak, std::fabs(x));
            energy += x * x;
            re += x * std::cos(w * static_cast<double>(index));
            im -= x * std::sin(w * static_cast<double>(index));
            if (++inWindow == window) {
                const auto n = static_cast<double>(window);
                peakLevels.push(static_cast<float>(peak), -1, -1, -1);
                rmsLevels.push(static_cast<float>(std::sqrt(energy / n)), -1, -1, -1);
                pilotLevels.push(static_cast<float>(2.0 * std::hypot(re, im) / n), -1, -1, -1);
                inWindow = 0;
                peak = energy = re = im = 0;
            }
        }
    });
    if (peakLevels.writeIndex() == 0) return fail("fewer samples than one 20 ms window");

    ParamTable owner;
    struct Row {
        const char* name;
        LevelHistory* history;
    };
    const Row rows[] = {{"peak", &peakLevels}, {"rms", &rmsLevels}, {"pilot", &pilotLevels}};
    std::printf("meters: %d windows of 20 ms, maxima\n", peakLevels.writeIndex());
    for (const Row& r : rows) {
        PMeter::Options o;
        o.color = 0;
        PMeter meter(owner, 4, kestrava::ID_NONE, r.name, r.history, o);
        meter.updateViewFlags();
        meter.refresh(view, 0.0f);
        const MeterValues v = meter.getMeterClientValues(view);
        WordWriter out;
        WidgetContext widget;
        widget.effectiveView = view;
        widget.force = true;
        meter.writeWireState(RequestContext{view}, widget, out);
        std::printf("%-6s level %.4f (%.1f %%), words", r.name, static_cast<double>(v.main), 100.0 * v.main);
        for (std::uint16_t word : out.data()) std::printf(" 0x%04X", static_cast<unsigned>(word));
        std::printf("\n");
    }
    return 0;
}

}  // namespace

int runDisplayCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) return usage(stdout);
    if (argc < 1) return fail("which display: wave, mpx or meters");
    const std::string which = argv[0];
    if (which != "wave" && which != "mpx" && which != "meters") return fail("the display is wave, mpx or meters");
    long rate = 0, width = 256, height = 100;
    if ((argc - 1) % 2 != 0) return fail("every option takes a value");
    for (int i = 1; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--rate") == 0) {
            if (!parseWhole(argv[i + 1], 1000, 768000, rate)) return fail("--rate must be a whole number 1000..768000");
        } else if (std::strcmp(argv[i], "--width") == 0) {
            if (!parseWhole(argv[i + 1], 1, PWave::maxWidth, width)) return fail("--width must be 1..2048");
        } else if (std::strcmp(argv[i], "--height") == 0) {
            if (!parseWhole(argv[i + 1], 1, PWave::maxHeight, height)) return fail("--height must be 1..2047");
        } else {
            return fail("unknown option");
        }
    }
    if (rate == 0) return fail("--rate is required");
    const auto hz = static_cast<float>(rate);
    if (which == "wave") return runWave(hz, static_cast<int>(width), static_cast<int>(height));
    if (which == "mpx") return runMpx(hz, static_cast<int>(width), static_cast<int>(height));
    return runMeters(hz);
}
