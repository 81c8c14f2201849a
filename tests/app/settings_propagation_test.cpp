// A client's change of a parameter on its way into the running encoder: the walks, then the
// instance's applySettings, with the sender's command ring recording what it is asked to do.
#include "FakeEngineParts.h"
#include "TreeOverInstance.h"
#include "app/EncoderInstance.h"

#include "params/PBool.h"
#include "params/PEnum.h"
#include "params/PInt.h"
#include "params/PListManager.h"
#include "params/PString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace kestrava;
using namespace kestrava::params;
using kestrava::settings::EncoderSettings;

struct SettingsPropagation : testing::Test {
    FakeEngine engine;
    KestravaInstanceConfig config{192000, 2040};
    EncoderSettings settings{192000};
    InstancePaths paths;
    std::unique_ptr<EncoderInstance> instance =
        std::make_unique<EncoderInstance>(settings, paths, config, engine.parts());
    TreeOverInstance tree{settings, [this] { instance->applySettings(); }};
    std::map<std::int32_t, std::string> open;  // what the sender has open: id -> "host:port"

    void SetUp() override {
        tree.walks->storeParamsToSettings();
        instance->applySettings();
        tree.walks->refreshEnabledStates();
        track();
    }
    // Carries out the queued commands as the sender would and returns how many there were.
    std::size_t track() {
        const auto d = engine.drain();
        for (std::int32_t id : d.erased) open.erase(id);
        for (std::size_t i = 0; i < d.opened.size(); ++i) open[d.openedIds[i]] = d.opened[i];
        return d.erased.size() + d.opened.size();
    }
    // A destination row as a client sets it.
    void setRow(int i, const std::string& host, std::int64_t port) {
        tree.row<PString>(PARAM_KVRA_IP_0, i).applyChecked(host);
        tree.row<PInt>(PARAM_KVRA_Port_0, i).applyChecked(port);
        tree.row<PBool>(PARAM_KVRA_Enabled_0, i).applyChecked(true);
    }
    // "host:port" of every row that is shown and on: what the sender should have open.
    std::vector<std::string> shownAndOn() {
        std::vector<std::string> v;
        for (int i = 0; i < 100; ++i) {
            auto& on = tree.row<PBool>(PARAM_KVRA_Enabled_0, i);
            if (!on.isShown() || !on.current()) continue;
            v.push_back(tree.row<PString>(PARAM_KVRA_IP_0, i).current() + ":" +
                        std::to_string(tree.row<PInt>(PARAM_KVRA_Port_0, i).current()));
        }
        std::sort(v.begin(), v.end());
        return v;
    }
    std::vector<std::string> openNow() {
        std::vector<std::string> v;
        for (const auto& [id, target] : open) v.push_back(target);
        std::sort(v.begin(), v.end());
        return v;
    }
};

TEST_F(SettingsPropagation, ABitRateChangeReachesTheEngineAndTheRowsSeeWhatWasApplied) {
    ASSERT_TRUE(tree.row<PEnum>(PARAM_KVRA_Bitrate_V1).applyChecked(384));
    tree.propagation->processParamChanges();
    EXPECT_EQ(config.engine.bitrate.load(), 384);
    // The total with 4 recovery packets per 64 is 408 kbit/s; the rate limiter shows it, so the
    // last walk ran after the apply.
    EXPECT_EQ(settings.totalBitrate, 408);
    EXPECT_EQ(tree.row<PInt>(PARAM_KVRA_TRPMaxBytesPerSecond).displayOffset(), 408);
    EXPECT_EQ(config.engine.rateLimit.load(), (408 + 100) * 1000);

    // A hook without a new change passes nothing on.
    config.engine.bitrate.store(0);
    tree.propagation->processParamChanges();
    EXPECT_EQ(config.engine.bitrate.load(), 0);
    EXPECT_EQ(track(), 0u);
}

TEST_F(SettingsPropagation, RowsRemovedFromTheListCloseTheirDestinations) {
    struct Case {
        const char* what;
        std::int64_t deletedRow;
    };
    for (const Case& c : {Case{"the first row, the others move up", 0}, Case{"the middle row", 1},
                          Case{"the last row", 2}}) {
        SCOPED_TRACE(c.what);
        setRow(0, "192.0.2.10", 7000);
        setRow(1, "192.0.2.11", 7001);
        setRow(2, "192.0.2.12", 7002);
        tree.propagation->processParamChanges();
        track();
        ASSERT_EQ(tree.row<PListManager>(PARAM_KVRA_OUTPUTCOUNT).current(), 3);
        ASSERT_EQ(openNow(), shownAndOn());
        ASSERT_EQ(open.size(), 3u);

        tree.row<PListManager>(PARAM_KVRA_OUTPUTCOUNT).deleteRow(3, c.deletedRow);
        tree.propagation->processParamChanges();
        EXPECT_GT(track(), 0u);
        EXPECT_EQ(open.size(), 2u);
        EXPECT_EQ(openNow(), shownAndOn());

        // The row given back is cleared, so the next case starts from three fresh rows.
        tree.row<PListManager>(PARAM_KVRA_OUTPUTCOUNT).insertRow(3, 2);
        for (int i = 0; i < 3; ++i) tree.row<PBool>(PARAM_KVRA_Enabled_0, i).applyChecked(false);
        tree.propagation->processParamChanges();
        track();
        ASSERT_TRUE(open.empty());
    }
}

}  // namespace
