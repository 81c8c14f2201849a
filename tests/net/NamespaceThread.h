#pragma once

#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace nettest {

// A thread in a network namespace of its own. Work handed to call() runs on it, so sockets it
// creates, threads it starts and commands it runs (system()) all live in that namespace. The
// namespace goes away with the thread and the last socket in it.
class NamespaceThread {
public:
    NamespaceThread() : thread([this] { run(); }) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return started; });
    }
    ~NamespaceThread() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        thread.join();
    }
    NamespaceThread(const NamespaceThread&) = delete;
    NamespaceThread& operator=(const NamespaceThread&) = delete;

    bool ok() const { return error.empty(); }
    const std::string& failure() const { return error; }
    pid_t threadId() const { return tid; }

    // Runs `work` on the namespace thread and waits for it.
    void call(std::function<void()> work) {
        std::unique_lock lock(mutex);
        task = std::move(work);
        changed.notify_all();
        changed.wait(lock, [this] { return !task; });
    }
    // Runs a shell command inside the namespace; true when it exits with status 0.
    bool shell(const std::string& command) {
        int status = -1;
        call([&] { status = std::system((command + " >/dev/null 2>&1").c_str()); });
        return status == 0;
    }

private:
    void run() {
        {
            std::lock_guard lock(mutex);
            tid = static_cast<pid_t>(::syscall(SYS_gettid));
            if (::unshare(CLONE_NEWNET) != 0) error = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
            started = true;
        }
        changed.notify_all();
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || static_cast<bool>(task); });
            if (task) {
                task();
                task = nullptr;
                changed.notify_all();
                continue;
            }
            if (stopping) return;
        }
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> task;
    bool started = false;
    bool stopping = false;
    std::string error;
    pid_t tid = 0;
    std::thread thread;
};

}  // namespace nettest
