// What the Monitor does on the computer for the keyboard, as the action
// record shows it.

#include "monitor/link/host_actions.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "common/link_codes.h"
#include "platform/process.h"
#include "platform/record.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"

namespace vyre {
namespace {

struct Recorded {
    Recorded() {
        platform::ActionRecord::Instance().SetSink([this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        });
    }
    ~Recorded() { platform::ActionRecord::Instance().Close(); }
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex);
        return lines;
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

long long Ms(const std::string& line) {
    return std::stoll(line.substr(0, line.find(' ')));
}
std::string What(const std::string& line) {
    return line.substr(line.find(' ') + 1);
}

TEST(HostActions, TheDefaultPlayerIsTheMediaKeyHeld300Ms) {
    Recorded record;
    SystemHostActions host(platform::MakeKeyInjector(),
                           std::make_unique<platform::SettableVolume>());
    host.OpenMediaPlayer(kPlayerDefault);
    const auto lines = record.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(What(lines[0]), "key media-select down");
    EXPECT_EQ(What(lines[1]), "key media-select up");
    EXPECT_GE(Ms(lines[1]) - Ms(lines[0]), kMediaSelectHoldMs);
    host.OpenMediaPlayer(kPlayerITunes);  // not on this system: nothing
    EXPECT_EQ(record.Lines().size(), 2u);
}

TEST(HostActions, AVlcThatRunsIsNotStartedAgain) {
    testing::TempDir folder;
    const auto vlc = folder / "vlc";
    std::filesystem::copy_file("/bin/sleep", vlc);
    testing::ScopedEnv path("PATH", folder.path().string());
    Recorded record;
    SystemHostActions host(platform::MakeKeyInjector(),
                           std::make_unique<platform::SettableVolume>());
    {
        testing::Process running({vlc.string(), "30"});
        ASSERT_TRUE(testing::Eventually([&] {
            for (const auto& p : process::ListProcesses()) {
                if (p.executable == std::filesystem::weakly_canonical(vlc)) return true;
            }
            return false;
        }));
        host.OpenMediaPlayer(kPlayerVlc);
        EXPECT_TRUE(record.Lines().empty());
        running.Stop();
    }
    host.OpenMediaPlayer(kPlayerVlc);
    const auto lines = record.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(What(lines[0]), "launch " + vlc.string());
}

TEST(HostActions, TheConfigIsNotStartedWhileItsWindowIsOpen) {
    testing::LinkRig rig;
    rig.Connect();
    win::Window config;
    const std::string title(link::kConfigMainWindowName);
    ASSERT_TRUE(config.Create(title, title));
    rig.link->HandleEvent(report::KeyboardEvent{0, 0x10, 0, 0}.value());
    EXPECT_TRUE(rig.host.Take().empty());
    config.DestroyWindow();
    rig.link->HandleEvent(report::KeyboardEvent{0, 0x10, 0, 0}.value());
    EXPECT_EQ(rig.host.Take(), (std::vector<std::string>{"config"}));
}

}  // namespace
}  // namespace vyre
