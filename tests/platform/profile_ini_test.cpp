#include "platform/profile_ini.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "platform/atomic_file.h"
#include "tests/platform/temp_dir.h"

namespace vyre::platform {
namespace {

using vyre::testing::ScopedEnv;
using vyre::testing::TempDir;

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

TEST(ProfileIni, ReadsWithDefaultsAndWithoutRegardToCase) {
    TempDir dir;
    auto file = dir / "Config.ini";
    Spit(file,
         "; comment\r\n"
         "[Setting]\r\n"
         "  QuickHelpLan = 4  \r\n"
         "Quoted=\"  spaced  \"\r\n"
         "Empty=\r\n"
         "Number=-12abc\r\n"
         "Letters=abc\r\n"
         "quickhelplan=9\r\n"
         "[Other]\r\n"
         "QuickHelpLan=7\r\n"
         "[SETTING]\r\n"
         "Late=1\r\n");
    EXPECT_EQ(GetPrivateProfileString("setting", "QUICKHELPLAN", "x", file),
              "4");  // first key wins
    EXPECT_EQ(GetPrivateProfileString(u"Setting", u"QuickHelpLan", u"", file), u"4");
    EXPECT_EQ(GetPrivateProfileString("Setting", "Quoted", "", file), "  spaced  ");
    EXPECT_EQ(GetPrivateProfileString("Setting", "Missing", "dflt  ", file), "dflt");
    EXPECT_EQ(GetPrivateProfileString("Setting", "Empty", "dflt", file), "dflt");
    EXPECT_EQ(GetPrivateProfileString("Nowhere", "QuickHelpLan", "d", file), "d");
    EXPECT_EQ(GetPrivateProfileString("Setting", "Late", "d", file),
              "d");  // the first section of the name counts
    EXPECT_EQ(GetPrivateProfileString("Other", "QuickHelpLan", "", file), "7");
    EXPECT_EQ(GetPrivateProfileString(" Other ", " quickhelplan ", "", file), "7");
    // A buffer of 4 characters holds 3 and the terminator.
    EXPECT_EQ(GetPrivateProfileString("Setting", "Quoted", "", file, 4), "  s");

    EXPECT_EQ(GetPrivateProfileInt("Setting", "QuickHelpLan", 1, file), 4);
    EXPECT_EQ(GetPrivateProfileInt(u"Setting", u"Number", 1, file), -12);
    EXPECT_EQ(GetPrivateProfileInt("Setting", "Letters", 1, file), 0);
    EXPECT_EQ(GetPrivateProfileInt("Setting", "Empty", 5, file), 5);
    EXPECT_EQ(GetPrivateProfileInt("Setting", "Missing", 5, file), 5);
    EXPECT_EQ(GetPrivateProfileInt("Setting", "Missing", 5, dir / "no such file.ini"), 5);

    EXPECT_EQ(GetPrivateProfileSectionNames(file),
              (std::vector<std::u16string>{u"Setting", u"Other", u"SETTING"}));
    EXPECT_EQ(GetPrivateProfileKeyNames(u"OTHER", file),
              (std::vector<std::u16string>{u"QuickHelpLan"}));
}

TEST(ProfileIni, WritesCreateFoldersAndKeepTheRestOfTheFile) {
    TempDir dir;
    auto file = dir / "Config" / "deeper" / "Timer.ini";
    ASSERT_TRUE(WritePrivateProfileString("Timer", "Count", "2", file));
    ASSERT_TRUE(WritePrivateProfileString("Timer", "0", "0A000000", file));
    ASSERT_TRUE(WritePrivateProfileString("TIMER", "count", "3", file));  // replaces in place
    ASSERT_TRUE(WritePrivateProfileString(u"Second", u"k", u"計時器", file));
    EXPECT_EQ(Slurp(file), "[Timer]\nCount=3\n0=0A000000\n\n[Second]\nk=計時器\n");

    // Comments and blank lines survive; a new key lands after the last key.
    Spit(file, "[A]\n; keep me\nx=1\n\n[B]\ny=2\n");
    ASSERT_TRUE(WritePrivateProfileString("a", "z", "3", file));
    EXPECT_EQ(Slurp(file), "[A]\n; keep me\nx=1\nz=3\n\n[B]\ny=2\n");

    // Null value deletes a key, null key deletes every section of that name.
    ASSERT_TRUE(WritePrivateProfileString("A", "X", nullptr, file));
    EXPECT_EQ(GetPrivateProfileString("A", "x", "gone", file), "gone");
    ASSERT_TRUE(WritePrivateProfileString(u"b", nullptr, nullptr, file));
    EXPECT_EQ(Slurp(file), "[A]\n; keep me\nz=3\n\n");
    EXPECT_EQ(GetPrivateProfileString("B", "y", "gone", file), "gone");
    // Deleting what is not there changes nothing and does not create files.
    ASSERT_TRUE(WritePrivateProfileString("Q", "q", nullptr, dir / "new" / "x.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir / "new"));

    // Values that would break the line structure are refused.
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "two\nlines", file));
    EXPECT_FALSE(WritePrivateProfileString("A", "k=v", "1", file));
    EXPECT_FALSE(WritePrivateProfileString("A\n[B]", "k", "1", file));
    EXPECT_EQ(Slurp(file), "[A]\n; keep me\nz=3\n\n");
}

TEST(ProfileIni, DuplicateKeyTakesOverWhenTheFirstIsDeleted) {
    ProfileFile f = ProfileFile::Parse("[S]\nk=1\nK=2\n");
    EXPECT_EQ(f.Get("s", "k"), "1");
    EXPECT_TRUE(f.DeleteKey("S", "K"));
    EXPECT_EQ(f.Get("s", "k"), "2");
    EXPECT_TRUE(f.DeleteKey("S", "k"));
    EXPECT_FALSE(f.Get("s", "k"));
    EXPECT_FALSE(f.DeleteKey("S", "k"));
    EXPECT_EQ(f.Serialize(), "[S]\n");
    // A section deleted and written again comes back at the end.
    ProfileFile g = ProfileFile::Parse("[A]\na=1\n[B]\nb=2\n");
    EXPECT_TRUE(g.DeleteSection("a"));
    EXPECT_FALSE(g.HasSection("A"));
    EXPECT_TRUE(g.Set("A", "a", "3"));
    EXPECT_EQ(g.Serialize(), "[B]\nb=2\n\n[A]\na=3\n");
}

TEST(ProfileIni, ReadsUtf16FilesAndSectionNamesWithBrackets) {
    TempDir dir;
    auto file = dir / "Preset_sequence.dat";
    std::u16string content =
        u"[SetMacro]\r\nnumber=1\r\n0=[Raid] 計\r\n[[Raid] 計]\r\nnumber=0\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : content) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    Spit(file, bytes);
    std::u16string set = GetPrivateProfileString(u"SetMacro", u"0", u"", file);
    EXPECT_EQ(set, u"[Raid] 計");
    EXPECT_EQ(GetPrivateProfileInt(set, u"number", -1, file), 0);
    // Written back as UTF-8.
    ASSERT_TRUE(WritePrivateProfileString(set, u"number", u"1", file));
    EXPECT_EQ(Slurp(file), "[SetMacro]\nnumber=1\n0=[Raid] 計\n[[Raid] 計]\nnumber=1\n");
}

TEST(ProfileIni, RelativeNamesResolveUnderTheDataFolder) {
    TempDir dir;
    ScopedEnv home("VYRE_LUMO_HOME", dir.path().string());
    ASSERT_TRUE(
        WritePrivateProfileString(u"Setting", u"QuickHelpLan", u"14", ".\\Config\\Config.ini"));
    EXPECT_EQ(Slurp(dir / "Config" / "Config.ini"), "[Setting]\nQuickHelpLan=14\n");
    EXPECT_EQ(GetPrivateProfileInt(u"Setting", u"QuickHelpLan", 1, "./Config/Config.ini"), 14);
}

TEST(ProfileIni, CrashBetweenWritingAndRenamingLeavesTheOldFile) {
    TempDir dir;
    auto file = dir / "Timer.ini";
    ASSERT_TRUE(WritePrivateProfileString("Timer", "Count", "1", file));
    pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    int status;
    ::waitpid(dead, &status, 0);
    auto stray = dir / ("Timer.ini.tmp." + std::to_string(dead) + ".3");
    Spit(stray, "[Timer]\nCou");
    EXPECT_EQ(GetPrivateProfileInt("Timer", "Count", -1, file), 1);
    ASSERT_TRUE(WritePrivateProfileString("Timer", "Count", "2", file));
    EXPECT_FALSE(std::filesystem::exists(stray));
    EXPECT_EQ(Slurp(file), "[Timer]\nCount=2\n");
}

TEST(ProfileIni, FailedWriteLeavesFileAndReadsUnchanged) {
    TempDir dir;
    Spit(dir / "blocker", "x");
    auto file = dir / "blocker" / "Timer.ini";
    EXPECT_FALSE(WritePrivateProfileString("Timer", "Count", "1", file));
    EXPECT_EQ(GetPrivateProfileInt("Timer", "Count", -1, file), -1);
}

TEST(ProfileIni, ChangesByAnotherWriterAreSeen) {
    TempDir dir;
    auto file = dir / "Timer.ini";
    ASSERT_TRUE(WritePrivateProfileString("Timer", "Count", "1", file));
    EXPECT_EQ(GetPrivateProfileInt("Timer", "Count", -1, file), 1);
    // The file is deleted and written anew, as when a timer is added.
    std::filesystem::remove(file);
    EXPECT_EQ(GetPrivateProfileInt("Timer", "Count", -1, file), -1);
    ProfileFile f;
    ASSERT_TRUE(f.Set("Timer", "Count", "5"));
    ASSERT_TRUE(f.Save(file));
    EXPECT_EQ(GetPrivateProfileInt("Timer", "Count", -1, file), 5);
}

TEST(ProfileIni, BatchRewritesEachFileOnceWithThousandsOfKeys) {
    TempDir dir;
    auto blocks = dir / "IlluminationButtonSet.dat";
    auto lib = dir / "Preset_sequenceIll.dat";
    const std::string digits(4122, 'A');
    {
        ProfileWriteBatch batch;
        for (int p = 1; p <= 5; ++p) {
            for (int slot = 0; slot <= 140; ++slot) {
                std::string value = digits;
                value.replace(0, 4, std::to_string(1000 + slot));
                ASSERT_TRUE(WritePrivateProfileString(
                    "PF" + std::to_string(p), std::to_string(slot).c_str(), value.c_str(), blocks));
            }
        }
        ASSERT_TRUE(WritePrivateProfileString("SetMacro", "number", "0", lib));
        EXPECT_FALSE(std::filesystem::exists(blocks));
        EXPECT_EQ(GetPrivateProfileString("PF3", "140", "", blocks).substr(0, 4), "1140");
    }
    ASSERT_TRUE(std::filesystem::exists(lib));
    ProfileFile f = ProfileFile::Load(blocks);
    EXPECT_EQ(f.SectionNames().size(), 5u);
    EXPECT_EQ(f.KeyNames("pf5").size(), 141u);
    EXPECT_EQ(f.Get("PF5", "7")->substr(0, 4), "1007");
    EXPECT_EQ(f.Get("PF5", "7")->size(), 4122u);
    for (int slot = 0; slot <= 140; ++slot) {
        EXPECT_EQ(GetPrivateProfileString("PF1", std::to_string(slot), "", blocks).substr(0, 4),
                  std::to_string(1000 + slot));
    }
}

TEST(ProfileIni, WritersOnSeveralThreadsLoseNothing) {
    TempDir dir;
    auto file = dir / "Threads.ini";
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                WritePrivateProfileString("T" + std::to_string(t), std::to_string(i).c_str(),
                                          std::to_string(t * i).c_str(), file);
            }
        });
    }
    for (auto& th : threads) th.join();
    ProfileFile f = ProfileFile::Load(file);
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(f.Get("T" + std::to_string(t), std::to_string(i)), std::to_string(t * i));
    }
}

}  // namespace
}  // namespace vyre::platform

