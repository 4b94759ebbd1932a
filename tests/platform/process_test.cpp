#include "platform/process.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/platform/temp_dir.h"

namespace vyre::process {
namespace {

using vyre::testing::TempDir;

// Waits (with an end) until `path` exists with some content.
std::string WaitForFile(const std::filesystem::path& path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        if (!s.str().empty() && s.str().back() == '\n') return s.str();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

TEST(Process, StartsInTheWorkingFolderWithItsArguments) {
    TempDir dir;
    auto result =
        Start({"/bin/sh", "-c",
               "pwd > out.txt.tmp && echo \"$1\" >> out.txt.tmp && mv out.txt.tmp out.txt", "sh",
               "two words"},
              dir.path());
    ASSERT_TRUE(result) << result.what << ": " << result.error.message();
    EXPECT_GT(result.pid, 0);
    std::string out = WaitForFile(dir / "out.txt");
    EXPECT_EQ(out, std::filesystem::canonical(dir.path()).string() + "\ntwo words\n");
    // The program is not our child: nothing is left for us to reap.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(Process, FailuresToStartAreReported) {
    TempDir dir;
    auto missing = Start({(dir / "no-such-program").string()});
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.error, std::errc::no_such_file_or_directory);

    auto notOnPath = Start({"vyre-lumo-no-such-program-anywhere"});
    EXPECT_FALSE(notOnPath);
    EXPECT_EQ(notOnPath.what, "not found");

    // A file that exists but cannot be executed fails in exec.
    auto script = dir / "not-a-program";
    std::ofstream(script) << "\x7F"
                             "ELF garbage";
    ::chmod(script.c_str(), 0755);
    auto bad = Start({script.string()});
    EXPECT_FALSE(bad);
    EXPECT_EQ(bad.what, "exec");
    EXPECT_EQ(bad.error, std::errc::executable_format_error);

    auto badFolder = Start({"/bin/true"}, dir / "missing-folder");
    EXPECT_FALSE(badFolder);
    EXPECT_EQ(badFolder.what, "chdir");
    EXPECT_EQ(badFolder.error, std::errc::no_such_file_or_directory);

    EXPECT_FALSE(Start({}));
    EXPECT_FALSE(StartCommandLine("   "));
    // No child is left behind by any of the failures.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(Process, AProgramOfTheSystemThatIsNotInstalledIsSaidSo) {
    // No firmware updater beside the test programs.
    const auto started = StartOwnProgram("FWupdate\\Vyre Lumo FW Update.exe");
    EXPECT_FALSE(started.started);
    EXPECT_EQ(started.what.rfind("not installed", 0), 0u) << started.what;
    EXPECT_NE(started.what.find("FWupdate"), std::string::npos) << started.what;
}

TEST(Process, CommandLinesSplitAsOnWindows) {
    EXPECT_EQ(SplitCommandLine(R"(prog a "b c" d)"),
              (std::vector<std::string>{"prog", "a", "b c", "d"}));
    EXPECT_EQ(SplitCommandLine(R"(a\\b "c\"d" e\\\"f g\\"h i")"),
              (std::vector<std::string>{R"(a\\b)", R"(c"d)", R"(e\"f)", R"(g\h i)"}));
    EXPECT_EQ(SplitCommandLine(R"("" x)"), (std::vector<std::string>{"", "x"}));
    EXPECT_TRUE(SplitCommandLine(" \t ").empty());
}

TEST(Process, CommandLineNamingAFileWithBlanksNeedsNoQuotes) {
    TempDir dir;
    auto program = dir / "my tool.sh";
    std::ofstream(program)
        << "#!/bin/sh\necho started > started.txt.tmp && mv started.txt.tmp started.txt\n";
    ::chmod(program.c_str(), 0755);
    auto result = StartCommandLine(program.string(), dir.path());
    ASSERT_TRUE(result) << result.what;
    EXPECT_EQ(WaitForFile(dir / "started.txt"), "started\n");
}

TEST(Process, OwnProgramAndProcessList) {
    auto own = OwnExecutable();
    ASSERT_FALSE(own.empty());
    EXPECT_TRUE(std::filesystem::exists(own));
    EXPECT_EQ(OwnFolder(), own.parent_path());
    EXPECT_EQ(ExecutableOf(::getpid()), own);
    EXPECT_TRUE(ExecutableOf(-5).empty());

    bool foundSelf = false;
    for (const auto& entry : ListProcesses()) {
        if (entry.pid == ::getpid()) foundSelf = entry.executable == own;
    }
    EXPECT_TRUE(foundSelf);
}

TEST(Process, StartedProgramIsListedWithItsPath) {
    auto result = Start({"/bin/sleep", "30"});
    ASSERT_TRUE(result);
    auto real = std::filesystem::canonical("/bin/sleep");
    bool found = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!found && std::chrono::steady_clock::now() < deadline) {
        found = ExecutableOf(result.pid) == real;
        if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(found);
    ::kill(result.pid, SIGTERM);
}

}  // namespace
}  // namespace vyre::process
