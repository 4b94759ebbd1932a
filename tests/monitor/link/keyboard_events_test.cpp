// The keyboard's events and what they do on the computer, the statistics
// with their trophies and roll-over, the key timers, and live key lighting
// (light macros, the volume level, the ripple), against an emulated keyboard.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/key_functions.h"
#include "common/layout_grid.h"
#include "common/link_codes.h"
#include "common/reports.h"
#include "common/store_blocks.h"
#include "monitor/link/led_macro_thread.h"
#include "tests/monitor/link/link_rig.h"
#include "tools/link_client.h"

namespace vyre {
namespace {

using testing::Eventually;
using testing::LinkRig;
using testing::TraceOf;

std::uint32_t Event(std::uint8_t index, std::uint8_t type, std::uint8_t data, std::uint8_t action) {
    return report::KeyboardEvent{index, type, data, action}.value();
}

// The sound window as the link sees it: the requests it was sent.
struct SoundWindow {
    explicit SoundWindow(MonitorShared& shared) {
        window.Create("sound", "sound", win::HWND_MESSAGE);
        window.Messages().On(link::kMsgPlaySound, [this](win::WPARAM kind, win::LPARAM value) {
            requests.emplace_back(static_cast<unsigned>(kind), value);
            return 0;
        });
        shared.sound = window.GetSafeHwnd();
    }
    std::vector<std::pair<unsigned, win::LPARAM>> Take() {
        LinkRig::PumpFor(std::chrono::milliseconds(5));
        return std::exchange(requests, {});
    }
    win::Window window;
    std::vector<std::pair<unsigned, win::LPARAM>> requests;
};

struct EventRig : LinkRig {
    EventRig() : sound(shared), config(std::string(link::kLinkWindowTitle)) {
        config.Create();
        Connect();
        sound.Take();
    }
    void Send(std::uint32_t value) { link->HandleEvent(value); }
    std::vector<LinkEvent> ConfigGot() {
        std::vector<LinkEvent> events;
        config.Pump(std::chrono::milliseconds(30), [&](const LinkEvent& e) { events.push_back(e); }, nullptr);
        return events;
    }
    SoundWindow sound;
    LinkClient config;
};

bool Has(const std::vector<LinkEvent>& events, std::uint32_t code, bool notice = false) {
    return std::any_of(events.begin(), events.end(), [&](const auto& e) { return e.code == code && e.notice == notice; });
}

TEST(KeyboardEvents, ProfileChangesWithAndWithoutSound) {
    EventRig rig;
    rig.store->hostRecord(3).repeatRate = 5;
    rig.ConfigGot();
    rig.Send(Event(0, 0x01, 3, 0));
    EXPECT_EQ(rig.store->currentProfile(), 3);
    EXPECT_EQ(rig.repeat->Get().speed, 5);
    auto sounds = rig.sound.Take();
    ASSERT_FALSE(sounds.empty());
    EXPECT_EQ(sounds[0].first, kSoundEvent);
    EXPECT_EQ(sounds[0].second, Event(0, 0x01, 3, 0));
    EXPECT_TRUE(Has(rig.ConfigGot(), link::block::kActiveProfile));

    rig.Send(Event(0, 0x02, 1, 0));
    EXPECT_EQ(rig.store->currentProfile(), 1);
    for (const auto& [kind, value] : rig.sound.Take()) EXPECT_NE(kind, kSoundEvent);  // the settings only
    rig.Send(Event(0, 0x02, 9, 0));  // no such profile
    EXPECT_EQ(rig.store->currentProfile(), 1);
}

// The tray's choice is the profile key's change, and the keyboard is told.
TEST(KeyboardEvents, AProfileChosenInTheTrayIsThatOfTheProfileKey) {
    EventRig rig;
    rig.store->hostRecord(2).name.set(u"Games");
    rig.ConfigGot();
    rig.ClearTrace();
    rig.link->ChooseProfile(2);
    EXPECT_EQ(rig.store->currentProfile(), 2);
    const auto written = TraceOf(rig.Trace(), "SET", report::kActiveProfile);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].substr(0, 8), "05 03 02");
    auto sounds = rig.sound.Take();
    ASSERT_FALSE(sounds.empty());
    EXPECT_EQ(sounds[0], std::make_pair(kSoundEvent, static_cast<win::LPARAM>(Event(0, 0x01, 2, 0))));
    EXPECT_TRUE(Has(rig.ConfigGot(), link::block::kActiveProfile));
    const ProfileMenu menu = rig.shared.Profiles();
    EXPECT_EQ(menu.current, 2);
    EXPECT_EQ(menu.names[2], "Games");
    rig.link->ChooseProfile(7);  // no such profile
    EXPECT_EQ(rig.store->currentProfile(), 2);
}

