// vyre-lumo-ctl: talks to a running Monitor over the program link.

#include <unistd.h>

#include <csignal>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/link_codes.h"
#include "common/profile_file.h"
#include "common/store_blocks.h"
#include "common/version.h"
#include "platform/atomic_file.h"
#include "platform/read_file.h"
#include "platform/log_file.h"
#include "platform/system_info.h"
#include "tools/doctor.h"
#include "tools/link_client.h"
#include "tools/report.h"

namespace {

using namespace vyre;

const char kUsage[] =
    "usage: vyre-lumo-ctl COMMAND ...\n"
    "  dump [--dir DIR]          the registration dump: one line \"CODE SIZE\" per\n"
    "                            notification, then \"notice 43\" (or just 15 / 16);\n"
    "                            with --dir each block or list goes to DIR/CODE.bin\n"
    "  send CODE FILE            one command with the file's bytes as payload\n"
    "  request CODE [LPARAM]     one request; LPARAM \"self\" is this program's window,\n"
    "                            whose answers are then printed as by watch\n"
    "  upload DIR                the full upload (16 commands) from a dump folder\n"
    "  watch [--seconds N]       print notifications (\"CODE SIZE\") and notices\n"
    "                            (\"notice CODE LPARAM\") sent to the Config's link window\n"
    "  export PROFILE FILE       write profile 1..5 of the Monitor to a profile file (.kkp)\n"
    "  import PROFILE FILE       read a profile file into profile 1..5 and send it to the\n"
    "                            Monitor as the Config's OK does\n"
    "  report FILE [--with-paths]\n"
    "                            one archive (tar) for a bug report: versions, system,\n"
    "                            keyboard, the Monitor's last log lines and its dump;\n"
    "                            the user's program paths and names only with\n"
    "                            --with-paths; with the output of doctor\n"
    "  doctor                    check this machine without a Monitor: the keyboard's\n"
    "                            nodes and who may open them, the udev rule, the\n"
    "                            Monitor, the session and the tray; each problem with\n"
    "                            the command that fixes it; status 1 when one blocks\n"
    "  --help | --version\n"
    "Numbers are decimal or 0x-hex. Exit status 0 on success, 1 on failure, 2 on\n"
    "wrong arguments.\n";

constexpr auto kDumpTimeout = std::chrono::seconds(60);
constexpr auto kSelfAnswerTimeout = std::chrono::seconds(5);

std::atomic<bool> g_stop{false};
volatile std::sig_atomic_t g_endAtOnce = 0;

int Usage(const std::string& message) {
    std::fprintf(stderr, "vyre-lumo-ctl: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "vyre-lumo-ctl: %s\n", message.c_str());
    return 1;
}

bool ParseNumber(const std::string& text, long long* value) {
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0') return false;
    *value = v;
    return true;
}

void Print(const LinkEvent& e) {
    if (e.notice) {
        std::printf("notice %u %lld\n", e.code, static_cast<long long>(e.lParam));
    } else {
        std::printf("%u %zu\n", e.code, e.data.size());
    }
    std::fflush(stdout);
}

// No command takes more than the largest block; a file far larger is none of them.
constexpr std::uint64_t kCommandFileLimit = 16u << 20;

// A regular file's bytes; false, with the reason in *why, for anything else.
bool ReadFile(const std::filesystem::path& file, std::vector<std::uint8_t>& bytes, std::string* why) {
    platform::FileRefusal refusal;
    const auto data = platform::ReadRegularFile(file, kCommandFileLimit, &refusal);
    if (!data) {
        *why = "cannot read " + file.string() + ": " + platform::FileRefusalText(refusal);
        return false;
    }
    bytes.assign(data->begin(), data->end());
    return true;
}

// Files written here hold the user's settings: the user's alone (0600), as
// the settings are; a file that exists keeps its mode.
bool WriteFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    return platform::WriteFileAtomically(
        file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

constexpr int kNoMonitor = 1;

bool MonitorRuns() {
    if (LinkClient::FindMonitor() != 0) return true;
    std::fprintf(stderr, "vyre-lumo-ctl: no Monitor is running\n");
    return false;
}

int Dump(LinkClient& client, const std::vector<std::string>& args) {
    std::filesystem::path dir;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--dir" && i + 1 < args.size()) {
            dir = args[++i];
        } else {
            return Usage("dump takes only --dir DIR");
        }
    }
    if (!MonitorRuns()) return kNoMonitor;
    if (!dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) return Fail("cannot create " + dir.string() + ": " + ec.message());
    }
    std::vector<LinkEvent> events;
    const bool complete = client.Dump(events, kDumpTimeout);
    for (const LinkEvent& e : events) {
        if (e.notice) {
            std::printf("notice %u\n", e.code);
        } else if (e.code == link::notification::kNoKeyboard ||
                   e.code == link::notification::kNotReady) {
            std::printf("%u\n", e.code);
        } else {
            std::printf("%u %zu\n", e.code, e.data.size());
            if (!dir.empty() && !WriteFile(dir / (std::to_string(e.code) + ".bin"), e.data)) {
                return Fail("cannot write into " + dir.string());
            }
        }
    }
    std::fflush(stdout);
    if (!complete)
        return Fail(client.monitorGone() ? "the Monitor ended before the dump was complete"
                                         : "the dump did not complete in time");
    return 0;
}

