// One Config window on a real X server (Xvfb): a second start of the Config
// brings the first one's minimised window back and gives it the keyboard.
// Xvfb has no window manager, so the test minimises as one would: it
// unmaps the window and marks it iconic.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/link_codes.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tests/support/xvfb.h"

// Xlib after the project's headers: its macros clash with their names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vyre {
namespace {

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The top-level window called `title`, or 0.
Window FindWindowNamed(Display* d, const std::string& title) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count) == 0) return 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) != 0 && name != nullptr) {
            if (title == name) found = children[i];
            XFree(name);
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

bool Viewable(Display* d, Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(d, w, &a) != 0 && a.map_state == IsViewable;
}

bool HasFocus(Display* d, Window w) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    // The focus may be on a child of the top-level window.
    for (Window at = focus; at != 0 && at != DefaultRootWindow(d);) {
        if (at == w) return true;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (XQueryTree(d, at, &root, &parent, &children, &count) == 0) return false;
        if (children != nullptr) XFree(children);
        at = parent;
    }
    return false;
}

TEST(ConfigOnX11, ASecondStartBringsTheFirstConfigsWindowBack) {
    if (!testing::HaveXvfb()) GTEST_SKIP() << "no Xvfb";
    testing::Xvfb server;
    ASSERT_FALSE(server.display.empty());
    testing::TempDir folder;
    testing::SimProcess sim(folder.path(), {"--model", "B"});
    const std::string home = (folder.path() / "home").string();
    testing::Process monitor({testing::Program("vyre-lumo-monitor"), "--hid", "sim:" + sim.socket(),
                              "--home", home, "--poll-ms", "1", "--arrival-ms", "20"},
                             (folder.path() / "monitor.log").string());
    ASSERT_TRUE(testing::Eventually([&] {
        return ReadText(folder.path() / "monitor.log").find("keyboard ready") != std::string::npos;
    }));

    testing::ScopedEnv display("DISPLAY", server.display);
    testing::ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
    testing::Process first({testing::Program("vyre-lumo-config"), "--home", home},
                           (folder.path() / "first.log").string());
    Display* d = XOpenDisplay(server.display.c_str());
    ASSERT_NE(d, nullptr);
    const std::string title(link::kMainDialogTitle);
    Window dialog = 0;
    ASSERT_TRUE(testing::Eventually([&] {
        dialog = FindWindowNamed(d, title);
        return dialog != 0 && Viewable(d, dialog);
    })) << ReadText(folder.path() / "first.log");

    // Minimised as a window manager does it.
    XUnmapWindow(d, dialog);
    const Atom wmState = XInternAtom(d, "WM_STATE", False);
    const long iconic[2] = {IconicState, 0};
    XChangeProperty(d, dialog, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(iconic), 2);
    XSetInputFocus(d, PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(d, False);
    ASSERT_FALSE(Viewable(d, dialog));

    const auto second = testing::Run({testing::Program("vyre-lumo-config"), "--home", home});
    EXPECT_EQ(second.exit, 0);
    EXPECT_EQ(second.out, "");
    EXPECT_TRUE(testing::Eventually([&] { return Viewable(d, dialog) && HasFocus(d, dialog); },
                                    std::chrono::seconds(10)))
        << ReadText(folder.path() / "first.log");
    EXPECT_TRUE(first.Running());  // the first Config goes on
    XCloseDisplay(d);
}

}  // namespace
}  // namespace vyre
