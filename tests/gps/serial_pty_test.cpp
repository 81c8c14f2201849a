#include "GpsTestSupport.h"
#include "gps/GpsNmeaTimeReader.h"
#include "gps/SerialNmeaSource.h"

#include <gtest/gtest.h>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <memory>
#include <string>

using gpstest::FakeClock;
using gpstest::rmc;
using kestrava::gps::GpsNmeaTimeReader;
using kestrava::gps::SerialNmeaSource;

namespace {

// The real serial source, counting its opens.
class CountingSerial final : public kestrava::gps::NmeaByteSource {
public:
    OpenResult open(const std::string& path, std::int32_t baud) override {
        ++opens;
        return serial.open(path, baud);
    }
    void close() override { serial.close(); }
    bool isOpen() const override { return serial.isOpen(); }
    ReadResult read(std::uint8_t* buffer, std::size_t capacity) override { return serial.read(buffer, capacity); }

    SerialNmeaSource serial;
    int opens = 0;
};

TEST(SerialPty, ReaderReadsARawLineAndPutsTheOldSettingsBack) {
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);

    // The line as some other program left it: 4800 baud, two stop bits, cooked with echo. (A
    // pseudo-terminal keeps 8 data bits without parity whatever it is told.)
    termios old{};
    ASSERT_EQ(tcgetattr(slave, &old), 0);
    old.c_cflag |= CSTOPB;
    old.c_lflag |= ICANON | ECHO;
    cfsetispeed(&old, B4800);
    cfsetospeed(&old, B4800);
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &old), 0);
    ASSERT_EQ(tcgetattr(slave, &old), 0);

    gpstest::LoggedGpsConfig log;
    log.config.engine.gpsDevice = kestrava::gps::selectNamedDevice;
    log.config.engine.gpsBaudRate = 9600;
    log.config.engine.setText(EngineSettings::TextNmeaDevice, name);
    FakeClock clock;
    auto counting = std::make_unique<CountingSerial>();
    CountingSerial* source = counting.get();
    GpsNmeaTimeReader reader(log.config, clock, std::move(counting), false);
    reader.start(0, 0);  // no thread: this test runs the passes
    reader.openDevice();
    ASSERT_TRUE(source->isOpen());

    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);

    // Seven bursts at 1 Hz on the virtual clock; each is read as soon as it is written.
    for (int i = 0; i < 7; ++i) {
        clock.ns = (i + 1) * std::int64_t{1'000'000'000};
        const std::string s = rmc(100 + i);
        ASSERT_EQ(write(master, s.data(), s.size()), static_cast<ssize_t>(s.size()));
        for (int pass = 0; pass < 50 && reader.latestSecond() != 100 + i; ++pass) reader.pass();
        ASSERT_EQ(reader.latestSecond(), 100 + i);
    }
    EXPECT_NEAR(reader.meanInterval(), 1.0, 0.01);

    reader.stop();
    EXPECT_FALSE(source->isOpen());
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B4800));
    EXPECT_EQ(t.c_cflag, old.c_cflag);
    EXPECT_EQ(t.c_lflag, old.c_lflag);
    EXPECT_EQ(t.c_iflag, old.c_iflag);

    // Closing the far side: the read error is reported once, then the device is reopened.
    reader.start(0, 0);
    reader.openDevice();
    ASSERT_TRUE(source->isOpen());
    const int opensBefore = source->opens;
    close(slave);
    close(master);
    for (int pass = 0; pass < 40; ++pass) reader.pass();  // about ten seconds of virtual time
    const std::size_t readErrors =
        log.count("Error reading NMEA device " + std::string(name)) + log.count("Unexpected EOF for NMEA device");
    EXPECT_EQ(readErrors, 1u);
    EXPECT_GE(source->opens - opensBefore, 3);
    reader.stop();
}

}  // namespace
