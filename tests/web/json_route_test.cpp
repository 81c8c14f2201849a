// "/json" through the router, against a small parameter set: the reply in each connection mode,
// the entry of every kind, what a request may change, and that every reply is valid JSON.
#include "FakeInstance.h"
#include "ScriptedSource.h"
#include "audio/OldSamples.h"
#include "model/InstanceTable.h"
#include "model/Model.h"
#include "params/LMEnumList.h"
#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PCorvixKoekError.h"
#include "params/PEnum.h"
#include "params/PFloat.h"
#include "params/PInt.h"
#include "params/PString.h"
#include "params/PWave.h"
#include "web/JsonRoute.h"
#include "web/Router.h"
#include "web/SessionTable.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

using namespace kestrava::params;
using kestrava::ParamId;
using kestrava::web::ReplyOutput;
using kestrava::web::Router;
using kestrava::web::RouteRequest;

enum class Mode { Plain, WebSocket, Fake };

const std::string okHeader =
    "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\n\r\n";

ParamId id(int n) { return static_cast<ParamId>(n); }

class JsonRoutes : public testing::Test {
protected:
    void SetUp() override {
        table.registerModel(0, &model);
        router.plug(Router::Route::Json, &json);
        choices.add(0, "OFF", "Off");
        choices.add(1, "ON", "On");
        choices.add(2, "On", "Both");
        const ShortKey k("K");
        const NamePair n("N");
        flag = &instance.add(std::make_unique<PBool>(instance.owner, 4, id(100), false, 0, k, n, n, "Flag \"q\""));
        number = &instance.add(
            std::make_unique<PInt>(instance.owner, 4, id(101), 6, -1000, 1000, 1000, 0, k, n, n, "Count", "%d"));
        level = &instance.add(std::make_unique<PFloat>(instance.owner, 4, id(102), 1, 0.0f, 2000.0f, 2000.0f, 5.0f, 1,
                                                       1.0f, k, n, n, "Level", "%.1f", 1.0f));
        choice = &instance.add(
            std::make_unique<PEnum>(instance.owner, 4, id(103), &choices, false, 1, 0, k, n, n, "Mode"));
        text = &instance.add(std::make_unique<PString>(instance.owner, 4, id(104), 64, "start", k, n, n,
                                                       "Name \"x\" \\ \t caf\xE9", "%s"));
        secret = &instance.add(
            std::make_unique<PString>(instance.owner, 4, id(105), 64, "", k, n, n, "Password", "%s"));
        secret->setPasswordMode(nullptr);
        instance.add(createDisplayText(instance.owner, 4, id(106), 20, "shown", "Status", "%s"));
        button = &instance.add(std::make_unique<PButton>(instance.owner, 4, id(107), &press, "Go"));
        errors = &instance.add(std::make_unique<PCorvixKoekError>(instance.owner, 4, kestrava::ID_CORVIX_KOEK_ERRORS,
                                                                  "Errors"));
        history.storedRate = 192000.0f;
        wave = &instance.add(std::make_unique<PWave>(instance.owner, 4, id(108), 17, &history, nullptr, 0.1f, false,
                                                     false));
    }
    void TearDown() override { table.unregisterModel(0); }

    std::string serve(const std::string& path, Mode mode = Mode::Plain) {
        webtest::RecordingSink sink;
        ReplyOutput out(sink);
        out.startConnection(mode == Mode::WebSocket);
        RouteRequest r;
        r.path = path;
        r.webSocketMode = mode == Mode::WebSocket;
        r.fakeMode = mode == Mode::Fake;
        r.reply = &out;
        router.serve(r);
        const auto bytes = sink.all();
        return std::string(bytes.begin(), bytes.end());
    }
    // The body of a plain reply to "/json-1/" + body, which must be valid JSON.
    std::string ask(const std::string& body) {
        const std::string all = serve("/json-1/" + body);
        EXPECT_EQ(all.substr(0, okHeader.size()), okHeader);
        const std::string document = all.substr(std::min(all.size(), okHeader.size()));
        EXPECT_TRUE(nlohmann::json::accept(document)) << document;
        return document;
    }

    InstanceTable table;
    Model model;
    kestrava::web::ServerMutex mutex;
    Router router{mutex, table, 0, std::chrono::milliseconds(50)};
    webtest::FakeInstance instance{&mutex};
    kestrava::web::SessionTable sessions{[] { return 99u; }};
    kestrava::web::JsonRoute json{sessions, instance};

