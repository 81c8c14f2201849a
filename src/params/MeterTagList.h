#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace kestrava::params {

// The tags of the meter values that were found out of range (or not a number) when read out,
// one list per meter class, kept for the process's life (at most 191 characters). Every bad
// value appends "<tag><id> " and puts the whole list in the process's error text with state 1.
class MeterTagList {
public:
    static constexpr std::size_t maxChars = 191;
    static constexpr std::size_t maxErrorChars = 254;
    static constexpr std::string_view errorPrefix =
        "GUI: Saw NAN.\n\nThis is not a serious problem but it should not happen.\n\n";

    void report(std::string_view tag, int id);
    std::string text() const;

private:
    mutable std::mutex mutex;
    std::string tags;
};

// The read-out guard: a value must lie strictly between -4e11 and 4e11 (a NaN fails); one that
// passes is raised to at least -3.9e11.
bool passesMeterGuard(float& v) noexcept;
// A level as its wire word: 0xFFFF when negative (no bar), else round(min(x, 1) x 16384); a NaN
// gives 0.
std::uint16_t meterLevelWord(float x) noexcept;
// 1 + 20 s ln(max(v, 1e-11)): a level on the meter's decibel scale.
float meterDecibels(float v, float scale) noexcept;

}  // namespace kestrava::params