TEST(KeyboardEvents, AMacroRecordedTwiceUnderOneNameGetsASuffix) {
    EventRig rig;
    // The keyboard recorded "Combo" into slot 16 + 4 of profile 1.
    auto recorded = [&](const char* name) {
        MacroReportImage image{};
        std::memset(static_cast<void*>(&image), 0, sizeof image);
        image.profile = 0;
        image.slot = 20;
        image.loopCount = 2;
        image.name.set(name);
        image.eventCount = 1;
        image.events[0] = {0x04, 1, LeU16(30)};
        report::FrameMacroReport(report::kMacro, BytesOf(image));
        const auto bytes = BytesOf(image);
        rig.keyboard->SetReport(report::kMacro, 0, 20, {bytes.begin(), bytes.end()});
        rig.Send(Event(0, 0x04, 20, 3));
    };
    recorded("Combo");
    recorded("Combo");
    ASSERT_EQ(rig.store->macroSets.size(), 1u);
    EXPECT_EQ(rig.store->macroSets[0].name.str(), "Macro Live");
    ASSERT_EQ(rig.store->macros.size(), 2u);
    EXPECT_EQ(rig.store->macros[0].name.str(), "Combo");
    EXPECT_EQ(rig.store->macros[1].name.str(), "Combo-1");
    EXPECT_EQ(rig.store->macros[1].macroNumber.get(), 1);
    EXPECT_EQ(rig.store->macroImage(0, 20).name.str(), "Combo-1");
    const auto onKeyboard = *rig.keyboard->Report(report::kMacro, 0, 20);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(onKeyboard.data()) + 54), "Combo-1");
    EXPECT_EQ(rig.keyboard->counters().refusedChecksum, 0u);
    EXPECT_EQ(rig.store->flexKeyReports[0][report::kFlexKeyEntries + 4 * 3], fncode::kMacro);
    const auto events = rig.ConfigGot();
    EXPECT_TRUE(Has(events, link::block::kFlexKeys));
    EXPECT_TRUE(Has(events, link::list::kMacros));
    EXPECT_TRUE(Has(events, link::block::kMacros));

    // A name that fills its field makes room for the suffix.
    recorded("ABCDEFGHIJKLMNOPQRSTUVWX");
    recorded("ABCDEFGHIJKLMNOPQRSTUVWX");
    ASSERT_EQ(rig.store->macros.size(), 4u);
    EXPECT_EQ(rig.store->macros[3].name.str(), "ABCDEFGHIJKLMNOPQRSTUV-1");
    // All four are in the library file.
    std::vector<HIDMSG::_SMacroGroupData> sets;
    std::vector<HIDMSG::_SMacroDefaultData> macros;
    rig.settings.LoadLibrary(false, sets, macros);
    ASSERT_EQ(macros.size(), 4u);
    EXPECT_EQ(macros[1].name.str(), "Combo-1");
}

