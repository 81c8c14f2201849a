#include "GpsTestSupport.h"
#include "gps/GpsNmeaTimeReader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

using gpstest::FakeClock;
using gpstest::rmc;
using gpstest::ScriptedSource;
using gpstest::sentence;
using kestrava::gps::GpsNmeaTimeReader;
using kestrava::gps::GpsReaderMode;
using kestrava::gps::StampRecord;

namespace {

constexpr std::int64_t ms = 1'000'000;
constexpr std::int64_t sec = 1'000'000'000;

struct ReaderFixture : ::testing::Test {
    ReaderFixture() {
        auto s = std::make_unique<ScriptedSource>();
        source = s.get();
        reader = std::make_unique<GpsNmeaTimeReader>(log.config, clock, std::move(s), false);
    }
    void feed(const std::string& bytes, std::int64_t ns) {
        reader->feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), ns);
    }
    // One burst per second from `first`, starting at `start` ns.
    void bursts(std::int32_t first, int count, std::int64_t start = sec) {
        for (int i = 0; i < count; ++i) feed(rmc((first + i) % 86400), start + i * sec);
    }

    gpstest::LoggedGpsConfig log;
    FakeClock clock;
    ScriptedSource* source = nullptr;
    std::unique_ptr<GpsNmeaTimeReader> reader;
};

TEST_F(ReaderFixture, SecondsThatDoNotFollowEachOtherRaiseTheJumpFlag) {
    struct Case {
        std::vector<std::int32_t> seconds;
        const char* warning;  // nullptr: none
    };
    const Case cases[] = {
        {{100, 101, 103}, "Unexpected GPS timestamp received, previous 101, new 103"},
        {{86398, 86399, 0, 1}, nullptr},
        {{500, 500}, "Unexpected GPS timestamp received, previous 500, new 500"},
    };
    std::int64_t t = sec;
    for (const Case& c : cases) {
        reader->resetFilters();
        const std::size_t before = log.count("Unexpected GPS timestamp");
        for (std::int32_t s : c.seconds) {
            feed(rmc(s), t);
            t += sec;
        }
        EXPECT_EQ(reader->latestSecond(), c.seconds.back());
        EXPECT_EQ(reader->takeJumpFlag(), c.warning != nullptr);
        EXPECT_FALSE(reader->takeJumpFlag());  // taking clears it
        if (c.warning != nullptr) {
            EXPECT_EQ(log.count(c.warning), 1u);
        } else {
            EXPECT_EQ(log.count("Unexpected GPS timestamp"), before);
        }
    }
}

TEST_F(ReaderFixture, OneStampPerBurstFromItsFirstGoodSentence) {
    // RMC then GGA in one burst: the RMC's second is the one published.
    feed(rmc(20) + sentence("GPGGA,000099.00,,,,,0,00,,,M,,M,,"), 1 * sec);
    EXPECT_EQ(reader->latestSecond(), 20);
    EXPECT_EQ(reader->lastArrival(), 1 * sec);

    // A dollar sign exactly 0.15 s after the last one is still the same burst.
    feed(rmc(21), 2 * sec);
    feed(rmc(50), 2 * sec + 150 * ms);
    EXPECT_EQ(reader->latestSecond(), 21);
    // A little later it starts a new one.
    feed(rmc(22), 3 * sec);
    feed(rmc(23), 3 * sec + 150 * ms + 1);
    EXPECT_EQ(reader->latestSecond(), 23);

    // A burst whose first sentence fails its checksum takes the next good one.
    std::string bad = rmc(24);
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
    feed(bad + sentence("GNGGA,000025,,,,,0,00,,,M,,M,,"), 5 * sec);
    EXPECT_EQ(reader->latestSecond(), 25);
}

