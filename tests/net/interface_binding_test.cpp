#include "NamespaceThread.h"
#include "NetTestConfig.h"
#include "UdpReceiver.h"
#include "net/NetworkInterfaceCache.h"
#include "net/Sender.h"

#include <gtest/gtest.h>
#include <net/if.h>

#include <memory>
#include <string>
#include <vector>

namespace TRP = kestrava::transport::TRP;

using kestrava::net::NetworkInterface;
using kestrava::net::NetworkInterfaceCache;
using nettest::NamespaceThread;
using nettest::UdpReceiver;

TEST(NetworkInterfaceCache, ListsLoopbackAndAnswersOutsideTheListWithTheInvalidRecord) {
    NetworkInterfaceCache cache;
    EXPECT_FALSE(cache.isListed());
    cache.refreshNetworkInterfaces();
    EXPECT_TRUE(cache.isListed());
    NetworkInterface lo;
    for (std::size_t i = 0; i < cache.count(); ++i) {
        if (cache.at(static_cast<std::ptrdiff_t>(i)).name == "lo") lo = cache.at(static_cast<std::ptrdiff_t>(i));
    }
    ASSERT_EQ(lo.name, "lo");
    EXPECT_EQ(lo.ipv4Address, "127.0.0.1");
    EXPECT_EQ(lo.index, static_cast<std::int32_t>(if_nametoindex("lo")));
    for (std::ptrdiff_t outside : {std::ptrdiff_t{-1}, static_cast<std::ptrdiff_t>(cache.count())}) {
        const NetworkInterface invalid = cache.at(outside);
        EXPECT_EQ(invalid.name, "Invalid index");
        EXPECT_EQ(invalid.ipv4Address, "0.0.0.0");
        EXPECT_EQ(invalid.ipv6Address, "::0");
        EXPECT_EQ(invalid.index, -1);
    }
    NetworkInterface found;
    cache.findNetworkInterface(found, false, "lo");
    EXPECT_EQ(found.ipv4Address, "127.0.0.1");
    cache.findNetworkInterface(found, false, "no-such-if0");
    EXPECT_EQ(found.index, -1);
}

// Two namespaces joined by two veth pairs: the sender's side A (kv1a 10.211.1.1, kv2a
// 10.211.2.1) and the receiver's side B (kv1b 10.211.1.2, kv2b 10.211.2.2, target 10.212.0.1 on
// its loopback). A's route to the target prefers the first pair; a destination bound to kv2a must
// leave through the second pair only.
TEST(InterfaceBinding, ADestinationBoundToTheSecondInterfaceSendsOnlyThere) {
    NamespaceThread b;
    if (!b.ok()) GTEST_SKIP() << "cannot create network namespaces here (" << b.failure() << "); needs CAP_SYS_ADMIN";
    NamespaceThread a;
    if (!a.ok()) GTEST_SKIP() << "cannot create network namespaces here (" << a.failure() << "); needs CAP_SYS_ADMIN";
    const std::string peer = std::to_string(b.threadId());
    const bool aReady = a.shell("ip link set lo up") &&
                        a.shell("ip link add kv1a type veth peer name kv1b netns " + peer) &&
                        a.shell("ip link add kv2a type veth peer name kv2b netns " + peer) &&
                        a.shell("ip addr add 10.211.1.1/24 dev kv1a") && a.shell("ip link set kv1a up") &&
                        a.shell("ip addr add 10.211.2.1/24 dev kv2a") && a.shell("ip link set kv2a up") &&
                        a.shell("ip route add 10.212.0.0/24 via 10.211.1.2 dev kv1a metric 100") &&
                        a.shell("ip route add 10.212.0.0/24 via 10.211.2.2 dev kv2a metric 200");
    if (!aReady) GTEST_SKIP() << "cannot set up veth pairs with the ip command (iproute2) in the test namespaces";
    ASSERT_TRUE(b.shell("ip link set lo up") && b.shell("ip addr add 10.212.0.1/32 dev lo") &&
                b.shell("ip addr add 10.211.1.2/24 dev kv1b") && b.shell("ip link set kv1b up") &&
                b.shell("ip addr add 10.211.2.2/24 dev kv2b") && b.shell("ip link set kv2b up"));

    std::unique_ptr<UdpReceiver> unboundReceiver, boundReceiver;
    int firstIndex = 0, secondIndex = 0;
    b.call([&] {
        unboundReceiver = std::make_unique<UdpReceiver>(AF_INET, "10.212.0.1");
        boundReceiver = std::make_unique<UdpReceiver>(AF_INET, "10.212.0.1");
        firstIndex = static_cast<int>(if_nametoindex("kv1b"));
        secondIndex = static_cast<int>(if_nametoindex("kv2b"));
    });
    ASSERT_TRUE(unboundReceiver->ok() && boundReceiver->ok());
    ASSERT_NE(firstIndex, 0);
    ASSERT_NE(secondIndex, 0);

    nettest::CapturedConfig c;
    std::mutex mutex;
    std::condition_variable changed;
    int added = 0;
    kestrava::net::Sender::Options options;
    options.onDestinationAdded = [&](std::int32_t) {
        std::lock_guard lock(mutex);
        ++added;
        changed.notify_all();
    };
    std::unique_ptr<kestrava::net::Sender> sender;
    a.call([&] { sender = std::make_unique<kestrava::net::Sender>(&c.config, options); });
    sender->submitAdd("10.212.0.1", unboundReceiver->portText(), "", true);
    sender->submitAdd("10.212.0.1", boundReceiver->portText(), "kv2a", true);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return added == 2; }));
    }
    ASSERT_TRUE(c.log->waitFor("UDP destination now bound to kv2a / 10.211.2.1"));
    for (int i = 0; i < 5; ++i) {
        const std::vector<std::uint8_t> packet(100, static_cast<std::uint8_t>(i));
        sender->enqueue(packet.data(), 100, TRP::Priority::Frame);
    }
    for (int i = 0; i < 5; ++i) {
        const auto viaRoute = unboundReceiver->receive();
        ASSERT_TRUE(viaRoute.has_value()) << i;
        EXPECT_EQ(viaRoute->interfaceIndex, firstIndex);
        const auto viaBinding = boundReceiver->receive();
        ASSERT_TRUE(viaBinding.has_value()) << i;
        EXPECT_EQ(viaBinding->interfaceIndex, secondIndex);
        EXPECT_EQ(viaBinding->source, "10.211.2.1");
        EXPECT_EQ(viaBinding->bytes, std::vector<std::uint8_t>(100, static_cast<std::uint8_t>(i)));
    }
    sender.reset();
}
