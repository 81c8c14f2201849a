#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrava::gps {

// Cuts a byte stream into sentences and groups them into bursts. A sentence runs from a dollar
// sign to its line feed; a dollar sign before the line feed drops the unfinished sentence, and
// so does one longer than the buffer. A dollar sign more than 0.15 s after the previous one
// starts a new burst, whose arrival is the time of the read that carried that dollar sign; every
// sentence of the burst keeps that arrival. State carries over from read to read, so a sentence
// split over reads is framed as one.
class NmeaFramer {
public:
    static constexpr std::size_t capacity = 128;  // a sentence is at most 82 characters
    static constexpr std::int64_t burstGapNs = 150'000'000;

    struct Sentence {
        std::string_view text;  // from the dollar sign, without the line feed
        std::int64_t arrivalNs = 0;
        std::uint64_t burst = 0;  // counts bursts, so that a reader can tell them apart
    };

    // Feeds the bytes of one read, all received at nowNs; onSentence(const Sentence&) is called
    // for each sentence completed by them.
    template <class OnSentence>
    void feed(const std::uint8_t* data, std::size_t count, std::int64_t nowNs, OnSentence&& onSentence) {
        for (std::size_t i = 0; i < count; ++i) {
            if (push(static_cast<char>(data[i]), nowNs)) onSentence(Sentence{std::string_view(line, length), burstArrival, burst});
        }
    }

    void clear();

private:
    // True when c completed a sentence (line, length).
    bool push(char c, std::int64_t nowNs);

    char line[capacity] = {};
    std::size_t length = 0;
    bool collecting = false;
    bool haveDollar = false;
    std::int64_t previousDollar = 0;
    std::int64_t burstArrival = 0;
    std::uint64_t burst = 0;
};

}  // namespace kestrava::gps
