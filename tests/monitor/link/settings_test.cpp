// The settings the Monitor keeps across runs: registry values, the timer
// list, the macro libraries and the light macros of keys.

#include "monitor/link/settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>

#include "common/link_codes.h"
#include "monitor/link/settings_text.h"
#include "platform/profile_ini.h"
#include "platform/registry.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/rewrites.h"

namespace vyre {
namespace {

using platform::RegType;

constexpr std::int32_t kDate = 2026120910;

struct Rig {
    testing::TempDir folder;
    std::unique_ptr<platform::Registry> registry = platform::Registry::InMemory();
    SettingsPersistence settings{*registry, folder / "Config"};
    std::unique_ptr<ProfileStore> store = NewProfileStore();

    void Reload() {
        auto fresh = NewProfileStore();
        fresh->hostSettingsBlock.statistics = store->hostSettingsBlock.statistics;
        store = std::move(fresh);
        settings.Load(*store, {2, 17}, kDate);
    }
};

HIDMSG::_SMacroDefaultData Macro(int set, const char* setName, const char* name, int events) {
    HIDMSG::_SMacroDefaultData m{};
    std::memset(static_cast<void*>(&m), 0, sizeof m);
    m.setNumber = set;
    m.setName.set(setName);
    m.name.set(name);
    m.loopCount = 200;  // above 127: written as a negative 32-bit count
    m.set_sendDefaultAction(1);
    m.eventCount = static_cast<std::uint16_t>(events);
    for (int i = 0; i < events; ++i) m.events[i] = {static_cast<std::uint8_t>(4 + i), 1, LeU16(25)};
    return m;
}

HIDMSG::_SMacroGroupData Set(int index, const char* name, std::uint8_t change) {
    HIDMSG::_SMacroGroupData s{};
    std::memset(static_cast<void*>(&s), 0, sizeof s);
    s.setNumber = index;
    s.change = change;
    s.name.set(name);
    return s;
}

TEST(Settings, FirstStartWritesEveryDefaultAndARestartReadsItBack) {
    Rig rig;
    EXPECT_TRUE(rig.settings.Load(*rig.store, {2, 17}, kDate));
    // Start page, Windows profile, statistics; per profile 9 values and 22 light groups.
    EXPECT_EQ(rig.registry->Values().size(), 3u + 5u * (9u + 22u));
    const ProfileHostRecord& p3 = rig.store->hostRecord(2);
    EXPECT_EQ(p3.name.str(), u"Default3");
    EXPECT_EQ(p3.repeatDelay.get(), 1);  // 3 minus the system's delay
    EXPECT_EQ(p3.repeatRate.get(), 17);
    EXPECT_EQ(p3.soundSettings.value(), kFirstStartSoundSettings);
    EXPECT_EQ(rig.store->hostSettingsBlock.windowsProfile.get(), 5);
    EXPECT_EQ(rig.store->statistics().hour[19].get(), kDate);
    EXPECT_EQ(*rig.registry->ReadDword("PF2 KeyIllumination 1_9"), 132u);
    EXPECT_EQ(rig.store->hostSettingsBlock.lightGroupFlags[4][0][10][4], 1);

    // Everything the Monitor was given survives a restart.
    std::u16string longPath(255, u'x');
    longPath[0] = u'/';
    HostSettingsBlock& host = rig.store->hostSettingsBlock;
    host.programLinks[4][2].set(longPath);
    host.profileHostRecords[1].name.set(u"Édition Ω");
    host.profileHostRecords[1].player = 2;
    host.talkCommands[3][8].name.set(u"DPI up");
    host.lightGroupFlags[0][1][3][0] = 1;
    host.statistics.lifetime[4] = 77;
    host.startPage = 3;
    rig.settings.SaveAll(*rig.store, kDate + 1);
    rig.Reload();
    EXPECT_EQ(rig.store->hostSettingsBlock.programLinks[4][2].str(), longPath);
    EXPECT_EQ(rig.store->hostRecord(1).name.str(), u"Édition Ω");
    EXPECT_EQ(rig.store->hostRecord(1).player.get(), 2);
    EXPECT_EQ(rig.store->hostSettingsBlock.talkCommands[3][8].name.str(), u"DPI up");
    EXPECT_EQ(rig.store->hostSettingsBlock.lightGroupFlags[0][1][3][0], 1);
    EXPECT_EQ(rig.store->statistics().lifetime[4].get(), 77);
    EXPECT_EQ(rig.store->statistics().day[19].get(), kDate + 1);
    EXPECT_EQ(rig.store->hostSettingsBlock.startPage.get(), 3);
}

TEST(Settings, DamagedValuesAreReplacedByTheirDefaults) {
    Rig rig;
    rig.settings.Load(*rig.store, {2, 17}, kDate);
    rig.registry->WriteString("PF1 Repeat Rate", RegType::Sz, u"fast");       // wrong type
    rig.registry->SetValue("Statistic DB", RegType::Binary, "\x01\x02", 2);  // wrong size
    rig.registry->WriteDword("Windows Profile", 77);                         // out of range
    rig.registry->DeleteValue("PF4 NAME");
    rig.Reload();
    EXPECT_EQ(rig.store->hostRecord(0).repeatRate.get(), 17);
    EXPECT_EQ(*rig.registry->ReadDword("PF1 Repeat Rate"), 17u);
    EXPECT_EQ(rig.store->statistics().lifetime[19].get(), kDate);
    EXPECT_EQ(rig.store->hostSettingsBlock.windowsProfile.get(), 5);
    EXPECT_EQ(*rig.registry->ReadString("PF4 NAME", 50), u"Default4");
}

TEST(Settings, KeyTimersAndLaunchPathsComeFromTheirValues) {
    Rig rig;
    rig.settings.Load(*rig.store, {1, 31}, kDate);
    std::vector<HIDMSG::_STimerSettingData> timers(1);
    std::memset(static_cast<void*>(timers.data()), 0, sizeof timers[0]);
    timers[0].name.set("Tea");
    timers[0].seconds = 240;
    rig.settings.RewriteTimers(timers);

    HIDMSG::_STimerSettingData key = timers[0];
    rig.settings.UpdateKeyTimerName(1, 20, key);
    key.name.set("Gone");  // its timer was deleted from the list meanwhile
    rig.settings.UpdateKeyTimerName(1, 21, key);
    KeyLaunchPath launch{};
    launch.path.set(u"C:\\Games\\app.v2.exe");
    rig.settings.UpdateLaunchPath(0, 0, launch);
    rig.Reload();

    EXPECT_EQ(rig.store->keyTimer(1, 20).name.str(), "Tea");
    EXPECT_EQ(rig.store->keyTimer(1, 20).seconds.get(), 240);
    EXPECT_EQ(rig.store->keyTimer(1, 21).name.str(), "Gone");
    EXPECT_EQ(rig.store->keyTimer(1, 21).seconds.get(), 0);
    EXPECT_FALSE(rig.store->keyTimer(1, 21).running());
    EXPECT_EQ(rig.store->launchPath(0, 0).displayName.str(), u"app");

    rig.settings.DeleteAllKeyTimersAndLaunchPaths();
    EXPECT_FALSE(rig.registry->GetValue("PF2 Timer Name21"));
    EXPECT_FALSE(rig.registry->GetValue("PF1 Launch 1"));
}

TEST(SettingsText, TimerTextIsTheSecondsAndTheName) {
    FixedText<24> name{};
    name.set("Tea");
    const std::string text = TimerText(180, name);
    EXPECT_EQ(text.size(), kTimerTextDigits);
    EXPECT_EQ(text.substr(0, 14), "B4000000546561");
    std::int32_t seconds = 0;
    FixedText<24> back{};
    ASSERT_TRUE(ParseTimerText(text, &seconds, &back));
    EXPECT_EQ(seconds, 180);
    EXPECT_EQ(back.str(), "Tea");
    EXPECT_FALSE(ParseTimerText(text.substr(0, 40), &seconds, &back));
}

TEST(SettingsText, MacroTextRoundTripAndItsChecks) {
    const auto macro = Macro(0, "Set", "Combo", 480);
    const std::string light = MacroText(macro, true);
    ASSERT_EQ(light.size(), kMacroTextDigits);
    EXPECT_EQ(light.substr(2 * 48, 8), "01000000");   // the flag of a light macro
    EXPECT_EQ(light.substr(2 * 52, 8), "C8FFFFFF");   // loop count 200 as a signed byte
    EXPECT_EQ(MacroText(macro, false).substr(2 * 48, 8), "00000000");

    HIDMSG::_SMacroDefaultData back{};
    ASSERT_TRUE(ParseMacroText(light, true, &back));
    EXPECT_EQ(back.name.str(), "Combo");
    EXPECT_EQ(back.loopCount, 200);
    EXPECT_EQ(back.eventCount.get(), 480);
    EXPECT_EQ(back.events[479].code, macro.events[479].code);

    std::string bad = light;
    bad[4121] = bad[4121] == '0' ? '1' : '0';  // the sum's last digit
    EXPECT_FALSE(ParseMacroText(bad, true, &back));
    bad = light;
    bad[10] = 'G';
    EXPECT_FALSE(ParseMacroText(bad, true, &back));

    LightMacroBlock block{};
    std::memset(static_cast<void*>(&block), 0, sizeof block);
    block.slot = 17;
    block.stepCount = 2;
    std::string lightBlock = LightMacroText(block);
    LightMacroBlock read{};
    ASSERT_TRUE(ParseLightMacroText(lightBlock, &read));
    EXPECT_EQ(read.slot, 17);
    read.slot = 99;
    lightBlock[4120] = lightBlock[4120] == 'F' ? 'E' : 'F';
    EXPECT_FALSE(ParseLightMacroText(lightBlock, &read));
    EXPECT_EQ(read.slot, 99);  // left as it was
}

TEST(MacroLibrary, SetAndMacroOperationsKeepListAndFileAlike) {
    Rig rig;
    auto& sets = rig.store->macroSets;
    auto& macros = rig.store->macros;
    rig.settings.ApplySetOperation(false, Set(0, "Raid", HIDMSG::kChangeAdd), sets, macros);
    rig.settings.ApplySetOperation(false, Set(1, "Farm", HIDMSG::kChangeAdd), sets, macros);
    rig.settings.ApplySetOperation(false, Set(2, "raid", HIDMSG::kChangeAdd), sets, macros);  // same name
    ASSERT_EQ(sets.size(), 2u);
    for (const char* name : {"A", "B", "C"}) {
        auto m = Macro(1, "Farm", name, 3);
        m.change = HIDMSG::kChangeAdd;
        rig.settings.ApplyMacroOperation(false, m, macros);
    }
    auto raidMacro = Macro(0, "Raid", "R", 1);
    raidMacro.change = HIDMSG::kChangeAdd;
    rig.settings.ApplyMacroOperation(false, raidMacro, macros);
    ASSERT_EQ(macros.size(), 4u);
    EXPECT_EQ(macros[2].macroNumber.get(), 2);

    // Deleting B renumbers C.
    auto b = Macro(1, "Farm", "B", 0);
    b.macroNumber = 1;
    b.change = HIDMSG::kChangeDelete;
    rig.settings.ApplyMacroOperation(false, b, macros);
    ASSERT_EQ(macros.size(), 3u);
    EXPECT_EQ(macros[1].name.str(), "C");
    EXPECT_EQ(macros[1].macroNumber.get(), 1);

    // Renaming a set keeps its macros with it.
    rig.settings.ApplySetOperation(false, Set(1, "Farming", HIDMSG::kChangeModify), sets, macros);
    auto reload = [&] {
        std::vector<HIDMSG::_SMacroGroupData> s;
        std::vector<HIDMSG::_SMacroDefaultData> m;
        rig.settings.LoadLibrary(false, s, m);
        return std::pair{s, m};
    };
    auto [s1, m1] = reload();
    ASSERT_EQ(s1.size(), 2u);
    EXPECT_EQ(s1[1].name.str(), "Farming");
    EXPECT_EQ(s1[1].macroCount.get(), 2);
    ASSERT_EQ(m1.size(), 3u);
    EXPECT_EQ(m1[2].name.str(), "C");
    EXPECT_EQ(m1[2].setName.str(), "Farming");
    EXPECT_EQ(m1[2].loopCount, 200);

    // Deleting the first set moves the second down, with its macros.
    rig.settings.ApplySetOperation(false, Set(0, "Raid", HIDMSG::kChangeDelete), sets, macros);
    auto [s2, m2] = reload();
    ASSERT_EQ(s2.size(), 1u);
    EXPECT_EQ(s2[0].name.str(), "Farming");
    ASSERT_EQ(m2.size(), 2u);
    EXPECT_EQ(m2[0].setNumber.get(), 0);
    ASSERT_EQ(macros.size(), 2u);
    EXPECT_EQ(macros[0].setNumber.get(), 0);
    EXPECT_EQ(sets[0].setNumber.get(), 0);
}

TEST(MacroLibrary, AMacroThatFailsItsCheckIsSkippedAndTheOthersKeepTheirNumbers) {
    Rig rig;
    const auto file = rig.settings.macroFile();
    platform::WritePrivateProfileString("SetMacro", "number", "1", file);
    platform::WritePrivateProfileString("SetMacro", "0", "S", file);
    platform::WritePrivateProfileString("S", "number", "3", file);
    for (int k = 0; k < 3; ++k) {
        std::string text = MacroText(Macro(0, "S", k == 0 ? "a" : k == 1 ? "b" : "c", 1), false);
        if (k == 1) text[4121] = text[4121] == '0' ? '1' : '0';
        platform::WritePrivateProfileString("S", std::to_string(k).c_str(), text.c_str(), file);
    }
    std::vector<HIDMSG::_SMacroGroupData> sets;
    std::vector<HIDMSG::_SMacroDefaultData> macros;
    rig.settings.LoadLibrary(false, sets, macros);
    ASSERT_EQ(macros.size(), 2u);
    EXPECT_EQ(macros[1].name.str(), "c");
    EXPECT_EQ(macros[1].macroNumber.get(), 2);
}


// Every write of this process fails beyond a few bytes while it lives.
class WritesFail {
  public:
    WritesFail() {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = 16;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~WritesFail() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

  private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};

HIDMSG::_STimerSettingData Timer(const char* name, int seconds) {
    HIDMSG::_STimerSettingData t{};
    std::memset(static_cast<void*>(&t), 0, sizeof t);
    t.name.set(name);
    t.seconds = seconds;
    return t;
}

TEST(TimerList, AFailedRewriteKeepsTheOldListAndARewriteIsOneReplacement) {
    Rig rig;
    std::vector<HIDMSG::_STimerSettingData> timers = {Timer("Tea", 240), Timer("Eggs", 420)};
    testing::Rewrites rewrites(rig.folder / "Config");
    rig.settings.RewriteTimers(timers);
    EXPECT_EQ(rewrites.Of("Timer.ini"), 1);
    ASSERT_EQ(rig.settings.LoadTimers().size(), 2u);

    timers.push_back(Timer("Pasta", 540));
    {
        WritesFail failing;
        rig.settings.RewriteTimers(timers);
    }
    const auto kept = rig.settings.LoadTimers();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].name.str(), "Tea");
    EXPECT_EQ(kept[1].seconds.get(), 420);

