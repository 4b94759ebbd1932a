// Switching the keyboard to the profile of the program in front (timer 101):
// a profile linked to the program (LinkMatches), or the desktop profile
// while the desktop is in front. A switch happens once per foreground window,
// so that a profile chosen by hand on the keyboard is kept.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "common/link_codes.h"
#include "common/log.h"
#include "common/reports.h"
#include "monitor/link/keyboard_link.h"
#include "platform/text.h"

namespace vyre {
namespace {

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos;
         at = s.find(from, at + to.size())) {
        s.replace(at, from.size(), to);
    }
    return s;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWithNoCase(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && Lower(std::string(s.substr(s.size() - end.size()))) == end;
}

std::string_view FileName(std::string_view path) {
    const std::size_t last = path.find_last_of("\\/");
    return last == std::string_view::npos ? path : path.substr(last + 1);
}

// Folders many unrelated programs share: a link there names one program.
bool SharedProgramFolder(std::string_view folder) {
    static constexpr std::array<std::string_view, 13> kShared = {
        "/bin/",        "/sbin/",           "/usr/bin/",        "/usr/sbin/",
        "/usr/games/",  "/usr/local/bin/",  "/usr/local/sbin/", "/usr/local/games/",
        "/snap/bin/",   "/usr/libexec/",    "/app/bin/",        "/var/lib/flatpak/exports/bin/",
        "/opt/bin/"};
    if (std::find(kShared.begin(), kShared.end(), folder) != kShared.end()) return true;
    return folder.ends_with("/.local/bin/") || folder.ends_with("/.local/share/flatpak/exports/bin/");
}

// The Windows program a Wine loader runs: the first ".exe" of its command line.
std::string WineProgram(const platform::ForegroundProgram& fg) {
    if (!FileName(fg.path).starts_with("wine")) return {};
    for (const std::string& arg : fg.arguments) {
        if (EndsWithNoCase(arg, ".exe")) return arg;
    }
    return {};
}

// A Windows program's path from its drive on, with backslashes and in lower
// case: "C:\Games\x.exe" and ".../prefix/drive_c/Games/x.exe" both give
// "games\x.exe"; the Z: drive is the file system's root ("Z:\opt\x.exe"
// gives "\opt\x.exe", as "/opt/x.exe" does).
std::string WindowsKey(std::string_view path) {
    std::string p = Lower(std::string(path));
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.size() >= 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' && p[2] == '\\')
        return p[0] == 'z' ? p.substr(2) : p.substr(3);
    for (std::size_t at = p.find("\\drive_"); at != std::string::npos; at = p.find("\\drive_", at + 1)) {
        if (at + 9 <= p.size() && std::isalpha(static_cast<unsigned char>(p[at + 7])) &&
            (at + 9 == p.size() || p[at + 8] == '\\'))
            return p.substr(std::min(at + 9, p.size()));
    }
    return p;
}

// Folder equality with "Program Files" and "Program Files (x86)" taken as one.
bool SameFolder(const std::string& linked, const std::string& folder, std::string_view plainName,
                std::string_view x86Name) {
    const std::string plain(plainName), x86(x86Name);
    return linked == folder || linked == ReplaceAll(folder, plain, x86) ||
           linked == ReplaceAll(folder, x86, plain);
}

}  // namespace

bool LinkMatches(std::string_view link, const platform::ForegroundProgram& fg) {
    if (link.empty()) return false;
    if (!fg.appId.empty()) return link == fg.appId;
    if (const std::string game = WineProgram(fg); !game.empty()) {
        return SameFolder(ProgramFolder(WindowsKey(link)), ProgramFolder(WindowsKey(game)),
                          "program files", "program files (x86)");
    }
    const std::string_view name = FileName(fg.path);
    const std::string_view folder = std::string_view(fg.path).substr(0, fg.path.size() - name.size());
    if (SharedProgramFolder(folder)) return link == fg.path;
    return SameFolder(ProgramFolder(link), ProgramFolder(fg.path), "Program Files",
                      "Program Files (x86)");
}

void KeyboardLink::SwitchTo(int profile, std::uint64_t window, std::uint32_t soundEvent) {
    switchedWindow_ = window;
    switchActive_ = true;
    std::uint8_t active[report::kActiveProfileLength] = {report::kActiveProfile, 0, 0};
    port_.GetFeature(active, sizeof active);
    if (active[2] == profile) return;
    log::Info("switching", log::Format("profile %d for the program in front", profile + 1));
    RequestSound(kSoundEvent, soundEvent);
    const auto image = report::ActiveProfileReport(profile);
    std::memcpy(store_.activeProfileReport, image.data(), image.size());
    ApplyProfile(profile, true);
    // An open Config learns of it as of a switch on the keyboard, or its
    // next APPLY would switch back.
    Notify(FindConfigLinkWindow(), link::block::kActiveProfile, store_.activeProfileReport,
           sizeof store_.activeProfileReport);
    PublishProfiles(true);
}

void KeyboardLink::ProgramSwitchTick() {
    const std::optional<platform::ForegroundProgram> fg = host_.Foreground();
    if (!fg) {
        if (!foregroundUnknownSaid_) {
            log::Info("switching",
                      "the program in front cannot be known here; profiles do not follow programs");
            foregroundUnknownSaid_ = true;
        }
        return;
    }
    if (!fg->desktop && fg->path.empty()) {
        // The window's program cannot be known (no process id, or a process
        // this user may not look into): nothing for this round, as when the
        // process cannot be opened.
        return;
    }
    if (fg->desktop) {
        const std::int32_t desktop = store_.hostSettingsBlock.windowsProfile;
        if (!IsProfile(desktop)) return;
        static const std::string configTitle(link::kConfigRunningTitle);
        if (win::FindWindow(nullptr, configTitle.c_str()) != 0) return;
        if (fg->window == switchedWindow_ && switchActive_) return;
        SwitchTo(desktop, fg->window, 0x00050100);
        return;
    }
    for (int p = 0; p < kProfileCount; ++p) {
        for (const auto& link : store_.hostSettingsBlock.programLinks[p]) {
            if (link.empty() || !LinkMatches(text::Utf16ToUtf8(link.str()), *fg)) continue;
            if (fg->window == switchedWindow_ && switchActive_) return;
            SwitchTo(p, fg->window, (static_cast<std::uint32_t>(p) << 16) | 0x0100);
            return;
        }
    }
    if (switchActive_ && fg->window != switchedWindow_) {
        switchActive_ = false;
        switchedWindow_ = 0;
    }
}

}  // namespace vyre
