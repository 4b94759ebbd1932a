// Switching to the profile of the program in front.

#include <gtest/gtest.h>

#include "common/link_codes.h"
#include "common/reports.h"
#include "tests/monitor/link/link_rig.h"
#include "tools/link_client.h"

namespace vyre {
namespace {

using testing::LinkRig;
using testing::TraceOf;

struct SwitchRig : LinkRig {
    SwitchRig() { Connect(); }
    void Front(std::uint64_t window, const std::string& path, bool desktop = false) {
        host.desktop.Set(platform::ForegroundProgram{window, desktop, path, {}, {}});
        link->ProgramSwitchTick();
    }
    void Link(int profile, int k, const char16_t* path) { store->hostSettingsBlock.programLinks[profile][k].set(path); }
};

TEST(ProgramFolder, DriveAndFileNameAreRemoved) {
    EXPECT_EQ(ProgramFolder("C:\\Program Files\\Game\\game.exe"), "Program Files\\Game\\");
    EXPECT_EQ(ProgramFolder("D:/Program Files (x86)/Game/launcher.exe"), "Program Files (x86)\\Game\\");
    EXPECT_EQ(ProgramFolder("/usr/games/quake"), "\\usr\\games\\");
    EXPECT_EQ(ProgramFolder("quake"), "");
}

TEST(ProgramLinks, LinuxFoldersWineAndFlatpak) {
    struct Case {
        const char* link;
        const char* path;
        std::vector<std::string> arguments;
        const char* appId;
        bool matches;
    };
    const std::string wine = "/usr/lib/wine/wine64-preloader";
    const Case cases[] = {
        // Shared system folders: only the program itself.
        {"/usr/bin/xterm", "/usr/bin/xterm", {}, "", true},
        {"/usr/bin/xterm", "/usr/bin/xcalc", {}, "", false},
        {"/usr/games/quake", "/usr/games/doom", {}, "", false},
        {"/snap/bin/a", "/snap/bin/b", {}, "", false},
        {"/home/p/.local/bin/a", "/home/p/.local/bin/b", {}, "", false},
        // A game's own folder: every program in it.
        {"/opt/raid/client", "/opt/raid/updater", {}, "", true},
        {"/home/p/Games/Foo/", "/home/p/Games/Foo/foo", {}, "", true},
        // Wine and Proton: the Windows program of the command line.
        {"C:\\Games\\Foo\\foo.exe", wine.c_str(), {"C:\\Games\\Foo\\foo.exe", "-fullscreen"}, "", true},
        {"/home/p/.wine/drive_c/Games/Foo/foo.exe", wine.c_str(), {"C:\\games\\foo\\FOO.EXE"}, "", true},
        {"C:\\Games\\Foo\\", "/usr/bin/wine", {"wine", "C:\\Games\\Foo\\launcher.exe"}, "", true},
        {"C:\\Games\\Bar\\bar.exe", wine.c_str(), {"C:\\Games\\Foo\\foo.exe"}, "", false},
        {"/home/p/steam/common/Foo/foo.exe", "/home/p/steam/Proton/files/bin/wine64-preloader",
         {"Z:\\home\\p\\steam\\common\\Foo\\foo.exe"}, "", true},
        {"C:\\Program Files\\Foo\\foo.exe", wine.c_str(), {"C:\\Program Files (x86)\\Foo\\foo.exe"}, "", true},
        {"/usr/lib/wine/wine64-preloader", wine.c_str(), {"C:\\Games\\Foo\\foo.exe"}, "", false},
        // Flatpak: the app's id, and only that, for a sandboxed process.
        {"org.example.Game", "/app/bin/game", {}, "org.example.Game", true},
        {"/app/bin/game", "/app/bin/game", {}, "org.example.Game", false},
        {"org.example.Game", "/usr/bin/game", {}, "", false},
    };
    for (const Case& c : cases) {
        const platform::ForegroundProgram fg{1, false, c.path, c.arguments, c.appId};
        EXPECT_EQ(LinkMatches(c.link, fg), c.matches) << c.link << " / " << c.path;
    }
}

TEST(ProgramSwitching, ProgramsOfOneFolderSelectTheirProfile) {
    SwitchRig rig;
    rig.Link(2, 1, u"/opt/raid/client");
    rig.Link(4, 0, u"C:\\Program Files\\Racer\\racer.exe");
    rig.Front(11, "/opt/raid/updater");  // another program of the same folder
    EXPECT_EQ(rig.store->currentProfile(), 2);
    EXPECT_EQ(rig.keyboard->activeProfile(), 2);

    // The same window stays in front: a profile chosen by hand is kept.
    rig.keyboard->SetReport(report::kActiveProfile, 0, 0, {5, 3, 0});
    rig.store->setCurrentProfile(0);
    rig.Front(11, "/opt/raid/updater");
    EXPECT_EQ(rig.store->currentProfile(), 0);

    // Program Files and Program Files (x86) on another drive are one folder.
    rig.Front(12, "E:\\Program Files (x86)\\Racer\\racer64.exe");
    EXPECT_EQ(rig.store->currentProfile(), 4);

    // An unlinked program switches nothing back.
    rig.Front(13, "/usr/bin/editor");
    EXPECT_EQ(rig.store->currentProfile(), 4);
}

TEST(ProgramSwitching, TheLinkedProfileAlreadyInUseOnlyRemembersTheWindow) {
    SwitchRig rig;
    rig.Link(3, 2, u"/opt/game/run");
    rig.keyboard->SetReport(report::kActiveProfile, 0, 0, {5, 3, 3});
    rig.ClearTrace();
    rig.Front(21, "/opt/game/run");
    EXPECT_TRUE(TraceOf(rig.Trace(), "SET", report::kActiveProfile).empty());
    EXPECT_TRUE(rig.host.Take().empty());
}

TEST(ProgramSwitching, TheDesktopProfileButNotWhileTheConfigIsOpen) {
    SwitchRig rig;
    rig.Front(0, "", true);  // no desktop profile: nothing
    EXPECT_EQ(rig.store->currentProfile(), 0);
    rig.store->hostSettingsBlock.windowsProfile = 1;
    {
        win::Window config;
        const std::string title(link::kConfigMainWindowName);
        ASSERT_TRUE(config.Create(title, title));
        rig.Front(0, "", true);
        EXPECT_EQ(rig.store->currentProfile(), 0);
        // Linked programs still switch while it is open.
        rig.Link(2, 0, u"/opt/x/y");
        rig.Front(5, "/opt/x/y");
        EXPECT_EQ(rig.store->currentProfile(), 2);
    }
    rig.Front(0, "", true);
    EXPECT_EQ(rig.store->currentProfile(), 1);
    // A window whose program cannot be known (no process id, or another
    // user's program) is not the desktop: nothing happens this round.
    rig.keyboard->SetReport(report::kActiveProfile, 0, 0, {5, 3, 0});
    rig.store->setCurrentProfile(0);
    rig.ClearTrace();
    rig.Front(9, "");
    EXPECT_EQ(rig.keyboard->activeProfile(), 0);
    EXPECT_EQ(rig.store->currentProfile(), 0);
    EXPECT_TRUE(TraceOf(rig.Trace(), "SET", report::kActiveProfile).empty());
}

// An open Config learns of the switch, so that its next APPLY keeps it.
TEST(ProgramSwitching, AnOpenConfigIsToldOfTheSwitch) {
    SwitchRig rig;
    LinkClient config{std::string(link::kLinkWindowTitle)};
    ASSERT_TRUE(config.Create());
    rig.Link(3, 0, u"/opt/raid/client");
    rig.Front(31, "/opt/raid/client");
    std::vector<std::uint8_t> told;
    config.Pump(std::chrono::milliseconds(30), [&](const LinkEvent& e) {
        if (!e.notice && e.code == link::block::kActiveProfile) told = e.data;
    }, nullptr);
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(told[2], 3);
}

TEST(ProgramSwitching, NothingSwitchesWhereTheForegroundIsUnknown) {
    SwitchRig rig;
    rig.Link(1, 0, u"/opt/x/y");
    rig.host.desktop.Set(std::nullopt);
    rig.link->ProgramSwitchTick();
    EXPECT_EQ(rig.store->currentProfile(), 0);
}

}  // namespace
}  // namespace vyre