    // A shorter list leaves no entries of the longer one behind.
    rig.settings.RewriteTimers({Timer("Nap", 900)});
    const auto one = rig.settings.LoadTimers();
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].name.str(), "Nap");
    EXPECT_EQ(platform::GetPrivateProfileString("Timer", "1", "none", rig.settings.timerFile()), "none");
}

TEST(MacroLibrary, ASetNamedLikeTheIndexIsRefusedInEitherLibrary) {
    for (const bool light : {false, true}) {
        Rig rig;
        auto& sets = light ? rig.store->lightMacroSets : rig.store->macroSets;
        auto& macros = light ? rig.store->lightMacros : rig.store->macros;
        rig.settings.ApplySetOperation(light, Set(0, "Raid", HIDMSG::kChangeAdd), sets, macros);
        auto m = Macro(0, "Raid", "R", 2);
        m.change = HIDMSG::kChangeAdd;
        rig.settings.ApplyMacroOperation(light, m, macros);
        rig.settings.ApplySetOperation(light, Set(1, "setMacro", HIDMSG::kChangeAdd), sets, macros);
        rig.settings.ApplySetOperation(light, Set(0, "SETMACRO", HIDMSG::kChangeModify), sets, macros);
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].name.str(), "Raid");

        std::vector<HIDMSG::_SMacroGroupData> s;
        std::vector<HIDMSG::_SMacroDefaultData> ms;
        rig.settings.LoadLibrary(light, s, ms);
        ASSERT_EQ(s.size(), 1u) << "light " << light;
        EXPECT_EQ(s[0].name.str(), "Raid");
        ASSERT_EQ(ms.size(), 1u);
        EXPECT_EQ(ms[0].name.str(), "R");
    }
}

