// The key capture on a real X server (Xvfb): while the dialog of another
// process captures, no other client can take the keyboard and every key
// reaches the dialog; when it closes, the keyboard is free again.

#include <gtest/gtest.h>

#include "tests/support/programs.h"
#include "tests/support/xvfb.h"

// Xlib after the project's headers: its macros clash with their names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Reads one line from fd, waiting at most `bound`; empty on timeout or end.
std::string ReadLine(int fd, std::chrono::milliseconds bound) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (::poll(&p, 1, static_cast<int>(std::max<long>(1, left.count()))) <= 0) continue;
        char c;
        if (::read(fd, &c, 1) != 1) break;
        if (c == '\n') return line;
        line.push_back(c);
    }
    return {};
}

int TryGrab(Display* d, Window w) {
    const int status = XGrabKeyboard(d, w, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status == GrabSuccess) XUngrabKeyboard(d, CurrentTime);
    XSync(d, False);
    return status;
}

void Key(Display* d, int evdev) {
    XTestFakeKeyEvent(d, static_cast<unsigned>(evdev + 8), True, 0);
    XTestFakeKeyEvent(d, static_cast<unsigned>(evdev + 8), False, 0);
    XSync(d, False);
}

TEST(KeyCaptureX11, GrabsTheKeyboardAndLetsItGo) {
    if (!vyre::testing::HaveXvfb()) GTEST_SKIP() << "no Xvfb";
    vyre::testing::Xvfb server;
    ASSERT_FALSE(server.display.empty());
    ::setenv("DISPLAY", server.display.c_str(), 1);
    Display* d = XOpenDisplay(server.display.c_str());
    ASSERT_NE(d, nullptr);
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
    XMapWindow(d, w);
    XSync(d, False);

    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    const pid_t peer = vyre::testing::Spawn({vyre::testing::Program("capture_peer")}, out[1]);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::close(out[1]);
    ASSERT_GT(peer, 0);
    EXPECT_EQ(ReadLine(out[0], 15s), "grabbed 1");
    EXPECT_EQ(TryGrab(d, w), AlreadyGrabbed);

    Key(d, 28);   // Enter
    Key(d, 15);   // Tab
    Key(d, 125);  // Left Windows
    Key(d, 1);    // Escape: the peer closes its dialog
    const std::vector<std::string> expected = {
        "key 28 1c 00 1", "key 28 1c 80 0", "key 15 0f 00 1", "key 15 0f 80 0",
        "key 125 5b 01 1", "key 125 5b 81 0", "key 1 01 00 1", "key 1 01 80 0", "released 0"};
    for (const std::string& line : expected) EXPECT_EQ(ReadLine(out[0], 10s), line);
    EXPECT_EQ(vyre::testing::WaitExit(peer, std::chrono::seconds(15)), 0);
    ::close(out[0]);
    EXPECT_EQ(TryGrab(d, w), GrabSuccess);
    XCloseDisplay(d);
    ::unsetenv("DISPLAY");
}

}  // namespace
