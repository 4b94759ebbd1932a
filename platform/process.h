#pragma once
// Starting programs and looking at running processes.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vyre::process {

struct StartResult {
    bool started = false;
    std::error_code error;  // why the start failed (e.g. no such file, not executable)
    std::string what;       // the step that failed: "not found", "chdir", "exec", "fork"
    pid_t pid = 0;          // the started process (not a child of the caller)
    explicit operator bool() const { return started; }
};

// Starts argv[0] with the arguments argv in `workingFolder` (the caller's
// current folder when empty) and returns without waiting for it. argv[0]
// without a slash is looked up in PATH. The program is started as a grandchild
// so that no zombie is left behind; its failure to start (missing file, no
// permission, bad folder) is reported, not just a failure to fork.
StartResult Start(const std::vector<std::string>& argv,
                  const std::filesystem::path& workingFolder = {});

// A program name as a start finds it: a name without a slash looked up in
// PATH (empty when no executable file has it), any other returned as it is.
std::string FindProgram(const std::string& name);

// Splits a command line with the rules Windows programs use: blanks separate
// arguments, double quotes group, 2n backslashes before a quote give n
// backslashes, 2n+1 give n and a literal quote, other backslashes are kept.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Starts a command line as CreateProcess with no application name would: when
// the whole line names an existing file it is the program (paths with blanks
// need no quotes), otherwise the line is split as above.
StartResult StartCommandLine(std::string_view commandLine,
                             const std::filesystem::path& workingFolder = {});

// Starts one of the system's own programs by its Windows name ("Vyre Lumo
// Config.exe", "FWupdate\Vyre Lumo FW Update.exe"; see paths::ProgramPath)
// from the running program's folder, in that folder. While the action record
// is active the start is written there ("start <path>") instead.
StartResult StartOwnProgram(std::string_view windowsName);

// Starts a program a user assigned to something (a key, a media player):
// the command line as StartCommandLine takes it, in `workingFolder`. While
// the action record is active the start is written there ("launch <command
// line>") instead.
StartResult Launch(std::string_view commandLine, const std::filesystem::path& workingFolder);

// The running program's file and its folder (from /proc/self/exe).
std::filesystem::path OwnExecutable();
std::filesystem::path OwnFolder();

struct ProcessEntry {
    pid_t pid = 0;
    std::filesystem::path executable;  // empty when it cannot be read (other users' processes)
};

// Every process the system lists under /proc.
std::vector<ProcessEntry> ListProcesses();
// The executable of one process; empty when unknown or not accessible.
std::filesystem::path ExecutableOf(pid_t pid);

}  // namespace vyre::process