// "dup " and "dup" are one section of the file; so are names equal in the
// bytes their field keeps: the second set is refused, and both macros stay.
TEST(MacroLibrary, ASetNameThatIsOneWithAnotherOnceStoredIsRefused) {
    Rig rig;
    auto& sets = rig.store->macroSets;
    auto& macros = rig.store->macros;
    std::string cjk;
    for (int i = 0; i < 14; ++i) cjk += "\xE6\xBC\xA2";
    for (const std::string& name : {std::string("dup"), cjk}) {
        rig.settings.ApplySetOperation(false, Set(0, name.c_str(), HIDMSG::kChangeAdd), sets, macros);
    }
    for (const std::string& name : {std::string("dup "), std::string("DUP"), cjk.substr(0, 39) + "x"}) {
        rig.settings.ApplySetOperation(false, Set(2, name.c_str(), HIDMSG::kChangeAdd), sets, macros);
    }
    ASSERT_EQ(sets.size(), 2u);
    auto m = Macro(0, "dup", "A", 1);
    m.change = HIDMSG::kChangeAdd;
    rig.settings.ApplyMacroOperation(false, m, macros);
    rig.Reload();
    ASSERT_EQ(rig.store->macroSets.size(), 2u);
    ASSERT_EQ(rig.store->macros.size(), 1u);
    EXPECT_EQ(rig.store->macros[0].name.str(), "A");
}

