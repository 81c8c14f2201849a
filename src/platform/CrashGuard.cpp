#include "platform/CrashGuard.h"

#include "platform/ErrorState.h"
#include "platform/ProgramVersion.h"

#include <dlfcn.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace CrashGuard {

namespace {

thread_local const char* runningTask = nullptr;

// Module of an address, or "-\n" when it cannot be found.
const char* moduleOf(std::uint64_t address) {
    Dl_info info{};
    if (address != 0 && dladdr(reinterpret_cast<void*>(address), &info) != 0 && info.dli_fname != nullptr) {
        return info.dli_fname;
    }
    return "-\n";
}

std::uint64_t ownCodeAddress() { return reinterpret_cast<std::uint64_t>(&offsetInfo); }

// Report text assembly that works inside a signal handler: no allocation, no locks.
struct SafeText {
    char* buffer;
    std::size_t size;
    std::size_t used = 0;

    void add(const char* s) {
        while (s != nullptr && *s != '\0' && used + 1 < size) buffer[used++] = *s++;
        buffer[used] = '\0';
    }
    void addHex(std::uint64_t v) {
        char digits[17];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[v & 0xF];
            v >>= 4;
        } while (v != 0);
        char out[17];
        for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
        out[n] = '\0';
        add(out);
    }
    void addSigned(std::int64_t v) {
        char out[24];
        int n = 0;
        std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
        do {
            out[n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (v < 0) out[n++] = '-';
        char reversed[24];
        for (int i = 0; i < n; ++i) reversed[i] = out[n - 1 - i];
        reversed[n] = '\0';
        add(reversed);
    }
};

// The report in the form of its exception code.
void composeReport(char* buffer, std::size_t size, const char* taskName, const ExceptionInfo& info,
                   const char* module, std::uint64_t offset, const char* version) {
    SafeText t{buffer, size};
    buffer[0] = '\0';
    if (info.code == moduleNotFound || info.code == procedureNotFound) {
        t.add(taskName);
        t.add(info.code == moduleNotFound
                  ? ":\nRequired DLL file not found. Some functions will not work properly.\nAddress 0x"
                  : ":\nDLL version mismatch (an unexpected DLL version was found).\nAddress 0x");
        t.addHex(info.address);
        t.add(" of ");
        t.add(module);
        t.add(").\n");
    } else {
        t.add(taskName);
        t.add("\n(Exception 0x");
        t.addHex(info.code);
        t.add(" at address 0x");
        t.addHex(info.address);
        t.add(" of ");
        t.add(module);
        if (info.code == accessViolation) {
            t.add(", read/write=");
            t.addSigned(info.accessKind);
            t.add(", r/w location=0x");
            t.addHex(info.accessAddress);
        }
        t.add(")\n");
    }
    t.add("Offset-info: 0x");
    t.addHex(offset);
    t.add(", version ");
    t.add(version);
    t.add(".\n");
}

void writeAll(int fd, const char* text, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, text, n);
        if (w <= 0) return;
        text += w;
        n -= static_cast<std::size_t>(w);
    }
}

// Version text copied once so that the fault handler reads a plain array.
char versionCopy[128] = {};

void ensureVersionCopy() {
    if (versionCopy[0] == '\0') {
        std::snprintf(versionCopy, sizeof versionCopy, "%s", ProgramVersion::versionText().c_str());
    }
}

void faultHandler(int signal, siginfo_t* si, void* context) {
    ExceptionInfo info;
    info.accessAddress = reinterpret_cast<std::uint64_t>(si->si_addr);
#if defined(__x86_64__)
    const auto* uc = static_cast<const ucontext_t*>(context);
    info.address = static_cast<std::uint64_t>(uc->uc_mcontext.gregs[REG_RIP]);
    const auto err = static_cast<std::uint64_t>(uc->uc_mcontext.gregs[REG_ERR]);
    info.accessKind = (err & 0x10) != 0 ? 8 : ((err & 0x2) != 0 ? 1 : 0);
#else
    (void)context;
    info.address = info.accessAddress;
#endif
    switch (signal) {
        case SIGSEGV:
        case SIGBUS: info.code = accessViolation; break;
        case SIGFPE: info.code = integerDivideByZero; break;
        default: info.code = illegalInstruction; break;
    }
    const char* task = runningTask != nullptr ? runningTask : "Unguarded code";
    composeReport(ErrorState::errorText, ErrorState::textSize, task, info, moduleOf(info.address), offsetInfo(),
                  versionCopy);
    ErrorState::markCrashed();
    writeAll(STDERR_FILENO, ErrorState::errorText, std::strlen(ErrorState::errorText));
    writeAll(STDERR_FILENO, "\n", 1);
    // Back to the default action and raise again: the process ends with the original signal.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Each thread that runs guarded code gets its own alternate stack, freed when the thread ends.
struct AltStack {
    void* memory = nullptr;
    ~AltStack() {
        if (memory == nullptr) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        std::free(memory);
    }
    void ensure() {
        if (memory != nullptr) return;
        const std::size_t size = 64 * 1024;
        memory = std::malloc(size);
        if (memory == nullptr) return;
        stack_t st{};
        st.ss_sp = memory;
        st.ss_size = size;
        if (sigaltstack(&st, nullptr) != 0) {
            std::free(memory);
            memory = nullptr;
        }
    }
};
thread_local AltStack altStack;

}  // namespace

std::uint64_t offsetInfo() {
    Dl_info info{};
    // The fixed location is this function; its image's load base is the displacement (0 for a
    // program linked at a fixed address).
    if (dladdr(reinterpret_cast<void*>(&offsetInfo), &info) != 0) {
        return reinterpret_cast<std::uint64_t>(info.dli_fbase);
    }
    return 0;
}

void reportException(const char* taskName, const ExceptionInfo& info) {
    ensureVersionCopy();
    char report[ErrorState::textSize];
    composeReport(report, sizeof report, taskName, info, moduleOf(info.address != 0 ? info.address : ownCodeAddress()),
                  offsetInfo(), versionCopy);
    ErrorState::record(ErrorState::Crashed, report);
    std::fprintf(stderr, "%s\n", ErrorState::errorText);
    std::fflush(stderr);
}

void installFaultReporter() {
    ensureVersionCopy();
    altStack.ensure();
    static const bool installed = [] {
        struct sigaction action{};
        action.sa_sigaction = faultHandler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaction(s, &action, nullptr);
        return true;
    }();
    (void)installed;
}

namespace detail {

void enterTask(const char* taskName) {
    altStack.ensure();
    runningTask = taskName;
}

void leaveTask(const char* previous) { runningTask = previous; }

const char* currentTask() { return runningTask; }

void reportCurrentException(const char* taskName) {
    reportException(taskName, ExceptionInfo{});
    // The reason helps whoever reads the report; it follows it on a line of its own.
    try {
        throw;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "(%s)\n", e.what());
    } catch (...) {
    }
    std::fflush(stderr);
}

}  // namespace detail

}  // namespace CrashGuard
