// vyre-lumo-sim: runs an emulated keyboard on a Unix socket, or controls one
// that runs.

#include <signal.h>
#include <time.h>

#include <pthread.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/key_table.h"
#include "common/version.h"
#include "platform/hid/select.h"
#include "platform/hid/sim_wire.h"
#include "platform/runtime_folder.h"
#include "sim/keyboard.h"
#include "sim/server.h"

namespace {

using namespace vyre;
using hid::wire::Op;
using hid::wire::Status;

constexpr int kExitFailed = 1;      // the emulator refused or failed
constexpr int kExitUsage = 2;       // bad arguments
constexpr int kExitNoEmulator = 3;  // nothing listens on the socket

const char kUsage[] =
    "usage:\n"
    "  vyre-lumo-sim [--model A|B] [--firmware N] [--firmware2 N] [--layout N]\n"
    "                [--busy-polls N] [--state FILE] [--trace FILE] [--socket PATH]\n"
    "                [--vid N] [--pid N] [--order LIST] [--version-zero N] [--unplugged]\n"
    "      runs the emulator until SIGTERM or SIGINT (state saved on the way out).\n"
    "      LIST orders the interfaces (default event,feature,other: the host reads\n"
    "      events only from an event interface listed before the feature one);\n"
    "      --version-zero N answers the first N reads of report 0x0F with\n"
    "      firmware version 0.\n"
    "  vyre-lumo-sim --help | --version\n"
    "  vyre-lumo-sim [--socket PATH] COMMAND   controls a running emulator:\n"
    "      plug | unplug\n"
    "      fail write|read|busy|version on|off\n"
    "      event INDEX TYPE DATA ACTION         DATA may be a KEY (the ripple's start)\n"
    "      press KEY [LAYER]                    the key pressed on layer 0 or 1: a macro\n"
    "                                           on it plays (a PLAY line in the trace)\n"
    "      report ID [PROFILE [SLOT|LAYER]]     prints the stored image as hex\n"
    "      set ID PROFILE [SLOT|LAYER] HEX      replaces it\n"
    "      counters\n"
    "  Numbers are decimal or 0x-hex. For report 0x17 LAYER is mode * 11 + layer,\n"
    "  or the request code 0xC0 + layer (mode 0) or 0xD0 + layer (mode 1).\n"
    "  KEY is a key index 0..122 or a key's name from the keyboard's key table, as\n"
    "  the Config's key assignment page shows it (case, blanks and underscores do\n"
    "  not matter: E, esc, backspace, shift_l, \"caps lock\", Thumb1..Thumb3).\n";

int Usage(const std::string& message) {
    std::cerr << "vyre-lumo-sim: " << message << "\n" << kUsage;
    return kExitUsage;
}

std::optional<long> Number(const std::string& text, long lo, long hi) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    const long v = std::strtol(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno || !end || *end || end == text.c_str() + (hex ? 2 : 0) || v < lo || v > hi) {
        return std::nullopt;
    }
    return v;
}

// A key index, or the key's name.
std::optional<long> Key(const std::string& text) {
    if (const auto index = Number(text, 0, kKeyCount - 1)) return index;
    if (const auto index = KeyIndexOfName(text)) return *index;
    return std::nullopt;
}

// --- control --------------------------------------------------------------

int Call(const std::string& socket, const hid::wire::Writer& request,
         std::vector<std::uint8_t>& reply) {
    if (!hid::wire::Call(socket, request.bytes(), reply, 5000)) {
        std::cerr << "vyre-lumo-sim: no emulator running on " << socket << "\n";
        return kExitNoEmulator;
    }
    if (reply.empty() || reply[0] != static_cast<std::uint8_t>(Status::Ok)) {
        const int s = reply.empty() ? -1 : reply[0];
        std::cerr << "vyre-lumo-sim: the emulator refused the command"
                  << (s == static_cast<int>(Status::Gone) ? " (the keyboard is unplugged)" : "")
                  << (s == static_cast<int>(Status::BadRequest) ? " (no such report or length)"
                                                                 : "")
                  << "\n";
        return kExitFailed;
    }
    return 0;
}