TEST(KeyboardEvents, CountersTrophiesAndTheirNotices) {
    EventRig rig;
    StatisticsRecord& stats = rig.store->statistics();
    rig.Send(Event(16, 0xFA, 7, 0));
    rig.Send(Event(15, 0xFA, 0x10, 0x27));  // count 0x2710 = 10,000
    EXPECT_EQ(stats.lifetime[15].get(), 7);
    EXPECT_EQ(stats.lifetime[16].get(), 10000);
    EXPECT_EQ(stats.day[16].get(), 10000);
    // Counters 16 and 17 passed 5,000: one tier per event, the lowest first.
    EXPECT_EQ(stats.trophyBits.get(), 1u << 9);
    EXPECT_EQ(stats.trophyPoints.get(), 5);
    const auto events = rig.ConfigGot();
    EXPECT_TRUE(Has(events, link::block::kStatistics));
    auto trophy = std::find_if(events.begin(), events.end(), [](const auto& e) { return e.notice && e.code == 36; });
    ASSERT_NE(trophy, events.end());
    EXPECT_EQ(trophy->lParam, (10 << 16) | 3);
    EXPECT_EQ(rig.store->hostSettingsBlock.startPage.get(), 3);
    EXPECT_TRUE(rig.registry->GetValue("Statistic DB"));
    rig.Send(Event(17, 0xFA, 0, 0));
    rig.Send(Event(17, 0xFA, 0, 0));
    EXPECT_EQ(stats.trophyBits.get(), (1u << 9) | (1u << 10) | (1u << 11));
    EXPECT_EQ(stats.trophyPoints.get(), 65);
    auto sounds = rig.sound.Take();
    EXPECT_EQ(std::count(sounds.begin(), sounds.end(), std::pair<unsigned, win::LPARAM>{kSoundEvent, kSoundTrophy}), 3);

    // The sixteenth trophy once the fifteen others are there.
    stats.trophyBits = 0x7FFF & ~(1u << 3);
    stats.lifetime[0] = 499999;
    rig.Send(Event(19, 0xFA, 1, 0));
    EXPECT_EQ(stats.trophyBits.get(), 0xFFFFu);
    sounds = rig.sound.Take();
    EXPECT_EQ(sounds.back(), (std::pair<unsigned, win::LPARAM>{kSoundEvent, kSoundAllTrophies}));
}

// The Monitor alone counts: the Config's copy of the statistics, always older,
// never takes the counts back, and a reset is shown at once.
TEST(KeyboardEvents, TheConfigsOlderStatisticsNeverReplaceTheCounts) {
    EventRig rig;
    StatisticsRecord& stats = rig.store->statistics();
    const auto bytes = StoreBlock(*rig.store, link::block::kHostSettings);
    const std::vector<std::uint8_t> stale(bytes.begin(), bytes.end());
    for (int i = 0; i < 5; ++i) rig.Send(Event(1, 0xFA, 100, 0));
    rig.link->HandleCommand(link::MakeDwData(link::block::kHostSettings, link::kTagCommand), stale);
    EXPECT_EQ(stats.lifetime[1].get(), 500);
    rig.ConfigGot();
    rig.link->HandleRequest(link::request::kResetStatistics, 0);
    const auto events = rig.ConfigGot();
    const auto shown = std::find_if(events.begin(), events.end(),
                                    [](const auto& e) { return !e.notice && e.code == link::block::kStatistics; });
    ASSERT_NE(shown, events.end());
    EXPECT_EQ(LoadLe32(shown->data.data() + 4), 0u);
    rig.link->HandleCommand(link::MakeDwData(link::block::kHostSettings, link::kTagCommand), stale);
    EXPECT_EQ(stats.lifetime[1].get(), 0);
}

TEST(KeyboardEvents, StatisticsRollOverByHourAndByDate) {
    EventRig rig;
    StatisticsRecord& stats = rig.store->statistics();
    std::int32_t now = 2026013123;  // 31 January, 23:00
    rig.link->SetDateCodeSource([&] { return now; });
    rig.link->OnTimer(kTimerStatistics);
    rig.Send(Event(1, 0xFA, 10, 0));
    now = 2026020100;  // midnight, and a new month
    rig.link->OnTimer(kTimerStatistics);
    EXPECT_EQ(stats.hour[1].get(), 0);
    EXPECT_EQ(stats.day[1].get(), 0);
    EXPECT_EQ(stats.lifetime[1].get(), 10);
    rig.Send(Event(1, 0xFA, 4, 0));
    now = 2026020101;
    rig.link->OnTimer(kTimerStatistics);
    EXPECT_EQ(stats.hour[1].get(), 0);
    EXPECT_EQ(stats.day[1].get(), 4);
    // The same day of the next month is another day.
    rig.Send(Event(1, 0xFA, 4, 0));
    now = 2026030101;
    rig.link->OnTimer(kTimerStatistics);
    EXPECT_EQ(stats.day[1].get(), 0);
    EXPECT_EQ(stats.day[19].get(), now);
}

