#include "platform/paths.h"
#include "platform/runtime_folder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/process.h"
#include "tests/platform/temp_dir.h"

namespace vyre::paths {
namespace {

using vyre::testing::ScopedEnv;
using vyre::testing::TempDir;

TEST(Paths, DataFolderFromTheEnvironment) {
    TempDir dir;
    {
        ScopedEnv home("VYRE_LUMO_HOME", (dir / "home").string());
        EXPECT_EQ(DataFolder(), dir / "home");
        EXPECT_EQ(RegistryFile(), dir / "home" / "registry.reg");
    }
    ScopedEnv noHome("VYRE_LUMO_HOME", "");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").string());
        EXPECT_EQ(DataFolder(), dir / "xdg" / "vyre-lumo");
    }
    ScopedEnv relativeXdg("XDG_CONFIG_HOME", "relative");  // ignored, as XDG says
    ScopedEnv user("HOME", (dir / "user").string());
    EXPECT_EQ(DataFolder(), dir / "user" / ".config" / "vyre-lumo");
}

// Without XDG_RUNTIME_DIR the runtime folder lies in the user's own cache
// folder, where no other user can make it first, and is made private.
TEST(Paths, TheRuntimeFolderWithoutXdgIsInTheUsersCache) {
    TempDir dir;
    ScopedEnv own("VYRE_LUMO_RUNTIME_DIR", ""), xdg("XDG_RUNTIME_DIR", ""), cache("XDG_CACHE_HOME", "");
    ScopedEnv user("HOME", (dir / "user").string());
    const auto folder = RuntimeFolder();
    EXPECT_EQ(folder.parent_path(), dir / "user" / ".cache" / "vyre-lumo");
    std::string why;
    ASSERT_TRUE(PrepareRuntimeFolder(folder, &why)) << why;
    EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
    EXPECT_EQ(std::filesystem::status(dir / "user" / ".cache").permissions(), std::filesystem::perms::owner_all);
    // A link planted in its place is refused.
    std::filesystem::remove(folder);
    std::filesystem::create_directory_symlink(dir.path(), folder);
    EXPECT_FALSE(PrepareRuntimeFolder(folder, &why));
    EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;
}

TEST(Paths, WindowsFormNamesResolve) {
    TempDir dir;
    ScopedEnv home("VYRE_LUMO_HOME", (dir / "data").string());
    ScopedEnv assets("VYRE_LUMO_ASSETS", (dir / "assets").string());
    EXPECT_EQ(Resolve("./Config/Timer.ini"), dir / "data" / "Config" / "Timer.ini");
    EXPECT_EQ(Resolve(".\\Config\\Config.ini"), dir / "data" / "Config" / "Config.ini");
    EXPECT_EQ(Resolve("config\\Preset_sequence.dat"),
              dir / "data" / "Config" / "Preset_sequence.dat");
    EXPECT_EQ(Resolve(u".\\Config\\IlluminationButtonSet.dat"),
              dir / "data" / "Config" / "IlluminationButtonSet.dat");
    EXPECT_EQ(Resolve(".\\wave\\x.wav"), dir / "assets" / "wave" / "x.wav");
    EXPECT_EQ(Resolve(".\\Help\\English.txt"), dir / "assets" / "Help" / "English.txt");
    EXPECT_EQ(Resolve(".\\HELP\\\\English.txt"), dir / "assets" / "Help" / "English.txt");
    EXPECT_EQ(Resolve("CrashInfo.dmp"), dir / "data" / "CrashInfo.dmp");
    EXPECT_EQ(Resolve("/usr/share/x.wav"), std::filesystem::path("/usr/share/x.wav"));
    EXPECT_EQ(Resolve(".\\"), dir / "data");
}

TEST(Paths, ShippedFilesAreFoundWithoutRegardToCase) {
    TempDir dir;
    ScopedEnv assets("VYRE_LUMO_ASSETS", dir.path().string());
    std::filesystem::create_directories(dir / "Help");
    std::ofstream(dir / "Help" / "TradionalChinese.txt") << "x";
    EXPECT_EQ(Resolve(".\\Help\\tradionalchinese.TXT"), dir / "Help" / "TradionalChinese.txt");
    EXPECT_EQ(Resolve(".\\Help\\Missing.txt"), dir / "Help" / "Missing.txt");
}

TEST(Paths, BuildTreeAssetsByDefault) {
    ScopedEnv assets("VYRE_LUMO_ASSETS", "");
    EXPECT_EQ(AssetFolder(), std::filesystem::path(VYRE_LUMO_SOURCE_ASSETS));
}

TEST(Paths, ProgramNamesMapToExecutablesBesideTheOwnProgram) {
    EXPECT_EQ(ProgramFileName("Vyre Lumo Monitor.exe"), "vyre-lumo-monitor");
    EXPECT_EQ(ProgramFileName("vyre lumo config.EXE"), "vyre-lumo-config");
    EXPECT_EQ(ProgramFileName("FWupdate\\Vyre Lumo FW Update.exe"), "vyre-lumo-fw-update");
    EXPECT_EQ(ProgramFileName("./FWupdate/Vyre Lumo FW Update.exe"), "vyre-lumo-fw-update");
    EXPECT_EQ(ProgramFileName("Vyre Lumo FW Update.exe"), "");
    EXPECT_EQ(ProgramPath("Vyre Lumo Config.exe"), process::OwnFolder() / "vyre-lumo-config");
    // The updater lives in a folder of its own beside the programs (and is started there).
    EXPECT_EQ(ProgramPath("FWupdate\\Vyre Lumo FW Update.exe"),
              process::OwnFolder() / "FWupdate" / "vyre-lumo-fw-update");
    EXPECT_FALSE(ProgramPath("notepad.exe"));
}

}  // namespace
}  // namespace vyre::paths