std::optional<int> ReportIndex(long id, const std::string& text) {
    const auto v = Number(text, 0, 0xFF);
    if (!v) return std::nullopt;
    if (id == 0x17 && *v >= 0xC0 && *v <= 0xCA) return static_cast<int>(*v - 0xC0);
    if (id == 0x17 && *v >= 0xD0 && *v <= 0xDA) return static_cast<int>(11 + *v - 0xD0);
    return static_cast<int>(*v);
}

int Control(const std::string& socket, const std::vector<std::string>& a) {
    const std::string& cmd = a[0];
    hid::wire::Writer w;
    std::vector<std::uint8_t> reply;
    if ((cmd == "plug" || cmd == "unplug" || cmd == "counters") && a.size() == 1) {
        w.U8(static_cast<std::uint8_t>(cmd == "plug"     ? Op::Plug
                                       : cmd == "unplug" ? Op::Unplug
                                                         : Op::Counters));
        const int rc = Call(socket, w, reply);
        if (rc == 0 && cmd == "counters") {
            hid::wire::Reader r(reply);
            std::uint8_t status;
            std::uint32_t n = 0;
            r.U8(status);
            r.U32(n);
            for (std::uint32_t i = 0; i < n && r.ok(); ++i) {
                std::string name;
                std::uint64_t value = 0;
                if (r.Str(name) && r.U64(value)) std::cout << name << " " << value << "\n";
            }
        }
        return rc;
    }
    if (cmd == "fail") {
        if (a.size() != 3 || (a[2] != "on" && a[2] != "off")) {
            return Usage("fail needs write|read|busy|version and on|off");
        }
        hid::wire::FailWhat what;
        if (a[1] == "write") what = hid::wire::FailWhat::Write;
        else if (a[1] == "read") what = hid::wire::FailWhat::Read;
        else if (a[1] == "busy") what = hid::wire::FailWhat::Busy;
        else if (a[1] == "version") what = hid::wire::FailWhat::Version;
        else return Usage("fail: unknown mode \"" + a[1] + "\"");
        w.U8(static_cast<std::uint8_t>(Op::Fail));
        w.U8(static_cast<std::uint8_t>(what));
        w.U8(a[2] == "on" ? 1 : 0);
        return Call(socket, w, reply);
    }
    if (cmd == "event") {
        if (a.size() != 5) return Usage("event needs INDEX TYPE DATA ACTION");
        w.U8(static_cast<std::uint8_t>(Op::Event));
        for (int i = 1; i <= 4; ++i) {
            auto v = Number(a[i], 0, 0xFF);
            if (!v && i == 3) v = Key(a[i]);
            if (!v) return Usage("event: \"" + a[i] + "\" is not a byte value" + (i == 3 ? " or a key" : ""));
            w.U8(static_cast<std::uint8_t>(*v));
        }
        return Call(socket, w, reply);
    }
    if (cmd == "press") {
        if (a.size() < 2 || a.size() > 3) return Usage("press needs KEY [LAYER]");
        const auto key = Key(a[1]);
        const auto layer = a.size() > 2 ? Number(a[2], 0, 1) : std::optional<long>(0);
        if (!key || !layer) return Usage("press: a key index 0..122 or a key's name, and a layer 0 or 1");
        w.U8(static_cast<std::uint8_t>(Op::Press));
        w.U8(static_cast<std::uint8_t>(*key));
        w.U8(static_cast<std::uint8_t>(*layer));
        return Call(socket, w, reply);
    }
    if (cmd == "report" || cmd == "set") {
        const bool set = cmd == "set";
        const std::size_t fixed = set ? 4 : 2;  // set ID PROFILE HEX / report ID
        if (a.size() < fixed || a.size() > fixed + (set ? 1 : 2)) {
            return Usage(set ? "set needs ID PROFILE [SLOT|LAYER] HEX"
                             : "report needs ID [PROFILE [SLOT|LAYER]]");
        }
        const auto id = Number(a[1], 0, 0xFF);
        if (!id) return Usage("\"" + a[1] + "\" is not a report id");
        long profile = 0;
        int index = 0;
        if (a.size() > 2 && (!set || a.size() >= 4)) {
            const auto p = Number(a[2], 0, 4);
            if (!p) return Usage("\"" + a[2] + "\" is not a profile 0..4");
            profile = *p;
        }
        const std::size_t indexAt = 3;
        const bool hasIndex = set ? a.size() == 5 : a.size() == 4;
        if (hasIndex) {
            const auto ix = ReportIndex(*id, a[indexAt]);
            if (!ix) return Usage("\"" + a[indexAt] + "\" is not a slot or layer");
            index = *ix;
        }
        w.U8(static_cast<std::uint8_t>(set ? Op::ReportSet : Op::ReportGet));
        w.U8(static_cast<std::uint8_t>(*id));
        w.U8(static_cast<std::uint8_t>(profile));
        w.U16(static_cast<std::uint16_t>(index));
        if (set) {
            const auto bytes = sim::ParseHexBytes(a.back());
            if (!bytes || bytes->empty()) return Usage("set: HEX is not a list of hex bytes");
            w.Bytes(bytes->data(), bytes->size());
        }
        const int rc = Call(socket, w, reply);
        if (rc == 0 && !set) std::cout << sim::HexBytes(reply.data() + 1, reply.size() - 1) << "\n";
        return rc;
    }
    return Usage("unknown command \"" + cmd + "\"");
}