// Counts that come before the next tick of a new hour, or at a start on an
// old date, belong to the new period.
TEST(KeyboardEvents, CountsAfterAnHourOrAStartGoToTheNewPeriod) {
    EventRig rig;
    StatisticsRecord& stats = rig.store->statistics();
    std::int32_t now = 2026013122;
    rig.link->SetDateCodeSource([&] { return now; });
    rig.link->OnTimer(kTimerStatistics);
    rig.Send(Event(1, 0xFA, 10, 0));
    now = 2026013123;
    rig.Send(Event(1, 0xFA, 4, 0));
    rig.link->OnTimer(kTimerStatistics);
    EXPECT_EQ(stats.hour[1].get(), 4);
    EXPECT_EQ(stats.day[1].get(), 14);

    now = 2026020200;  // the Monitor starts again another day
    rig.Connect();
    EXPECT_EQ(rig.store->statistics().lifetime[1].get(), 14);
    rig.Send(Event(1, 0xFA, 3, 0));
    EXPECT_EQ(rig.store->statistics().hour[1].get(), 3);
    EXPECT_EQ(rig.store->statistics().day[1].get(), 3);
    EXPECT_EQ(rig.store->statistics().day[kStatisticsDateIndex].get(), now);
}

TEST(KeyboardEvents, KeyTimersCountDownAloud) {
    EventRig rig;
    auto& timer = rig.store->keyTimer(0, 30);
    timer.name.set("Egg");
    timer.seconds = 12;
    rig.Send(Event(0, 0x0D, 30, 0));
    EXPECT_TRUE(timer.running());
    rig.sound.Take();
    for (int i = 0; i < 14; ++i) rig.link->OnTimer(kTimerCountdown);
    std::vector<win::LPARAM> spoken;
    for (const auto& [kind, value] : rig.sound.Take()) {
        if (kind == kSoundCountdown) spoken.push_back(value);
    }
    EXPECT_EQ(spoken, (std::vector<win::LPARAM>{10, 5, 4, 3, 2, 1, 0}));
    EXPECT_FALSE(timer.running());

    rig.Send(Event(0, 0x0D, 30, 0));
    rig.Send(Event(0, 0x0E, 0, 0));
    EXPECT_FALSE(timer.running());
    EXPECT_EQ(timer.remaining(), 0);
}

TEST(KeyboardEvents, MediaKeysLaunchesAndTheConfig) {
    EventRig rig;
    rig.Send(Event(0, 0x0B, 33, 0));
    rig.Send(Event(0, 0x0B, 32, 0));
    rig.store->hostRecord(0).player = kPlayerVlc;
    rig.Send(Event(0, 0x0B, 32, 0));
    rig.store->launchPath(0, 44).path.set(u"/opt/game/run game.sh");
    rig.Send(Event(0, 0x07, 44, 0));
    rig.Send(Event(0, 0x07, 45, 0));  // no program there
    rig.Send(Event(0, 0x10, 0, 0));
    EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{"key next-track", "player 0", "player 2",
                                                          "launch /opt/game/run game.sh", "config"}));
    EXPECT_EQ(LaunchFolder("/opt/game/run game.sh"), "/opt/game/");

    // Volume up held: a step every 100 ms until it is let go.
    rig.Send(Event(0, 0x0B, 39, 0));
    LinkRig::PumpFor(std::chrono::milliseconds(600));
    rig.Send(Event(0, 0x0B, 39, 1));
    const auto held = rig.host.Take();
    EXPECT_GE(held.size(), 3u);  // the press and at least two repeats
    EXPECT_TRUE(std::all_of(held.begin(), held.end(), [](const auto& a) { return a == "key volume-up"; }));
    LinkRig::PumpFor(std::chrono::milliseconds(250));
    EXPECT_TRUE(rig.host.Take().empty());
}

