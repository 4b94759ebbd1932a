// The Monitor program under conditions it must survive: an unusable runtime
// folder, damaged or oversized settings, a keyboard that misbehaves.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <string>

#include "common/link_codes.h"
#include "common/profile_file.h"
#include "common/profile_store.h"
#include "common/talk_records.h"
#include "platform/profile_ini.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/monitor/shell/monitor_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tools/link_client.h"

namespace vyre {
namespace {

namespace fs = std::filesystem;

// A refused runtime folder ends the Monitor at once with an error that names
// the folder and the reason, in the log and in a message box; it does not
// run on where nobody can reach it.
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
        const fs::path record = rig.folder / "refused.record";
        fs::remove(log);
        fs::remove(record);
        testing::Process monitor({testing::Program("vyre-lumo-monitor"), "--hid", "sim:" + rig.sim.socket(), "--home",
                                  (rig.folder / "home").string(), "--record", record.string()},
                                 log);
        EXPECT_EQ(monitor.Wait(std::chrono::seconds(30)), 1);  // a failure, not a quiet end
        EXPECT_FALSE(monitor.Running());
        const std::string text = ReadText(log);
        EXPECT_NE(text.find(" error "), std::string::npos) << text;
        EXPECT_NE(text.find(c.folder.string()), std::string::npos) << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        EXPECT_NE(text.find("ending"), std::string::npos) << text;
        const std::string box = ReadText(record);
        EXPECT_NE(box.find("message-box Vyre Lumo Monitor: The Monitor cannot run"), std::string::npos) << box;
        EXPECT_NE(box.find(c.reason), std::string::npos) << box;
    }
}

// A keyboard with a newer firmware than this software knows gets its popup;
// where nobody can see it (Qt's offscreen platform, no record) the keyboard
// thread does not wait for a click that cannot come, and the Config is
// answered as without a keyboard.
TEST(MonitorFaults, ANewerFirmwareWithoutADisplayDoesNotStopTheKeyboardThread) {
    testing::TempDir folder;
    testing::SimProcess sim{folder.path(), {"--model", "B", "--firmware", "200"}};
    testing::ScopedEnv offscreen("QT_QPA_PLATFORM", "offscreen");
    testing::MonitorProcess monitor(sim, folder / "home", folder / "monitor.log");
    testing::RunResult dump;
    EXPECT_TRUE(testing::Eventually(
        [&] {
            dump = testing::Run({testing::Program("vyre-lumo-ctl"), "dump"});
            return dump.out == "15\n" && ReadText(folder / "monitor.log").find("firmware is newer") != std::string::npos;
        },
        std::chrono::milliseconds(60000)))
        << dump.out << ReadText(folder / "monitor.log").substr(0, 3000);
    EXPECT_TRUE(monitor.Running());
}

// A HID layer that cannot start gives the keyboard link's message box; the
// Monitor runs on, idle, and answers a Config at once that it has no keyboard.
TEST(MonitorFaults, AHidLayerThatCannotStartIsToldInAMessageBox) {
    MonitorRig rig;
    const fs::path record = rig.folder / "hid.record";
    testing::Process monitor({testing::Program("vyre-lumo-monitor"), "--hid", "nothing-of-the-sort", "--home",
                              (rig.folder / "home").string(), "--record", record.string()},
                             (rig.folder / "hid.log").string());
    EXPECT_TRUE(testing::Eventually(
        [&] { return ReadText(record).find("message-box HID ERROR: 無法開啟HID的Guid介面!") != std::string::npos; },
        std::chrono::milliseconds(30000)))
        << ReadText(record);
    const testing::RunResult dump = rig.Ctl({"dump"});
    EXPECT_TRUE(monitor.Running());
    EXPECT_EQ(dump.out, "15\n");  // answered: no keyboard (a dump that timed out prints nothing)
}


void WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Block `code` of the Monitor's dump, once it has read the keyboard back.
std::vector<std::uint8_t> DumpedBlock(MonitorRig& rig, int code) {
    const auto dir = rig.folder / "dump";
    if (rig.DumpWhenReady({"--dir", dir.string()}).exit != 0) return {};
    return ReadFile(dir / (std::to_string(code) + ".bin"));
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Dumps until the answer is `want` (or the bound passes); the last answer.
testing::RunResult DumpUntil(MonitorRig& rig, const std::string& want, std::chrono::seconds bound) {
    testing::RunResult r;
    const auto end = std::chrono::steady_clock::now() + bound;
    do {
        r = rig.Ctl({"dump"});
        if (r.out == want) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } while (std::chrono::steady_clock::now() < end);
    return r;
}

// A keyboard that never reports its firmware version is not waited for
// without end: the Monitor gives up at its bound and answers as without a
// keyboard, and reads the keyboard back once it is plugged in again whole.
TEST(MonitorFaults, AVersionThatStaysZeroEndsTheReadBackAtItsBound) {
    MonitorRig rig;
    ASSERT_EQ(rig.sim.Control({"fail", "version", "on"}).exit, 0);
    auto monitor = rig.StartMonitor();
    EXPECT_EQ(DumpUntil(rig, "15\n", std::chrono::seconds(40)).out, "15\n") << ReadText(rig.folder / "monitor.log");
    EXPECT_NE(ReadText(rig.folder / "monitor.log").find("no firmware version"), std::string::npos);
    EXPECT_TRUE(monitor->Running());

    ASSERT_EQ(rig.sim.Control({"fail", "version", "off"}).exit, 0);
    ASSERT_EQ(rig.sim.Control({"unplug"}).exit, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(rig.sim.Control({"plug"}).exit, 0);
    const auto dump = rig.DumpWhenReady();
    EXPECT_EQ(dump.exit, 0);
    EXPECT_NE(dump.out.find("notice 43"), std::string::npos) << dump.out;
}

// What the keyboard refuses reaches the one who sent it: the control tool
// ends non-zero; and the refusals fill no log, however many there are.
TEST(MonitorFaults, WritesTheKeyboardRefusesAreReportedAndLoggedOnce) {
    MonitorRig rig;
    auto monitor = rig.StartMonitor();
    auto active = DumpedBlock(rig, 3);
    ASSERT_EQ(active.size(), 3u);
    const auto file = (rig.folder / "profile.kkp").string();
    ASSERT_EQ(rig.Ctl({"export", "1", file}).exit, 0);
    auto changed = ReadFile(file);
    ASSERT_GT(changed.size(), 100u);

    ASSERT_EQ(rig.sim.Control({"fail", "write", "on"}).exit, 0);
    for (int i = 0; i < 5; ++i) {
        active[2] = static_cast<std::uint8_t>(1 + i % 4);  // another profile each time
        std::ofstream(rig.folder / "3.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(active.data()), static_cast<std::streamsize>(active.size()));
        EXPECT_EQ(rig.Ctl({"send", "3", (rig.folder / "3.bin").string()}).exit, 1) << i;
    }
    for (std::size_t at = 20; at < 60; ++at) changed[at] ^= 0x01;  // a profile unlike the keyboard's
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(changed.data()), static_cast<std::streamsize>(changed.size()));
    EXPECT_EQ(rig.Ctl({"import", "2", file}).exit, 1);

    // Sent by a Config that closed at once (OK), with no Config open: the
    // Monitor tells the user itself, in one message for the burst.
    const std::string cls(link::kControlWindowClass), title(link::kControlWindowTitle);
    const win::HWND control = win::FindWindow(cls.c_str(), title.c_str());
    for (int i = 0; i < 2; ++i) {
        active[2] = static_cast<std::uint8_t>(2 + 2 * i);  // 2, 4: the busy part sends 3
        EXPECT_TRUE(win::SendCopyData(control, 0, link::MakeDwData(link::block::kActiveProfile, link::kTagCommand),
                                      active.data(), active.size()));
    }
    const std::string told = "message-box Keyboard: The keyboard did not take what was last applied: "
                             "the choice of profile.";
    EXPECT_TRUE(testing::Eventually([&] { return ReadText(rig.folder / "record").find(told) != std::string::npos; }))
        << ReadText(rig.folder / "record");
    std::this_thread::sleep_for(std::chrono::milliseconds(1700));
    EXPECT_EQ(CountOf(ReadText(rig.folder / "record"), told), 1);

    ASSERT_EQ(rig.sim.Control({"fail", "write", "off"}).exit, 0);
    // Trying again writes what the keyboard did not take, though the Monitor
    // was sent the same before.
    WriteBytes(rig.folder / "3.bin", active);  // profile 5, as last sent
    EXPECT_EQ(rig.Ctl({"send", "3", (rig.folder / "3.bin").string()}).exit, 0);
    EXPECT_EQ(rig.sim.Control({"report", "5", "0"}).out, "05 03 04\n");
    EXPECT_EQ(rig.Ctl({"import", "2", file}).exit, 0);
    // A keyboard busy for ever has not taken what it was sent either.
    ASSERT_EQ(rig.sim.Control({"fail", "busy", "on"}).exit, 0);
    active[2] = 3;
    WriteBytes(rig.folder / "3.bin", active);
    EXPECT_EQ(rig.Ctl({"send", "3", (rig.folder / "3.bin").string()}).exit, 1);
    ASSERT_EQ(rig.sim.Control({"fail", "busy", "off"}).exit, 0);
    active[2] = 0;
    std::ofstream(rig.folder / "3.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(active.data()), static_cast<std::streamsize>(active.size()));
    EXPECT_EQ(rig.Ctl({"send", "3", (rig.folder / "3.bin").string()}).exit, 0);
    EXPECT_EQ(monitor->Stop(), 0);
    const std::string log = ReadText(rig.folder / "monitor.log");
    EXPECT_GE(CountOf(log, "the keyboard did not take a report"), 1) << log;
    EXPECT_LE(CountOf(log, "the keyboard did not take a report"), 2) << log;
}

// Settings damaged by hand: a timer count far past the timers there are
// gives one line, not one per missing timer.
TEST(MonitorFaults, ADamagedTimerCountIsLoggedOnce) {
    MonitorRig rig;
    fs::create_directories(rig.folder / "home" / "Config");
    std::ofstream(rig.folder / "home" / "Config" / "Timer.ini") << "[Timer]\nCount=2147483647\n0=60,Tea\n";
    auto monitor = rig.StartMonitor();
    const auto dump = rig.DumpWhenReady();
    ASSERT_EQ(dump.exit, 0);
    EXPECT_EQ(monitor->Stop(), 0);
    const std::string log = ReadText(rig.folder / "monitor.log");
    EXPECT_LE(CountOf(log, "Timer.ini"), 2) << log.substr(0, 4000);
}

// A registry file with one byte changed in its key line keeps every value:
// the damaged file is kept beside, the log names it, and the Monitor goes on
// with what was there, not with a first start's defaults.
TEST(MonitorFaults, ADamagedRegistryKeepsTheUsersSettings) {
    MonitorRig rig;
    const auto registry = rig.folder / "home" / "registry.reg";
    {
        auto monitor = rig.StartMonitor();
        ASSERT_EQ(rig.DumpWhenReady().exit, 0);
        EXPECT_EQ(monitor->Stop(), 0);
    }
    std::string text = text::Utf16ToUtf8(text::DecodeTextFile(ReadText(registry)));
    const auto at = text.find("Kalvex");
    ASSERT_NE(at, std::string::npos);
    // A setting of the user's, then the damage.
    const auto level = text.find("\"Start Page\"=dword:");
    ASSERT_NE(level, std::string::npos) << text.substr(0, 2000);
    text.replace(level, std::strlen("\"Start Page\"=dword:00000000"), "\"Start Page\"=dword:00000003");
    text[at + 1] = 'Q';
    std::ofstream(registry, std::ios::binary) << text;
    fs::remove(rig.folder / "monitor.log");
    {
        auto monitor = rig.StartMonitor();
        ASSERT_EQ(rig.DumpWhenReady().exit, 0);
        // The first Config to come is told after its dump, once; the next is not.
        auto told = [](std::chrono::milliseconds wait) {
            LinkClient client{std::string(link::kLinkWindowTitle)};
            std::vector<LinkEvent> events;
            if (!client.Create() || !client.Dump(events, std::chrono::seconds(30))) return false;
            return client.Pump(wait, [](const LinkEvent&) {}, [](const LinkEvent& e) {
                return e.notice && e.code == link::notice::kSettingsDamaged;
            });
        };
        EXPECT_TRUE(told(std::chrono::seconds(20)));
        EXPECT_FALSE(told(std::chrono::milliseconds(1500)));
        EXPECT_EQ(monitor->Stop(), 0);
    }
    const std::string log = ReadText(rig.folder / "monitor.log");
    EXPECT_NE(log.find("warning registry: the settings file " + registry.string() + " is damaged"),
              std::string::npos)
        << log.substr(0, 3000);
    int kept = 0;
    for (const auto& e : fs::directory_iterator(rig.folder / "home"))
        if (e.path().filename().string().rfind("registry.reg.damaged-", 0) == 0) {
            ++kept;
            EXPECT_EQ(ReadText(e.path()), text);
        }
    EXPECT_EQ(kept, 1);
    EXPECT_NE(text::Utf16ToUtf8(text::DecodeTextFile(ReadText(registry)))
                  .find("\"Start Page\"=dword:00000003"),
              std::string::npos);
}


int DescriptorsOf(pid_t pid) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) ++n;
    return n;
}

long ResidentKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Every settings file the Monitor keeps reads whole: the registry undamaged
// with its key, each private-profile file with every entry its count names.
void ExpectSettingsWhole(const fs::path& home, const std::string& when) {
    const auto registry = home / "registry.reg";
    if (fs::exists(registry)) {
        const auto contents = platform::ParseRegFile(ReadText(registry), platform::kVyreLumoKeyPath);
        EXPECT_FALSE(contents.damaged) << when;
        EXPECT_TRUE(contents.keyFound) << when;
    }
    for (const auto& e : fs::directory_iterator(home)) {
        const std::string name = e.path().filename().string();
        EXPECT_EQ(name.find(".damaged-"), std::string::npos) << when << ": " << name;
    }
    const auto timers = home / "Config" / "Timer.ini";
    if (fs::exists(timers)) {
        const auto ini = platform::ProfileFile::Parse(ReadText(timers));
        const int count = std::stoi(ini.Get("Timer", "Count").value_or("0"));
        for (int i = 0; i < count; ++i) EXPECT_TRUE(ini.Get("Timer", std::to_string(i))) << when << ": timer " << i;
    }
}

// A Monitor killed at any point of its settings writes (registry, timer
// list, macro libraries, light macro blocks, all written by one full upload
// and a timer command) leaves each file whole, holding the old or the new
// values; the next Monitor starts from them.
TEST(MonitorFaults, AMonitorKilledDuringItsSettingsWritesLeavesEveryFileWhole) {
    MonitorRig rig;
    const auto dir = rig.folder / "dump";
    const auto home = rig.folder / "home";
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % 120;
    };
    std::u16string before, attempted;  // the name at the start of the last round, the one it sent
    for (int round = 0; round < 12; ++round) {
        auto monitor = rig.StartMonitor();
        ASSERT_EQ(rig.DumpWhenReady({"--dir", dir.string()}).exit, 0) << round;
        // The killed round's name came through whole, or the one before it stayed.
        auto host = ReadFile(dir / "12.bin");
        ASSERT_EQ(host.size(), sizeof(HostSettingsBlock));
        HostSettingsBlock block;
        std::memcpy(static_cast<void*>(&block), host.data(), sizeof block);
        const std::u16string now = block.profileHostRecords[0].name.str();
        if (round > 0) {
            EXPECT_TRUE(now == before || now == attempted) << round;
        }
        before = now;
        attempted = u"Round " + std::u16string(1, static_cast<char16_t>(u'a' + round));
        block.profileHostRecords[0].name.set(attempted.c_str());
        std::memcpy(host.data(), &block, sizeof block);
        WriteBytes(dir / "12.bin", host);
        auto lights = ReadFile(dir / "33.bin");
        if (lights.size() > 64) lights[40 + round % 16] ^= 0x01;
        WriteBytes(dir / "33.bin", lights);
        HIDMSG::_STimerSettingData timer;
        std::memset(static_cast<void*>(&timer), 0, sizeof timer);
        timer.name.set("Tea");
        timer.seconds = 60 + round;
        std::ofstream(rig.folder / "timer.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(&timer), sizeof timer);

        const pid_t upload = testing::Spawn({testing::Program("vyre-lumo-ctl"), "upload", dir.string()}, -1);
        const pid_t add = testing::Spawn(
            {testing::Program("vyre-lumo-ctl"), "send", "19", (rig.folder / "timer.bin").string()}, -1);
        std::this_thread::sleep_for(std::chrono::milliseconds(next()));
        ::kill(monitor->pid(), SIGKILL);
        monitor->Wait(std::chrono::seconds(10));
        // Both clients notice that the Monitor went and end by themselves.
        EXPECT_NE(testing::WaitExit(upload), -1) << round;
        EXPECT_NE(testing::WaitExit(add), -1) << round;
        ExpectSettingsWhole(home, "round " + std::to_string(round));
        if (::testing::Test::HasFailure()) break;
    }
}

// A client waiting for the Monitor to confirm its command ends with a
// failure when the Monitor dies under it, rather than waiting out its bound.
TEST(MonitorFaults, AClientWhoseMonitorIsKilledEndsWithAFailure) {
    MonitorRig rig;
    auto monitor = rig.StartMonitor();
    auto active = DumpedBlock(rig, 3);
    ASSERT_EQ(active.size(), 3u);
    active[2] = 2;
    WriteBytes(rig.folder / "3.bin", active);
    ASSERT_EQ(rig.sim.Control({"fail", "busy", "on"}).exit, 0);  // the command takes long
    const pid_t send = testing::Spawn(
        {testing::Program("vyre-lumo-ctl"), "send", "3", (rig.folder / "3.bin").string()}, -1);
    const pid_t stopped = testing::Spawn(
        {testing::Program("vyre-lumo-ctl"), "send", "3", (rig.folder / "3.bin").string()}, -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    // SIGTERM ends a waiting client at once.
    ::kill(stopped, SIGTERM);
    EXPECT_EQ(testing::WaitExit(stopped, std::chrono::seconds(20)), 128 + SIGTERM);
    ::kill(monitor->pid(), SIGKILL);
    monitor->Wait(std::chrono::seconds(10));
    EXPECT_EQ(testing::WaitExit(send, std::chrono::seconds(40)), 1);
}

// Import takes profile files only: whatever else it is given ends it with a
// message and status 1, at once, before anything reaches the Monitor.
TEST(MonitorFaults, ImportRefusesWhatIsNoProfileFile) {
    MonitorRig rig;
    auto monitor = rig.StartMonitor();
    ASSERT_EQ(rig.DumpWhenReady().exit, 0);
    const fs::path fifo = rig.folder / "fifo.kkp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(rig.folder / "text.kkp") << "root:x:0:0:root:/root:/bin/bash\n";
    std::vector<std::uint8_t> noise(kProfileFileSize);
    std::uint32_t x = 7;
    for (auto& b : noise) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 16);
    WriteBytes(rig.folder / "noise.kkp", noise);
    for (const fs::path& file : {fifo, fs::path("/dev/zero"), rig.folder / "text.kkp", rig.folder.path(),
                                 rig.folder / "noise.kkp"}) {
        EXPECT_EQ(rig.Ctl({"import", "1", file.string()}).exit, 1) << file;
    }
    EXPECT_TRUE(monitor->Running());
}

// 200 unplug and plug cycles, with the keyboard going while it is read back
// and while a full upload is under way, end with the Monitor connected and
// answering, without descriptors or memory piling up.
TEST(MonitorFaults, PlugStormsDuringReadBackAndUploadLeaveTheMonitorWhole) {
    MonitorRig rig;
    // AddressSanitizer keeps freed memory aside (256 MiB by default): with
    // little kept aside, what the Monitor holds shows in its resident size.
    const char* asan = std::getenv("ASAN_OPTIONS");
    testing::ScopedEnv quarantine("ASAN_OPTIONS", std::string(asan ? asan : "") +
                                                      ":quarantine_size_mb=4:thread_local_quarantine_size_kb=64");
    auto monitor = rig.StartMonitor();
    const auto dir = rig.folder / "dump";
    ASSERT_EQ(rig.DumpWhenReady({"--dir", dir.string()}).exit, 0);
    const pid_t pid = monitor->pid();
    const int fdsBefore = DescriptorsOf(pid);
    const long rssBefore = ResidentKib(pid);
    // Full uploads one after the other throughout the storm.
    pid_t upload = -1;
    int uploads = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
        if (upload <= 0 || ::waitpid(upload, nullptr, WNOHANG) == upload) {
            upload = testing::Spawn({testing::Program("vyre-lumo-ctl"), "upload", dir.string()}, -1);
            ++uploads;
        }
        ASSERT_EQ(rig.sim.Control({"unplug"}).exit, 0);
        // The next plug lands while the Monitor reads the keyboard back.
        ASSERT_EQ(rig.sim.Control({"plug"}).exit, 0);
    }
    if (upload > 0) testing::WaitExit(upload);
    EXPECT_GT(uploads, 1);
    const auto dump = rig.DumpWhenReady({"--dir", (rig.folder / "after").string()});
    EXPECT_EQ(dump.exit, 0);
    EXPECT_NE(dump.out.find("notice 43"), std::string::npos) << dump.out;
    // The store is what was uploaded: the host settings came through whole.
    EXPECT_EQ(ReadFile(rig.folder / "after" / "12.bin"), ReadFile(dir / "12.bin"));
    EXPECT_TRUE(monitor->Running());
    EXPECT_LE(DescriptorsOf(pid), fdsBefore + 8);
    EXPECT_LT(ResidentKib(pid) - rssBefore, 64 * 1024);
    ExpectSettingsWhole(rig.folder / "home", "after the storm");
}

// A Config that dies in the middle of a full upload leaves a Monitor that
// serves the next one.
TEST(MonitorFaults, AConfigKilledDuringAFullUploadLeavesTheMonitorServing) {
    MonitorRig rig;
    auto monitor = rig.StartMonitor();
    const auto dir = rig.folder / "dump";
    ASSERT_EQ(rig.DumpWhenReady({"--dir", dir.string()}).exit, 0);
    for (int round = 0; round < 10; ++round) {
        const pid_t upload = testing::Spawn({testing::Program("vyre-lumo-ctl"), "upload", dir.string()}, -1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + 15 * round));
        ::kill(upload, SIGKILL);
        testing::WaitExit(upload);
    }
    const auto dump = rig.DumpWhenReady({"--dir", (rig.folder / "after").string()});
    EXPECT_EQ(dump.exit, 0);
    EXPECT_EQ(ReadFile(rig.folder / "after" / "12.bin"), ReadFile(dir / "12.bin"));
    EXPECT_EQ(rig.Ctl({"upload", dir.string()}).exit, 0);
    EXPECT_TRUE(monitor->Running());
}

}  // namespace
}  // namespace vyre
