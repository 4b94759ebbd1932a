// Switching the keyboard to the profile of the program in front (timer 101):
// a profile linked to a program in the same folder, or the desktop profile
// while the desktop is in front. A switch happens once per foreground window,
// so that a profile chosen by hand on the keyboard is kept.

#include <string>

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

}  // namespace

void KeyboardLink::SwitchTo(int profile, std::uint64_t window, std::uint32_t soundEvent) {
    switchedWindow_ = window;
    switchActive_ = true;
    std::uint8_t active[report::kActiveProfileLength] = {report::kActiveProfile, 0, 0};
    port_.GetFeature(active, sizeof active);
    if (active[2] == profile) return;
    log::Info("switching", log::Format("profile %d for the program in front", profile + 1));
    RequestSound(kSoundEvent, soundEvent);
    store_.setCurrentProfile(profile);
    ApplyProfile(profile, true);
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
    const std::string folder = ProgramFolder(fg->path);
    const std::string x86 = ReplaceAll(folder, "Program Files", "Program Files (x86)");
    const std::string plain = ReplaceAll(folder, "Program Files (x86)", "Program Files");
    for (int p = 0; p < kProfileCount; ++p) {
        for (const auto& link : store_.hostSettingsBlock.programLinks[p]) {
            if (link.empty()) continue;
            const std::string linked = ProgramFolder(text::Utf16ToUtf8(link.str()));
            if (linked != folder && linked != x86 && linked != plain) continue;
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
