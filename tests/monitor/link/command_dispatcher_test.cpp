// What the keyboard link does with the Config's commands and requests,
// checked in the emulator's trace and memory and in the stored settings.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "common/key_functions.h"
#include "common/link_codes.h"
#include "common/reports.h"
#include "common/store_blocks.h"
#include "platform/profile_ini.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/support/rewrites.h"
#include "tools/link_client.h"

namespace vyre {
namespace {

using testing::LinkRig;
using testing::TraceOf;

std::vector<std::uint8_t> Block(ProfileStore& store, std::uint16_t code) {
    const auto bytes = StoreBlock(store, code);
    return {bytes.begin(), bytes.end()};
}

void Command(LinkRig& rig, std::uint16_t code, const std::vector<std::uint8_t>& payload) {
    rig.link->HandleCommand(link::MakeDwData(code, link::kTagCommand), payload);
}

TEST(CommandDispatcher, ChangedProfilesOnlyAreWrittenFramedForTheirProfile) {
    LinkRig rig;
    rig.Connect();
    rig.ClearTrace();

    // Nothing changed: nothing written.
    Command(rig, link::block::kKeyRemap, Block(*rig.store, link::block::kKeyRemap));
    Command(rig, link::block::kActiveProfile, Block(*rig.store, link::block::kActiveProfile));
    EXPECT_TRUE(TraceOf(rig.Trace(), "SET").empty());

    // One byte of profile 3: one report 0x06 for profile index 2, accepted by the keyboard.
    auto remap = Block(*rig.store, link::block::kKeyRemap);
    remap[2 * report::kKeyRemapLength + report::kKeyRemapUsages + 5] = 0x2C;
    Command(rig, link::block::kKeyRemap, remap);
    const auto writes = TraceOf(rig.Trace(), "SET", report::kKeyRemap);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].substr(0, 8), "06 7d 02");
    EXPECT_EQ(rig.keyboard->counters().refusedChecksum, 0u);
    EXPECT_EQ((*rig.keyboard->Report(report::kKeyRemap, 2, 0))[report::kKeyRemapUsages + 5], 0x2C);

    // The Flexlayer report carries its profile in byte 3.
    auto flex = Block(*rig.store, link::block::kFlexKeys);
    flex[4 * report::kFlexKeysLength + report::kFlexKeyEntries] = fncode::kMute;
    Command(rig, link::block::kFlexKeys, flex);
    const auto flexWrites = TraceOf(rig.Trace(), "SET", report::kFlexKeys);
    ASSERT_EQ(flexWrites.size(), 1u);
    EXPECT_EQ(flexWrites[0].substr(0, 11), "0b 26 01 04");
    EXPECT_EQ(rig.keyboard->counters().refusedChecksum, 0u);
}

TEST(CommandDispatcher, WrongSizesAndUnknownCodesChangeNothing) {
    LinkRig rig;
    rig.Connect();
    rig.ClearTrace();
    auto remap = Block(*rig.store, link::block::kKeyRemap);
    remap[report::kKeyRemapUsages] ^= 0xFF;
    remap.push_back(0);  // one byte too many
    Command(rig, link::block::kKeyRemap, remap);
    remap.resize(10);  // far too short
    Command(rig, link::block::kKeyRemap, remap);
    Command(rig, 42, std::vector<std::uint8_t>(14, 0xAA));
    Command(rig, 77, std::vector<std::uint8_t>(3, 1));
    const std::vector<std::uint8_t> profile2 = {5, 3, 2};
    rig.link->HandleCommand(link::MakeDwData(link::block::kActiveProfile, 1032), profile2);
    Command(rig, link::block::kActiveProfile, {5, 3, 9});  // no such profile
    EXPECT_TRUE(TraceOf(rig.Trace(), "SET").empty());
    EXPECT_EQ(rig.store->reservedBlock[0], 0);
    EXPECT_EQ(rig.store->currentProfile(), 0);

    Command(rig, link::block::kActiveProfile, {5, 3, 3});
    EXPECT_EQ(rig.store->currentProfile(), 3);
    EXPECT_EQ(rig.keyboard->activeProfile(), 3);
}

