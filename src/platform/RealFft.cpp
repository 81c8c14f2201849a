#include "platform/RealFft.h"

#include <fftw3.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace kestrava {

namespace {

struct Plans {
    std::mutex mutex;
    std::atomic<bool> made{false};
    bool complete = false;
    std::array<fftwf_plan, RealFft::maxOrder + 1> forward{};
    std::array<fftwf_plan, RealFft::maxOrder + 1> inverse{};
    std::array<std::atomic<bool>, RealFft::maxOrder + 1> withheld{};
};

// Plans live as long as the process: transforms may run on other threads until exit.
Plans& plans() {
    static Plans* p = new Plans;
    return *p;
}

bool validOrder(int order) { return order >= RealFft::minOrder && order <= RealFft::maxOrder; }

bool aligned(const float* data) {
    return reinterpret_cast<std::uintptr_t>(data) % RealFft::bufferAlignment == 0;
}

// Plans are made in place on a 64-byte aligned buffer, so they run on any such buffer.
void makePlans(Plans& p) {
    const int largest = 1 << RealFft::maxOrder;
    float* buffer = static_cast<float*>(std::aligned_alloc(RealFft::bufferAlignment,
                                                           (largest + 64) * sizeof(float)));
    if (buffer == nullptr) return;
    bool all = true;
    for (int order = RealFft::minOrder; order <= RealFft::maxOrder; ++order) {
        const int n = 1 << order;
        auto* spectrum = reinterpret_cast<fftwf_complex*>(buffer);
        p.forward[order] = fftwf_plan_dft_r2c_1d(n, buffer, spectrum, FFTW_ESTIMATE);
        p.inverse[order] = fftwf_plan_dft_c2r_1d(n, spectrum, buffer, FFTW_ESTIMATE);
        if (p.forward[order] == nullptr || p.inverse[order] == nullptr) all = false;
    }
    std::free(buffer);
    p.complete = all;
}

Plans& ready() {
    Plans& p = plans();
    if (!p.made.load(std::memory_order_acquire)) RealFft::prepare();
    return p;
}

bool usable(Plans& p, int order) {
    return validOrder(order) && p.forward[order] != nullptr && p.inverse[order] != nullptr &&
           !p.withheld[order].load(std::memory_order_relaxed);
}

}  // namespace

bool RealFft::prepare() {
    Plans& p = plans();
    std::lock_guard lock(p.mutex);
    if (!p.made.load(std::memory_order_relaxed)) {
        makePlans(p);
        p.made.store(true, std::memory_order_release);
    }
    return p.complete;
}

bool RealFft::hasPlan(int order) { return usable(ready(), order); }

bool RealFft::forward(int order, float* data) noexcept {
    Plans& p = ready();
    if (!usable(p, order) || !aligned(data)) return false;
    const int n = 1 << order;
    fftwf_execute_dft_r2c(p.forward[order], data, reinterpret_cast<fftwf_complex*>(data));
    data[1] = 0.0f;
    data[n + 1] = 0.0f;
    return true;
}

bool RealFft::inverse(int order, float* data) noexcept {
    Plans& p = ready();
    if (!usable(p, order) || !aligned(data)) return false;
    const int n = 1 << order;
    data[1] = 0.0f;
    data[n + 1] = 0.0f;
    fftwf_execute_dft_c2r(p.inverse[order], reinterpret_cast<fftwf_complex*>(data), data);
    // A power of two: the product equals the quotient bit for bit.
    const float scale = 1.0f / static_cast<float>(n);
    // In runs of 16 (fixed length, so the compiler vectorises them at -O2), then the rest.
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        float* run = data + i;
        for (int j = 0; j < 16; ++j) run[j] *= scale;
    }
    for (; i < n; ++i) data[i] *= scale;
    return true;
}

void RealFft::withholdPlanForTesting(int order, bool withheld) {
    if (validOrder(order)) plans().withheld[order].store(withheld, std::memory_order_relaxed);
}

}  // namespace kestrava
