// Requests per second and latency percentiles of the web server on loopback, for a static page
// (a small fixed page in place of the static-file route) and for the router's fixed routes, with
// 1, 16 and 64 clients that each send one request per connection, as HTTP/1.0 clients do.
#include "model/InstanceTable.h"
#include "model/Model.h"
#include "web/HttpServer.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class BenchHost : public kestrava::web::ServerHost {
public:
    std::string whiteListText() override { return "127.0.0.0/8"; }
    void warn(std::string_view) override {}
    bool runGuarded(const char*, const std::function<void()>& body) override {
        body();
        return true;
    }
};

// A page of about 2 KB, as a small static file would be.
class SmallPage : public kestrava::web::RouteHandler {
public:
    SmallPage() : body(2048, 'x') {}
    void serve(kestrava::web::RouteRequest& r) override {
        r.reply->sendOkHeader("text/html; charset=UTF-8", true, false);
        r.reply->sendPlain(body);
    }
    std::string body;
};

// One request on its own connection; the reply ends with the server's close. False on failure.
bool request(std::uint16_t port, const std::string& text, std::size_t expectAtLeast) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
              ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    std::size_t got = 0;
    char buf[8192];
    while (ok) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return ok && got >= expectAtLeast;
}

void runLoad(benchmark::State& state, const std::string& path, std::size_t expectAtLeast) {
    const int clients = static_cast<int>(state.range(0));
    InstanceTable& table = instanceTable();
    Model model;
    table.registerModel(0, &model);
    BenchHost host;
    SmallPage page;
    kestrava::web::HttpServer server(host, table);
    server.router().plug(kestrava::web::Router::Route::Static, &page);
    kestrava::web::HttpServer::Config config;
    config.bindAddress = "127.0.0.1";
    config.anyPort = true;
    if (!server.start(config)) {
        state.SkipWithError("the server did not open its socket");
        table.unregisterModel(0);
        return;
    }
    const std::uint16_t port = server.boundPort();
    const std::string text = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";

    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::atomic<long> failures{0};
        std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
        const auto start = Clock::now();
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                auto& mine = latencies[static_cast<std::size_t>(c)];
                while (!stop.load()) {
                    const auto t0 = Clock::now();
                    if (!request(port, text, expectAtLeast)) ++failures;
                    mine.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        stop = true;
        for (auto& t : threads) t.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::vector<double> all;
        for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
        std::sort(all.begin(), all.end());
        const auto pct = [&](double p) {
            return all.empty() ? 0.0 : all[std::min(all.size() - 1, static_cast<std::size_t>(p * all.size()))];
        };
        state.SetIterationTime(seconds);
        state.counters["req_per_s"] = static_cast<double>(all.size()) / seconds;
        state.counters["p50_us"] = pct(0.50);
        state.counters["p90_us"] = pct(0.90);
        state.counters["p99_us"] = pct(0.99);
        state.counters["failed"] = static_cast<double>(failures.load());
        // Checked after timing: every reply arrived whole.
        if (failures.load() != 0) state.SkipWithError("some requests failed");
    }
    server.stop();
    table.unregisterModel(0);
}

void BM_StaticPage(benchmark::State& state) { runLoad(state, "/index.html", 2048); }
void BM_FixedRedirect(benchmark::State& state) { runLoad(state, "/log", 39); }
void BM_FixedRefusal(benchmark::State& state) { runLoad(state, "/websocket", 30); }

BENCHMARK(BM_StaticPage)->Arg(1)->Arg(16)->Arg(64)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_FixedRedirect)->Arg(1)->Arg(16)->Arg(64)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_FixedRefusal)->Arg(1)->Arg(16)->Arg(64)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