    LMEnum_DynamicLengthList choices;
    OldSamples history{false};
    int presses = 0;
    ButtonFunction press{[this](int view) { presses += view == 29 ? 1 : 1000; }};
    PBool* flag = nullptr;
    PInt* number = nullptr;
    PFloat* level = nullptr;
    PEnum* choice = nullptr;
    PString* text = nullptr;
    PString* secret = nullptr;
    PButton* button = nullptr;
    PCorvixKoekError* errors = nullptr;
    PWave* wave = nullptr;
};

TEST_F(JsonRoutes, AnEmptyRequestGetsTheEmptyReplyInEveryMode) {
    EXPECT_EQ(serve("/json-1/"), okHeader + "{  }\n");
    EXPECT_EQ(serve("/json-1"), okHeader + "{  }\n");
    EXPECT_EQ(instance.taken(), (std::vector<std::string>{"wait 29 150 unlocked", "prepare 29", "process",
                                                          "wait 29 150 unlocked", "prepare 29", "process"}));
    // One final text frame on a WebSocket; the text alone in the fixed-record mode.
    EXPECT_EQ(serve("/json-1/", Mode::WebSocket), std::string("\x81\x05{  }\n", 7));
    EXPECT_EQ(serve("/json-1/", Mode::Fake), "{  }\n");
    // A malformed body still gets the 200 and its entries, and one line for the operator.
    instance.taken();
    EXPECT_EQ(serve("/json-1/%7D%7D%7D"), okHeader + "{ \"ERROR_TOO_MANY_CLOSING_BRACKETS\" }\n");
    EXPECT_EQ(instance.taken(),
              (std::vector<std::string>{"wait 29 150 unlocked", "prepare 29",
                                        "diagnostic Bad /json request: ERROR_TOO_MANY_CLOSING_BRACKETS - }}}",
                                        "process"}));
    // A session that no record holds is refused before anything is read.
    EXPECT_EQ(serve("/json5/{\"100\":{\"new_value\":\"1\"}}").substr(0, 26), "HTTP/1.0 409 SESSION ERROR");
    EXPECT_FALSE(flag->current());
}

TEST_F(JsonRoutes, SettingsAreReadAndSetByTheirIds) {
    const std::string name = "\"text\": \"Name \\\"x\\\" \\\\ \\t caf\xC3\xA9\"";
    // Each step runs on the state the steps before it left.
    const struct {
        std::string body;
        std::string entries;
    } steps[] = {
        {"{\"100\":{}}", "\"100\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"0\", \"text\": \"Flag \\\"q\\\"\" }"},
        // Booleans read a number: words are 0, any other number is on.
        {"{\"100\":{\"new_value\":\"+2\"}}", "\"100\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"1\", \"text\": \"Flag \\\"q\\\"\" }"},
        {"{\"100\":{\"new_value\":\"true\"}}", "\"100\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"0\", \"text\": \"Flag \\\"q\\\"\" }"},
        {"{\"100\":{\"new_value\":\"99999999999\"}}", "\"100\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"1\", \"text\": \"Flag \\\"q\\\"\" }"},
        // Integers: atoi's reading, the parameter's range, nothing beyond 32 bits.
        {"{\"101\":{\"new_value\":\" 12abc\"}}", "\"101\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"12\", \"text\": \"Count\" }"},
        {"{\"101\":{\"new_value\":\"1001\"}}", "\"101\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"12\", \"text\": \"Count\" }"},
        {"{\"101\":{\"new_value\":\"4294967296\"}}", "\"101\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"12\", \"text\": \"Count\" }"},
        {"{\"101\":{\"new_value\":\"-1000\"}}", "\"101\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"-1000\", \"text\": \"Count\" }"},
        // Floats: atof's reading (a decimal comma ends the number), the range test.
        {"{\"102\":{\"new_value\":\"1e3\"}}", "\"102\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"1000.0\", \"text\": \"Level\" }"},
        {"{\"102\":{\"new_value\":\"1,5\"}}", "\"102\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"1.0\", \"text\": \"Level\" }"},
        {"{\"102\":{\"new_value\":\"nan\"}}", "\"102\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"1.0\", \"text\": \"Level\" }"},
        {"{\"102\":{\"new_value\":\"2000.5\"}}", "\"102\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"1.0\", \"text\": \"Level\" }"},
        {"{\"102\":{\"new_value\":\"x\"}}", "\"102\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"0.0\", \"text\": \"Level\" }"},
        // Choices by key (trailing blanks dropped, case counts); a label or a key no entry has
        // changes nothing.
        {"{\"103\":{\"new_value\":\"ON  \"}}", "\"103\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"ON\", \"text\": \"Mode\" }"},
        {"{\"103\":{\"new_value\":\"Off\"}}", "\"103\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"ON\", \"text\": \"Mode\" }"},
        {"{\"103\":{\"new_value\":\"\"}}", "\"103\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"ON\", \"text\": \"Mode\" }"},
        {"{\"103\":{\"new_value\":\"On\"}}", "\"103\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"On\", \"text\": \"Mode\" }"},
        // Texts, and a password field that never shows its value.
        {"{\"104\":{\"new_value\":\"a+b%2Bc\"}}", "\"104\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"a b+c\", " + name + " }"},
        {"{\"104\":{\"new_value\":\"\"}}", "\"104\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"\", " + name + " }"},
        {"{\"105\":{\"new_value\":\"hash\"}}", "\"105\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"\", \"text\": \"Password\" }"},
        // Elements without a reply of their own, and ids without a parameter.
        {"{\"106\":{\"new_value\":\"x\"}}", "\"106\": \"ERROR_UNSUPPORTED_PARAMETER_TYPE\""},
        {"{\"200\":{},\"-1\":{},\"99999\":{},\"99999999999999999999\":{}}",
         "\"200\": \"ERROR_UNKNOWN_ID\", \"-1\": \"ERROR_UNKNOWN_ID\", \"99999\": \"ERROR_UNKNOWN_ID\", "
         "\"9223372036854775807\": \"ERROR_UNKNOWN_ID\""},
    };
    for (const auto& s : steps) EXPECT_EQ(ask(s.body), "{ " + s.entries + " }\n") << s.body;
    EXPECT_EQ(secret->current(), "hash");
    EXPECT_EQ(static_cast<const Param*>(instance.owner.findParam(id(106)))->valueText(29, ValueKind::current),
              "shown");
}

