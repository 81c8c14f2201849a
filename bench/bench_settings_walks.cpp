// The walks over the encoder's 955 settings rows. The enabled-state walk runs before every
// "/update" and "/json" request of every client, so it must stay well under 1 ms and allocate
// nothing; the other walks run after each change a client sends.
#include "params/PBool.h"
#include "params/PEnum.h"
#include "params/ParamTable.h"
#include "settings/ChoiceLists.h"
#include "settings/EncoderSettings.h"
#include "settings/EncoderSettingsTree.h"
#include "settings/LiveFields.h"
#include "settings/TreeWalks.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace {

std::atomic<long> allocations{0};

}  // namespace

// Out of line, so the compiler does not pair the inlined malloc and free across the two.
[[gnu::noinline]] void* operator new(std::size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace kestrava;
using namespace kestrava::settings;

class NoInterfaces final : public NetworkInterfaceList {
public:
    std::int32_t networkInterfaceCount() override { return 0; }
    net::NetworkInterface getNetworkInterface(std::int32_t n) override { return {"", "", "", n}; }
};

// A tree in a state where most rules have something to read: destinations on, Kestrava+ and
// GPS on, protection being switched on, two clients logged in.
struct Tree {
    std::unique_ptr<EncoderSettings> settings = std::make_unique<EncoderSettings>(192000);
    SoundcardChoices cards;
    InterfaceChoices nics;
    params::ParamTable owner;
    TreeSources sources;
    std::vector<std::unique_ptr<params::Param>> rows;
    std::unique_ptr<InstanceFields> fields;
    std::unique_ptr<TreeWalks> walks;

    Tree() {
        NoInterfaces none;
        fillSoundcardList(cards, {});
        fillInterfaceList(nics, none);
        sources.settings = settings.get();
        sources.programVersion = "1.0.0.0 bench";
        sources.soundcards = &cards;
        sources.interfaces = &nics;
        rows = buildEncoderSettings(owner, sources);
        for (auto& p : rows) owner.registerParam(*p);
        fields = std::make_unique<InstanceFields>(sources);
        fields->logins[3].loggedIn = true;
        fields->logins[5].loggedIn = true;
        walks = std::make_unique<TreeWalks>(rows, *settings, *fields);
        const auto set = [&](ParamId id, auto v) {
            if (auto* b = dynamic_cast<params::PBool*>(owner.findParam(id))) b->setValue(static_cast<bool>(v));
            if (auto* e = dynamic_cast<params::PEnum*>(owner.findParam(id))) e->setValue(static_cast<std::int32_t>(v));
        };
        set(PARAM_KVRA_Version, 3);
        set(PARAM_KVRA_PlusEnabled, true);
        set(PARAM_KVRA_gps_stamping_enabled, true);
        set(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY, true);
        for (int i = 0; i < 10; ++i) set(static_cast<ParamId>(PARAM_KVRA_Enabled_0 + i), true);
        walks->refreshVisibility();
        walks->storeParamsToSettings();
        walks->refreshEnabledStates();
    }
};

void BM_EnabledStateWalk(benchmark::State& state) {
    Tree t;
    const long before = allocations.load();
    for (auto _ : state) {
        const WalkCursor c = t.walks->refreshEnabledStates();
        benchmark::DoNotOptimize(c.position);
    }
    const long allocated = allocations.load() - before;
    state.counters["rows"] = static_cast<double>(t.walks->rowCount());
    state.counters["allocations"] = static_cast<double>(allocated);
    if (allocated != 0) state.SkipWithError("the enabled-state walk allocated");
}
BENCHMARK(BM_EnabledStateWalk)->Unit(benchmark::kMicrosecond);

void BM_VisibilityWalk(benchmark::State& state) {
    Tree t;
    for (auto _ : state) benchmark::DoNotOptimize(t.walks->refreshVisibility().position);
}
BENCHMARK(BM_VisibilityWalk)->Unit(benchmark::kMicrosecond);

void BM_StoreWalk(benchmark::State& state) {
    Tree t;
    for (auto _ : state) benchmark::DoNotOptimize(t.walks->storeParamsToSettings().position);
}
BENCHMARK(BM_StoreWalk)->Unit(benchmark::kMicrosecond);

}  // namespace
