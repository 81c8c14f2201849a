#include "logging/SetupLogging.h"

#include "logging/FileLogSink.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/LogTracer.h"
#include "logging/StdoutLogSink.h"

#include <memory>

void setupLogging(KestravaInstanceConfig& config, const std::string& logFolder) {
    using namespace KestravaLogger;
    auto stdoutSink = std::make_shared<StdoutLogSink>();
    stdoutSink->minLevel = Info;
    auto tracer = std::make_shared<LogTracer>();
    auto fileSink = std::make_shared<FileLogSink>(&config, logFolder, "kestrava");
    fileSink->minLevel = Trace;
    tracer->addSink(fileSink);
    config.logger.addSink(stdoutSink);
    config.logger.addSink(tracer);
    config.logger.enable();
}
