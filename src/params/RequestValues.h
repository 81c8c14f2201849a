#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrava::params {

// The numbers of one "/update" request group for one widget: values[0] carries the widget id in
// its low 16 bits and the request flags above, values[1..n] are the widget's own numbers. Every
// read is checked against n; the first problem met is kept so that the caller can report it once.
class RequestValues {
public:
    explicit RequestValues(std::span<const std::int32_t> all) : values(all) {}

    // The numbers after the widget id.
    int count() const noexcept { return values.empty() ? 0 : static_cast<int>(values.size() - 1); }
    std::int32_t head() const noexcept { return values.empty() ? 0 : values[0]; }
    bool has(int index) const noexcept { return index >= 1 && index <= count(); }
    // Number `index` (1..n), or nothing (noted as a problem) when the group is too short.
    std::optional<std::int32_t> at(int index) const;
    // A 32-bit number sent as two 16-bit halves, low first; each half must lie in 0..65535.
    std::optional<std::int32_t> number32(int index) const;
    // A single-precision float sent as its 32-bit pattern.
    std::optional<float> floatBits(int index) const;
    // A text: a length number at `position`, then one number per character (its low byte).
    // `position` moves past the length and every character number present. Characters beyond
    // `maxChars` are consumed but dropped. A text that claims more characters than the group holds,
    // or that holds a zero or control byte, is refused.
    std::optional<std::string> text(int& position, int maxChars) const;

    void noteProblem(std::string_view what) const;
    const std::string& problem() const noexcept { return firstProblem; }

private:
    std::span<const std::int32_t> values;
    mutable std::string firstProblem;
};

}  // namespace kestrava::params