TEST(CommandDispatcher, MacrosAreComparedUpToTheirChecksumAndWrittenFramed) {
    LinkRig rig;
    rig.Connect();
    rig.ClearTrace();
    auto macros = Block(*rig.store, link::block::kMacros);
    const std::size_t slot = 1 * kMacroSlotsPerProfile + 20;  // profile 2, slot 20
    macros[slot * report::kMacroLength + 2000] ^= 0x5A;       // outside the compared bytes
    Command(rig, link::block::kMacros, macros);
    EXPECT_TRUE(TraceOf(rig.Trace(), "SET").empty());

    MacroReportImage image{};
    std::memset(static_cast<void*>(&image), 0, sizeof image);
    image.id = report::kMacro;
    image.profile = 1;
    image.slot = 20;
    image.loopCount = 1;
    image.eventCount = 2;
    image.events[0] = {0x04, 1, LeU16(10)};
    image.events[1] = {0x04, 2, LeU16(10)};
    std::memcpy(macros.data() + slot * report::kMacroLength, &image, sizeof image);
    Command(rig, link::block::kMacros, macros);
    const auto writes = TraceOf(rig.Trace(), "SET", report::kMacro);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(rig.keyboard->counters().refusedChecksum, 0u);
    // The store keeps what was written: the used length and the checksum after the events.
    const MacroReportImage& stored = rig.store->macroImage(1, 20);
    EXPECT_EQ(stored.usedLength.get(), 82 + 4 * 2);
    EXPECT_EQ(report::VerifyReport(BytesOf(stored)), report::Verdict::kOk);
    EXPECT_EQ((*rig.keyboard->Report(report::kMacro, 1, 20))[80], 0x04);
}

// The Config's mirror keeps the frames (checksums, lengths) it was sent, while
// the Monitor frames what it writes anew: the same change sent again is no
// change, however often a full upload repeats it.
TEST(CommandDispatcher, AChangeSentAgainWithItsOldFrameIsWrittenOnce) {
    LinkRig rig;
    rig.Connect();
    rig.ClearTrace();
    auto remap = Block(*rig.store, link::block::kKeyRemap);
    remap[2 * report::kKeyRemapLength + report::kKeyRemapUsages + 5] ^= 0x11;
    auto illumination = Block(*rig.store, link::block::kIllumination);
    ASSERT_TRUE(report::IlluminationLayerUsed(0, 0));
    illumination[20] ^= 0x22;
    auto macros = Block(*rig.store, link::block::kMacros);
    MacroReportImage image{};
    std::memset(static_cast<void*>(&image), 0, sizeof image);
    image.id = report::kMacro;
    image.profile = 0;
    image.slot = 7;
    image.loopCount = 1;
    image.eventCount = 1;
    image.events[0] = {0x05, 1, LeU16(30)};  // no used length, no checksum yet
    std::memcpy(macros.data() + 7 * report::kMacroLength, &image, sizeof image);
    for (int apply = 0; apply < 3; ++apply) {
        Command(rig, link::block::kKeyRemap, remap);
        Command(rig, link::block::kIllumination, illumination);
        Command(rig, link::block::kMacros, macros);
    }
    EXPECT_EQ(TraceOf(rig.Trace(), "SET", report::kKeyRemap).size(), 1u);
    EXPECT_EQ(TraceOf(rig.Trace(), "SET", report::kIllumination).size(), 1u);
    EXPECT_EQ(TraceOf(rig.Trace(), "SET", report::kMacro).size(), 1u);
    EXPECT_EQ(rig.keyboard->counters().refusedChecksum, 0u);
    EXPECT_EQ((*rig.keyboard->Report(report::kMacro, 0, 7))[80], 0x05);
}