namespace vyre::platform {
namespace {

// Whatever a damaged file holds, writing it back keeps every value readable
// as it was.
TEST(ProfileIniFormat, DamagedInputsReadBackStableAfterRewrite) {
    const std::string good =
        "[SetMacro]\nnumber=2\n0=Raid\n1=\"Quoted\"\n[Raid]\nnumber=1\n0=00FF\n; note\n\n[Empty]\n";
    std::uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const char alphabet[] = "[]=;\"'\n\r\t 0aZ";
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = good;
        for (int e = 0; e < 1 + static_cast<int>(next() % 4); ++e) {
            std::size_t at = next() % damaged.size();
            if (next() % 2 == 0) {
                damaged[at] = alphabet[next() % (sizeof alphabet - 1)];
            } else {
                damaged.insert(at, 1, alphabet[next() % (sizeof alphabet - 1)]);
            }
        }
        ProfileFile first = ProfileFile::Parse(damaged);
        ProfileFile second = ProfileFile::Parse(first.Serialize());
        ASSERT_EQ(second.SectionNames(), first.SectionNames()) << damaged;
        for (const auto& section : first.SectionNames()) {
            ASSERT_EQ(second.KeyNames(section), first.KeyNames(section)) << damaged;
            for (const auto& key : first.KeyNames(section)) {
                EXPECT_EQ(second.Get(section, key), first.Get(section, key)) << damaged;
            }
        }
    }
}

}  // namespace
}  // namespace vyre::platform

