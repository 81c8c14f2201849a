// The encoder program with the fake sound card: its web interface answers on the port of its
// options, applies the white list, and the program ends promptly on SIGTERM while connections are
// open. Clients use loopback addresses only.
#include "audio/soundcard/CompositeTestSignal.h"
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
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using kestrava::audio::soundcard::CompositeTestSignal;

namespace {

using namespace std::chrono_literals;
using webtest::LoopbackClient;

// A port that was free a moment ago.
std::uint16_t freePort() {
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

class EncoderProgram {
public:
    EncoderProgram(const kestrava::test::TempDir& home, const std::string& signal, std::uint16_t port,
                   const std::string& whiteList) {
        pid = ::fork();
        if (pid == 0) {
            ::setenv("XDG_CONFIG_HOME", (home.str() + "/config").c_str(), 1);
            ::setenv("XDG_STATE_HOME", (home.str() + "/state").c_str(), 1);
            const std::string portText = std::to_string(port);
            ::execl(KESTRAVA_ENCODER_PATH, "kestrava-encoder", "--fake-input", signal.c_str(), "--web-port",
                    portText.c_str(), "--web-whitelist", whiteList.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~EncoderProgram() {
        if (pid > 0 && !ended) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // Waits at most `limit` for the program to end; its exit status, or -1.
    int waitEnd(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                ended = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    pid_t pid = -1;
    bool ended = false;
};

std::string get(std::uint16_t port, const std::string& path, const char* from = "127.0.0.1") {
    LoopbackClient c(port, from);
    c.send("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    return c.readAll(20s);
}

TEST(EncoderWebInterface, ServesOnItsPortAndStopsPromptlyOnSigterm) {
    kestrava::test::TempDir home;
    const std::string signal = home.str() + "/signal.f32";
    {
        CompositeTestSignal generator(192000);
        std::vector<float> samples(192000);
        generator.generate(samples.data(), samples.size());
        std::ofstream(signal, std::ios::binary)
            .write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 4));
    }
    const std::uint16_t port = freePort();
    EncoderProgram program(home, signal, port, "");
    ASSERT_GT(program.pid, 0);

    // The interface comes up on the option's port once start-up is done.
    std::string reply;
    for (int attempt = 0; attempt < 600 && reply.empty(); ++attempt) {
        reply = get(port, "/websocket");
        if (reply.empty()) std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(reply, "HTTP/1.0 500 NO WEBSOCKETS\r\n\r\n");
    EXPECT_EQ(get(port, "/log"), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
    // With the empty white list only 127.0.0.1 is let in.
    EXPECT_NE(get(port, "/", "127.0.0.2").find("Your IP address is: 127.0.0.2"), std::string::npos);

    // SIGTERM with a WebSocket and idle connections open.
    LoopbackClient ws(port);
    ws.send("GET / HTTP/1.1\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
    EXPECT_NE(ws.readExactly(203).find("s3pPLMBiTxaQ9kYGzzhZRbK+xOo="), std::string::npos);
    std::vector<std::unique_ptr<LoopbackClient>> idle;
    for (int i = 0; i < 5; ++i) idle.push_back(std::make_unique<LoopbackClient>(port));
    // A stop that waited for its connections would be held by the WebSocket, which no time-out
    // closes for two minutes; the limit only keeps a hang from eating the run, however slow the
    // machine (a sanitizer build on two loaded cores).
    ASSERT_EQ(::kill(program.pid, SIGTERM), 0);
    EXPECT_EQ(program.waitEnd(90s), 0);
}

}  // namespace