TEST(CommandDispatcher, TheSetListKeepsItsMacroCountsCurrent) {
    LinkRig rig;
    rig.Connect();
    auto set = [](int index, const char* name, std::uint8_t change) {
        HIDMSG::_SMacroGroupData s{};
        std::memset(static_cast<void*>(&s), 0, sizeof s);
        s.setNumber = index;
        s.change = change;
        s.name.set(name);
        return std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(&s),
                                         reinterpret_cast<const std::uint8_t*>(&s) + sizeof s);
    };
    auto macro = [](int setIndex, const char* setName, int number, std::uint8_t change) {
        auto m = std::make_unique<HIDMSG::_SMacroDefaultData>();
        std::memset(static_cast<void*>(m.get()), 0, sizeof *m);
        m->setNumber = setIndex;
        m->setName.set(setName);
        m->macroNumber = number;
        m->name.set("m");
        m->eventCount = 1;
        m->events[0] = {0x04, 1, LeU16(10)};
        m->change = change;
        return std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(m.get()),
                                         reinterpret_cast<const std::uint8_t*>(m.get()) + sizeof *m);
    };
    for (const bool light : {false, true}) {
        const std::uint16_t setCode = light ? link::command::kLightMacroSet : link::command::kMacroSet;
        const std::uint16_t macroCode = light ? link::command::kLightMacro : link::command::kMacro;
        auto& sets = light ? rig.store->lightMacroSets : rig.store->macroSets;
        Command(rig, setCode, set(0, "Raid", HIDMSG::kChangeAdd));
        Command(rig, setCode, set(1, "Farm", HIDMSG::kChangeAdd));
        for (int i = 0; i < 3; ++i) Command(rig, macroCode, macro(1, "Farm", i, HIDMSG::kChangeAdd));
        Command(rig, macroCode, macro(0, "Raid", 0, HIDMSG::kChangeAdd));
        ASSERT_EQ(sets.size(), 2u);
        EXPECT_EQ(sets[0].macroCount.get(), 1);
        EXPECT_EQ(sets[1].macroCount.get(), 3);
        Command(rig, macroCode, macro(1, "Farm", 1, HIDMSG::kChangeDelete));
        EXPECT_EQ(sets[1].macroCount.get(), 2);
        // The list the dump sends carries the same counts.
        const auto bytes = ListBytes(*rig.store, light ? link::list::kLightMacroSets : link::list::kMacroSets);
        HIDMSG::_SMacroGroupData second;
        std::memcpy(static_cast<void*>(&second), bytes.data() + sizeof second, sizeof second);
        EXPECT_EQ(second.macroCount.get(), 2);
    }
}