TEST_F(JsonRoutes, EveryTakenValueGoesOnAsAClientChange) {
    const auto changes = [&] { return instance.owner.userChanges.exchange(0); };
    ask("{\"101\":{\"new_value\":\"7\"},\"100\":{\"new_value\":\"1\"},\"104\":{\"new_value\":\"n\"}}");
    EXPECT_EQ(changes(), 3);
    // The same values again, and refused ones, change nothing.
    ask("{\"101\":{\"new_value\":\"7\"},\"100\":{\"new_value\":\"1\"},\"101\":{\"new_value\":\"5000\"}}");
    EXPECT_EQ(changes(), 0);
    // A choice too: it must reach the running encoder like any other change.
    ask("{\"103\":{\"new_value\":\"ON\"}}");
    EXPECT_EQ(changes(), 1);
    EXPECT_EQ(choice->getValue(ValueKind::saved), 1);
    ask("{\"103\":{\"new_value\":\"nothing\"}}");
    EXPECT_EQ(changes(), 0);
    EXPECT_EQ(choice->current(), 1);
}

TEST_F(JsonRoutes, TheClientsOwnViewDecides) {
    // View 29 (no session) may see but not edit.
    instance.owner.setRights(29, 0xFFFFFFFFu, 0);
    for (auto& p : instance.params) p->updateViewFlags();
    EXPECT_EQ(ask("{\"101\":{\"new_value\":\"9\"},\"107\":{}}"),
              "{ \"101\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"0\", \"text\": \"Count\" }, "
              "\"107\": { \"enabled\": \"0\", \"active\": \"1\", \"text\": \"Go\" } }\n");
    EXPECT_EQ(presses, 0);
    // Neither seen: still answered, as inactive.
    instance.owner.setRights(29, 0, 0);
    for (auto& p : instance.params) p->updateViewFlags();
    EXPECT_EQ(ask("{\"100\":{}}"),
              "{ \"100\": { \"enabled\": \"1\", \"active\": \"0\", \"value\": \"0\", \"text\": \"Flag \\\"q\\\"\" } }\n");
}