TEST(KeyboardEvents, TalkKeysGoToThePartner) {
    EventRig rig;
    win::Window partner;
    std::vector<std::uint8_t> got;
    std::uint64_t tag = 0;
    partner.Messages().OnCopyData([&](win::HWND, const win::COPYDATASTRUCT& cds) -> win::LRESULT {
        tag = cds.dwData;
        got.assign(static_cast<const std::uint8_t*>(cds.lpData), static_cast<const std::uint8_t*>(cds.lpData) + cds.cbData);
        return 1;
    });
    partner.Create("partner", "partner", win::HWND_MESSAGE);
    rig.Send(Event(0, 0xFF, 0xAB, 1));  // no partner: nothing
    EXPECT_TRUE(got.empty());
    rig.shared.talkPartner = partner.GetSafeHwnd();
    rig.Send(Event(0, 0xFF, 0x39, 1));  // an empty entry
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(tag, 0u);
    EXPECT_EQ(LoadLe16(got.data()), rig.shared.keyboardIds.vendorId);
    EXPECT_EQ(LoadLe16(got.data() + 2), rig.shared.keyboardIds.productIdB);
    EXPECT_EQ(got[9], 1);
    auto& entry = rig.store->hostSettingsBlock.talkCommands[0][1];
    entry.function = 0x42;
    entry.set_deviceKey(0x00050007);
    rig.Send(Event(0, 0xFF, 0xAB, 0));
    EXPECT_EQ(tag, 0x42u);
    EXPECT_EQ(got[4], 0x42);
    EXPECT_EQ(LoadLe16(got.data() + 5), 7);
    EXPECT_EQ(LoadLe16(got.data() + 7), 5);
}

// ---- live key lighting --------------------------------------------------------------------

bool KeyLit(const std::string& hex, int key) {
    const int byte = static_cast<int>(report::kKeyLightBits) + key / 8;
    return (std::stoi(hex.substr(3 * byte, 2), nullptr, 16) >> (key % 8)) & 1;
}

TEST(LightMacros, StepsPlayWithTheirDurationsAndEndWithARestore) {
    EventRig rig;
    LightMacroBlock& block = rig.store->lightMacro(0, 12);
    block.loopCount = 0;  // plays once
    block.stepCount = 2;
    block.steps[0] = {0x04, 1, LeU16(40)};   // "A" on for 40 ms
    block.steps[1] = {0x04, 2, LeU16(10)};   // and off
    CLEDMacroThread player(*rig.store, rig.shared);
    ASSERT_TRUE(player.CreateThread());
    ASSERT_TRUE(Eventually([&] { return rig.shared.lightMacro.load() != 0; }));
    rig.ClearTrace();
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 12, 0);
    LinkRig::PumpFor(std::chrono::milliseconds(1300));
    testing::Eventually([&] {
        LinkRig::PumpFor(std::chrono::milliseconds(10));
        return TraceOf(rig.Trace(), "SET", report::kLiveLight).size() >= 2;
    }, std::chrono::seconds(5));
    const auto bitmaps = TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap);
    ASSERT_EQ(bitmaps.size(), 2u);
    const int keyA = *KeyIndexOfUsage(0x04);
    EXPECT_TRUE(KeyLit(bitmaps[0], keyA));
    EXPECT_FALSE(KeyLit(bitmaps[1], keyA));
    const auto live = TraceOf(rig.Trace(), "SET", report::kLiveLight);
    ASSERT_EQ(live.size(), 2u);  // on with the first step, off a second after the end
    EXPECT_EQ(live.back().substr(0, 8), "13 08 00");
    EXPECT_EQ(rig.keyboard->counters().refusedChecksum, 0u);

    // A second press of the playing key stops it at once.
    block.loopCount = 50;
    rig.ClearTrace();
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 12, 0);
    LinkRig::PumpFor(std::chrono::milliseconds(100));
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 12, 0);
    LinkRig::PumpFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(rig.keyboard->liveLighting());
    const std::size_t writes = TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap).size();
    LinkRig::PumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap).size(), writes);
    player.Quit();
    LinkRig::PumpFor(std::chrono::milliseconds(20));
}

