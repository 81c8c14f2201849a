// The server on a loopback port: clients on 127.0.0.0/8 only, every wait bounded.
#include "FakeInstance.h"
#include "LoopbackClient.h"
#include "ScriptedSource.h"
#include "model/InstanceTable.h"
#include "model/Model.h"
#include "params/PBool.h"
#include "web/HttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using kestrava::web::HttpServer;
using webtest::LoopbackClient;
using namespace std::chrono_literals;

class TestHost : public kestrava::web::ServerHost {
public:
    std::string whiteListText() override {
        std::lock_guard lock(mutex);
        return whiteList;
    }
    void warn(std::string_view text) override {
        std::lock_guard lock(mutex);
        warnings.emplace_back(text);
    }
    bool runGuarded(const char*, const std::function<void()>& body) override {
        body();
        return true;
    }
    void setWhiteList(std::string text) {
        std::lock_guard lock(mutex);
        whiteList = std::move(text);
    }
    kestrava::web::content::InstanceAccess* instanceAccess() override { return instance; }
    kestrava::web::content::InstanceAccess* instance = nullptr;
    std::vector<std::string> warningsSeen() {
        std::lock_guard lock(mutex);
        return warnings;
    }

private:
    std::mutex mutex;
    std::string whiteList = "/0";
    std::vector<std::string> warnings;
};

const std::string notFound =
    "HTTP/1.0 404 NOT FOUND\r\nContent-Type: text/html\r\nAccess-Control-Allow-Origin: *\r\n\r\nPage not found";
const std::string rfcKey = "dGhlIHNhbXBsZSBub25jZQ==";