std::vector<std::filesystem::path> DamagedCopies(const std::filesystem::path& file) {
    std::vector<std::filesystem::path> kept;
    for (const auto& e : std::filesystem::directory_iterator(file.parent_path()))
        if (e.path().filename().string().rfind(file.filename().string() + ".damaged-", 0) == 0) kept.push_back(e.path());
    return kept;
}

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A library cut in half, or whose index lost sets, is kept aside; every set
// and macro it still holds is read, and the file is written anew from them.
TEST(MacroLibrary, ADamagedLibraryIsKeptAsideAndReadAsFarAsItGoes) {
    Rig rig;
    auto& sets = rig.store->macroSets;
    auto& macros = rig.store->macros;
    for (const char* name : {"A", "B", "C", "D"}) {
        rig.settings.ApplySetOperation(false, Set(0, name, HIDMSG::kChangeAdd), sets, macros);
        auto m = Macro(static_cast<int>(sets.size()) - 1, name, name, 3);
        m.change = HIDMSG::kChangeAdd;
        rig.settings.ApplyMacroOperation(false, m, macros);
    }
    const auto file = rig.settings.macroFile();
    std::string text = ReadAll(file);
    // The index loses "B"; the file ends in the middle of "D"'s macro.
    text.replace(text.find("1=B\n"), 4, "");
    text.resize(text.find("[D]") + 100);
    std::ofstream(file, std::ios::binary) << text;

    rig.Reload();
    ASSERT_EQ(DamagedCopies(file).size(), 1u);
    EXPECT_EQ(ReadAll(DamagedCopies(file)[0]), text);
    EXPECT_NE(rig.settings.DamagedFiles() & (1u << link::notice::kDamagedMacros), 0u);
    std::vector<std::string> names;
    for (const auto& s : rig.store->macroSets) names.push_back(s.name.str());
    EXPECT_EQ(names, (std::vector<std::string>{"A", "C", "D", "B"}));
    ASSERT_EQ(rig.store->macros.size(), 3u);
    EXPECT_EQ(rig.store->macros[2].name.str(), "B");
    EXPECT_EQ(rig.store->macros[2].setNumber.get(), 3);
    // Written anew: the next load finds it whole.
    rig.Reload();
    EXPECT_EQ(DamagedCopies(file).size(), 1u);
    EXPECT_EQ(rig.store->macroSets.size(), 4u);
    EXPECT_EQ(rig.store->macros.size(), 3u);
}