// Waits until the Monitor has handled the commands sent before (it answers a
// dump only after them) and says which of them the keyboard did not take.
// 0 when every one reached it, 1 otherwise.
int ConfirmWritten(LinkClient& client) {
    std::vector<LinkEvent> events;
    if (!client.Dump(events, kDumpTimeout))
        return Fail(client.monitorGone() ? "the Monitor ended before it confirmed the commands"
                                         : "the Monitor did not confirm the commands");
    int status = 0;
    for (const LinkEvent& e : events) {
        if (!e.notice || e.code != link::notice::kNotWritten) continue;
        std::fprintf(stderr, "vyre-lumo-ctl: the keyboard did not take command %ld\n", static_cast<long>(e.lParam));
        status = 1;
    }
    return status;
}

int Send(LinkClient& client, const std::vector<std::string>& args) {
    long long code = 0;
    if (args.size() != 2 || !ParseNumber(args[0], &code) || code < 0 || code > 0xFFFF) {
        return Usage("send takes CODE FILE");
    }
    std::vector<std::uint8_t> bytes;
    if (std::string why; !ReadFile(args[1], bytes, &why)) return Fail(why);
    if (!MonitorRuns()) return kNoMonitor;
    if (!client.SendCommand(static_cast<std::uint16_t>(code), bytes))
        return Fail("the Monitor did not take the command");
    return ConfirmWritten(client);
}

int Request(LinkClient& client, const std::vector<std::string>& args) {
    long long code = 0, lParam = 0;
    bool self = false;
    if (args.empty() || args.size() > 2 || !ParseNumber(args[0], &code) || code < 0) {
        return Usage("request takes CODE [LPARAM]");
    }
    if (args.size() == 2) {
        if (args[1] == "self") {
            self = true;
            lParam = client.hwnd();
        } else if (!ParseNumber(args[1], &lParam)) {
            return Usage("LPARAM is a number or \"self\"");
        }
    }
    if (!MonitorRuns()) return kNoMonitor;
    if (!client.PostRequest(static_cast<unsigned>(code), static_cast<win::LPARAM>(lParam))) {
        return Fail("the request could not be posted");
    }
    if (self) client.Pump(kSelfAnswerTimeout, Print, EndsDump);
    return 0;
}

int Upload(LinkClient& client, const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("upload takes DIR");
    const std::filesystem::path dir = args[0];
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::uint16_t code : link::kFullUploadOrder) {
        std::vector<std::uint8_t> bytes;
        const auto file = dir / (std::to_string(code) + ".bin");
        if (std::string why; !ReadFile(file, bytes, &why)) return Fail(why);
        if (bytes.size() != link::BlockSize(code)) {
            return Fail(file.string() + " holds " + std::to_string(bytes.size()) +
                        " bytes; block " + std::to_string(code) + " takes " +
                        std::to_string(link::BlockSize(code)));
        }
        blocks.push_back(std::move(bytes));
    }
    if (!MonitorRuns()) return kNoMonitor;
    std::size_t i = 0;
    for (std::uint16_t code : link::kFullUploadOrder) {
        if (!client.SendCommand(code, blocks[i++])) {
            return Fail("the Monitor did not take command " + std::to_string(code));
        }
    }
    return ConfirmWritten(client);
}

// The Monitor's store as its registration dump gives it.
bool DumpStore(LinkClient& client, ProfileStore& store) {
    std::vector<LinkEvent> events;
    if (!client.Dump(events, kDumpTimeout)) return false;
    for (const LinkEvent& e : events) {
        if (e.notice) continue;
        if (e.code == link::notification::kNoKeyboard || e.code == link::notification::kNotReady) {
            std::fprintf(stderr, "vyre-lumo-ctl: the Monitor has %s\n",
                         e.code == link::notification::kNoKeyboard ? "no keyboard" : "not read the keyboard yet");
            return false;
        }
        const auto block = StoreBlock(store, static_cast<std::uint16_t>(e.code));
        if (!block.empty() && block.size() == e.data.size()) std::memcpy(block.data(), e.data.data(), e.data.size());
    }
    return true;
}

