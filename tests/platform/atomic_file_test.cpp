#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/profile_ini.h"
#include "platform/registry.h"
#include "tests/platform/temp_dir.h"

namespace vyre::platform {
namespace {

using vyre::testing::TempDir;

unsigned ModeOf(const std::filesystem::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

// Whatever the umask, settings are the user's alone, and a mode the user
// chose survives every rewrite.
TEST(AtomicFile, SettingsArePrivateAndARewriteKeepsTheFilesMode) {
    TempDir dir;
    const mode_t oldMask = ::umask(0002);
    const auto file = dir / "data" / "Config" / "Timer.ini";
    ASSERT_TRUE(WriteFileAtomically(file, "one"));
    EXPECT_EQ(ModeOf(dir / "data"), 0700u);
    EXPECT_EQ(ModeOf(dir / "data" / "Config"), 0700u);
    EXPECT_EQ(ModeOf(file), 0600u);

    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(file, "two"));
    EXPECT_EQ(ModeOf(file), 0640u);
    EXPECT_EQ(ReadWholeFile(file).value_or(""), "two");
    ASSERT_EQ(::chmod(file.c_str(), 0400), 0);  // even a read-only one is replaced, keeping its mode
    ASSERT_TRUE(WriteFileAtomically(file, "three"));
    EXPECT_EQ(ModeOf(file), 0400u);
    ::umask(oldMask);

    // A folder that exists keeps its mode.
    ASSERT_EQ(::chmod((dir / "data").c_str(), 0750), 0);
    ASSERT_TRUE(WriteFileAtomically(dir / "data" / "other.ini", "x"));
    EXPECT_EQ(ModeOf(dir / "data"), 0750u);
}

TEST(AtomicFile, TheRegistryAndProfileFilesOfANewDataFolderArePrivate) {
    TempDir dir;
    const mode_t oldMask = ::umask(0022);
    {
        Registry reg(dir / "home" / "registry.reg");
        ASSERT_EQ(reg.WriteDword("Level", 3), RegStatus::Ok);
    }
    ASSERT_TRUE(WritePrivateProfileString("Timer", "Count", "0", dir / "home" / "Config" / "Timer.ini"));
    ::umask(oldMask);
    EXPECT_EQ(ModeOf(dir / "home"), 0700u);
    EXPECT_EQ(ModeOf(dir / "home" / "registry.reg"), 0600u);
    EXPECT_EQ(ModeOf(dir / "home" / "Config"), 0700u);
    EXPECT_EQ(ModeOf(dir / "home" / "Config" / "Timer.ini"), 0600u);
}


TEST(AtomicFile, AFileLargerThanItsBoundIsNotRead) {
    TempDir dir;
    const auto file = dir / "big.wav";
    ASSERT_TRUE(WriteFileAtomically(file, "RIFF"));
    bool tooLarge = true;
    EXPECT_EQ(ReadWholeFile(file, 4, &tooLarge), "RIFF");
    EXPECT_FALSE(tooLarge);
    EXPECT_EQ(ReadWholeFile(file, 3, &tooLarge), std::nullopt);
    EXPECT_TRUE(tooLarge);
    std::filesystem::resize_file(file, kSoundFileLimit + 1);
    EXPECT_EQ(ReadWholeFile(file, kSoundFileLimit, &tooLarge), std::nullopt);
    EXPECT_TRUE(tooLarge);
    EXPECT_EQ(ReadWholeFile(dir / "missing", kSoundFileLimit, &tooLarge), std::nullopt);
    EXPECT_FALSE(tooLarge);
}

}  // namespace
}  // namespace vyre::platform