class Server : public testing::Test {
protected:
    void SetUp() override { table.registerModel(0, &model); }
    void TearDown() override {
        server.reset();
        table.unregisterModel(0);
    }
    void start(kestrava::web::ServerLimits limits = {}) {
        server = std::make_unique<HttpServer>(host, table);
        HttpServer::Config config;
        config.bindAddress = "127.0.0.1";
        config.anyPort = true;
        config.limits = limits;
        ASSERT_TRUE(server->start(config));
        port = server->boundPort();
        ASSERT_NE(port, 0);
    }
    std::string get(const std::string& path, const char* from = "127.0.0.1") {
        LoopbackClient c(port, from);
        c.send("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
        return c.readAll();
    }
    std::string upgrade(LoopbackClient& c, const std::string& extra = "") {
        c.send("GET /lumora/ HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
               "Sec-WebSocket-Key: " + rfcKey + "\r\nSec-WebSocket-Version: 13\r\n" + extra + "\r\n");
        const std::string expected =
            "HTTP/1.1 101 Web Socket Protocol Handshake\r\nContent-Type: application/json\r\n"
            "Access-Control-Allow-Origin: *\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n";
        return c.readExactly(expected.size());
    }
    static std::string frame(std::uint8_t opcode, const std::string& payload) {
        const auto f = webtest::clientFrame(opcode, webtest::bytesOf(payload));
        return std::string(f.begin(), f.end());
    }

    InstanceTable table;
    Model model;
    TestHost host;
    std::unique_ptr<HttpServer> server;
    std::uint16_t port = 0;
};

TEST_F(Server, AnswersOneRequestPerConnection) {
    start();
    EXPECT_EQ(get("/websocket"), "HTTP/1.0 500 NO WEBSOCKETS\r\n\r\n");
    EXPECT_EQ(get("/log"), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
    EXPECT_EQ(get("/lumora/log"), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
    EXPECT_EQ(get("/index.html"), notFound);
    // Other methods and stubs get no reply; the connection is closed.
    for (const char* request : {"HEAD / HTTP/1.0\r\n\r\n", "GE", "OPTIONS / HTTP/1.0\r\n\r\n"}) {
        LoopbackClient c(port);
        c.send(request);
        c.finishSending();
        EXPECT_EQ(c.readAll(), "") << request;
    }
}

TEST_F(Server, ServesAWebSocketUntilItEnds) {
    start();
    LoopbackClient ws(port);
    ASSERT_NE(upgrade(ws).find("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n"), std::string::npos);
    ws.send(frame(9, "abc"));
    EXPECT_EQ(ws.readExactly(5), std::string("\x8A\x03" "abc", 5));
    // A message is routed like a request path; its 404 comes back as one binary frame.
    ws.send(frame(1, "nothing-here"));
    EXPECT_EQ(ws.readExactly(4 + 14), std::string("\x82\x10\x01\x94", 4) + "Page not found");
    // A declared 70,000-byte frame gets close 1009 and the connection ends.
    ws.send(std::string("\x82\xFF\0\0\0\0\0\x01\x11\x70\1\2\3\4", 14));
    EXPECT_EQ(ws.readAll(), std::string("\x88\x02\x03\xF1", 4));
    EXPECT_TRUE(ws.closedByServer);
    EXPECT_EQ(get("/websocket"), "HTTP/1.0 500 NO WEBSOCKETS\r\n\r\n");
}

TEST_F(Server, OpensASessionAndServesItsUpdatesOverAWebSocket) {
    using namespace kestrava::params;
    webtest::FakeInstance instance;
    auto& flag = instance.add(std::make_unique<PBool>(instance.owner, 4, static_cast<kestrava::ParamId>(26), true, 0,
                                                      ShortKey("F"), NamePair("S"), NamePair("K"), "Flag"));
    host.instance = &instance;
    start();
    const std::string script = get("/objects.js");
    ASSERT_EQ(script.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << script;
    EXPECT_NE(script.find("T[26]=8;\n"), std::string::npos);
    const std::size_t at = script.find("let GUI_INDEX = \"");
    ASSERT_NE(at, std::string::npos);
    const std::string id = std::to_string(std::stoi(script.substr(at + 17)));

    LoopbackClient ws(port);
    upgrade(ws);
    // Set the flag off and ask for its state: one binary frame, status 0, the words, 9999.
    ws.send(frame(1, "/update" + id + "/1001A,0/"));
    const std::string words("\x08\0\x01\0\0\0\x1A\0\0\0\x07\0\0\0\x0F\x27", 16);
    EXPECT_EQ(ws.readExactly(4 + words.size()), std::string("\x82\x12\0\0", 4) + words);
    EXPECT_FALSE(flag.current());
    // A session no record holds gets the 409 frame; the connection goes on.
    ws.send(frame(1, "/update" + std::to_string(std::stoi(id) + 1) + "/"));
    EXPECT_EQ(ws.readExactly(4).substr(2), std::string("\x01\x99", 2));
    server.reset();
}

TEST_F(Server, AnswersRemoteControlOverHttpAndAWebSocket) {
    using namespace kestrava::params;
    webtest::FakeInstance instance;
    auto& flag = instance.add(std::make_unique<PBool>(instance.owner, 4, static_cast<kestrava::ParamId>(26), true, 0,
                                                      ShortKey("F"), NamePair("S"), NamePair("K"), "Flag"));
    host.instance = &instance;
    start();
    const std::string header =
        "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\n\r\n";
    EXPECT_EQ(get("/json-1/"), header + "{  }\n");
    const std::string off = "{ \"26\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"0\", \"text\": \"Flag\" } }\n";
    EXPECT_EQ(get("/json-1/%7B%2226%22%3A%7B%22new_value%22%3A%220%22%7D%7D"), header + off);
    EXPECT_FALSE(flag.current());
    std::string on = off;
    on.replace(on.find("\"0\""), 3, "\"1\"");
    EXPECT_EQ(get("/lumora/json-1/{\"26\":{\"new_value\":\"1\"}}"), header + on);

    // On a WebSocket each request is answered with one text frame.
    LoopbackClient ws(port);
    upgrade(ws);
    ws.send(frame(1, "/json-1/{\"26\":{\"new_value\":\"0\"}}"));
    EXPECT_EQ(ws.readExactly(2 + off.size()), std::string("\x81") + static_cast<char>(off.size()) + off);
    ws.send(frame(1, "/json-1/}"));
    const std::string closing = "{ \"ERROR_TOO_MANY_CLOSING_BRACKETS\" }\n";
    EXPECT_EQ(ws.readExactly(2 + closing.size()), std::string("\x81") + static_cast<char>(closing.size()) + closing);
    EXPECT_FALSE(flag.current());
    server.reset();
}

TEST_F(Server, RefusesCrossSiteUpgradesAndOverlongKeys) {
    start();
    LoopbackClient other(port);
    other.send("GET / HTTP/1.1\r\nHost: 127.0.0.1:80\r\nOrigin: http://evil.example\r\nSec-WebSocket-Key: " + rfcKey +
               "\r\n\r\n");
    EXPECT_EQ(other.readAll().rfind("HTTP/1.0 403 FORBIDDEN\r\n", 0), 0u);
    LoopbackClient longKey(port);
    longKey.send("GET / HTTP/1.1\r\nSec-WebSocket-Key: " + std::string(92, 'k') + "\r\n\r\n");
    EXPECT_EQ(longKey.readAll().rfind("HTTP/1.0 400 BAD REQUEST\r\n", 0), 0u);
}

TEST_F(Server, WhiteListDecidesPerConnection) {
    host.setWhiteList("");
    start();
    const std::string denied = get("/", "127.0.0.2");
    EXPECT_EQ(denied.rfind("HTTP/1.0 403 FORBIDDEN\r\nContent-Type: text/html; charset=UTF-8\r\n", 0), 0u);
    EXPECT_NE(denied.find("<b>Your IP address is: 127.0.0.2</b><BR/>"), std::string::npos);
    EXPECT_NE(denied.find("<TT>127.0.0.1 192.168/16 198.51.100.254</TT>"), std::string::npos);
    // 127.0.0.1 is always allowed.
    EXPECT_EQ(get("/log", "127.0.0.1"), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");

    // A changed setting takes effect at the next connection.
    host.setWhiteList("127.0.0.0/8");
    EXPECT_EQ(get("/log", "127.0.0.2"), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");

    // A malformed entry is refused with a warning and allows nothing.
    host.setWhiteList("1.2.3.4/");
    EXPECT_NE(get("/log", "127.0.0.2").find("Your IP address is: 127.0.0.2"), std::string::npos);
    const auto warnings = host.warningsSeen();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("1.2.3.4/"), std::string::npos);

    // A denied client that closes without sending anything still gets the page.
    LoopbackClient silent(port, "127.0.0.3");
    silent.finishSending();
    EXPECT_NE(silent.readAll().find("Your IP address is: 127.0.0.3"), std::string::npos);
}

TEST_F(Server, BusyWorkersGive503) {
    kestrava::web::ServerLimits limits;
    limits.headerTimeout = 120s;  // the half-sent heads hold their workers for the whole test
    limits.busyWait = 100ms;
    start(limits);
    std::vector<std::unique_ptr<LoopbackClient>> slow;
    for (int i = 0; i < kestrava::web::ServerLimits::workerCount; ++i) {
        slow.push_back(std::make_unique<LoopbackClient>(port));
        slow.back()->send("GET /log HTTP/1.0\r\nHost: 127.0.0.1\r\n");
    }
    // A complete request is served while a worker is free; once all ten hold a half-sent head,
    // the next one is told that the server is busy.
    std::string busy;
    for (int attempt = 0; attempt < 200 && busy.find(" 503 ") == std::string::npos; ++attempt) busy = get("/log");
    EXPECT_EQ(busy.rfind("HTTP/1.0 503 SERVICE UNAVAILABLE\r\n", 0), 0u) << busy;
    // Clients that end their requests free the workers again.
    for (auto& c : slow) {
        c->finishSending();
        EXPECT_EQ(c->readAll(), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
    }
    EXPECT_EQ(get("/log"), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
}

TEST_F(Server, HalfSentHeadsTimeOutWithoutAReply) {
    kestrava::web::ServerLimits limits;
    limits.headerTimeout = 200ms;
    start(limits);
    LoopbackClient slow(port);
    slow.send("GET /log HTTP/1.0\r\nHost: 12");
    EXPECT_EQ(slow.readAll(), "");
    EXPECT_TRUE(slow.closedByServer);
    EXPECT_EQ(get("/log"), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
}

TEST_F(Server, AnswersWhileIdleAndHalfSentConnectionsAreHeldAndStopsPromptly) {
    start();
    std::vector<std::unique_ptr<LoopbackClient>> held;
    for (int i = 0; i < 70; ++i) held.push_back(std::make_unique<LoopbackClient>(port));
    for (int i = 0; i < 10; ++i) {
        held.push_back(std::make_unique<LoopbackClient>(port));
        held.back()->send("GET /log HTTP/1.0\r\nHo");
    }
    const auto asked = std::chrono::steady_clock::now();
    LoopbackClient fresh(port);
    fresh.send("GET /log HTTP/1.0\r\n\r\n");
    EXPECT_EQ(fresh.readAll(30s), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 15s);

    // Stop with ten WebSockets open and connections waiting.
    std::vector<std::unique_ptr<LoopbackClient>> sockets;
    for (int i = 0; i < 10; ++i) {
        sockets.push_back(std::make_unique<LoopbackClient>(port));
        upgrade(*sockets.back());
    }
    const auto stopping = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 3s);
}

TEST_F(Server, StopsWithoutAPort) {
    server = std::make_unique<HttpServer>(host, table);
    HttpServer::Config config;
    config.port = 0;
    EXPECT_FALSE(server->start(config));
    server->stop();
}

}  // namespace
