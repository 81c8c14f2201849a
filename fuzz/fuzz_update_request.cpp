// "/update" request groups come from any browser on the white list: whatever numbers a group
// holds, every parameter class must refuse or apply them and write its words, never crash.
#include "params/LMEnumList.h"
#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PCorvixKoekError.h"
#include "params/PEnum.h"
#include "params/PFloatDb.h"
#include "params/PInt.h"
#include "params/PListManager.h"
#include "params/PPopup.h"
#include "params/PString.h"
#include "params/PSubLevel.h"
#include "params/ParamTable.h"
#include "params/WidgetUpdate.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace kestrava::params;
using kestrava::ParamId;

struct Samples {
    ParamTable owner;
    ButtonFunction action{[](int) {}};
    std::vector<std::unique_ptr<Param>> params;

    Samples() {
        owner.onWarning = [](std::string_view) {};
        const ShortKey k("F");
        const NamePair n("F");
        auto id = [this] { return static_cast<ParamId>(params.size() + 1); };
        params.push_back(std::make_unique<PBool>(owner, 4, id(), false, 1, k, n, n, "b"));
        params.push_back(std::make_unique<PEnum>(owner, 4, id(), &bitRateList(), true, 4096, 320, k, n, n, "e"));
        params.push_back(std::make_unique<PEnum>(owner, 4, id(), &bitRateList(), false, 4096, 320, k, n, n, "e"));
        params.push_back(std::make_unique<PInt>(owner, 4, id(), 6, 0, 255, 4096, 3, k, n, n, "i", "%d packets"));
        params.push_back(std::make_unique<PInt>(owner, 4, id(), 6, -5, 5, 10, 0, k, n, n, "i", "%d"));
        params.push_back(std::make_unique<PDec>(owner, 4, id(), 5, 8854, k, n, n, "p", "%d"));
        PListManager::RowOperations rows{[](std::int64_t r) { check(r, 100); },
                                         [](std::int64_t a, std::int64_t b) { check(a, 100); check(b, 100); },
                                         [](std::int64_t r, bool) { check(r, 100); }};
        params.push_back(std::make_unique<PListManager>(owner, 4, id(), 1, 1, 100, 1000, 3, k, n, n, "l", rows));
        params.push_back(std::make_unique<PButton>(owner, 4, id(), &action, "x"));
        params.push_back(std::make_unique<PFloat>(owner, 4, id(), 1, 0.0f, 5.0f, 3600.0f, 1.0f, 1, 1.0f, k, n, n, "f",
                                                  "%.1f sec", 1.0f));
        params.push_back(std::make_unique<PFloat>(owner, 4, id(), 1, -1.0f, 1.0f, 10.0f, 0.0f, 0x12000002, 20.0f, k,
                                                  n, n, "f", "+%.2f$ s", 1.0f));
        params.push_back(std::make_unique<PFloatDb>(owner, 4, id(), 1.0f, 40.0f, 100.0f, 1.0f, 2, 1.0f, k, n, n, "g",
                                                    "%+.2f dB (%.1f%%)", 100.0f, 1.0f, 39.810719f));
        params.push_back(std::make_unique<PTilt>(owner, 4, id(), -5.0f, 5.0f, 50.0f, 5.0f, 6, 1.0f, k, n, n, "t",
                                                 "%s", 1.0f));
        auto user = std::make_unique<PString>(owner, 4, id(), 64, "Admin", k, n, n, "u", "%s");
        PString* userPtr = user.get();
        params.push_back(std::move(user));
        auto pass = std::make_unique<PString>(owner, 4, id(), 64, "", k, n, n, "p", "%s");
        pass->setPasswordMode(userPtr);
        params.push_back(std::move(pass));
        params.push_back(createDisplayText(owner, 4, id(), 128, "", "d", "%s"));
        params.push_back(std::make_unique<PCorvixKoekError>(owner, 4, id(), ""));
        params.push_back(std::make_unique<PSubLevel>(owner, 4, id(), 1, std::nullopt, n, "s"));
        params.push_back(std::make_unique<PQuestion>(owner, 4, id(), 30, "q", "Really?", 40,
                                                     std::vector<PQuestion::Answer>{{1, "Yes", ButtonFunction{}}}));
        for (auto& p : params) {
            owner.registerParam(*p);
            p->updateTextWidth();
            p->updateViewFlags();
        }
    }
    static void check(std::int64_t row, std::int64_t rows) {
        if (row < 0 || row >= rows) __builtin_trap();
    }
};

}  // namespace

// Input: a view byte, then groups of little-endian int32 numbers; a group's first number picks
// the parameter (low 16 bits, modulo the sample count) and its length (bits 20..27).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Samples samples;
    if (size < 1) return 0;
    const int view = data[0] % 32;
    std::vector<std::int32_t> numbers((size - 1) / 4);
    if (!numbers.empty()) std::memcpy(numbers.data(), data + 1, numbers.size() * 4);
    WordWriter out;
    std::size_t i = 0;
    while (i < numbers.size()) {
        const auto first = static_cast<std::uint32_t>(numbers[i]);
        const std::size_t length = std::min<std::size_t>(1 + ((first >> 20) & 0xff), numbers.size() - i);
        Param& p = *samples.params[(first & 0xffff) % samples.params.size()];
        std::vector<std::int32_t> group(numbers.begin() + static_cast<std::ptrdiff_t>(i),
                                        numbers.begin() + static_cast<std::ptrdiff_t>(i + length));
        group[0] = static_cast<std::int32_t>((first & 0xfff00000u) >> 20 << 16) | p.id();
        applyWidgetUpdate(p, RequestContext{view}, group, out);
        i += length;
    }
    return 0;
}
