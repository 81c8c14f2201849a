#include "platform/ThreadSetup.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace kestrava {

namespace {
#if defined(__x86_64__) || defined(__i386__)
constexpr unsigned int mxcsrFlushToZero = 0x8000;
constexpr unsigned int mxcsrDenormalsAreZero = 0x0040;
#endif
}  // namespace

int niceForPriority(int priority) {
    if (priority >= 15) return -20;
    if (priority >= 2) return -10;
    if (priority == 1) return -5;
    if (priority == 0) return 0;
    if (priority == -1) return 5;
    if (priority >= -2) return 10;
    return 19;  // idle
}

bool setCurrentThreadPriority(int priority) {
    const int nice = niceForPriority(priority);
    const auto tid = static_cast<id_t>(gettid());
    if (getpriority(PRIO_PROCESS, tid) == nice) return true;
    if (setpriority(PRIO_PROCESS, tid, nice) != 0) {
        std::fprintf(stderr, "Setting thread priority to %d failed\n", priority);
        return false;
    }
    return true;
}

bool setCurrentThreadAffinity(std::uint64_t mask) {
    if (mask == 0) return true;
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int cpu = 0; cpu < 64; ++cpu) {
        if (mask & (std::uint64_t{1} << cpu)) CPU_SET(cpu, &set);
    }
    if (pthread_setaffinity_np(pthread_self(), sizeof(set), &set) != 0) {
        std::fprintf(stderr, "Setting thread affinity to 0x%llx failed\n", static_cast<unsigned long long>(mask));
        return false;
    }
    return true;
}

void setCurrentThreadName(const std::string& name) {
    if (name.empty()) return;
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

void setCurrentFloatMode(FloatMode mode) {
#if defined(__x86_64__) || defined(__i386__)
    unsigned int csr = _mm_getcsr();
    if (mode == FloatMode::FlushToZero) {
        csr |= mxcsrFlushToZero | mxcsrDenormalsAreZero;
    } else if (mode == FloatMode::GradualUnderflow) {
        csr &= ~(mxcsrFlushToZero | mxcsrDenormalsAreZero);
    }
    _mm_setcsr(csr);
#else
    (void)mode;
#endif
}

bool currentThreadFlushesDenormals() {
#if defined(__x86_64__) || defined(__i386__)
    return (_mm_getcsr() & (mxcsrFlushToZero | mxcsrDenormalsAreZero)) != 0;
#else
    return false;
#endif
}

void applyThreadOptions(const ThreadOptions& options) {
    setCurrentThreadName(options.name);
    setCurrentFloatMode(options.floatMode);
    setCurrentThreadPriority(options.priority);
    setCurrentThreadAffinity(options.affinityMask);
}

}  // namespace kestrava
