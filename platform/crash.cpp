#include "platform/crash.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <cstdio>

namespace vyre::platform {
namespace {

char g_file[4096];

void Write(int fd, const char* text) {
    const ssize_t ignored = ::write(fd, text, strlen(text));
    (void)ignored;
}

// Only async-signal-safe calls from here on (backtrace is warmed up at install).
void OnCrash(int sig, siginfo_t* info, void*) {
    const int fd = ::open(g_file, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        char line[128];
        std::snprintf(line, sizeof line, "signal %d (%s) at address %p\nbacktrace:\n", sig,
                      sigdescr_np(sig), info ? info->si_addr : nullptr);
        Write(fd, line);
        void* frames[64];
        const int n = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, n, fd);
        ::close(fd);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

}  // namespace

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