TEST_F(ReaderFixture, SentenceKeepsTheArrivalOfItsBurstAcrossReads) {
    const std::string s = rmc(3723);
    // Head split after three characters, the rest 70 ms later.
    feed(s.substr(0, 3), 10 * sec);
    EXPECT_EQ(reader->latestSecond(), -1);
    feed(s.substr(3), 10 * sec + 70 * ms);
    EXPECT_EQ(reader->latestSecond(), 3723);
    EXPECT_EQ(reader->lastArrival(), 10 * sec);
}

TEST_F(ReaderFixture, SentenceCutByTheNextDollarIsDropped) {
    feed(rmc(86000), 1 * sec);
    // A sentence cut inside its time field: nothing of it is read, and no earlier digit with it.
    feed("$GPRMC,1201", 2 * sec);
    feed(rmc(86002).substr(0, 20), 2 * sec + 10 * ms);  // a new dollar sign within the burst
    EXPECT_EQ(reader->latestSecond(), 86000);
    feed(rmc(86002).substr(20), 2 * sec + 20 * ms);
    EXPECT_EQ(reader->latestSecond(), 86002);
    // Noise and an over-long line are skipped too.
    feed("\x01\xff garbage\r\n$GPRMC," + std::string(300, '9') + "\r\n", 3 * sec);
    EXPECT_EQ(reader->latestSecond(), 86002);
}

TEST_F(ReaderFixture, MeanIntervalAppearsAtTheSixthInterval) {
    bursts(1000, 6);  // five intervals
    EXPECT_EQ(reader->meanInterval(), 0.0);
    bursts(1006, 1, 7 * sec);  // the sixth
    EXPECT_DOUBLE_EQ(reader->meanInterval(), 1.0);
    // Its stamp carries the burst's own arrival as the first smoothed time.
    StampRecord out;
    ASSERT_TRUE(reader->takeStamp(1006, out));
    EXPECT_DOUBLE_EQ(out.time, 7.0);
    EXPECT_FALSE(reader->takeStamp(1006, out));  // consumed

    reader->resetFilters();
    EXPECT_EQ(reader->meanInterval(), 0.0);
}

TEST_F(ReaderFixture, SmoothedArrivalsFollowTheGridThroughJitter) {
    // Bursts on a 1 s grid with up to 4 ms of jitter: the smoothed times stay nearer the grid
    // than the raw arrivals.
    const std::int64_t jitter[] = {4 * ms, -4 * ms, 0, -2 * ms};
    double worstRaw = 0.0, worstSmoothed = 0.0;
    for (int i = 0; i < 200; ++i) {
        const std::int64_t grid = sec + i * sec;
        const std::int64_t arrival = grid + jitter[i % 4];
        feed(rmc(2000 + i), arrival);
        StampRecord out;
        ASSERT_TRUE(reader->takeStamp(2000 + i, out));
        if (i >= 20) {
            worstRaw = std::max(worstRaw, std::abs(arrival - grid) / 1e9);
            worstSmoothed = std::max(worstSmoothed, std::abs(out.time - grid / 1e9));
        }
    }
    EXPECT_NEAR(reader->meanInterval(), 1.0, 0.0005);
    EXPECT_LT(worstSmoothed, worstRaw / 2) << worstSmoothed;
}

TEST_F(ReaderFixture, SystemClockStampsHalfASecondLatePlusTheOffset) {
    for (float offset : {0.0f, 0.3f}) {
        SCOPED_TRACE(offset);
        clock.utcBase = 20 * 86400 + 3600;  // second of day 3600 at steady time 0
        clock.ns = 200 * ms;
        log.config.engine.gpsDevice = kestrava::gps::selectSystemClock;
        log.config.engine.gpsClockOffset = offset;
        reader->openDevice();
        ASSERT_EQ(reader->mode(), GpsReaderMode::SystemClock);
        std::int64_t publishedAt = -1;
        while (clock.ns < 4 * sec) {
            const std::int32_t before = reader->latestSecond();
            reader->pass();
            if (before != 3602 && reader->latestSecond() == 3602) publishedAt = reader->lastArrival();
        }
        // Second 3602 begins at steady time 2 s.
        const double expected = 2.5 + offset;
        EXPECT_NEAR(publishedAt / 1e9, expected, 0.0015);
    }
}

