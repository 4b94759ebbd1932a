// The Monitor program under conditions it must survive: an unusable runtime
// folder, damaged or oversized settings, a keyboard that misbehaves.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/monitor/shell/monitor_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"

namespace vyre {
namespace {

namespace fs = std::filesystem;

// A refused runtime folder ends the Monitor at once with an error that names
// the folder and the reason; it does not run on where nobody can reach it.
TEST(MonitorFaults, ARefusedRuntimeFolderEndsTheMonitorWithAClearError) {
    MonitorRig rig;
    fs::create_directories(rig.folder / "elsewhere");
    fs::create_symlink(rig.folder / "elsewhere", rig.folder / "link");
    struct Case {
        fs::path folder;
        const char* reason;
    };
    std::vector<Case> cases{{rig.folder / "link", "symbolic link"}};
    if (::geteuid() == 0) {  // only root can hand a folder to someone else
        fs::create_directories(rig.folder / "theirs");
        ASSERT_EQ(::chown((rig.folder / "theirs").c_str(), 4242, 4242), 0);
        ::chmod((rig.folder / "theirs").c_str(), 0700);
        cases.push_back({rig.folder / "theirs", "belongs to user 4242"});
    }
    for (const Case& c : cases) {
        testing::ScopedEnv runtime("VYRE_LUMO_RUNTIME_DIR", c.folder.string());
        const std::string log = (rig.folder / "refused.log").string();
        fs::remove(log);
        testing::Process monitor({testing::Program("vyre-lumo-monitor"), "--hid", "sim:" + rig.sim.socket(), "--home",
                                  (rig.folder / "home").string()},
                                 log);
        monitor.Wait(std::chrono::seconds(30));
        EXPECT_FALSE(monitor.Running());
        const std::string text = ReadText(log);
        EXPECT_NE(text.find(" error "), std::string::npos) << text;
        EXPECT_NE(text.find(c.folder.string()), std::string::npos) << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        EXPECT_NE(text.find("ending"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace vyre
