#include "monitor/link/host_actions.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "common/log.h"
#include "platform/process.h"
#include "platform/text.h"

namespace vyre {
namespace {

constexpr const char* kArea = "host";

// The VLC program of this system: the first "vlc" on the PATH.
std::filesystem::path FindVlc() {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::filesystem::path candidate =
            std::filesystem::path(rest.substr(0, colon)) / "vlc";
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

}  // namespace

std::string LaunchFolder(std::string_view path) {
    const std::size_t last = path.find_last_of("\\/");
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

SystemHostActions::SystemHostActions(std::unique_ptr<platform::KeyInjector> keys,
                                     std::unique_ptr<platform::MasterVolume> volume,
                                     std::unique_ptr<platform::Desktop> desktop)
    : keys_(std::move(keys)), volume_(std::move(volume)), desktop_(std::move(desktop)) {}

std::optional<platform::ForegroundProgram> SystemHostActions::Foreground() {
    if (!desktop_) return std::nullopt;
    return desktop_->Foreground();
}

std::string ProgramFolder(std::string_view path) {
    std::string p(path);
    for (char& c : p) {
        if (c == '/') c = '\\';
    }
    // The drive part: up to and including the first backslash from the third character on.
    if (p.size() >= 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
        const std::size_t slash = p.find('\\', 2);
        p = slash == std::string::npos ? std::string() : p.substr(slash + 1);
    }
    const std::size_t last = p.rfind('\\');
    return last == std::string::npos ? std::string() : p.substr(0, last + 1);
}

void SystemHostActions::PressKey(platform::MediaKey key, int holdMs) {
    keys_->Press(key);
    if (holdMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    keys_->Release(key);
}

void SystemHostActions::OpenMediaPlayer(int player) {
    switch (player) {
        case kPlayerDefault:
            PressKey(platform::MediaKey::MediaSelect, kMediaSelectHoldMs);
            return;
        case kPlayerVlc: {
            const std::filesystem::path vlc = FindVlc();
            if (vlc.empty()) {
                log::Info(kArea, "VLC is not installed; the player key does nothing");
                return;
            }
            const std::filesystem::path real = std::filesystem::weakly_canonical(vlc);
            for (const auto& process : process::ListProcesses()) {
                if (!process.executable.empty() && process.executable == real)
                    return;  // already runs
            }
            const auto started = process::Launch(vlc.string(), vlc.parent_path());
            if (!started) log::Warning(kArea, "VLC could not be started: " + started.what);
            return;
        }
        default:
            // iTunes and Winamp are not registered on this system: nothing to open.
            log::Info(kArea, log::Format("media player %d is not available here", player));
            return;
    }
}

void SystemHostActions::StartConfig() {
    const auto started = process::StartOwnProgram("Vyre Lumo Config.exe");
    if (!started) log::Warning(kArea, "the Config could not be started: " + started.what);
}

void SystemHostActions::Launch(std::u16string_view path) {
    const std::string command = text::Utf16ToUtf8(path);
    const auto started = process::Launch(command, LaunchFolder(command));
    if (!started) log::Warning(kArea, "\"" + command + "\" could not be started: " + started.what);
}

int SystemHostActions::VolumePercent() {
    return volume_ ? volume_->Percent() : 0;
}

}  // namespace vyre
