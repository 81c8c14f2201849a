#pragma once

#include "WaitUntil.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/RecordingSink.h"

#include <memory>
#include <string>
#include <vector>

// A 192 kHz instance configuration whose log lands in a recording sink.
struct LoggedConfig {
    LoggedConfig() {
        sink->minLevel = KestravaLogger::Debug;
        config.logger.addSink(sink);
        config.logger.enable();
    }

    // What was logged since the last call, without line ends. A marker logged last shows that the
    // logger thread has passed every earlier record.
    std::vector<std::string> fresh() {
        const std::string marker = "--marker " + std::to_string(++markers) + "--";
        config.logger.log(1, KestravaLogger::Info, marker);
        std::vector<std::string> texts;
        waitUntil([&] {
            texts = sink->snapshot();
            return !texts.empty() && texts.back() == marker + "\n";
        });
        std::vector<std::string> result;
        for (std::size_t i = consumed; i + 1 < texts.size(); ++i) {
            if (texts[i].rfind("--marker ", 0) == 0) continue;
            result.push_back(texts[i].substr(0, texts[i].size() - 1));
        }
        consumed = texts.size();
        return result;
    }

    KestravaInstanceConfig config{192000, 2040};
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>(false);  // records end with the marker

private:
    int markers = 0;
    std::size_t consumed = 0;
};