TEST_F(ReaderFixture, DeviceThatCannotBeOpenedIsReportedOnceAndRetriedEverySecond) {
    source->openError = ENOENT;
    log.config.engine.gpsDevice = kestrava::gps::selectNamedDevice;
    log.config.engine.setText(EngineSettings::TextNmeaDevice, "/dev/no-such-gps");
    reader->openDevice();
    for (int i = 0; i < 16; ++i) reader->pass();  // 4 s of 250 ms waits
    EXPECT_EQ(source->opened.size(), 5u);
    EXPECT_EQ(log.count("Failed to open NMEA device /dev/no-such-gps: error #2 ("), 1u);
    EXPECT_EQ(log.config.statusMessages.bufferedMessages().size(), 1u);

    // Switching to the system clock ends the retries at the next pass.
    log.config.engine.gpsDevice = kestrava::gps::selectSystemClock;
    reader->pass();
    EXPECT_EQ(reader->mode(), GpsReaderMode::SystemClock);
    for (int i = 0; i < 3000; ++i) reader->pass();
    EXPECT_EQ(source->opened.size(), 5u);
}

TEST_F(ReaderFixture, ChangedDeviceSettingsReopenUnchangedDoNot) {
    log.config.engine.gpsDevice = 3;
    reader->openDevice();
    ASSERT_EQ(source->opened, std::vector<std::string>{"/dev/ttyS2"});
    reader->pass();
    reader->pass();
    EXPECT_EQ(source->opened.size(), 1u);
    EXPECT_EQ(log.count("Successfully opened NMEA device /dev/ttyS2"), 1u);

    log.config.engine.gpsBaudRate = 4800;
    reader->pass();
    EXPECT_EQ(source->opened.size(), 2u);

    log.config.engine.gpsDevice = kestrava::gps::selectNamedDevice;
    log.config.engine.setText(EngineSettings::TextNmeaDevice, "/dev/ttyUSB0");
    reader->pass();
    log.config.engine.setText(EngineSettings::TextNmeaDevice, "/dev/ttyUSB1");
    reader->pass();
    reader->pass();
    EXPECT_EQ(source->opened, (std::vector<std::string>{"/dev/ttyS2", "/dev/ttyS2", "/dev/ttyUSB0", "/dev/ttyUSB1"}));
}

TEST_F(ReaderFixture, ReadFailureIsReportedAndTheDeviceReopened) {
    log.config.engine.gpsDevice = kestrava::gps::selectNamedDevice;
    log.config.engine.setText(EngineSettings::TextNmeaDevice, "/dev/gps0");
    reader->openDevice();
    using R = ScriptedSource::ReadResult;
    source->reads.push_back({R::Data, rmc(10), 0});
    source->reads.push_back({R::Failed, "", EIO});
    reader->pass();
    reader->pass();
    EXPECT_FALSE(source->isOpen());
    EXPECT_EQ(log.count("Error reading NMEA device /dev/gps0: #5 ("), 1u);
    // The estimators start over with the reopening.
    EXPECT_EQ(reader->meanInterval(), 0.0);
    for (int i = 0; i < 4; ++i) reader->pass();
    EXPECT_TRUE(source->isOpen());
    EXPECT_EQ(source->opened.size(), 2u);

    source->reads.push_back({R::Data, rmc(11), 0});
    source->reads.push_back({R::EndOfFile, "", 0});
    reader->pass();
    reader->pass();
    EXPECT_EQ(log.count("Unexpected EOF for NMEA device /dev/gps0"), 1u);
    EXPECT_EQ(log.config.statusMessages.bufferedMessages().size(), 2u);
}

}  // namespace