int ProfileFileCommand(LinkClient& client, const std::vector<std::string>& args, bool import) {
    long long profile = 0;
    if (args.size() != 2 || !ParseNumber(args[0], &profile) || profile < 1 || profile > 5) {
        return Usage(std::string(import ? "import" : "export") + " takes PROFILE (1..5) and FILE");
    }
    // The file is read and checked before anything goes to the Monitor.
    std::optional<std::string> file;
    if (import) {
        platform::FileRefusal refusal;
        file = platform::ReadRegularFile(args[1], kProfileFileReadLimit, &refusal);
        if (!file) return Fail("cannot read " + args[1] + ": " + platform::FileRefusalText(refusal));
        const std::string problem = ProfileFileProblem(AsBytes(*file));
        if (!problem.empty()) return Fail(args[1] + " is not a profile file: " + problem);
    }
    if (!MonitorRuns()) return kNoMonitor;
    auto store = NewProfileStore();
    if (!DumpStore(client, *store)) return Fail("the Monitor's settings could not be read");
    const int p = static_cast<int>(profile - 1);
    if (!import) {
        const auto bytes = WriteProfileFile(*store, p);
        if (!WriteFile(args[1], bytes)) return Fail("cannot write " + args[1]);
        return 0;
    }
    std::string why;
    if (!LoadProfileFile(AsBytes(*file), *store, p, &why)) return Fail(args[1] + " is not a profile file: " + why);
    for (std::uint16_t code : link::kFullUploadOrder) {
        if (!client.SendCommand(code, StoreBlock(*store, code))) {
            return Fail("the Monitor did not take command " + std::to_string(code));
        }
    }
    return ConfirmWritten(client);
}

constexpr std::size_t kReportLogLines = 500;

int Report(LinkClient& client, const std::vector<std::string>& args) {
    bugreport::Inputs in;
    std::string file;
    for (const std::string& a : args) {
        if (a == "--with-paths") {
            in.withPaths = true;
        } else if (file.empty() && !a.empty() && a[0] != '-') {
            file = a;
        } else {
            return Usage("report takes FILE [--with-paths]");
        }
    }
    if (file.empty()) return Usage("report takes FILE [--with-paths]");
    // A report is worth having without a Monitor too: it then says so.
    in.monitorFound = LinkClient::FindMonitor() != 0;
    if (in.monitorFound) in.dumpComplete = client.Dump(in.dump, kDumpTimeout);
    in.logLines = platform::LastLogLines(platform::LogFile(), kReportLogLines);
    in.systemFacts = platform::SystemFacts();
    in.doctor = doctor::Examine(doctor::Gather(client)).text;
    const std::string archive = bugreport::TarArchive(bugreport::BuildReport(in), std::time(nullptr));
    if (!WriteFile(file, std::vector<std::uint8_t>(archive.begin(), archive.end()))) {
        return Fail("cannot write " + file);
    }
    std::printf("wrote %s%s%s\n", file.c_str(), in.monitorFound ? "" : " (no Monitor is running)",
                in.withPaths ? " with program paths" : "");
    return 0;
}

int Doctor(LinkClient& client, const std::vector<std::string>& args) {
    if (!args.empty()) return Usage("doctor takes no arguments");
    const doctor::Verdict verdict = doctor::Examine(doctor::Gather(client));
    std::fputs(verdict.text.c_str(), stdout);
    return verdict.blocked ? 1 : 0;
}

int Watch(LinkClient& client, const std::vector<std::string>& args) {
    long long seconds = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size() && ParseNumber(args[i + 1], &seconds) &&
            seconds >= 0) {
            ++i;
        } else {
            return Usage("watch takes only --seconds N");
        }
    }
    const auto end = seconds < 0 ? std::chrono::steady_clock::time_point::max()
                                 : std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!g_stop.load() && std::chrono::steady_clock::now() < end) {
        client.Pump(std::chrono::milliseconds(200), Print, nullptr);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::fputs(VersionLine("vyre-lumo-ctl").c_str(), stdout);
        return 0;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command != "dump" && command != "send" && command != "request" && command != "upload" &&
        command != "watch" && command != "export" && command != "import" &&
        command != "report" && command != "doctor") {
        return Usage("unknown command " + command);
    }
    // SIGINT and SIGTERM end watch at its next look; every other command at
    // once, whatever it waits for.
    g_endAtOnce = command != "watch";
    for (int sig : {SIGINT, SIGTERM}) {
        std::signal(sig, [](int s) {
            if (g_endAtOnce) ::_exit(128 + s);
            g_stop = true;
        });
    }
    LinkClient client(command == "watch" ? std::string(link::kLinkWindowTitle)
                                         : std::string("vyre-lumo-ctl"));
    if (!client.Create()) return Fail("cannot create the link window");
    if (command == "dump") return Dump(client, args);
    if (command == "send") return Send(client, args);
    if (command == "request") return Request(client, args);
    if (command == "upload") return Upload(client, args);
    if (command == "export") return ProfileFileCommand(client, args, false);
    if (command == "import") return ProfileFileCommand(client, args, true);
    if (command == "report") return Report(client, args);
    if (command == "doctor") return Doctor(client, args);
    return Watch(client, args);
}
