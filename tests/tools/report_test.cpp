// The bug report archive: readable by tar, and free of the user's program
// paths and names unless they are asked for.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "common/link_codes.h"
#include "common/profile_store.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tools/doctor.h"
#include "tools/report.h"

namespace vyre::bugreport {
namespace {

const ArchiveFile* Find(const std::vector<ArchiveFile>& files, const std::string& name) {
    for (const ArchiveFile& f : files) {
        if (f.name == "vyre-lumo-report/" + name) return &f;
    }
    return nullptr;
}

Inputs WithLaunchPath() {
    Inputs in;
    in.monitorFound = true;
    in.dumpComplete = true;
    HostSettingsBlock host{};
    host.modelFlag = 2;
    host.layoutCode = 12;
    host.keyLaunchPaths[1][7].path.set(u"/home/ann/games/Secret Game/run.sh");
    host.keyLaunchPaths[1][7].displayName.set(u"Secret Game");
    host.programLinks[0][0].set(u"/usr/bin/steam");
    LinkEvent block;
    block.code = link::block::kHostSettings;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&host);
    block.data.assign(bytes, bytes + sizeof host);
    LinkEvent info;
    info.code = link::block::kDeviceInfo;
    info.data = {0x0F, 8, 109, 0, 5, 0, 12, 0};
    LinkEvent end;
    end.notice = true;
    end.code = 43;
    in.dump = {info, block, end};
    in.logLines = {"12:00 info launch: started /home/ann/games/Secret Game/run.sh",
                   "12:01 info switch: Secret Game is in front (pid 42)",
                   "12:02 info monitor: running; data folder ~/x/vyre-lumo"};
    in.systemFacts = {"distribution: Test Linux"};
    return in;
}

TEST(Report, LeavesOutProgramPathsAndNamesUnlessAsked) {
    Inputs in = WithLaunchPath();
    const auto files = BuildReport(in);
    const ArchiveFile* summary = Find(files, "report.txt");
    ASSERT_TRUE(summary);
    EXPECT_NE(summary->bytes.find("keyboard: model B, USB id 1209:0002, layout code 12"), std::string::npos)
        << summary->bytes;
    EXPECT_NE(summary->bytes.find("firmware: 1.09 (second 0.05)"), std::string::npos);
    EXPECT_NE(summary->bytes.find("distribution: Test Linux"), std::string::npos);
    const ArchiveFile* log = Find(files, "monitor.log");
    ASSERT_TRUE(log);
    EXPECT_EQ(log->bytes,
              "12:00 info launch: started <program>\n"
              "12:01 info switch: <program> is in front (pid 42)\n"
              "12:02 info monitor: running; data folder <path>\n");
    const ArchiveFile* host = Find(files, "dump/12.bin");
    ASSERT_TRUE(host);
    ASSERT_EQ(host->bytes.size(), sizeof(HostSettingsBlock));
    const auto* block = reinterpret_cast<const HostSettingsBlock*>(host->bytes.data());
    EXPECT_TRUE(block->keyLaunchPaths[1][7].path.empty());
    EXPECT_TRUE(block->keyLaunchPaths[1][7].displayName.empty());
    EXPECT_TRUE(block->programLinks[0][0].empty());
    EXPECT_EQ(block->modelFlag, 2);  // everything else is kept
    ASSERT_TRUE(Find(files, "dump/index.txt"));
    EXPECT_EQ(Find(files, "dump/index.txt")->bytes, "2 8\n12 470879\nnotice 43\n");

    in.withPaths = true;
    const auto full = BuildReport(in);
    EXPECT_EQ(Find(full, "monitor.log")->bytes.find("<program>"), std::string::npos);
    const auto* kept = reinterpret_cast<const HostSettingsBlock*>(Find(full, "dump/12.bin")->bytes.data());
    EXPECT_EQ(kept->keyLaunchPaths[1][7].displayName.str(), u"Secret Game");
}

TEST(Report, WithoutAMonitorTheReportSaysSo) {
    Inputs in;
    in.logLines = {"a line"};
    const auto files = BuildReport(in);
    ASSERT_TRUE(Find(files, "report.txt"));
    EXPECT_NE(Find(files, "report.txt")->bytes.find("monitor: not running"), std::string::npos);
    EXPECT_FALSE(Find(files, "dump/index.txt"));
}

TEST(Report, TheArchiveIsOneTarThatTarReads) {
    testing::TempDir dir;
    std::vector<ArchiveFile> files = {{"r/a.txt", "hello\n"}, {"r/empty", ""},
                                      {"r/big.bin", std::string(1500, 'x')}};
    const std::string archive = TarArchive(files, 1700000000);
    EXPECT_EQ(archive.size() % 512, 0u);
    {
        std::ofstream out(dir / "r.tar", std::ios::binary);
        out << archive;
    }
    const auto listed = testing::Run({"/bin/tar", "-tvf", (dir / "r.tar").string()});
    ASSERT_EQ(listed.exit, 0);
    EXPECT_NE(listed.out.find("r/a.txt"), std::string::npos);
    EXPECT_NE(listed.out.find("1500"), std::string::npos);
    EXPECT_NE(listed.out.find("-rw-------"), std::string::npos);
    ASSERT_EQ(testing::Run({"/bin/tar", "-xf", (dir / "r.tar").string(), "-C", dir.path().string()}).exit, 0);
    std::ifstream in(dir / "r/big.bin", std::ios::binary);
    const std::string back{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(back, std::string(1500, 'x'));
}

// The report of a running Monitor against the emulator, as a user makes it.
TEST(Report, OfARunningMonitor) {
    testing::TempDir dir;
    testing::SimProcess sim(dir.path(), {"--model", "B", "--firmware", "109"});
    testing::MonitorProcess monitor(sim, dir / "home", dir / "monitor.log");
    testing::RunResult r;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    do {  // until the Monitor has read the keyboard back
        r = testing::Run({testing::Program("vyre-lumo-ctl"), "dump"});
        if (r.exit == 0 && r.out.find("notice 43") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    ASSERT_NE(r.out.find("notice 43"), std::string::npos);
    ::setenv("VYRE_LUMO_HOME", (dir / "home").c_str(), 1);  // where the report finds the log
    r = testing::Run({testing::Program("vyre-lumo-ctl"), "report", (dir / "r.tar").string()});
    ::unsetenv("VYRE_LUMO_HOME");
    ASSERT_EQ(r.exit, 0) << r.out;
    // The archive and a profile file hold the user's settings: theirs alone.
    ASSERT_EQ(testing::Run({testing::Program("vyre-lumo-ctl"), "export", "1", (dir / "p.kkp").string()}).exit, 0);
    for (const char* name : {"r.tar", "p.kkp"}) {
        EXPECT_EQ(std::filesystem::status(dir / name).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
            << name;
    }
    ASSERT_EQ(testing::Run({"/bin/tar", "-xf", (dir / "r.tar").string(), "-C", dir.path().string()}).exit, 0);
    auto read = [&](const char* name) {
        std::ifstream in(dir / "vyre-lumo-report" / name, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    };
    const std::string summary = read("report.txt");
    EXPECT_NE(summary.find("monitor: running, dump complete"), std::string::npos) << summary;
    EXPECT_NE(summary.find("keyboard: model B"), std::string::npos) << summary;
    EXPECT_NE(summary.find("firmware: 1.09"), std::string::npos) << summary;
    EXPECT_NE(summary.find("hidapi: "), std::string::npos);
    EXPECT_NE(read("monitor.log").find("info monitor: running"), std::string::npos);
    EXPECT_EQ(read("dump/12.bin").size(), sizeof(HostSettingsBlock));
    EXPECT_NE(read("dump/index.txt").find("notice 43"), std::string::npos);
    EXPECT_NE(read("doctor.txt").find("monitor: running, with the keyboard"), std::string::npos);
    // A wrong call is a usage error.
    EXPECT_EQ(testing::Run({testing::Program("vyre-lumo-ctl"), "report"}).exit, 2);
}

TEST(Doctor, NamesWhatBlocksWithItsFix) {
    doctor::Facts none;  // no keyboard, no rule, no Monitor, no tray
    none.ruleCommands = "sudo udevadm control --reload";
    doctor::Verdict v = doctor::Examine(none);
    EXPECT_TRUE(v.blocked);
    EXPECT_NE(v.text.find("PROBLEM: no keyboard is attached"), std::string::npos) << v.text;
    EXPECT_NE(v.text.find("udev rule: not installed\n  PROBLEM"), std::string::npos) << v.text;
    EXPECT_NE(v.text.find("    sudo udevadm control --reload\n"), std::string::npos);

    doctor::Facts denied = none;
    denied.rule = "/usr/lib/udev/rules.d/70-vyre-lumo.rules";
    denied.nodes.push_back({"/dev/hidraw3", none.ids.productIdB, 0x0B, "crw------- root:root", false,
                            "Permission denied"});
    denied.monitor = doctor::MonitorState::NoAccess;
    denied.monitorNode = "/dev/hidraw3";
    v = doctor::Examine(denied);
    EXPECT_TRUE(v.blocked);
    EXPECT_NE(v.text.find("/dev/hidraw3  model B  usage page 0x0b  crw------- root:root  does not open: "
                          "Permission denied"),
              std::string::npos)
        << v.text;
    EXPECT_NE(v.text.find("installed but not applied"), std::string::npos);
    EXPECT_NE(v.text.find("it may not open /dev/hidraw3"), std::string::npos);

    doctor::Facts fine = denied;
    fine.nodes[0].openable = true;
    fine.monitor = doctor::MonitorState::HasKeyboard;
    fine.trayHost = "StatusNotifierItem";
    v = doctor::Examine(fine);
    EXPECT_FALSE(v.blocked) << v.text;
    EXPECT_EQ(v.text.find("PROBLEM"), std::string::npos);
}

// Every program answers --help and --version in the usual form, and a wrong
// option with a message on standard error and status 2.
TEST(Programs, HelpVersionAndUnknownOptions) {
    for (const char* name : {"vyre-lumo-monitor", "vyre-lumo-config", "vyre-lumo-ctl", "vyre-lumo-sim"}) {
        const auto version = testing::Run({testing::Program(name), "--version"});
        EXPECT_EQ(version.exit, 0) << name;
        EXPECT_EQ(version.out, std::string(name) + " " + VYRE_LUMO_VERSION + "\n");
        const auto help = testing::Run({testing::Program(name), "--help"});
        EXPECT_EQ(help.exit, 0) << name;
        EXPECT_EQ(help.out.rfind("usage", 0), 0u) << name << ": " << help.out;
        EXPECT_NE(help.out.find("--version"), std::string::npos) << name;
        EXPECT_EQ(testing::Run({testing::Program(name), "--no-such-option"}).exit, 2) << name;
    }
    EXPECT_EQ(testing::Run({testing::Program("vyre-lumo-config"), "--home"}).exit, 2);
}

}  // namespace
}  // namespace vyre::bugreport