TEST(CommandDispatcher, TimersAreAddedEditedAndDeletedWithTheirKeys) {
    LinkRig rig;
    rig.Connect();
    auto timer = [](const char* name, int seconds) {
        HIDMSG::_STimerSettingData t{};
        std::memset(static_cast<void*>(&t), 0, sizeof t);
        t.name.set(name);
        t.seconds = seconds;
        return t;
    };
    for (auto [name, s] : {std::pair{"Tea", 180}, {"Egg", 300}, {"Nap", 900}, {"Run", 60}}) {
        const auto t = timer(name, s);
        Command(rig, link::command::kTimerAdd, std::vector<std::uint8_t>(BytesOf(t).begin(), BytesOf(t).end()));
    }
    ASSERT_EQ(rig.store->timers.size(), 4u);
    auto edited = rig.store->timers[3];
    edited.seconds = 75;
    Command(rig, link::command::kTimerEdit, {BytesOf(edited).begin(), BytesOf(edited).end()});
    EXPECT_EQ(rig.store->timers[3].seconds.get(), 75);

    // "Egg" (position 1) sits on a Flexlayer key, a thumb key and the Pause key's secondary function.
    HostSettingsBlock& host = rig.store->hostSettingsBlock;
    const int flexSlot = 16 + 7, thumbSlot = 10 + 1, pauseSlot = 112 + 29;
    rig.store->flexKeyReports[0][report::kFlexKeyEntries + 7 * 3] = fncode::kTimer;
    rig.store->thumbKeyReports[0][report::kThumbKeyEntries + 1 * 3] = fncode::kTimer;
    rig.store->functionKeyReports[0][report::kFunctionKeyEntries + 29 * 3] = fncode::kTimer;
    for (int slot : {flexSlot, thumbSlot, pauseSlot}) {
        if (SlotHasData(slot)) host.keyTimers[0][slot] = timer("Egg", 300);
    }
    rig.settings.UpdateKeyTimerName(0, flexSlot, host.keyTimers[0][flexSlot]);
    ASSERT_TRUE(rig.registry->GetValue("PF1 Timer Name24"));
    rig.ClearTrace();

    const auto deleted = rig.store->timers[1];
    Command(rig, link::command::kTimerDelete, {BytesOf(deleted).begin(), BytesOf(deleted).end()});
    EXPECT_EQ(rig.store->flexKeyReports[0][report::kFlexKeyEntries + 7 * 3], 0);
    EXPECT_EQ(rig.store->thumbKeyReports[0][report::kThumbKeyEntries + 1 * 3], report::kThumbKeyDefaultCodes[1]);
    // Slot 141 (Pause secondary) has no room for a key timer, so it never holds this one.
    EXPECT_EQ(rig.store->functionKeyReports[0][report::kFunctionKeyEntries + 29 * 3], fncode::kTimer);
    EXPECT_EQ(TraceOf(rig.Trace(), "SET", report::kFlexKeys).size(), 1u);
    EXPECT_EQ(TraceOf(rig.Trace(), "SET", report::kThumbKeys).size(), 1u);
    EXPECT_EQ(rig.keyboard->counters().refusedChecksum, 0u);
    EXPECT_TRUE(host.keyTimers[0][flexSlot].name.empty());
    EXPECT_FALSE(rig.registry->GetValue("PF1 Timer Name24"));

    // The others move down and keep their order, in the list and in the file.
    ASSERT_EQ(rig.store->timers.size(), 3u);
    EXPECT_EQ(rig.store->timers[1].name.str(), "Nap");
    EXPECT_EQ(rig.store->timers[1].index.get(), 1);
    const auto reloaded = rig.settings.LoadTimers();
    ASSERT_EQ(reloaded.size(), 3u);
    EXPECT_EQ(reloaded[0].name.str(), "Tea");
    EXPECT_EQ(reloaded[2].name.str(), "Run");
    EXPECT_EQ(reloaded[2].seconds.get(), 75);
}

TEST(CommandDispatcher, ARenamedTimerIsRenamedOnItsKeysAndDeletedFromThem) {
    LinkRig rig;
    rig.Connect();
    HIDMSG::_STimerSettingData t{};
    std::memset(static_cast<void*>(&t), 0, sizeof t);
    t.name.set("Egg");
    t.seconds = 300;
    Command(rig, link::command::kTimerAdd, {BytesOf(t).begin(), BytesOf(t).end()});
    const int flexSlot = 16 + 7;
    rig.store->flexKeyReports[0][report::kFlexKeyEntries + 7 * 3] = fncode::kTimer;
    rig.store->hostSettingsBlock.keyTimers[0][flexSlot] = t;
    rig.settings.UpdateKeyTimerName(0, flexSlot, t);

    auto renamed = rig.store->timers[0];
    renamed.name.set("Egg2");
    renamed.seconds = 240;
    Command(rig, link::command::kTimerEdit, {BytesOf(renamed).begin(), BytesOf(renamed).end()});
    EXPECT_EQ(rig.store->hostSettingsBlock.keyTimers[0][flexSlot].name.str(), "Egg2");
    EXPECT_EQ(rig.store->hostSettingsBlock.keyTimers[0][flexSlot].seconds.get(), 240);
    EXPECT_EQ(*rig.registry->ReadString("PF1 Timer Name24", 50), u"Egg2");

    Command(rig, link::command::kTimerDelete, {BytesOf(renamed).begin(), BytesOf(renamed).end()});
    EXPECT_EQ(rig.store->flexKeyReports[0][report::kFlexKeyEntries + 7 * 3], 0);
    EXPECT_TRUE(rig.store->hostSettingsBlock.keyTimers[0][flexSlot].name.empty());
    EXPECT_FALSE(rig.registry->GetValue("PF1 Timer Name24"));
}

