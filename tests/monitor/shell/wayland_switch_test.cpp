// The Monitor follows the program in front under a headless sway: windows
// of two linked programs and an empty workspace (the desktop) switch the
// emulated keyboard's profile.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "common/profile_store.h"
#include "tests/monitor/shell/monitor_rig.h"

namespace vyre {
namespace {

namespace fs = std::filesystem;
using testing::Program;
using testing::Run;

// sway refuses to run as root: there it runs, with the windows, as this user.
constexpr const char* kUser = "vyre-lumo-test";

struct Sway {
    fs::path folder;
    std::vector<std::string> as;  // the command prefix that runs a program as the desktop's user
    std::unique_ptr<testing::Process> sway;
    std::string socket;

    explicit Sway(const fs::path& runtime) : folder(runtime) {
        fs::create_directories(folder);
        if (::getuid() == 0) {
            Run({"/bin/sh", "-c",
                 std::string("id -u ") + kUser + " >/dev/null 2>&1 || /usr/sbin/useradd --system --no-create-home "
                 "--shell /usr/sbin/nologin " + kUser});
            Run({"/bin/chown", kUser, folder.string()});
            // The user reaches its folder and the programs beside it.
            fs::permissions(folder.parent_path(), fs::perms::others_exec | fs::perms::group_exec,
                            fs::perm_options::add);
            as = {"/usr/bin/setpriv", std::string("--reuid=") + kUser, std::string("--regid=") + kUser,
                  "--clear-groups"};
        }
        fs::permissions(folder, fs::perms::owner_all);
        std::ofstream(folder / "config") << "xwayland disable\noutput * resolution 800x600\n";
        sway = Start({"/usr/bin/sway", "-c", (folder / "config").string()}, folder / "sway.log");
    }
    std::unique_ptr<testing::Process> Start(std::vector<std::string> args, const fs::path& log,
                                            std::vector<std::string> env = {}) {
        std::vector<std::string> all = as;
        all.insert(all.end(), {"/usr/bin/env", "-i", "PATH=/usr/bin:/bin", "HOME=" + folder.string(),
                               "XDG_RUNTIME_DIR=" + folder.string(), "WLR_BACKENDS=headless",
                               "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"});
        all.insert(all.end(), env.begin(), env.end());
        all.insert(all.end(), args.begin(), args.end());
        return std::make_unique<testing::Process>(all, log.string());
    }
    // Waits (bounded) for the compositor's sockets.
    bool Ready() {
        for (int i = 0; i < 200 && sway->Running(); ++i) {
            for (const auto& e : fs::directory_iterator(folder)) {
                if (e.path().filename().string().starts_with("sway-ipc.")) socket = e.path().string();
            }
            if (!socket.empty() && fs::exists(folder / "wayland-1")) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    int Command(const std::string& command) {
        std::vector<std::string> args = as;
        args.insert(args.end(), {"/usr/bin/swaymsg", "-s", socket, command});
        return Run(args).exit;
    }
    ~Sway() {
        if (sway && sway->Running()) Command("exit");
        if (sway) sway->Wait(std::chrono::seconds(10));
    }
};

int ActiveProfile(const MonitorRig& rig) {
    const auto report = rig.sim.Control({"report", "5"}).out;  // "05 03 0p"
    return report.size() >= 8 ? std::stoi(report.substr(6, 2), nullptr, 16) : -1;
}

bool ProfileBecomes(const MonitorRig& rig, int profile) {
    for (int i = 0; i < 100; ++i) {  // the Monitor looks every 2 s
        if (ActiveProfile(rig) == profile) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(WaylandSwitching, SwayWindowsOfLinkedProgramsAndTheDesktopSwitchTheProfile) {
    if (!fs::exists("/usr/bin/sway")) GTEST_SKIP() << "sway is not installed here (scripts/deps installs it)";
    MonitorRig rig;
    Sway sway(rig.folder / "wayland");
    if (!sway.Ready()) GTEST_SKIP() << "sway does not start here: " << ReadText(sway.folder / "sway.log");

    // Two programs, each in a folder of its own.
    for (const char* game : {"game-a", "game-b"}) {
        fs::create_directories(rig.folder / game);
        fs::copy_file(Program("wayland_window"), rig.folder / game / "window");
    }
    testing::ScopedEnv display("WAYLAND_DISPLAY", (sway.folder / "wayland-1").string());
    testing::ScopedEnv ipc("SWAYSOCK", sway.socket);
    testing::ScopedEnv noX("DISPLAY", "");
    auto monitor = rig.StartMonitor();
    const auto dir = rig.folder / "dump";
    ASSERT_EQ(rig.DumpWhenReady({"--dir", dir.string()}).exit, 0) << ReadText(rig.folder / "monitor.log");
    auto host = ReadFile(dir / "12.bin");
    ASSERT_EQ(host.size(), sizeof(HostSettingsBlock));
    HostSettingsBlock block;
    std::memcpy(static_cast<void*>(&block), host.data(), sizeof block);
    block.programLinks[1][0].set((rig.folder / "game-a" / "window").u16string());
    block.programLinks[3][2].set((rig.folder / "game-b" / "window").u16string());
    block.windowsProfile = 2;
    std::memcpy(host.data(), &block, sizeof block);
    std::ofstream(dir / "12.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(host.data()), static_cast<std::streamsize>(host.size()));
    ASSERT_EQ(rig.Ctl({"upload", dir.string()}).exit, 0);

    // Each window opens only when it is its turn: sway gives the focus to a
    // window as it maps, so a second one opening late would take it away.
    std::vector<std::unique_ptr<testing::Process>> windows;
    const auto open = [&](const char* game) {
        windows.push_back(sway.Start({(rig.folder / game / "window").string(), game},
                                     rig.folder / (std::string(game) + ".log"),
                                     {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=wayland-1"}));
    };
    const auto focus = [&](std::size_t i) {
        for (int tries = 0; tries < 100; ++tries) {  // until the window is mapped
            if (sway.Command("[pid=" + std::to_string(windows[i]->pid()) + "] focus") == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    open("game-a");
    ASSERT_TRUE(focus(0)) << ReadText(rig.folder / "game-a.log");
    EXPECT_TRUE(ProfileBecomes(rig, 1)) << ReadText(rig.folder / "monitor.log");
    open("game-b");
    ASSERT_TRUE(focus(1)) << ReadText(rig.folder / "game-b.log");
    EXPECT_TRUE(ProfileBecomes(rig, 3));
    ASSERT_EQ(sway.Command("workspace 9"), 0);  // nothing in front: the desktop
    EXPECT_TRUE(ProfileBecomes(rig, 2));
    ASSERT_TRUE(focus(0));
    EXPECT_TRUE(ProfileBecomes(rig, 1));

    for (auto& w : windows) w->Stop();
    EXPECT_EQ(monitor->Stop(), 0) << ReadText(rig.folder / "monitor.log");
}

}  // namespace
}  // namespace vyre
