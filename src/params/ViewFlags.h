#pragma once

#include <atomic>
#include <cstdint>

namespace kestrava::params {

// Views: one per client of the parameters. 0 to 2 are marked together, 3 to 29 in pairs
// (3/4 ... 27/28, 29/30), and 30 is raised by every mark so it records "changed in some view".
// Web sessions use the pairs, requests without a session view 29.
inline constexpr int viewCount = 31;
inline constexpr int anyView = 30;
inline constexpr int sessionlessView = 29;
inline constexpr int allViews = -1;

constexpr bool isView(int view) noexcept { return view >= 0 && view < viewCount; }

// The views that a mark of `view` raises, without index 30 (callers add it where the rule wants).
constexpr std::uint32_t viewGroupBits(int view) noexcept {
    if (view < 0) return (1u << 30) - 1u;
    if (view < 3) return 0b111u;
    if (view >= 30) return 0u;
    const int partner = (view % 2 != 0) ? view + 1 : view - 1;
    return (1u << view) | (1u << partner);
}

inline constexpr std::uint32_t allViewBits = (1u << viewCount) - 1u;
inline constexpr std::uint32_t anyViewBit = 1u << anyView;

// One flag per view, kept as the bits of one atomic word so that a web thread can take and clear
// a view's flag while other threads raise flags, without a lock.
class ViewFlags {
public:
    ViewFlags() = default;
    explicit ViewFlags(std::uint32_t initial) : bits(initial) {}

    // Raises the view's group and index 30 (-1: all 31).
    void mark(int view) noexcept { bits.fetch_or(viewGroupBits(view) | anyViewBit, std::memory_order_acq_rel); }
    void raise(std::uint32_t mask) noexcept { bits.fetch_or(mask & allViewBits, std::memory_order_acq_rel); }
    void raiseAll() noexcept { raise(allViewBits); }
    void clear(std::uint32_t mask) noexcept { bits.fetch_and(~mask, std::memory_order_acq_rel); }

    // Reads one view's flag and clears it; false for a view outside 0..30.
    bool take(int view) noexcept {
        if (!isView(view)) return false;
        const std::uint32_t bit = 1u << view;
        return (bits.fetch_and(~bit, std::memory_order_acq_rel) & bit) != 0;
    }
    bool test(int view) const noexcept {
        return isView(view) && (bits.load(std::memory_order_acquire) & (1u << view)) != 0;
    }
    std::uint32_t word() const noexcept { return bits.load(std::memory_order_acquire); }

private:
    std::atomic<std::uint32_t> bits{0};
};

}  // namespace kestrava::params