TEST(CommandDispatcher, DeletedTimerOnAFunctionKeyGetsItsDefaultBack) {
    LinkRig rig;
    rig.Connect();
    HIDMSG::_STimerSettingData t{};
    std::memset(static_cast<void*>(&t), 0, sizeof t);
    t.name.set("Tea");
    t.seconds = 60;
    Command(rig, link::command::kTimerAdd, {BytesOf(t).begin(), BytesOf(t).end()});
    const int n = 28;  // Scroll Lock secondary, slot 140
    rig.store->functionKeyReports[2][report::kFunctionKeyEntries + n * 3] = fncode::kTimer;
    rig.store->hostSettingsBlock.keyTimers[2][112 + n] = t;
    Command(rig, link::command::kTimerDelete, {BytesOf(t).begin(), BytesOf(t).end()});
    EXPECT_EQ(rig.store->functionKeyReports[2][report::kFunctionKeyEntries + n * 3], report::kFunctionKeyDefaultCodes[n]);
    EXPECT_EQ(rig.keyboard->counters().refusedChecksum, 0u);
    EXPECT_TRUE(rig.store->timers.empty());
}

TEST(CommandDispatcher, HostSettingsArePersistedAndApplied) {
    LinkRig rig;
    rig.Connect();
    auto host = Block(*rig.store, link::block::kHostSettings);
    HostSettingsBlock block;
    std::memcpy(static_cast<void*>(&block), host.data(), sizeof block);
    block.profileHostRecords[0].name.set(u"Raid night");
    block.profileHostRecords[0].repeatDelay = 3;
    block.profileHostRecords[0].repeatRate = 10;
    block.keyLaunchPaths[1][40].path.set(u"/usr/bin/app.v2");
    block.keyTimers[1][41].name.set("Tea");
    block.keyTimers[1][41].seconds = 30;
    Command(rig, link::block::kHostSettings,
            std::vector<std::uint8_t>(reinterpret_cast<std::uint8_t*>(&block),
                                      reinterpret_cast<std::uint8_t*>(&block) + sizeof block));
    EXPECT_EQ(rig.store->hostRecord(0).name.str(), u"Raid night");
    EXPECT_EQ(*rig.registry->ReadString("PF1 NAME", 50), u"Raid night");
    EXPECT_EQ(*rig.registry->ReadString("PF2 Launch 41", 512), u"/usr/bin/app.v2");
    EXPECT_EQ(*rig.registry->ReadString("PF2 Timer Name42", 50), u"Tea");
    EXPECT_EQ(rig.repeat->Get().delay, 0);  // the system delay is 3 minus the stored value
    EXPECT_EQ(rig.repeat->Get().speed, 10);

    // A cleared launch path removes its value again.
    block.keyLaunchPaths[1][40].path.clear();
    Command(rig, link::block::kHostSettings,
            std::vector<std::uint8_t>(reinterpret_cast<std::uint8_t*>(&block),
                                      reinterpret_cast<std::uint8_t*>(&block) + sizeof block));
    EXPECT_FALSE(rig.registry->GetValue("PF2 Launch 41"));
}

// A host settings block of noise (of the right size) costs one rewrite of
// the registry, and what is no path does not go into it.
TEST(CommandDispatcher, AHostSettingsBlockOfNoiseIsWrittenOnceWithinBounds) {
    LinkRig rig(LinkRig::DefaultConfig(), true);
    rig.Connect();
    std::vector<std::uint8_t> noise(sizeof(HostSettingsBlock));
    std::uint32_t x = 12345;
    for (auto& b : noise) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 16);
    testing::Rewrites rewrites(rig.folder.path());
    Command(rig, link::block::kHostSettings, noise);
    EXPECT_EQ(rewrites.Of("registry.reg"), 1);
    EXPECT_LT(std::filesystem::file_size(rig.folder / "registry.reg"), 512u * 1024);
    for (int p = 0; p < kProfileCount; ++p)
        for (int slot = 0; slot < kDataSlotsPerProfile; ++slot)
            EXPECT_TRUE(rig.store->hostSettingsBlock.keyLaunchPaths[p][slot].path.empty()) << p << " " << slot;
}