// --- run ------------------------------------------------------------------

int Run(const sim::KeyboardConfig& config, int versionZeroReads, const std::string& socket,
        const std::string& state, const std::string& trace) {
    // The signals that end the emulator are taken by sigtimedwait below, on
    // this thread only: block them before any thread starts.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);

    sim::Keyboard keyboard(config);
    keyboard.SetVersionZeroReads(versionZeroReads);
    std::string error;
    if (!state.empty()) {
        if (std::FILE* f = std::fopen(state.c_str(), "rb")) {
            std::fclose(f);
            if (!keyboard.LoadState(state, &error)) {
                std::cerr << "vyre-lumo-sim: " << error << "; starting from factory settings\n";
            }
        }
    }
    if (!trace.empty() && !keyboard.OpenTraceFile(trace, &error)) {
        std::cerr << "vyre-lumo-sim: " << error << "\n";
        return kExitFailed;
    }
    sim::Server server(keyboard);
    if (!server.Start(socket, &error)) {
        std::cerr << "vyre-lumo-sim: " << error << "\n";
        return kExitFailed;
    }
    std::cout << "vyre-lumo-sim: model " << (config.model == sim::Model::B ? "B" : "A")
              << " listening on " << socket << std::endl;

    std::uint64_t saved = keyboard.changeCount();
    auto save = [&] {
        if (state.empty()) return true;
        const std::uint64_t now = keyboard.changeCount();
        if (now == saved) return true;
        if (!keyboard.SaveState(state, &error)) {
            std::cerr << "vyre-lumo-sim: " << error << "\n";
            return false;
        }
        saved = now;
        return true;
    };
    // Without a state file on disk yet, write the starting memory once.
    if (!state.empty()) {
        if (std::FILE* f = std::fopen(state.c_str(), "rb")) {
            std::fclose(f);
        } else {
            saved = ~saved;
        }
    }
    for (;;) {
        const timespec second{1, 0};
        const int sig = sigtimedwait(&ending, nullptr, &second);
        if (sig > 0) break;
        save();  // at most once a second while the host writes
    }
    server.Stop();
    return save() ? 0 : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    sim::KeyboardConfig config;
    // Like the keyboards the host software is made for: events first.
    config.order = {sim::InterfaceKind::Event, sim::InterfaceKind::Feature, sim::InterfaceKind::Other};
    std::string socket, state, trace;
    std::vector<std::string> command;
    int versionZeroReads = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        auto number = [&](long lo, long hi) -> std::optional<long> {
            std::string text;
            if (!value(text)) return std::nullopt;
            return Number(text, lo, hi);
        };
        if (!command.empty()) {
            command.push_back(arg);
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << vyre::VersionLine("vyre-lumo-sim");
            return 0;
        } else if (arg == "--socket") {
            if (!value(socket) || socket.empty()) return Usage("--socket needs a path");
        } else if (arg == "--state") {
            if (!value(state) || state.empty()) return Usage("--state needs a file");
        } else if (arg == "--trace") {
            if (!value(trace) || trace.empty()) return Usage("--trace needs a file");
        } else if (arg == "--model") {
            std::string m;
            if (!value(m) || (m != "A" && m != "B" && m != "a" && m != "b")) {
                return Usage("--model needs A or B");
            }
            config.model = (m == "B" || m == "b") ? sim::Model::B : sim::Model::A;
        } else if (arg == "--firmware" || arg == "--firmware2" || arg == "--layout") {
            const auto v = number(0, 255);
            if (!v) return Usage(arg + " needs a number 0..255");
            (arg == "--firmware" ? config.firmware
                                 : arg == "--firmware2" ? config.firmware2 : config.layout) =
                static_cast<int>(*v);
        } else if (arg == "--busy-polls") {
            const auto v = number(0, 1000000);
            if (!v) return Usage("--busy-polls needs a number 0..1000000");
            config.busyPolls = static_cast<int>(*v);
        } else if (arg == "--vid" || arg == "--pid") {
            const auto v = number(1, 0xFFFF);
            if (!v) return Usage(arg + " needs a USB id 1..0xFFFF");
            (arg == "--vid" ? config.vendorId : config.productId) = static_cast<std::uint16_t>(*v);
        } else if (arg == "--order") {
            std::string list;
            if (!value(list)) return Usage("--order needs a list");
            config.order.clear();
            std::size_t start = 0;
            while (start <= list.size()) {
                const std::size_t comma = list.find(',', start);
                const std::string item = list.substr(start, comma == std::string::npos
                                                                ? std::string::npos
                                                                : comma - start);
                sim::InterfaceKind kind;
                if (item == "feature") kind = sim::InterfaceKind::Feature;
                else if (item == "event") kind = sim::InterfaceKind::Event;
                else if (item == "other") kind = sim::InterfaceKind::Other;
                else return Usage("--order: unknown interface \"" + item + "\"");
                for (auto k : config.order) {
                    if (k == kind) return Usage("--order names \"" + item + "\" twice");
                }
                config.order.push_back(kind);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (arg == "--version-zero") {
            const auto v = number(0, 1000000);
            if (!v) return Usage("--version-zero needs a number of reads");
            versionZeroReads = static_cast<int>(*v);
        } else if (arg == "--unplugged") {
            config.plugged = false;
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage("unknown option \"" + arg + "\"");
        } else {
            command.push_back(arg);
        }
    }
    const bool ownFolder = socket.empty();
    if (socket.empty()) socket = hid::DefaultSimSocketPath();
    if (!command.empty()) return Control(socket, command);
    // The runtime folder is made, and checked to be this user's, as the
    // programs do it.
    if (std::string why; ownFolder && !paths::PrepareRuntimeFolder(paths::RuntimeFolder(), &why)) {
        std::cerr << "vyre-lumo-sim: " << why << "\n";
        return kExitFailed;
    }
    return Run(config, versionZeroReads, socket, state, trace);
}
