// "/objects.js" and "/update" through the router, against a small parameter set.
#include "FakeInstance.h"
#include "ScriptedSource.h"
#include "model/InstanceTable.h"
#include "model/Model.h"
#include "params/PBool.h"
#include "params/PString.h"
#include "platform/ErrorState.h"
#include "web/ObjectsJsRoute.h"
#include "web/Router.h"
#include "web/SessionTable.h"
#include "web/UpdateRoute.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <vector>

namespace {

using namespace kestrava::params;
using kestrava::ParamId;
using kestrava::web::ReplyOutput;
using kestrava::web::Router;
using kestrava::web::RouteRequest;
using kestrava::web::SessionTable;
using webtest::Bytes;
using Words = std::vector<std::uint16_t>;

enum class Mode { Plain, WebSocket, Fake };

const std::string okHeader =
    "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nAccess-Control-Allow-Origin: *\r\n\r\n";
const std::string sessionError =
    "HTTP/1.0 409 SESSION ERROR\r\nContent-Type: text/html\r\nAccess-Control-Allow-Origin: *\r\n\r\n"
    "Session is no longer active. If you are trying to remotely control Kestrava, use (fake) session ID -1, so "
    "/update-1/...";

// Words as they go on the wire: low byte first.
Bytes wire(const Words& words) {
    Bytes b;
    for (std::uint16_t w : words) {
        b.push_back(static_cast<std::uint8_t>(w & 0xFF));
        b.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return b;
}

Words wordsOf(const Bytes& b, std::size_t from = 0) {
    Words w;
    for (std::size_t i = from; i + 1 < b.size(); i += 2) w.push_back(static_cast<std::uint16_t>(b[i] | (b[i + 1] << 8)));
    return w;
}

class SessionRoutes : public testing::Test {
protected:
    void SetUp() override {
        table.registerModel(0, &model);
        router.plug(Router::Route::ObjectsJs, &objects);
        router.plug(Router::Route::Update, &update);
        ErrorState::reset();
    }
    void TearDown() override { table.unregisterModel(0); }

    PBool& addBool(ParamId id, int mode, bool value, std::string_view name) {
        auto& p = instance.add(std::make_unique<PBool>(instance.owner, 4, id, false, mode, ShortKey("B"), NamePair("S"),
                                                       NamePair("K"), name));
        p.setValue(value);
        return p;
    }

    Bytes serveBytes(const std::string& path, Mode mode = Mode::Plain) {
        webtest::RecordingSink sink;
        ReplyOutput out(sink);
        out.startConnection(mode == Mode::WebSocket);
        RouteRequest r;
        r.path = path;
        r.webSocketMode = mode == Mode::WebSocket;
        r.fakeMode = mode == Mode::Fake;
        r.reply = &out;
        router.serve(r);
        lastSends = sink.sends;
        return sink.all();
    }
    std::string serve(const std::string& path, Mode mode = Mode::Plain) {
        const Bytes b = serveBytes(path, mode);
        return std::string(b.begin(), b.end());
    }
    // Opens a session through the script and returns its id.
    std::int32_t openSession() {
        const std::string script = serve("/objects.js");
        const std::size_t at = script.find("let GUI_INDEX = \"");
        EXPECT_NE(at, std::string::npos);
        return std::stoi(script.substr(at + 17));
    }

    std::deque<std::uint32_t> draws{4321, 77, 78, 79, 80, 81, 82, 83, 84, 85, 86, 87, 88, 89};
    InstanceTable table;
    Model model;
    kestrava::web::ServerMutex mutex;
    Router router{mutex, table, 0, std::chrono::milliseconds(50)};
    webtest::FakeInstance instance{&mutex};
    SessionTable sessions{[this] {
        const std::uint32_t v = draws.empty() ? 0 : draws.front();
        if (!draws.empty()) draws.pop_front();
        return v;
    }};
    std::atomic<bool> stop{false};
    kestrava::web::ObjectsJsRoute objects{sessions, instance, stop, 0};
    kestrava::web::UpdateRoute update{sessions, instance};
    std::vector<Bytes> lastSends;
};

TEST_F(SessionRoutes, ObjectsScriptIsTheFixedTextWithTheSessionAndTheTypeTable) {
    addBool(static_cast<ParamId>(1234), 0, true, "Enable");
    addBool(static_cast<ParamId>(7), 1, false, "Switch");
    addBool(kestrava::ID_NONE, 0, false, "No id");
    addBool(static_cast<ParamId>(20), 2, false, "Lamp");
    addBool(static_cast<ParamId>(21), 9, false, "Odd style");
    const std::string expected =
        "HTTP/1.0 200 OK\r\nContent-Type: application/javascript; charset=ISO-8859-1\r\n"
        "Cache-Control: hmax-age=3600\r\n\r\n"
        "let WEBSOCKETS_SUPPORTED = true ;\n\n"
        "let GUI_INDEX = \"4321\";\n"
        "const WIDGETTYPE = {OMITTED: 0, WAVE: 1, MPX: 2, RF: 3, PEQ: 4, DISPLAYONE: 5, DISPLAYTWO: 6, SLIDER: 7, "
        "BOOL_CHECK: 8, HEX: 9, DEC: 10, STRING: 11, ENUM: 12, BOOL_SWITCH: 13, ENUMACTION2: 14, MBBANDS: 15, "
        "BUTTON: 16, SPECTRUM: 17, ENUMACTION2A: 18, CORVIXKOEKERROR: 19, KESTRAVARECEIVER: 20, HEADER: 21, "
        "DISPLAYDBS: 22, LINK: 23, BOOL_STATUS: 24, LISTMANAGER: 25, DCWAVE: 26};\n"
        "const SCALETYPE = {None: 0,   Decibel: 1,   Percent: 2,   Hertz: 3,   Integer: 4};\n"
        "let WIDGETS = {};\n"
        "let T = {};\n"
        "const MAX_SIZE_X_WAVE =         2048;\n"
        "const MAX_SIZE_X_KVRARECEIVER = 1024;\n"
        "const MAX_SIZE_X_MBBANDS =      1024;\n"
        "const MAX_SIZE_X_PEQ =          2048;\n"
        "const MAX_SIZE_X_RF =           1024;\n"
        "const MAX_SIZE_X_SPECTRUM =     64;\n"
        "const MAX_SIZE_X_MPX =          1024;\n"
        "const MAX_KOEK_ERRORS =         64;\n"
        "T[1234]=8;T[7]=13;T[20]=24;T[21]=0;\n";
    EXPECT_EQ(serve("/objects.js"), expected);
    const SessionTable::Record r = sessions.record(0);
    EXPECT_EQ(r.sessionId, 4321);
    EXPECT_EQ(r.viewIndex, 3);
    EXPECT_EQ(r.age, 0);
}

TEST_F(SessionRoutes, ScriptSessionIdsNoneKnownAndStale) {
    const std::string noSession = serve("/objects.js?-1");
    EXPECT_NE(noSession.find("let GUI_INDEX = \"-1\";\n"), std::string::npos);
    EXPECT_EQ(sessions.record(0).age, -1) << "no record is opened or aged";

    EXPECT_EQ(openSession(), 4321);
    EXPECT_EQ(openSession(), 77);
    // The id of a session in use: the same id, that record refreshed, the other one aged.
    EXPECT_NE(serve("/objects.js?4321").find("let GUI_INDEX = \"4321\";\n"), std::string::npos);
    EXPECT_EQ(sessions.record(0).age, 0);
    EXPECT_EQ(sessions.record(1).age, 1);
    EXPECT_EQ(serve("/objects.js?555"),
              "HTTP/1.0 409 SERVER ERROR\r\nContent-Type: application/octet-stream\r\nAccess-Control-Allow-Origin: "
              "*\r\n\r\nSession is no longer active");
    // No digits (or 0) ask for a new session.
    EXPECT_NE(serve("/objects.js?x").find("let GUI_INDEX = \"78\";\n"), std::string::npos);
    EXPECT_NE(serve("/objects.jsx").find("let GUI_INDEX = \"79\";\n"), std::string::npos);
}

TEST_F(SessionRoutes, TheFourteenthPageTakesOverTheFirstSession) {
    const std::int32_t first = openSession();
    for (int k = 1; k < 13; ++k) openSession();
    instance.taken();
    openSession();
    // Both views of the page that lost its record are logged out.
    EXPECT_EQ(instance.taken(), (std::vector<std::string>{"logout 3", "logout 4"}));
    EXPECT_EQ(serve("/update" + std::to_string(first) + "/"), sessionError);
    // The pause comes after the reply, with no lock held; nothing was prepared or applied.
    EXPECT_EQ(instance.taken(), (std::vector<std::string>{"pause 50 unlocked"}));
}

TEST_F(SessionRoutes, CheckBoxReplyWordsWithTitle) {
    addBool(static_cast<ParamId>(1234), 0, true, "Enable");
    const std::int32_t id = openSession();
    instance.taken();
    const Bytes reply = serveBytes("/update" + std::to_string(id) + "/204D2/");
    const Bytes expected = [&] {
        Bytes b(okHeader.begin(), okHeader.end());
        const Bytes words = wire({8, 6, 0, 1234, 0, 15, 6, 0x456E, 0x6162, 0x6C65, 0, 1, 9999});
        b.insert(b.end(), words.begin(), words.end());
        return b;
    }();
    EXPECT_EQ(reply, expected);
    // The wait for input comes before the locks; the parameter set is prepared for the view.
    EXPECT_EQ(instance.taken(), (std::vector<std::string>{"wait 3 150 unlocked", "prepare 3", "process"}));
    // Nothing new for this view: an empty reply after the header.
    EXPECT_EQ(serve("/update" + std::to_string(id) + "/4D2/"), okHeader);
}

TEST_F(SessionRoutes, TitleCharactersPackTwoPerWordFirstInTheHighByte) {
    addBool(static_cast<ParamId>(5), 0, false, "Input");
    const Words w = wordsOf(serveBytes("/update-1/20005/", Mode::Fake));
    ASSERT_GE(w.size(), 10u);
    EXPECT_EQ(Words(w.begin() + 6, w.begin() + 10), (Words{5, 0x496E, 0x7075, 0x7400}));
    EXPECT_EQ(w.back(), 9999);
}

TEST_F(SessionRoutes, ReplyFramingPerConnectionMode) {
    addBool(static_cast<ParamId>(26), 0, true, "Flag");
    // WebSocket: one binary frame, status 00 00 in front of the words.
    const Bytes empty = serveBytes("/update-1/", Mode::WebSocket);
    EXPECT_EQ(empty, (Bytes{0x82, 0x02, 0x00, 0x00}));
    const Bytes ws = serveBytes("/update-1/1A/", Mode::WebSocket);
    const Words words{8, 1, 0, 26, 0, 7, 1, 9999};
    Bytes expected{0x82, static_cast<std::uint8_t>(2 + 2 * words.size()), 0x00, 0x00};
    const Bytes payload = wire(words);
    expected.insert(expected.end(), payload.begin(), payload.end());
    EXPECT_EQ(ws, expected);
    // Fixed-record mode: the words alone, and no wait.
    instance.taken();
    EXPECT_EQ(serveBytes("/update-1/1A/", Mode::Fake), payload);
    EXPECT_EQ(instance.taken(), (std::vector<std::string>{"prepare 29", "process"}));
    // A stale session: a 409 frame over a WebSocket; no pause in fixed-record mode.
    const Bytes stale = serveBytes("/update77/", Mode::WebSocket);
    ASSERT_GE(stale.size(), 4u);
    EXPECT_EQ(stale[0], 0x82);
    EXPECT_EQ(stale[2], 0x01);
    EXPECT_EQ(stale[3], 0x99);
    instance.taken();
    EXPECT_EQ(serve("/update77/", Mode::Fake), sessionError);
    EXPECT_EQ(instance.taken(), std::vector<std::string>{});
}

TEST_F(SessionRoutes, UnknownWidgetsAreNotedAndSkipped) {
    addBool(static_cast<ParamId>(26), 0, true, "Flag");
    for (const char* body : {"FFFF/", "3A98/", "1B/"}) {  // above the id range, 15000, not declared
        ErrorState::reset();
        EXPECT_EQ(serve(std::string("/update-1/") + body), okHeader) << body;
        EXPECT_EQ(ErrorState::errorState.load(), ErrorState::WebNotice) << body;
    }
    EXPECT_STREQ(ErrorState::errorText, "HttpServer: Got unknown widget ID: 27");
    // An unknown widget between two known ones leaves their words alone.
    const Words w = wordsOf(serveBytes("/update-1/1A/FFFF/1A/", Mode::Fake));
    EXPECT_EQ(w.size(), 16u);
}

TEST_F(SessionRoutes, ClientInputReachesTheParameterAndTheChangeIsProcessed) {
    PBool& flag = addBool(static_cast<ParamId>(26), 0, true, "Flag");
    const std::int32_t id = openSession();
    instance.taken();
    const Words w = wordsOf(serveBytes("/update" + std::to_string(id) + "/1A,0/", Mode::Fake));
    EXPECT_FALSE(flag.current());
    EXPECT_EQ(instance.owner.userChanges.load(), 1);
    // The new value is reported back to the client that sent it.
    EXPECT_EQ(w, (Words{8, 1, 0, 26, 0, 7, 0, 9999}));
    EXPECT_EQ(instance.taken(), (std::vector<std::string>{"prepare 3", "process"}));
}

TEST_F(SessionRoutes, BadCharactersGiveOneLineAndTheSessionGoesOn) {
    addBool(static_cast<ParamId>(26), 0, true, "Flag");
    const std::int32_t id = openSession();
    instance.taken();
    serve("/update" + std::to_string(id) + "/" + std::string(1000, '~'));
    const auto events = instance.taken();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[2].rfind("diagnostic Bad character in string - ~~~", 0), 0u) << events[2];
    EXPECT_LT(events[2].size(), 120u);
    EXPECT_EQ(wordsOf(serveBytes("/update" + std::to_string(id) + "/1001A/", Mode::Fake)),
              (Words{8, 1, 0, 26, 0, 7, 1, 9999}));
}

// Splits a server's frames: (first byte, payload).
std::vector<std::pair<std::uint8_t, Bytes>> frames(const Bytes& b) {
    std::vector<std::pair<std::uint8_t, Bytes>> out;
    std::size_t i = 0;
    while (i + 2 <= b.size()) {
        const std::uint8_t first = b[i];
        std::uint64_t n = b[i + 1] & 0x7F;
        i += 2;
        const int extra = n == 126 ? 2 : n == 127 ? 8 : 0;
        if (extra > 0) {
            n = 0;
            for (int k = 0; k < extra; ++k) n = (n << 8) | b[i++];
        }
        out.emplace_back(first, Bytes(b.begin() + static_cast<std::ptrdiff_t>(i),
                                      b.begin() + static_cast<std::ptrdiff_t>(i + n)));
        i += n;
    }
    return out;
}

TEST_F(SessionRoutes, LongRepliesGoOutInPartsOfOneMessage) {
    auto& text = instance.add(std::make_unique<PString>(instance.owner, 4, static_cast<ParamId>(40), 4000, "",
                                                        ShortKey("T"), NamePair("S"), NamePair("K"), "Text", "%s"));
    text.setValue(std::string(4000, 'x'));
    // Each forced group reports the whole text, thousands of words: 70 groups pass 131,072 words.
    std::string path = "/update-1/";
    for (int k = 0; k < 70; ++k) path += "28/";
    const auto parts = frames(serveBytes(path, Mode::WebSocket));
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(Bytes(parts[0].second.begin(), parts[0].second.begin() + 2), (Bytes{0, 0})) << "status in front";
    Bytes joined(parts[0].second.begin() + 2, parts[0].second.end());
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const bool last = k + 1 == parts.size();
        EXPECT_EQ(parts[k].first, k == 0 ? 0x02 : last ? 0x80 : 0x00) << "part " << k;
        if (k > 0) joined.insert(joined.end(), parts[k].second.begin(), parts[k].second.end());
        if (last) continue;
        // A part ends right after an end word, once it holds more than 131,072 words.
        const Words words = wordsOf(parts[k].second, k == 0 ? 2 : 0);
        EXPECT_GT(words.size(), 131'072u) << "part " << k;
        EXPECT_EQ(words.back(), 9999) << "part " << k;
    }
    // The same words arrive over plain HTTP.
    const Bytes plain = serveBytes(path);
    EXPECT_EQ(Bytes(plain.begin() + static_cast<std::ptrdiff_t>(okHeader.size()), plain.end()), joined);
}

}  // namespace
