#include "platform/crash.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace vyre::platform {
namespace {

char g_file[4096];

constexpr int kMaxCrashActions = 8;
std::atomic<void (*)()> g_actions[kMaxCrashActions];

void Write(int fd, const char* text) {
    const ssize_t ignored = ::write(fd, text, strlen(text));
    (void)ignored;
}

// Decimal and hexadecimal numbers without the C library's formatting, which
// a signal handler may not call.
void WriteNumber(int fd, unsigned long value, unsigned base) {
    char digits[32];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0 && n < 32);
    char out[34];
    int at = 0;
    if (base == 16) {
        out[at++] = '0';
        out[at++] = 'x';
    }
    while (n > 0) out[at++] = digits[--n];
    out[at] = '\0';
    Write(fd, out);
}

// Only async-signal-safe calls from here on (backtrace is warmed up at install).
void OnCrash(int sig, siginfo_t* info, void*) {
    for (auto& slot : g_actions) {
        if (void (*action)() = slot.load()) action();
    }
    const int fd = ::open(g_file, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        Write(fd, "signal ");
        WriteNumber(fd, static_cast<unsigned long>(sig), 10);
        const char* name = sigabbrev_np(sig);
        Write(fd, " (SIG");
        Write(fd, name != nullptr ? name : "?");
        Write(fd, ") at address ");
        WriteNumber(fd, reinterpret_cast<unsigned long>(info != nullptr ? info->si_addr : nullptr),
                    16);
        Write(fd, "\nbacktrace:\n");
        void* frames[64];
        const int n = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, n, fd);
        ::close(fd);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

}  // namespace

void AddCrashAction(void (*action)()) {
    for (auto& slot : g_actions) {
        void (*expected)() = nullptr;
        if (slot.load() == action) return;
        if (slot.compare_exchange_strong(expected, action)) return;
        if (expected == action) return;
    }
}

void InstallCrashHandler(const std::string& file) {
    std::snprintf(g_file, sizeof g_file, "%s", file.c_str());
    void* warm[1];
    ::backtrace(warm, 1);  // loads what backtrace needs before any crash
    struct sigaction action {};
    action.sa_sigaction = &OnCrash;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::sigaction(sig, &action, nullptr);
}

}  // namespace vyre::platform
