// The Config's link window: what it keeps of each notification.

#include "config/frame/data_work.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "common/link_codes.h"
#include "common/store_blocks.h"
#include "config/frame/config_dlg.h"
#include "config/frame/mirror_merge.h"

namespace vyre {
namespace {

struct Rig {
    Rig() : window(shared) {
        EXPECT_TRUE(window.Create());
        dialog.Create("dialog", "dialog", win::HWND_MESSAGE);
        dialog.Messages().On(link::kMsgNotify, [this](win::WPARAM code, win::LPARAM lParam) {
            notices.emplace_back(static_cast<unsigned>(code), lParam);
            return 0;
        });
        shared.dialog = dialog.GetSafeHwnd();
    }
    void Notify(std::uint16_t code, const std::vector<std::uint8_t>& data) {
        win::SendCopyData(window.GetSafeHwnd(), 0, link::MakeDwData(code, link::kTagNotification),
                          data.data(), data.size());
        Serve();
    }
    void Serve() {
        win::MSG msg;
        while (win::PeekMessage(msg)) win::DispatchMessage(msg);
    }
    ConfigShared shared;
    CDataWorkWnd window;
    win::Window dialog;
    std::vector<std::pair<unsigned, win::LPARAM>> notices;
};

TEST(LinkWindow, BlocksOfTheWrongSizeAreIgnored) {
    Rig rig;
    rig.Notify(link::block::kActiveProfile, {5, 3, 4});
    EXPECT_EQ(rig.shared.mirror->currentProfile(), 4);
    rig.Notify(link::block::kActiveProfile, {5, 3, 1, 9});  // one byte too many
    rig.Notify(link::block::kKeyRemap, std::vector<std::uint8_t>(10, 0xFF));
    EXPECT_EQ(rig.shared.mirror->currentProfile(), 4);
    EXPECT_EQ(rig.shared.mirror->keyRemapReports[0][0], 0);
    ASSERT_EQ(rig.notices.size(), 1u);
    EXPECT_EQ(rig.notices[0].first, 3u);

    std::vector<std::uint8_t> host(sizeof(HostSettingsBlock), 0);
    host[link::kStartPageInHostSettings] = 3;
    rig.Notify(link::block::kHostSettings, host);
    EXPECT_EQ(rig.notices.back(), (std::pair<unsigned, win::LPARAM>{12, 1}));
}

TEST(LinkWindow, ListsKeepTheirTailAndTalkRemovalsMustMatch) {
    Rig rig;
    std::vector<std::uint8_t> timers(3 * 37, 0);
    timers[2 * 37 + 4] = 'Z';
    rig.Notify(link::list::kTimers, timers);
    rig.Notify(link::list::kTimers, {});
    EXPECT_EQ(rig.shared.mirror->timers.size(), 3u);  // an empty list keeps the old entries

    TalkDeviceRecord r{};
    std::memset(static_cast<void*>(&r), 0, sizeof r);
    r.key = 9;
    r.dpiLevels[0] = 800;
    std::vector<std::uint8_t> bytes(sizeof r);
    std::memcpy(bytes.data(), &r, sizeof r);
    rig.notices.clear();
    rig.Notify(link::list::kTalkAdded, bytes);
    EXPECT_EQ(rig.shared.mirror->talkDevices.count(9), 1u);
    auto other = bytes;
    other[44] = 1;  // differs from the mirror's copy
    rig.Notify(link::list::kTalkRemoved, other);
    EXPECT_EQ(rig.shared.mirror->talkDevices.count(9), 1u);
    rig.Notify(link::list::kTalkRemoved, bytes);
    EXPECT_EQ(rig.shared.mirror->talkDevices.count(9), 0u);
    EXPECT_EQ(rig.notices.size(), 2u);  // 41 for each real change
    EXPECT_EQ(rig.notices[0].first, 41u);
}

TEST(LinkWindow, TheBusyWaitEndsWithTheResetOrItsBound) {
    Rig rig;
    bool ordered = false;
    rig.dialog.Messages().On(link::kMsgRequest, [&](win::WPARAM code, win::LPARAM) {
        ordered = code == link::dialog_order::kBusyWait;
        return 0;
    });
    // The flag is up as soon as the link window takes the request, before the
    // dialog handles its order, so an early end of the reset is never missed.
    win::PostMessage(rig.window.GetSafeHwnd(), link::kMsgRequest, link::link_request::kBusyWait, 1);
    win::PostMessage(rig.window.GetSafeHwnd(), link::kMsgNotify, link::notice::kResetDone, 0);
    win::MSG msg;
    ASSERT_TRUE(win::PeekMessage(msg));
    win::DispatchMessage(msg);
    EXPECT_EQ(rig.shared.busy.load(), 1);
    while (win::PeekMessage(msg)) win::DispatchMessage(msg);
    EXPECT_EQ(rig.shared.busy.load(), 0);
    EXPECT_TRUE(ordered);
}

std::vector<std::uint8_t> Bytes(std::span<const std::uint8_t> block) {
    return {block.begin(), block.end()};
}

TEST(LinkWindow, ADumpKeepsTheEditsNotAppliedUnlessTheMonitorChangedTheSameEntry) {
    Rig rig;
    ProfileStore& mirror = *rig.shared.mirror;
    auto monitor = NewProfileStore();
    const std::size_t f5 = report::kFunctionKeyEntries + 19 * 3;  // an entry of profile 0
    const std::size_t f8 = report::kFunctionKeyEntries + 22 * 3;
    monitor->functionKeyReports[0][f5] = 0xB5;
    monitor->functionKeyReports[0][f8] = 0xC0;  // a timer on it
    monitor->hostRecord(1).name.set(u"Stored");
    auto dump = [&] {
        rig.Notify(link::block::kFunctionKeys, Bytes(StoreBlock(*monitor, link::block::kFunctionKeys)));
        rig.Notify(link::block::kHostSettings, Bytes(StoreBlock(*monitor, link::block::kHostSettings)));
    };
    dump();
    EXPECT_FALSE(EditedBlocks(mirror, *rig.shared.monitorCopy).size());

    // Edited, not applied: F5 (disabled), F8's data and a profile name.
    mirror.functionKeyReports[0][f5] = 0;
    mirror.functionKeyReports[0][f8 + 1] = 7;
    mirror.hostRecord(1).name.set(u"Mine");
    // The Monitor deletes the timer on F8 and counts: its dump.
    monitor->functionKeyReports[0][f8] = 0x3F;
    monitor->statistics().lifetime[0] = 500;
    dump();
    EXPECT_EQ(mirror.functionKeyReports[0][f5], 0);        // kept
    EXPECT_EQ(mirror.functionKeyReports[0][f8], 0x3F);     // the Monitor's, whole
    EXPECT_EQ(mirror.functionKeyReports[0][f8 + 1], 0);
    EXPECT_EQ(mirror.hostRecord(1).name.str(), u"Mine");   // kept
    EXPECT_EQ(mirror.statistics().lifetime[0].get(), 500);  // the Monitor's alone
    EXPECT_EQ(EditedBlocks(mirror, *rig.shared.monitorCopy),
              (std::vector<std::uint16_t>{link::block::kFunctionKeys, link::block::kHostSettings}));
}

TEST(LinkWindow, TheStartPageGoesBackWithTheMonitorsOwnBlock) {
    Rig rig;
    std::vector<std::uint8_t> sent;
    win::Window monitor;
    monitor.SetCopyDataLimit(link::kCommandPayloadMax);
    monitor.Messages().OnCopyData([&](win::HWND, const win::COPYDATASTRUCT& cds) -> win::LRESULT {
        if (link::CodeOf(static_cast<std::uint32_t>(cds.dwData)) == link::block::kHostSettings)
            sent.assign(static_cast<const std::uint8_t*>(cds.lpData),
                        static_cast<const std::uint8_t*>(cds.lpData) + cds.cbData);
        return 1;
    });
    monitor.Create("monitor", "monitor", win::HWND_MESSAGE);
    rig.shared.monitor = monitor.GetSafeHwnd();
    auto stored = NewProfileStore();
    stored->hostRecord(0).name.set(u"Stored");
    rig.Notify(link::block::kHostSettings, Bytes(StoreBlock(*stored, link::block::kHostSettings)));
    win::PostMessage(rig.window.GetSafeHwnd(), link::kMsgNotify, link::notice::kTrophy,
                     link::notice::TrophyParam(4));
    rig.shared.mirror->hostRecord(0).name.set(u"Not applied");
    win::PostMessage(rig.window.GetSafeHwnd(), link::kMsgRequest, kLinkRequestStartPageReset, 0);
    rig.Serve();
    ASSERT_EQ(sent.size(), sizeof(HostSettingsBlock));
    HostSettingsBlock block;
    std::memcpy(static_cast<void*>(&block), sent.data(), sent.size());
    EXPECT_EQ(block.profileHostRecords[0].name.str(), u"Stored");
    EXPECT_EQ(block.startPage.get(), 0);
    EXPECT_EQ(rig.shared.mirror->hostRecord(0).name.str(), u"Not applied");
    monitor.DestroyWindow();
}

TEST(LinkWindow, ANodeThisUserMayNotOpenIsCheckedAndTold) {
    Rig rig;
    const std::string node = "/dev/hidraw3";
    std::vector<std::uint8_t> zero(node.begin(), node.end());
    zero.push_back(0);
    rig.Notify(link::notification::kKeyboardNoAccess, zero);
    rig.Notify(link::notification::kKeyboardNoAccess,
               std::vector<std::uint8_t>(link::notification::kKeyboardNoAccessPathMax + 1, 'a'));
    EXPECT_TRUE(rig.notices.empty());
    EXPECT_EQ(rig.shared.endReason.load(), kEndSilently);
    rig.Notify(link::notification::kKeyboardNoAccess, {node.begin(), node.end()});
    ASSERT_EQ(rig.notices.size(), 1u);
    EXPECT_EQ(rig.notices[0].first, link::dialog_notice::kKeyboardNoAccess);
    EXPECT_EQ(rig.shared.deniedNode, node);
    EXPECT_EQ(rig.shared.endReason.load(), kEndNoAccess);
}

TEST(ProgramLinks, ALinkOrADesktopEntryStandsForItsProgram) {
    char folderTemplate[] = "/tmp/vyre-links-XXXXXX";
    const std::filesystem::path folder = ::mkdtemp(folderTemplate);
    std::filesystem::create_symlink("/bin/sleep", folder / "game");
    {
        std::ofstream entry(folder / "game.desktop");
        entry << "[Desktop Entry]\nName=Game\nExec=\"/opt/my game/run\" --fullscreen %U\n";
    }
    EXPECT_EQ(ResolveProgramFile((folder / "game").string()),
              std::filesystem::canonical("/bin/sleep").string());
    EXPECT_EQ(ResolveProgramFile((folder / "game.desktop").string()), "/opt/my game/run");
    EXPECT_EQ(ResolveProgramFile("/usr/bin/plain"), "/usr/bin/plain");
    // A desktop entry's program found through PATH and its links, so that it matches the process.
    {
        std::ofstream entry(folder / "term.desktop");
        entry << "[Desktop Entry]\nExec=sleep %F\n";
        std::ofstream flatpak(folder / "app.desktop");
        flatpak << "[Desktop Entry]\nExec=/usr/bin/flatpak run --command=game org.example.Game\n"
                   "X-Flatpak=org.example.Game\n";
    }
    EXPECT_EQ(ResolveLinkedProgram((folder / "term.desktop").string()),
              std::filesystem::canonical("/bin/sleep").string());
    EXPECT_EQ(ResolveLinkedProgram((folder / "app.desktop").string()), "org.example.Game");
    std::filesystem::create_symlink(folder / "nowhere", folder / "broken");
    EXPECT_EQ(ResolveProgramFile((folder / "broken").string()), "");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vyre
