// Linked into every test program of the plain build. ThreadSanitizer runs only the cases a test
// folder declares as starting threads (`THREADS` in kestrava_test()); this watch keeps that list
// honest: a case registered as thread-free (KESTRAVA_TEST_THREADS=0) that starts a thread fails
// with a message saying what to declare. Threads are counted by wrapping pthread_create, which
// every std::thread, std::jthread and std::async goes through.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<long> threadsStarted{0};

using CreateFn = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

class ThreadWatch final : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override { before = threadsStarted.load(); }

    void OnTestEnd(const testing::TestInfo& info) override {
        const long started = threadsStarted.load() - before;
        if (started > 0)
            ADD_FAILURE() << info.test_suite_name() << "." << info.name() << " started " << started
                          << " thread(s) but is registered as thread-free, so ThreadSanitizer skips it: "
                             "add its suite to THREADS in the kestrava_test() call of its folder";
    }

private:
    long before = 0;
};

// Only tests registered by CTest as thread-free are watched; a program run by hand is not.
const bool registered = [] {
    const char* flag = std::getenv("KESTRAVA_TEST_THREADS");
    if (flag != nullptr && std::strcmp(flag, "0") == 0)
        testing::UnitTest::GetInstance()->listeners().Append(new ThreadWatch);
    return true;
}();

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                              void* arg) noexcept {
    static const auto next = reinterpret_cast<CreateFn>(dlsym(RTLD_NEXT, "pthread_create"));
    threadsStarted.fetch_add(1);
    return next(thread, attr, start, arg);
}
