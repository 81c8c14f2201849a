// The displays take a canvas size and a zoom word from any white-listed browser and draw
// whatever the sound card delivered: any numbers and any samples (NaN, infinities, huge values)
// must give words within the canvas, never a crash.
//
// Input: a count byte n, then n float samples for the histories, then int32 numbers split into
// request groups by the value 0x7FFFFFFF; each group goes to the wave, its follower and the
// spectrum.
#include "audio/OldSamples.h"
#include "params/DisplayCanvas.h"
#include "params/PMpx.h"
#include "params/PWave.h"
#include "params/ParamTable.h"
#include "params/WidgetUpdate.h"
#include "platform/AlignedNew.h"
#include "platform/RealFft.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using kestrava::audio::OldSamples;

namespace {

using namespace kestrava::params;

struct Displays {
    ParamTable owner;
    std::shared_ptr<OldSamples> history = kestrava::makeAligned<OldSamples>(true);
    PWave wave{owner, 4, kestrava::INPUT_WAVE2, 17, history.get(), nullptr, 0.02f, true, true};
    PWave follower{owner, 4, kestrava::INPUT_WAVE_DETILTED, 17, history.get(), &wave, 0.02f, true, true};
    PMpx mpx{owner, 4, kestrava::OUTPUT_FM_MPX, history.get()};
    DisplayCanvas canvas;

    Displays() {
        kestrava::RealFft::prepare();
        owner.onWarning = [](std::string_view) {};
        history->storedRate.store(192000.0f);
        for (Param* p : std::initializer_list<Param*>{&wave, &follower, &mpx}) p->updateViewFlags();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Displays d;
    if (size == 0) return 0;
    const std::size_t samples = std::min<std::size_t>(data[0] * 64u, (size - 1) / sizeof(float));
    std::vector<float> block(samples);
    if (samples > 0) std::memcpy(block.data(), data + 1, samples * sizeof(float));
    // Repeated so that a short input still fills a trace window.
    for (int k = 0; k < 8 && samples > 0; ++k) d.history->append(block.data(), static_cast<std::int32_t>(samples));
    d.history->captureView(3);

    const std::uint8_t* rest = data + 1 + samples * sizeof(float);
    const std::size_t count = (size - 1 - samples * sizeof(float)) / sizeof(std::int32_t);
    std::vector<std::int32_t> numbers(count);
    if (count > 0) std::memcpy(numbers.data(), rest, count * sizeof(std::int32_t));
    std::size_t start = 0;
    for (std::size_t i = 0; i <= numbers.size(); ++i) {
        if (i < numbers.size() && numbers[i] != 0x7FFFFFFF) continue;
        for (Param* p : std::initializer_list<Param*>{&d.wave, &d.follower, &d.mpx}) {
            std::vector<std::int32_t> group{static_cast<std::int32_t>(p->id()) | (1 << 16)};
            group.insert(group.end(), numbers.begin() + static_cast<std::ptrdiff_t>(start),
                         numbers.begin() + static_cast<std::ptrdiff_t>(i));
            WordWriter out;
            p->pollGraph(3, 0);
            applyWidgetUpdate(*p, RequestContext{3, &d.canvas}, group, out);
        }
        start = i + 1;
    }
    return 0;
}