namespace vyre::platform {
namespace {

TEST(ProfileIniFormat, OddLineEndsAndMarkLikeBytesSurviveARewrite) {
    // Stray carriage returns at a line end are line end, not value.
    ProfileFile f = ProfileFile::Parse("[S]\r\nk=1\r\r\r\n");
    EXPECT_EQ(f.Get("S", "k"), "1");
    EXPECT_EQ(ProfileFile::Parse(f.Serialize()).Get("S", "k"), "1");
    // A first line that begins with bytes of a UTF-16 mark stays UTF-8 text.
    ProfileFile g = ProfileFile::Parse("\xEF\xBB\xBF\xFE\xFF junk\n[S]\nk=2\n");
    EXPECT_EQ(ProfileFile::Parse(g.Serialize()).Get("S", "k"), "2");
}


// Every value short enough to try them all, built from the characters that
// trimming and unquoting look at: what is read survives a rewrite of the file,
// and what is written reads back as it was written.
TEST(ProfileIniFormat, EveryValueSurvivesARewriteUnchanged) {
    const std::string alphabet = " \t\r\"'a";
    std::vector<std::string> values{""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::string> longer;
        for (const auto& v : values)
            if (v.size() == static_cast<std::size_t>(length - 1))
                for (char c : alphabet) longer.push_back(v + c);
        values.insert(values.end(), longer.begin(), longer.end());
    }
    for (const auto& raw : values) {
        ProfileFile read = ProfileFile::Parse("[]\n4=" + raw + "\n");
        const auto first = read.Get("", "4");
        ASSERT_TRUE(first.has_value());
        EXPECT_EQ(ProfileFile::Parse(read.Serialize()).Get("", "4"), first) << ::testing::PrintToString(raw);
        // The program's own read-modify-write keeps it as well (a carriage
        // return inside a value can be read but, as a line break, not written).
        if (first->find('\r') != std::string::npos) continue;
        ProfileFile again;
        ASSERT_TRUE(again.Set("S", "k", *first));
        EXPECT_EQ(ProfileFile::Parse(again.Serialize()).Get("S", "k"), first) << ::testing::PrintToString(raw);
        if (raw.find('\r') != std::string::npos) continue;  // a line break is never a value
        ProfileFile written;
        ASSERT_TRUE(written.Set("S", "k", raw));
        EXPECT_EQ(written.Get("S", "k"), raw);
        EXPECT_EQ(ProfileFile::Parse(written.Serialize()).Get("S", "k"), raw) << ::testing::PrintToString(raw);
    }
    // Plain values are written as they are, as other programs expect.
    ProfileFile plain;
    ASSERT_TRUE(plain.Set("Timer", "Name", "Raid boss"));
    EXPECT_EQ(plain.Serialize(), "[Timer]\nName=Raid boss\n");
}


TEST(ProfileIni, AFileTooLargeForSettingsIsNeitherReadNorWrittenOver) {
    TempDir dir;
    const auto file = dir / "Timer.ini";
    std::ofstream(file) << "[Timer]\nCount=3\n";
    std::filesystem::resize_file(file, kSettingsFileLimit + 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(GetPrivateProfileInt("Timer", "Count", 7, file), 7);
    EXPECT_FALSE(WritePrivateProfileString("Timer", "Count", "4", file));
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::filesystem::file_size(file), kSettingsFileLimit + 1);
    EXPECT_NE(log.find("error settings: " + file.string() + " holds"), std::string::npos) << log;
    // Once it is a settings file again, it is used.
    std::filesystem::resize_file(file, 17);
    EXPECT_EQ(GetPrivateProfileInt("Timer", "Count", 7, file), 3);
}

}  // namespace
}  // namespace vyre::platform