TEST(CommandDispatcher, LightMacroBlocksGoToTheirFile) {
    LinkRig rig;
    rig.Connect();
    auto blocks = Block(*rig.store, link::block::kLightMacroBlocks);
    LightMacroBlock block{};
    std::memset(static_cast<void*>(&block), 0, sizeof block);
    block.slot = 30;
    block.stepCount = 1;
    block.steps[0] = {0x04, 1, LeU16(500)};
    const std::size_t part = 3 * kDataSlotsPerProfile + 30;
    std::memcpy(blocks.data() + part * sizeof block, &block, sizeof block);
    Command(rig, link::block::kLightMacroBlocks, blocks);
    // A second command changing blocks of two profiles rewrites the file once.
    testing::Rewrites rewrites(rig.folder / "Config");
    for (const std::size_t other : {std::size_t{1} * kDataSlotsPerProfile + 16, std::size_t{4} * kDataSlotsPerProfile + 40,
                                    std::size_t{4} * kDataSlotsPerProfile + 41}) {
        LightMacroBlock more = block;
        more.slot = static_cast<std::uint8_t>(other % kDataSlotsPerProfile);
        std::memcpy(blocks.data() + other * sizeof more, &more, sizeof more);
    }
    Command(rig, link::block::kLightMacroBlocks, blocks);
    EXPECT_EQ(rewrites.Of(rig.settings.lightBlockFile().filename().string()), 1);
    LightMacroBlock read{};
    ASSERT_TRUE(rig.settings.ReadLightMacroBlock(4, 41, read));
    ASSERT_TRUE(rig.settings.ReadLightMacroBlock(3, 30, read));
    EXPECT_EQ(read.steps[0].delay.get(), 500);
    EXPECT_FALSE(rig.settings.ReadLightMacroBlock(3, 31, read));
}

TEST(RegistrationDump, AnswersInOrderWithEveryBlockAndList) {
    LinkRig rig;
    LinkClient client("dump client");
    ASSERT_TRUE(client.Create());
    std::vector<LinkEvent> events;
    auto dump = [&] {
        events.clear();
        rig.link->RegistrationDump(client.hwnd());
        return client.Pump(std::chrono::seconds(5), [&](const LinkEvent& e) { events.push_back(e); }, EndsDump);
    };

    ASSERT_TRUE(dump());  // no keyboard
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, link::notification::kNoKeyboard);

    rig.transport.OpenKeyboard();
    rig.transport.flags().connected = 1;  // being read back
    ASSERT_TRUE(dump());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, link::notification::kNotReady);

    rig.Connect();
    rig.store->talkDevices[7] = TalkDeviceRecord{};
    ASSERT_TRUE(dump());
    std::vector<std::uint32_t> codes;
    for (const auto& e : events) {
        if (e.notice) continue;
        codes.push_back(e.code);
        const std::size_t size = link::BlockSize(static_cast<std::uint16_t>(e.code));
        if (size != 0) {
            EXPECT_EQ(e.data.size(), size) << e.code;
        }
    }
    std::vector<std::uint32_t> expected(std::begin(link::kRegistrationDumpOrder), std::end(link::kRegistrationDumpOrder));
    expected.push_back(link::list::kTalkAdded);
    EXPECT_EQ(codes, expected);
    EXPECT_TRUE(events.back().notice);
    EXPECT_EQ(events.back().code, link::notice::kDumpComplete);
}

