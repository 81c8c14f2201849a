#pragma once

#include "FakeDestinationRing.h"
#include "app/EngineParts.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/RecordingSink.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Engine parts that record what the shell asks of them: the sender is a command ring the test
// drains itself, the sound-card source counts its starts and stops, the histories keep their rate.
struct FakeEngine {
    struct Source : AudioSourceControl {
        explicit Source(FakeEngine& engine) : engine(engine) {}
        void start() override { engine.note(+1); }
        void stop() override { engine.note(-1); }
        bool isSoundcardSource() const override { return true; }
        void changeSoundcard(std::int32_t index) override {
            std::lock_guard lock(engine.mutex);
            engine.soundcards.push_back(index);
        }
        void setFailureMode(std::uint8_t) override {}
        FakeEngine& engine;
    };
    struct Sender : SenderControl {
        explicit Sender(DestinationRing& ring) : ring(ring) {}
        std::int32_t queueOpen(const std::string& h, const std::string& p, const std::string& i, bool q) override {
            return ring.queueOpen(h, p, i, q);
        }
        bool queueErase(std::int32_t id) override { return ring.queueErase(id); }
        DestinationRing& ring;
    };
    struct History : SampleHistoryControl {
        History(float rate, bool events) : rate(rate), events(events) {}
        void setSampleRate(float r) override { rate = r; }
        bool hasReaderEvents() const override { return events; }
        float rate;
        bool events;
    };

    EngineParts parts() {
        EngineParts p;
        p.wireLogging = [this](KestravaInstanceConfig& config, const InstancePaths&) {
            config.logger.addSink(log);
            config.logger.enable();
        };
        p.makeSender = [this](KestravaInstanceConfig&) { return std::make_unique<Sender>(ring); };
        p.makeSoundcardSource = [this](SenderControl&, std::int32_t index, KestravaInstanceConfig&) {
            std::lock_guard lock(mutex);
            soundcards.push_back(index);
            return std::make_unique<Source>(*this);
        };
        p.makeHistories = [this](KestravaInstanceConfig& config) {
            histories = {std::make_shared<History>(static_cast<float>(config.sampleRate), false),
                         std::make_shared<History>(static_cast<float>(config.sampleRate), true)};
            return SampleHistories{histories[0], histories[1]};
        };
        return p;
    }

    // Waits (without a time limit that matters) until the source has been started or stopped
    // the given number of times in all.
    bool waitForCalls(int calls) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return starts + stops >= calls; });
    }

    // The socket-manager's part: takes every queued command; returns the opens that would run
    // ("host:port") and the ids erased.
    struct Drained {
        std::vector<std::string> opened;
        std::vector<std::int32_t> openedIds;
        std::vector<std::int32_t> erased;
    };
    Drained drain() {
        Drained d;
        while (auto c = ring.take(false)) {
            if (c->destinationId < 0) continue;
            if (c->erase) {
                d.erased.push_back(c->destinationId);
            } else {
                d.opened.push_back(c->host + ":" + c->port);
                d.openedIds.push_back(c->destinationId);
            }
        }
        return d;
    }

    void note(int delta) {
        {
            std::lock_guard lock(mutex);
            (delta > 0 ? starts : stops) += 1;
        }
        changed.notify_all();
    }

    std::shared_ptr<RecordingSink> log = std::make_shared<RecordingSink>(false);
    DestinationRing ring;
    std::vector<std::shared_ptr<History>> histories;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::int32_t> soundcards;
    int starts = 0;
    int stops = 0;
};
