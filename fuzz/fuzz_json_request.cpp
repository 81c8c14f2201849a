// "/json" paths come from any program on the white list: whatever the path holds, the decoder,
// the parser and the entries must neither crash nor grow without bound, in each of the three
// connection modes; and a request that the parser found no fault in is answered with valid JSON.
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
#include "params/ParamTable.h"
#include "web/JsonRoute.h"
#include "web/Router.h"
#include "web/SessionTable.h"
#include "web/content/InstanceAccess.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kestrava::params;
using kestrava::ParamId;

struct TextSink : kestrava::web::ByteSink {
    using ByteSink::send;
    void send(const std::uint8_t* data, std::size_t size) override {
        if (text.size() < (1u << 20)) text.append(reinterpret_cast<const char*>(data), size);
    }
    std::string text;
};

struct Instance : kestrava::web::content::InstanceAccess {
    ParamTable owner;
    LMEnum_DynamicLengthList choices;
    ButtonFunction action{[](int) {}};
    std::vector<std::unique_ptr<Param>> params;
    bool diagnosed = false;

    Instance() {
        owner.onWarning = [](std::string_view) {};
        choices.add(0, "OFF", "Off");
        choices.add(1, "ON", "On");
        const ShortKey k("F");
        const NamePair n("F");
        params.push_back(std::make_unique<PBool>(owner, 4, ParamId(1), false, 0, k, n, n, "b\"\\"));
        params.push_back(std::make_unique<PInt>(owner, 4, ParamId(2), 6, -5, 5, 10, 0, k, n, n, "i", "%d"));
        params.push_back(std::make_unique<PFloat>(owner, 4, ParamId(3), 1, -1.0f, 1.0f, 1.0f, 0.0f, 2, 1.0f, k, n, n,
                                                  "f", "%.2f", 1.0f));
        params.push_back(std::make_unique<PEnum>(owner, 4, ParamId(4), &choices, true, 1, 0, k, n, n, "e"));
        params.push_back(std::make_unique<PString>(owner, 4, ParamId(5), 64, "text", k, n, n, "s", "%s"));
        params.push_back(std::make_unique<PButton>(owner, 4, ParamId(6), &action, "go"));
        auto errors = std::make_unique<PCorvixKoekError>(owner, 4, kestrava::ID_CORVIX_KOEK_ERRORS, "errors");
        errors->addError("first \"error\"\r\n", 1);
        params.push_back(std::move(errors));
        params.push_back(createDisplayText(owner, 4, ParamId(7), 10, "x", "d", "%s"));
        for (auto& p : params) {
            owner.registerParam(*p);
            p->updateViewFlags();
        }
    }
    void waitForInput(int, std::chrono::milliseconds) override {}
    void pause(std::chrono::milliseconds) override {}
    void diagnostic(std::string_view line) override {
        if (line.size() > 256) __builtin_trap();  // one short line, whatever the body
        diagnosed = true;
    }
    void forEachParam(Model&, const std::function<void(Param&)>& visit) override {
        for (auto& p : params) visit(*p);
    }
    Param* findParam(Model&, std::int32_t id) override { return owner.findParam(static_cast<ParamId>(id)); }
    void prepareForRedraw(Model&, int view) override {
        if (view != 29) __builtin_trap();
    }
    void processClientChanges(Model&) override {}
    void logOut(Model&, int) override {}
};

struct Server {
    InstanceTable table;
    Model model;
    kestrava::web::ServerMutex mutex;
    kestrava::web::Router router{mutex, table, 0, std::chrono::milliseconds(0)};
    Instance instance;
    kestrava::web::SessionTable sessions{[] { return 1u; }};
    kestrava::web::JsonRoute json{sessions, instance};

    Server() {
        table.registerModel(0, &model);
        router.plug(kestrava::web::Router::Route::Json, &json);
    }
};

}  // namespace

// Input: a mode byte (plain, WebSocket, fixed records), then the body behind "/json-1/".
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Server server;
    if (size < 1) return 0;
    const int mode = data[0] % 3;
    std::string path = "/json-1/";
    path.append(reinterpret_cast<const char*>(data + 1), size - 1);

    static TextSink sink;
    static kestrava::web::ReplyOutput out(sink);  // half a megabyte: made once
    sink.text.clear();
    out.startConnection(mode == 1);
    kestrava::web::RouteRequest r;
    r.path = path;
    r.webSocketMode = mode == 1;
    r.fakeMode = mode == 2;
    r.reply = &out;
    server.instance.diagnosed = false;
    server.router.serve(r);
    if (mode == 2 && !server.instance.diagnosed && !nlohmann::json::accept(sink.text)) __builtin_trap();
    return 0;
}