TEST_F(JsonRoutes, ButtonsArePressedEachTimeTheyAreNamed) {
    const std::string entry = "\"107\": { \"enabled\": \"1\", \"active\": \"1\", \"text\": \"Go\" }";
    EXPECT_EQ(ask("{\"107\":{},\"107\":{\"new_value\":\"0\"}}"), "{ " + entry + ", " + entry + " }\n");
    EXPECT_EQ(presses, 2);
    button->setEnabled(false);
    EXPECT_EQ(ask("{\"107\":{}}"), "{ \"107\": { \"enabled\": \"0\", \"active\": \"1\", \"text\": \"Go\" } }\n");
    EXPECT_EQ(presses, 2);
}

TEST_F(JsonRoutes, TheErrorListIsListedAndDismissed) {
    for (int i = 0; i < 8; ++i) errors->addError("error " + std::to_string(i), i);
    errors->addError("error 3", 3);
    for (int i : {0, 1, 2, 4, 5, 6}) errors->dismissError(i);
    errors->addError("quote \" back \\ cr\r\nlf \xE9", 9);  // takes the free entry 0
    EXPECT_EQ(ask("{\"11086\":{}}"),
              "{ \"11086\": { \"0\": { \"count\": 1, \"text\": \"quote \\\" back \\\\ cr\\n\\nlf \xC3\xA9\" }, "
              "\"3\": { \"count\": 2, \"text\": \"error 3\" }, \"7\": { \"count\": 1, \"text\": \"error 7\" } } }\n");
    // 64 and -2 dismiss nothing, a text without digits entry 0, -1 all.
    EXPECT_EQ(ask("{\"11086\":{\"new_value\":\"64\"}}").find("\"0\": {"), 13u);
    EXPECT_EQ(ask("{\"11086\":{\"new_value\":\"-2\"}}").find("\"0\": {"), 13u);
    EXPECT_EQ(ask("{\"11086\":{\"new_value\":\"none\"}}"),
              "{ \"11086\": { \"3\": { \"count\": 2, \"text\": \"error 3\" }, \"7\": { \"count\": 1, \"text\": \"error 7\" } } }\n");
    EXPECT_EQ(ask("{\"11086\":{\"new_value\":\"-1\"}}"), "{ \"11086\": {  } }\n");
    // A text of the full 256 characters comes back whole.
    const std::string full(256, 'x');
    errors->addError(full, 1);
    EXPECT_EQ(ask("{\"11086\":{}}"), "{ \"11086\": { \"0\": { \"count\": 1, \"text\": \"" + full + "\" } } }\n");
}

TEST_F(JsonRoutes, AWaveformAnswersItsLevel) {
    // 1,024 samples before the newest 256 count; a louder newest part is not part of the level.
    const struct {
        float window;
        std::string value;
        std::string db;
    } cases[] = {
        {0.0f, "0.000000", "-120.000000"}, {0.5f, "0.500000", "-6.020600"}, {1.0f, "1.000000", "0.000000"},
    };
    for (const auto& c : cases) {
        std::vector<float> block(4096, c.window);
        std::fill(block.end() - 256, block.end(), 0.0f);
        std::fill(block.end() - 250, block.end() - 200, 2.0f);
        history.append(block.data(), static_cast<std::int32_t>(block.size()));
        history.captureView(29);
        EXPECT_EQ(ask("{\"108\":{\"new_value\":\"3\"}}"),
                  "{ \"108\": { \"enabled\": \"1\", \"active\": \"1\", \"value\": \"" + c.value + "\", \"value_db\": \"" +
                      c.db + "\" } }\n");
    }
    EXPECT_EQ(wave->current(), 0.1f);
}

TEST_F(JsonRoutes, TextsRoundTripAsUtf8) {
    // Sent as UTF-8 (URL-encoded), kept in Latin-1, answered as UTF-8.
    auto reply = nlohmann::json::parse(ask("{\"104\":{\"new_value\":\"b%5C+t%09+caf%C3%A9\"}}"));
    EXPECT_EQ(reply["104"]["value"], "b\\ t\t caf\xC3\xA9");
    EXPECT_EQ(reply["104"]["text"], "Name \"x\" \\ \t caf\xC3\xA9");
    EXPECT_EQ(text->current(), "b\\ t\t caf\xE9");
    // A quote cannot be sent (strings have no escapes), but one set elsewhere is answered escaped.
    text->setValue("q\"\x01\xFF");
    reply = nlohmann::json::parse(ask("{\"104\":{}}"));
    EXPECT_EQ(reply["104"]["value"], "q\"\x01\xC3\xBF");
}

}  // namespace
