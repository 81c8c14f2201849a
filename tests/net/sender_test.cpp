#include "NetTestConfig.h"
#include "UdpReceiver.h"
#include "net/Sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace TRP = kestrava::transport::TRP;

using kestrava::net::ResolveResult;
using kestrava::net::Sender;
using nettest::UdpReceiver;
using Clock = std::chrono::steady_clock;

namespace {

// Records when destinations enter the list.
struct AddedLog {
    void note(std::int32_t id) {
        std::lock_guard lock(mutex);
        added.push_back({id, Clock::now()});
        changed.notify_all();
    }
    bool waitFor(std::size_t n, std::chrono::seconds limit = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return added.size() >= n; });
    }
    struct Entry {
        std::int32_t id;
        Clock::time_point time;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Entry> added;
};

// A resolver for made-up names: "fail.test" never resolves, "once.test" fails the first time,
// "gate.test" waits until the test opens the gate; every other name goes to the system (the
// tests use numeric loopback addresses only). It keeps its state in a shared block, since an
// abandoned resolution may finish after the test has moved on.
struct TestResolver {
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::string> calls;
        bool gateOpen = false;
        int onceCalls = 0;
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    kestrava::net::NameResolver resolver() const {
        return [state = state](const std::string& host, const std::string& port) {
            {
                std::unique_lock lock(state->mutex);
                state->calls.push_back(host);
                state->changed.notify_all();
                if (host == "gate.test") state->changed.wait(lock, [&] { return state->gateOpen; });
                if (host == "fail.test" || (host == "once.test" && state->onceCalls++ == 0)) {
                    ResolveResult failed;
                    failed.errorText = "Name or service not known";
                    return failed;
                }
            }
            const bool special = host.size() > 5 && host.substr(host.size() - 5) == ".test";
            return kestrava::net::resolveWithSystem(special ? "127.0.0.1" : host, port);
        };
    }
    bool waitForCall(const std::string& host, std::size_t n = 1) {
        std::unique_lock lock(state->mutex);
        return state->changed.wait_for(lock, std::chrono::seconds(20), [&] {
            return static_cast<std::size_t>(std::count(state->calls.begin(), state->calls.end(), host)) >= n;
        });
    }
    std::size_t calls(const std::string& host) {
        std::lock_guard lock(state->mutex);
        return static_cast<std::size_t>(std::count(state->calls.begin(), state->calls.end(), host));
    }
    void openGate() {
        std::lock_guard lock(state->mutex);
        state->gateOpen = true;
        state->changed.notify_all();
    }
};

struct SenderFixture : testing::Test {
    std::unique_ptr<Sender> makeSender() {
        Sender::Options options;
        options.resolver = resolver.resolver();
        options.onDestinationAdded = [this](std::int32_t id) { added.note(id); };
        return std::make_unique<Sender>(&c.config, options);
    }
    void send(Sender& sender, const std::vector<std::uint8_t>& packet) {
        sender.enqueue(packet.data(), static_cast<std::uint32_t>(packet.size()), TRP::Priority::Frame);
    }

    nettest::CapturedConfig c;
    AddedLog added;
    TestResolver resolver;
};

}  // namespace

TEST_F(SenderFixture, Ipv4AndIpv6ReceiversGetIdenticalBytesMarkedExpeditedForwarding) {
    UdpReceiver v4(AF_INET, "127.0.0.1");
    UdpReceiver v6(AF_INET6, "::1");
    ASSERT_TRUE(v4.ok());
    if (!v6.ok()) GTEST_SKIP() << "this machine has no IPv6 loopback address (::1)";
    auto sender = makeSender();
    ASSERT_GE(sender->submitAdd("127.0.0.1", v4.portText(), "", true), 0);
    ASSERT_GE(sender->submitAdd("::1", v6.portText(), "", true), 0);
    ASSERT_TRUE(added.waitFor(2));

    std::vector<std::vector<std::uint8_t>> packets;
    for (std::size_t n : {1u, 17u, 1400u, 2047u}) {
        std::vector<std::uint8_t> p(n);
        for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(i * 7 + n);
        packets.push_back(p);
        send(*sender, p);
    }
    for (const auto& p : packets) {
        for (UdpReceiver* r : {&v4, &v6}) {
            const auto d = r->receive();
            ASSERT_TRUE(d.has_value());
            EXPECT_EQ(d->bytes, p);
            EXPECT_EQ(d->tos, 0xB8);
        }
    }

    // With protection on both receivers get the same protected bytes, one longer.
    c.config.engine.setText(EngineSettings::TextStreamKey2, "00112233445566778899aabbccddeeff");
    c.config.engine.streamProtection = true;
    send(*sender, packets[2]);
    const auto a = v4.receive();
    const auto b = v6.receive();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->bytes.size(), packets[2].size() + 1);
    EXPECT_EQ(a->bytes, b->bytes);
    EXPECT_EQ(a->bytes[0], packets[2][0]);
}

