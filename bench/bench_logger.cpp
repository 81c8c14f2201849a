// Logger::log from several producer threads: the cost a real-time thread pays per call, both while
// the logger thread keeps up and while the queue is full (the call must drop, never block).
#include "logging/Logger.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

class NullSink : public KestravaLogger::LogSink {
public:
    void writeLine(const char*, std::size_t) override {}
    void writeRecord(const KestravaLogger::LogRecord&) override {}
    bool wantsLine() const override { return true; }
    void flush() override {}
};

KestravaLogger::Logger* logger = nullptr;

void setUp(const benchmark::State&) {
    logger = new KestravaLogger::Logger();
    logger->addSink(std::make_shared<NullSink>());
    logger->enable();
}

void tearDown(const benchmark::State&) {
    delete logger;
    logger = nullptr;
}

void BM_LoggerLog(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        logger->log(1, KestravaLogger::Info, "Packet {} of {} bytes sent to {}", ++i, 1400, "192.0.2.1");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_LoggerLogPlain(benchmark::State& state) {
    for (auto _ : state) logger->log(1, KestravaLogger::Warning, "Discarding packets to send, socket is not open");
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_LoggerLog)->Threads(1)->Threads(4)->Setup(setUp)->Teardown(tearDown)->UseRealTime();
BENCHMARK(BM_LoggerLogPlain)->Threads(4)->Setup(setUp)->Teardown(tearDown)->UseRealTime();
