// The encoder program and its settings file: the shipped first-run settings make it send to a
// loopback receiver, "--web-port" is saved and kept across a restart, and the listen tool counts
// packets and gaps. Receivers bind to port 0 or to a port that was free a moment ago.
#include "audio/soundcard/CompositeTestSignal.h"
#include "model/SettingsText.h"
#include "net/UdpReceiver.h"
#include "support/TempDir.h"
#include "web/LoopbackClient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint16_t freeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

struct Home {
    kestrava::test::TempDir dir;
    std::string signal = dir.str() + "/signal.f32";
    std::string settings = dir.str() + "/config/Kestrava_Encoder.ini";
    Home() {
        CompositeTestSignal generator(192000);
        std::vector<float> samples(192000);
        generator.generate(samples.data(), samples.size());
        std::ofstream(signal, std::ios::binary)
            .write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 4));
    }
};

// The encoder program with the fake sound card, its folders in the test's home.
class Program {
public:
    Program(const Home& home, std::vector<std::string> options) {
        options.insert(options.begin(), {"kestrava-encoder", "--fake-input", home.signal});
        pid = ::fork();
        if (pid == 0) {
            ::setenv("XDG_CONFIG_HOME", (home.dir.str() + "/config").c_str(), 1);
            ::setenv("XDG_STATE_HOME", (home.dir.str() + "/state").c_str(), 1);
            std::vector<char*> argv;
            for (auto& o : options) argv.push_back(o.data());
            argv.push_back(nullptr);
            ::execv(KESTRAVA_ENCODER_PATH, argv.data());
            ::_exit(127);
        }
    }
    ~Program() {
        if (pid > 0 && !ended) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // Asks the program to stop and waits for it; its exit status, or -1.
    int stop() {
        ::kill(pid, SIGTERM);
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid) return -1;
        ended = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t pid = -1;
    bool ended = false;
};

// True once the web interface answers on the port (start-up, with the settings loaded, is done).
bool webAnswers(std::uint16_t port) {
    for (int attempt = 0; attempt < 600; ++attempt) {
        webtest::LoopbackClient c(port);
        c.send("GET /log HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
        if (!c.readAll(5s).empty()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(SettingsProgram, TheShippedFirstRunSettingsSendToLoopbackPort8854) {
    const std::string shipped = readAll(KESTRAVA_SOURCE_DIR "/config/run-settings.ini");
    kestrava::model::SectionMap m;
    ASSERT_GT(kestrava::model::parseIniText(shipped, m), 0u);
    auto& encoder = m["Corvix Kestrava Encoder"];
    EXPECT_EQ(encoder["Corvix Kestrava Enabled 0"], "1");
    EXPECT_EQ(encoder["Corvix Kestrava IP 0"], "127.0.0.1");
    EXPECT_EQ(encoder["Corvix Kestrava Port 0"], "8854");

    // The same file with the receiver's own port in place of 8854, as a first run finds it.
    Home home;
    nettest::UdpReceiver receiver(AF_INET, "127.0.0.1");
    ASSERT_TRUE(receiver.ok());
    const std::string initial = home.dir.str() + "/run-settings.ini";
    std::ofstream(initial, std::ios::binary) << replaced(shipped, "Port 0=8854", "Port 0=" + receiver.portText());
    Program program(home, {"--initial-settings", initial, "--web-port", std::to_string(freeTcpPort())});
    int frames = 0;
    for (int i = 0; i < 200 && frames < 20; ++i) {
        const auto d = receiver.receive(30000);
        if (!d) break;
        if (d->bytes.size() >= 2 && (d->bytes[1] & 0x80) == 0) ++frames;
    }
    EXPECT_GE(frames, 20);
    EXPECT_EQ(program.stop(), 0);
    // The copy is now the instance's own file (written in full by the encoder, mode 0600).
    const std::string saved = readAll(home.settings);
    EXPECT_NE(saved.find("\r\nCorvix Kestrava IP 0=127.0.0.1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("\r\nCorvix Kestrava Enabled 0=1\r\n"), std::string::npos);
}

TEST(SettingsProgram, TheWebPortOptionIsSavedAndKeptAcrossARestart) {
    Home home;
    const std::uint16_t port = freeTcpPort();
    {
        Program program(home, {"--web-port", std::to_string(port)});
        ASSERT_TRUE(webAnswers(port));
        EXPECT_EQ(program.stop(), 0);
    }
    const std::string saved = readAll(home.settings);
    EXPECT_NE(saved.find("[Web interface]\r\n"), std::string::npos);
    EXPECT_NE(saved.find("\r\nPort=" + std::to_string(port) + "\r\n"), std::string::npos) << saved;
    // Without the option the saved port counts.
    Program again(home, {});
    EXPECT_TRUE(webAnswers(port));
    EXPECT_EQ(again.stop(), 0);
    EXPECT_EQ(readAll(home.settings), saved);
}

namespace {

// A frame packet of codec version 3 from the header layout: version, flags 0, then most
// significant bit first the level flag (0), the 32-bit position and the 16-bit sample count.
std::vector<std::uint8_t> framePacket(std::uint32_t position, std::uint16_t count) {
    std::vector<std::uint8_t> p(9 + 20, 0);
    p[0] = 3;
    const std::uint64_t bits = (std::uint64_t{position} << 16) | count;  // 48 bits after the flag
    for (int i = 0; i < 48; ++i) {
        if ((bits >> (47 - i)) & 1u) {
            const int at = 16 + 1 + i;
            p[static_cast<std::size_t>(at / 8)] |= static_cast<std::uint8_t>(0x80u >> (at % 8));
        }
    }
    return p;
}

}  // namespace

TEST(SettingsProgram, ListenCountsPacketsAndReportsGaps) {
    const std::uint16_t port = freeTcpPort();  // the same number is very likely free for UDP too
    const std::string command =
        std::string(KESTRAVA_TOOL_PATH) + " listen --host 127.0.0.1 --port " + std::to_string(port) + " --seconds 2";
    FILE* out = ::popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[512];
    ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
    ASSERT_EQ(std::string(line), "listening on 127.0.0.1 port " + std::to_string(port) + "\n");

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<std::vector<std::uint8_t>> packets = {framePacket(4294965256u, 2040), framePacket(0, 2040),
                                                      framePacket(6120, 2040), {3, 0x80, 0, 0, 0, 0, 0, 0}, {3}};
    for (const auto& p : packets) {
        ::sendto(fd, p.data(), p.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    ::close(fd);
    std::string text;
    while (std::fgets(line, sizeof line, out) != nullptr) text += line;
    EXPECT_EQ(::pclose(out), 0);
    // Position 2^32 - 2040 is followed by 0 (no gap across the wrap); 2040 and 4080 are missing.
    EXPECT_NE(text.find("gap: position 2040 expected, 6120 received (4080 samples)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("total: 5 packets, 1 not readable, 1 gaps\n"), std::string::npos) << text;
    EXPECT_NE(text.find("3 frames, 1 recovery"), std::string::npos) << text;
}