TEST_F(SenderFixture, TenDestinationsAddedAtOnceOpenASecondApartNewestFirst) {
    UdpReceiver receiver(AF_INET, "127.0.0.1");
    ASSERT_TRUE(receiver.ok());
    auto sender = makeSender();
    for (int i = 0; i < 10; ++i) ASSERT_EQ(sender->submitAdd("127.0.0.1", receiver.portText(), "", true), i);
    ASSERT_TRUE(added.waitFor(10));
    std::lock_guard lock(added.mutex);
    for (std::size_t i = 1; i < added.added.size(); ++i) {
        EXPECT_GE(added.added[i].time - added.added[i - 1].time, std::chrono::milliseconds(1000)) << i;
    }
    EXPECT_EQ(sender->destinationIds(), (std::vector<std::int32_t>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
}

TEST_F(SenderFixture, StoppingWhileANameIsResolvedReturnsPromptly) {
    auto sender = makeSender();
    ASSERT_GE(sender->submitAdd("gate.test", "9", "", true), 0);
    ASSERT_TRUE(resolver.waitForCall("gate.test"));
    const auto start = Clock::now();
    sender.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(4100));
    resolver.openGate();  // the abandoned resolution ends on its own
}

TEST_F(SenderFixture, AFailedResolutionIsRetriedAndAnEraseEndsTheRetries) {
    UdpReceiver receiver(AF_INET, "127.0.0.1");
    ASSERT_TRUE(receiver.ok());
    auto sender = makeSender();
    const std::int32_t flaky = sender->submitAdd("once.test", receiver.portText(), "", true);
    ASSERT_TRUE(added.waitFor(1));
    EXPECT_EQ(added.added[0].id, flaky);
    EXPECT_EQ(resolver.calls("once.test"), 2u);

    const std::int32_t never = sender->submitAdd("fail.test", receiver.portText(), "", true);
    ASSERT_TRUE(resolver.waitForCall("fail.test"));
    ASSERT_TRUE(sender->submitErase(never));
    // Commands are carried out in order: once this add is in, the erase has been handled.
    sender->submitAdd("127.0.0.1", receiver.portText(), "", true);
    ASSERT_TRUE(added.waitFor(2));
    c.settleLog();
    EXPECT_EQ(c.log->count("Failed getting address info: Name or service not known"), 1u + resolver.calls("fail.test"));
    EXPECT_EQ(c.log->count("Attempted to erase non-existent destination"), 0u);
    EXPECT_EQ(sender->destinationIds().size(), 2u);
    // The user sees the first failure of each destination once.
    std::size_t shown = 0;
    for (const auto& t : c.statusTexts()) shown += t.find("Failed getting address info") != std::string::npos;
    EXPECT_EQ(shown, 2u);
}

TEST_F(SenderFixture, AnAddAndAnEraseThatMeetInTheRingCancelEachOther) {
    UdpReceiver receiver(AF_INET, "127.0.0.1");
    ASSERT_TRUE(receiver.ok());
    auto sender = makeSender();
    sender->submitAdd("gate.test", receiver.portText(), "", true);
    ASSERT_TRUE(resolver.waitForCall("gate.test"));
    const std::int32_t cancelled = sender->submitAdd("cancelled.test", receiver.portText(), "", true);
    ASSERT_TRUE(sender->submitErase(cancelled));
    const std::int32_t last = sender->submitAdd("127.0.0.1", receiver.portText(), "", true);
    resolver.openGate();
    ASSERT_TRUE(added.waitFor(2));
    EXPECT_EQ(added.added[1].id, last);
    EXPECT_EQ(resolver.calls("cancelled.test"), 0u);
    c.settleLog();
    EXPECT_EQ(c.log->count("Adding cancelled.test"), 0u);
    EXPECT_EQ(c.log->count("Attempted to erase non-existent destination"), 0u);
    EXPECT_EQ(sender->destinationIds(), (std::vector<std::int32_t>{last, 0}));
    // Erasing an id that is not in the list is reported.
    ASSERT_TRUE(sender->submitErase(0));
    ASSERT_TRUE(sender->submitErase(0));
    ASSERT_TRUE(c.log->waitFor("Attempted to erase non-existent destination 0"));
    EXPECT_EQ(sender->destinationIds(), (std::vector<std::int32_t>{last}));
}

TEST_F(SenderFixture, ADestinationWhoseInterfaceBindingFailedDoesNotSend) {
    UdpReceiver receiver(AF_INET, "127.0.0.1");
    ASSERT_TRUE(receiver.ok());
    auto sender = makeSender();
    sender->submitAdd("127.0.0.1", receiver.portText(), "no-such-if0", true);
    ASSERT_TRUE(added.waitFor(1));
    send(*sender, std::vector<std::uint8_t>(20, 1));
    send(*sender, std::vector<std::uint8_t>(20, 2));
    ASSERT_TRUE(c.log->waitFor("Discarding packets to send, socket is not bound to its interface"));
    c.settleLog();
    EXPECT_EQ(c.log->count("Failed to bind to interface no-such-if0, interface not found"), 1u);
    EXPECT_EQ(c.log->count("Discarding packets to send"), 1u);  // once per closed period
}

TEST_F(SenderFixture, AFullQueueRefusesPacketsWithOneMessageAndStopEndsALongPacingWait) {
    // At one byte per second the first packet puts the next one some 2000 s ahead: the send
    // thread waits with the ring full.
    c.config.engine.rateLimit = 1;
    auto sender = makeSender();
    const std::vector<std::uint8_t> packet(3000, 0x77);
    for (int i = 0; i < 300; ++i) sender->enqueue(packet.data(), 3000, TRP::Priority::Frame);
    c.settleLog();
    // The length is the one the caller passed, before the cut to 2048; repeats are held back.
    EXPECT_EQ(c.log->count("Could not put packet of 3000 bytes in buffer - rate limiter buffer full!"), 1u);
    const auto start = Clock::now();
    sender.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}