TEST(RegistrationDump, AConfigIsToldOfADamagedLibraryOnce) {
    LinkRig rig;
    std::filesystem::create_directories(rig.settings.macroFile().parent_path());
    std::ofstream(rig.settings.macroFile(), std::ios::binary) << "[SetMacro]\nnumber=1\n0=A\n[A]\nnumber=1\n0=0A0";
    rig.Connect();
    LinkClient config{std::string(link::kLinkWindowTitle)};
    ASSERT_TRUE(config.Create());
    auto told = [&] {
        std::vector<LinkEvent> events;
        rig.link->RegistrationDump(config.hwnd());
        config.Pump(std::chrono::milliseconds(200), [&](const LinkEvent& e) { events.push_back(e); }, nullptr);
        return std::count_if(events.begin(), events.end(), [](const LinkEvent& e) {
            return e.notice && e.code == link::notice::kSettingsDamaged && e.lParam == link::notice::kDamagedMacros;
        });
    };
    EXPECT_EQ(told(), 1);
    EXPECT_EQ(told(), 0);
}

TEST(Requests, ResetStatisticsKeepsTrophies) {
    LinkRig rig;
    rig.Connect();
    StatisticsRecord& stats = rig.store->statistics();
    stats.lifetime[3] = 99;
    stats.day[19] = 2026120900;
    stats.trophyPoints = 12;
    stats.trophyBits = 0x5;
    rig.link->HandleRequest(link::request::kResetStatistics, 1);
    EXPECT_EQ(stats.lifetime[3].get(), 0);
    EXPECT_EQ(stats.day[19].get(), 0);
    EXPECT_EQ(stats.trophyPoints.get(), 12);
    std::uint8_t stored[248];
    std::uint32_t size = sizeof stored;
    ASSERT_EQ(rig.registry->QueryValue("Statistic DB", nullptr, stored, &size), platform::RegStatus::Ok);
    EXPECT_EQ(LoadLe32(stored + 244), 0x5u);

    rig.link->HandleRequest(link::request::kWindowsProfile, 2);
    EXPECT_EQ(*rig.registry->ReadDword("Windows Profile"), 2u);
    EXPECT_EQ(rig.store->hostSettingsBlock.windowsProfile.get(), 5);  // the store waits for the next load
}

TEST(Requests, ResetRestoresFactorySettingsAndDumpsAgain) {
    LinkRig rig;
    rig.Connect();
    rig.store->hostRecord(2).name.set(u"Mine");
    rig.store->hostSettingsBlock.keyLaunchPaths[0][3].path.set(u"/bin/true");
    rig.settings.UpdateLaunchPath(0, 3, rig.store->hostSettingsBlock.keyLaunchPaths[0][3]);
    rig.store->setCurrentProfile(4);
    rig.ClearTrace();

    rig.link->HandleRequest(link::request::kReset, 1234);
    EXPECT_EQ(rig.keyboard->counters().resets, 1u);
    EXPECT_EQ(rig.store->currentProfile(), 0);
    EXPECT_EQ(rig.store->hostRecord(2).name.str(), u"Default3");
    EXPECT_EQ(rig.store->hostRecord(2).soundSettings.volumeStep, 2);
    EXPECT_EQ(rig.store->hostSettingsBlock.windowsProfile.get(), 5);
    EXPECT_FALSE(rig.registry->GetValue("PF1 Launch 4"));
    EXPECT_EQ(rig.keyboard->hostPresence(), 1);
    EXPECT_EQ(*rig.registry->ReadString("PF3 NAME", 50), u"Default3");
    // Read back without the thumb and function keys.
    EXPECT_TRUE(TraceOf(rig.Trace(), "SET", report::kStatus).size() > 0);
    for (const auto& request : TraceOf(rig.Trace(), "SET", report::kStatus)) {
        EXPECT_NE(request.substr(6, 2), "a1");
        EXPECT_NE(request.substr(6, 2), "a3");
    }
    // A dump to the window that asked follows.
    win::MSG msg;
    bool dumpAsked = false;
    while (win::PeekMessage(msg)) {
        if (msg.message == link::kMsgRequest && msg.wParam == link::request::kRegister && msg.lParam == 1234) {
            dumpAsked = true;
        }
    }
    EXPECT_TRUE(dumpAsked);
}

}  // namespace
}  // namespace vyre
