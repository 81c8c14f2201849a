#include "ScriptedSource.h"
#include "model/InstanceTable.h"
#include "model/Model.h"
#include "web/Router.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using kestrava::web::ReplyOutput;
using kestrava::web::RouteRequest;
using kestrava::web::Router;
using kestrava::web::ServerMutex;
using webtest::RecordingSink;

TEST(Router, ClassifiesByTheFixedChain) {
    using R = Router::Route;
    struct {
        const char* path;
        R route;
    } cases[] = {
        {"/websocket", R::WebSocketPath}, {"/websocket/", R::Static},   {"/websocket?x", R::Static},
        {"/log", R::LogRedirect},         {"/LOG", R::Static},          {"/logs", R::Static},
        {"/log/", R::LogList},            {"/log//", R::LogFile},       {"/log/?q", R::LogFile},
        {"/objects.js", R::ObjectsJs},    {"/objects.js?-1", R::ObjectsJs}, {"/objects.jsx", R::ObjectsJs},
        {"/update-1/", R::Update},        {"/updateX", R::Update},      {"/json5/", R::Json},
        {"/favicon.ico?v=2", R::Favicon}, {"/", R::Static},             {"/modern/app.js", R::Static},
        {"", R::NotFound},                {"*", R::NotFound},           {"update", R::NotFound},
    };
    for (const auto& c : cases) EXPECT_EQ(Router::classify(c.path), c.route) << c.path;
}

class RouterFixture : public testing::Test {
protected:
    void SetUp() override { table.registerModel(0, &model); }
    void TearDown() override { table.unregisterModel(0); }

    std::string serve(const std::string& path, bool webSocket = false, bool crossSite = false) {
        RecordingSink sink;
        ReplyOutput out(sink);
        out.startConnection(webSocket);
        RouteRequest r;
        r.path = path;
        r.webSocketMode = webSocket;
        r.crossSite = crossSite;
        r.reply = &out;
        router.serve(r);
        return sink.text();
    }

    InstanceTable table;
    Model model;
    ServerMutex mutex;
    Router router{mutex, table, 0, std::chrono::milliseconds(50)};
};

TEST_F(RouterFixture, AnswersTheFixedRoutesAndNotFound) {
    EXPECT_EQ(serve("/websocket"), "HTTP/1.0 500 NO WEBSOCKETS\r\n\r\n");
    EXPECT_EQ(serve("/log"), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
    const std::string notFound =
        "HTTP/1.0 404 NOT FOUND\r\nContent-Type: text/html\r\nAccess-Control-Allow-Origin: *\r\n\r\nPage not found";
    // Routes of later parts answer 404 until they are plugged in.
    for (const char* path : {"", "*", "/log/", "/objects.js", "/update-1/", "/json-1/", "/index.html"}) {
        EXPECT_EQ(serve(path), notFound) << path;
    }
}

TEST_F(RouterFixture, PluggedRoutesServeUnderBothLocks) {
    struct Probe : kestrava::web::RouteHandler {
        void serve(RouteRequest& r) override {
            sawModel = r.model;
            sawServerLock = r.serverLock != nullptr && r.serverLock->owns();
            r.reply->sendPlain("ok");
        }
        Model* sawModel = nullptr;
        bool sawServerLock = false;
    } probe;
    router.plug(Router::Route::Static, &probe);
    EXPECT_EQ(serve("/index.html"), "ok");
    EXPECT_EQ(probe.sawModel, &model);
    EXPECT_TRUE(probe.sawServerLock);
    // Both locks are free again.
    EXPECT_TRUE(mutex.tryLockFor(std::chrono::milliseconds(0)));
    mutex.unlock();
    EXPECT_NE(table.lockInstanceModel(0), nullptr);
    table.unlock();
}

TEST_F(RouterFixture, WebSocketMessagesGetFramesOnly) {
    // A 404 as one binary frame with the code in front.
    const std::string nf = serve("nothing", true);
    ASSERT_GE(nf.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(nf[0]), 0x82);
    EXPECT_EQ(nf.substr(2, 2), std::string("\x01\x94", 2));
    // A route that has only a plain HTTP form answers with an error frame, never plain text.
    for (const char* path : {"/websocket", "/log", "/index.html"}) {
        const std::string r = serve(path, true);
        ASSERT_GE(r.size(), 4u) << path;
        EXPECT_EQ(static_cast<unsigned char>(r[0]), 0x82) << path;
        EXPECT_EQ(r.find("HTTP/"), std::string::npos) << path;
    }
}

TEST_F(RouterFixture, RefusesStateChangesFromAnotherSite) {
    for (const char* path : {"/update-1/", "/json-1/"}) {
        EXPECT_EQ(serve(path, false, true).rfind("HTTP/1.0 403 FORBIDDEN\r\n", 0), 0u) << path;
    }
    EXPECT_EQ(serve("/log", false, true), "HTTP/1.0 302 Found\r\nLocation: /log/\r\n\r\n");
}

TEST_F(RouterFixture, NoModelNoReply) {
    table.unregisterModel(0);
    EXPECT_EQ(serve("/websocket"), "");
    EXPECT_TRUE(mutex.tryLockFor(std::chrono::milliseconds(0))) << "the server mutex was released";
    mutex.unlock();
}

TEST_F(RouterFixture, ServerMutexTimeOutGives500AndReleasesOnlyWhatWasTaken) {
    ASSERT_TRUE(mutex.tryLockFor(std::chrono::milliseconds(0)));
    EXPECT_EQ(serve("/log"),
              "HTTP/1.0 500 SERVER ERROR\r\nContent-Type: text/html\r\nAccess-Control-Allow-Origin: *\r\n\r\n"
              "500 Server error");
    // The router did not release the mutex it never had: another thread still cannot take it.
    bool taken = true;
    std::thread other([&] { taken = mutex.tryLockFor(std::chrono::milliseconds(0)); });
    other.join();
    EXPECT_FALSE(taken);
    mutex.unlock();
}

}  // namespace