TEST(LightMacros, AnotherKeyReplacesThePlayingMacroAndAnUnplugEndsIt) {
    EventRig rig;
    for (int slot : {12, 13}) {
        LightMacroBlock& block = rig.store->lightMacro(0, slot);
        block.loopCount = 100;
        block.stepCount = 1;
        block.steps[0] = {static_cast<std::uint8_t>(slot == 12 ? 0x04 : 0x05), 1, LeU16(20)};
    }
    CLEDMacroThread player(*rig.store, rig.shared);
    ASSERT_TRUE(player.CreateThread());
    ASSERT_TRUE(Eventually([&] { return rig.shared.lightMacro.load() != 0; }));
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 12, 0);
    LinkRig::PumpFor(std::chrono::milliseconds(100));
    rig.ClearTrace();
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 13, 0);
    LinkRig::PumpFor(std::chrono::milliseconds(100));
    const auto bitmaps = TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap);
    ASSERT_GE(bitmaps.size(), 2u);
    EXPECT_FALSE(KeyLit(bitmaps.back(), *KeyIndexOfUsage(0x04)));  // cleared when replaced
    EXPECT_TRUE(KeyLit(bitmaps.back(), *KeyIndexOfUsage(0x05)));

    // Unplugged: the steps go on without a keyboard until the macro ends, and nothing hangs.
    rig.keyboard->Unplug();
    rig.transport.CloseKeyboard();
    LinkRig::PumpFor(std::chrono::milliseconds(100));
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 13, 0);  // a second press stops it
    LinkRig::PumpFor(std::chrono::milliseconds(50));
    player.Quit();
    LinkRig::PumpFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(player.Wait(std::chrono::seconds(5)));
}

TEST(LightMacros, AnEmptyMacroStopsThePlayingOneAndBringsTheLightsBack) {
    EventRig rig;
    LightMacroBlock& playing = rig.store->lightMacro(0, 12);
    playing.loopCount = 100;
    playing.stepCount = 1;
    playing.steps[0] = {0x04, 1, LeU16(20)};
    rig.store->lightMacro(0, 13).stepCount = 0;  // a key whose light macro has no steps
    CLEDMacroThread player(*rig.store, rig.shared);
    ASSERT_TRUE(player.CreateThread());
    ASSERT_TRUE(Eventually([&] { return rig.shared.lightMacro.load() != 0; }));
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 12, 0);
    EXPECT_TRUE(Eventually([&] {
        LinkRig::PumpFor(std::chrono::milliseconds(10));
        return rig.keyboard->liveLighting();
    }, std::chrono::seconds(5)));
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 13, 0);
    EXPECT_TRUE(Eventually([&] {
        LinkRig::PumpFor(std::chrono::milliseconds(10));
        return !rig.keyboard->liveLighting();
    }, std::chrono::seconds(5)));
    // Nothing plays on.
    LinkRig::PumpFor(std::chrono::milliseconds(50));
    rig.ClearTrace();
    LinkRig::PumpFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap).empty());
    player.Quit();
    LinkRig::PumpFor(std::chrono::milliseconds(20));
}