TEST(TimerList, ADamagedLineIsKeptAsideAndTheOthersKeepTheirPlaces) {
    Rig rig;
    rig.settings.RewriteTimers({Timer("Tea", 240), Timer("Eggs", 420), Timer("Nap", 900)});
    const auto file = rig.settings.timerFile();
    std::string text = ReadAll(file);
    text[text.find("1=") + 5] = 'x';
    std::ofstream(file, std::ios::binary) << text;
    auto timers = rig.settings.LoadTimers();
    ASSERT_EQ(timers.size(), 2u);
    EXPECT_EQ(DamagedCopies(file).size(), 1u);
    // A later write of one timer lands on its own line.
    timers[1].seconds = 60;
    rig.settings.WriteTimer(timers[1]);
    timers = rig.settings.LoadTimers();
    ASSERT_EQ(timers.size(), 2u);
    EXPECT_EQ(timers[0].name.str(), "Tea");
    EXPECT_EQ(timers[1].seconds.get(), 60);
    EXPECT_EQ(DamagedCopies(file).size(), 1u);
}

TEST(LightMacroBlocks, ABlockThatFailsItsCheckIsKeptAsideAndTheOthersRead) {
    Rig rig;
    LightMacroBlock block{};
    std::memset(static_cast<void*>(&block), 0, sizeof block);
    block.stepCount = 1;
    block.steps[0] = {0x04, 1, LeU16(500)};
    rig.settings.WriteLightMacroBlock(0, 30, block);
    rig.settings.WriteLightMacroBlock(1, 31, block);
    const auto file = rig.settings.lightBlockFile();
    std::string text = ReadAll(file);
    text[text.find("31=") + 10] ^= 1;
    std::ofstream(file, std::ios::binary) << text;
    rig.Reload();
    EXPECT_EQ(DamagedCopies(file).size(), 1u);
    EXPECT_NE(rig.settings.DamagedFiles() & (1u << link::notice::kDamagedLightBlocks), 0u);
    LightMacroBlock read{};
    EXPECT_TRUE(rig.settings.ReadLightMacroBlock(0, 30, read));
    rig.Reload();
    EXPECT_EQ(DamagedCopies(file).size(), 1u);
}

TEST(MacroLibrary, AnAddedSetTakesThePlaceItGetsInTheList) {
    Rig rig;
    auto& sets = rig.store->macroSets;
    auto& macros = rig.store->macros;
    rig.settings.ApplySetOperation(false, Set(0, "Raid", HIDMSG::kChangeAdd), sets, macros);
    rig.settings.ApplySetOperation(false, Set(9, "Farm", HIDMSG::kChangeAdd), sets, macros);  // past the end
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1].setNumber.get(), 1);
    auto m = Macro(1, "Farm", "F", 1);
    m.change = HIDMSG::kChangeAdd;
    rig.settings.ApplyMacroOperation(false, m, macros);

    std::vector<HIDMSG::_SMacroGroupData> s;
    std::vector<HIDMSG::_SMacroDefaultData> ms;
    rig.settings.LoadLibrary(false, s, ms);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[1].name.str(), "Farm");
    EXPECT_EQ(s[1].setNumber.get(), 1);
    ASSERT_EQ(ms.size(), 1u);
    EXPECT_EQ(ms[0].setNumber.get(), 1);
}

}  // namespace
}  // namespace vyre
