// "/update" and "/objects.js" paths come from any page on the white list: whatever the path
// holds, the session check, the body reader and the reply must neither crash nor grow without
// bound, in each of the three connection modes.
#include "model/InstanceTable.h"
#include "model/Model.h"
#include "params/PBool.h"
#include "params/PInt.h"
#include "params/PString.h"
#include "params/ParamTable.h"
#include "web/ObjectsJsRoute.h"
#include "web/Router.h"
#include "web/SessionTable.h"
#include "web/UpdateRoute.h"
#include "web/content/InstanceAccess.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kestrava::params;
using kestrava::ParamId;

struct NullSink : kestrava::web::ByteSink {
    using ByteSink::send;
    void send(const std::uint8_t*, std::size_t size) override { total += size; }
    std::size_t total = 0;
};

struct Instance : kestrava::web::content::InstanceAccess {
    ParamTable owner;
    std::vector<std::unique_ptr<Param>> params;

    Instance() {
        owner.onWarning = [](std::string_view) {};
        const ShortKey k("F");
        const NamePair n("F");
        params.push_back(std::make_unique<PBool>(owner, 4, static_cast<ParamId>(26), false, 0, k, n, n, "Enable"));
        params.push_back(std::make_unique<PInt>(owner, 4, static_cast<ParamId>(27), 6, -5, 5, 10, 0, k, n, n, "i", "%d"));
        params.push_back(std::make_unique<PString>(owner, 4, static_cast<ParamId>(28), 64, "text", k, n, n, "s", "%s"));
        for (auto& p : params) {
            owner.registerParam(*p);
            p->updateViewFlags();
        }
    }
    void waitForInput(int, std::chrono::milliseconds) override {}
    void pause(std::chrono::milliseconds) override {}
    void diagnostic(std::string_view line) override {
        if (line.size() > 256) __builtin_trap();  // one short line, whatever the body
    }
    void forEachParam(Model&, const std::function<void(Param&)>& visit) override {
        for (auto& p : params) visit(*p);
    }
    Param* findParam(Model&, std::int32_t id) override { return owner.findParam(static_cast<ParamId>(id)); }
    void prepareForRedraw(Model&, int view) override {
        if (view <= 0 || view > 29) __builtin_trap();
    }
    void processClientChanges(Model&) override {}
    void logOut(Model&, int view) override {
        if (view < 3 || view > 28) __builtin_trap();
    }
};

struct Server {
    InstanceTable table;
    Model model;
    kestrava::web::ServerMutex mutex;
    kestrava::web::Router router{mutex, table, 0, std::chrono::milliseconds(0)};
    Instance instance;
    std::uint32_t draw = 0;
    kestrava::web::SessionTable sessions{[this] { return draw++ * 7919u; }};
    std::atomic<bool> stop{false};
    kestrava::web::ObjectsJsRoute objects{sessions, instance, stop, 0};
    kestrava::web::UpdateRoute update{sessions, instance};

    Server() {
        table.registerModel(0, &model);
        router.plug(kestrava::web::Router::Route::ObjectsJs, &objects);
        router.plug(kestrava::web::Router::Route::Update, &update);
    }
};

}  // namespace

// Input: a mode byte (bit 0-1: plain, WebSocket, fixed records; bit 2: "/objects.js?" instead of
// "/update"), then the rest of the path.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Server server;
    if (size < 1) return 0;
    const int mode = data[0] % 3;
    const bool script = (data[0] & 4) != 0;
    std::string path = script ? "/objects.js?" : "/update";
    path.append(reinterpret_cast<const char*>(data + 1), size - 1);

    static NullSink sink;
    static kestrava::web::ReplyOutput out(sink);  // half a megabyte: made once
    out.startConnection(mode == 1 && !script);
    kestrava::web::RouteRequest r;
    r.path = path;
    r.webSocketMode = mode == 1 && !script;
    r.fakeMode = mode == 2;
    r.reply = &out;
    server.router.serve(r);
    return 0;
}