TEST(LightMacros, ARippleEndingWhileAMacroPlaysLeavesLiveLightingOn) {
    EventRig rig;
    LightMacroBlock& block = rig.store->lightMacro(0, 12);
    block.loopCount = 200;
    block.stepCount = 2;
    block.steps[0] = {0x04, 1, LeU16(20)};
    block.steps[1] = {0x04, 2, LeU16(20)};
    CLEDMacroThread player(*rig.store, rig.shared);
    ASSERT_TRUE(player.CreateThread());
    ASSERT_TRUE(Eventually([&] { return rig.shared.lightMacro.load() != 0; }));
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 12, 0);
    LinkRig::PumpFor(std::chrono::milliseconds(60));
    rig.Send(Event(0, 0xFB, TheLayoutGrid()[0][1].usage, 1));
    LinkRig::PumpFor(std::chrono::milliseconds(120));
    rig.Send(Event(0, 0xFC, 0, 0));
    EXPECT_TRUE(Eventually([&] {
        LinkRig::PumpFor(std::chrono::milliseconds(5));
        return rig.link->ripples().running() == 0;
    }));
    LinkRig::PumpFor(std::chrono::milliseconds(60));
    EXPECT_TRUE(rig.keyboard->liveLighting());
    // Its end still switches live lighting off.
    win::PostMessage(rig.shared.lightMacro.load(), link::kMsgLightRequest, 12, 0);
    EXPECT_TRUE(Eventually([&] {
        LinkRig::PumpFor(std::chrono::milliseconds(10));
        return !rig.keyboard->liveLighting();
    }, std::chrono::seconds(5)));
    player.Quit();
    LinkRig::PumpFor(std::chrono::milliseconds(20));
}

TEST(LightMacros, VolumeLevelsNineAndTenLightTheSameKeys) {
    EventRig rig;
    rig.store->hostRecord(0).soundSettings.volumeDisplay = 1;
    rig.host.volume = 47;
    rig.link->OnTimer(kTimerVolumeDisplay);
    rig.host.volume = 49;
    rig.link->OnTimer(kTimerVolumeDisplay);  // still level 4: nothing new
    EXPECT_EQ(TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap).size(), 1u);
    rig.link->LightRequest(kLightVolume, 9);
    rig.link->LightRequest(kLightVolume, 10);
    const auto bitmaps = TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap);
    ASSERT_EQ(bitmaps.size(), 3u);
    EXPECT_EQ(bitmaps[1], bitmaps[2]);
    for (int key : {13, 25, 26, 27, 39, 28, 40, 29, 41, 18}) EXPECT_TRUE(KeyLit(bitmaps[1], key)) << key;
    // A second after the level was shown the keyboard's own lighting comes back.
    rig.link->LightRequest(kLightRestore, 0);
    EXPECT_TRUE(Eventually([&] {
        LinkRig::PumpFor(std::chrono::milliseconds(10));
        return !rig.keyboard->liveLighting();
    }, std::chrono::seconds(5)));
}

TEST(Ripple, SpreadsFromTheCornerAndStopsWhenAsked) {
    EventRig rig;
    const std::uint8_t esc = TheLayoutGrid()[0][1].usage;
    rig.ClearTrace();
    rig.Send(Event(0, 0xFB, esc, 1));
    EXPECT_EQ(rig.link->ripples().started(), 1);
    EXPECT_TRUE(Eventually([&] { return TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap).size() >= 6; }));
    rig.Send(Event(0, 0xFC, 0, 0));
    EXPECT_TRUE(Eventually([&] { return rig.link->ripples().running() == 0; }));
    EXPECT_FALSE(rig.keyboard->liveLighting());
    EXPECT_EQ(rig.keyboard->counters().refusedChecksum, 0u);
    EXPECT_LT(TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap).size(), 2u * 21 + 1);

    // A whole ripple from the corner reaches radius 21 at most, and ends by itself.
    rig.ClearTrace();
    rig.Send(Event(0, 0xFB, esc, 1));
    EXPECT_TRUE(Eventually([&] { return rig.link->ripples().running() == 0; }));
    EXPECT_LE(TraceOf(rig.Trace(), "SET", report::kKeyLightBitmap).size(), 2u * 21 + 1);

    rig.Send(Event(0, 0xFB, 0xE8, 1));  // no key has this usage
    EXPECT_EQ(rig.link->ripples().started(), 2);
}

TEST(Ripple, UnplugWhileARippleRunsEndsIt) {
    EventRig rig;
    rig.Send(Event(0, 0xFB, TheLayoutGrid()[3][10].usage, 1));
    rig.keyboard->Unplug();
    rig.transport.CloseKeyboard();
    EXPECT_TRUE(Eventually([&] { return rig.link->ripples().running() == 0; }, std::chrono::seconds(3)));
}

}  // namespace
}  // namespace vyre
