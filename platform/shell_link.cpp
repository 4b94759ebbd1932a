#include "platform/shell_link.h"

#include <filesystem>

#include "platform/process.h"
#include "platform/profile_ini.h"

namespace vyre::platform {

std::string ResolveProgramFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto target = std::filesystem::canonical(path, ec);
        return ec ? std::string() : target.string();
    }
    if (path.size() > 8 && path.ends_with(".desktop")) {
        // The program of the entry's Exec line, without its field codes.
        const std::string exec = GetPrivateProfileString("Desktop Entry", "Exec", "", path);
        const auto args = process::SplitCommandLine(exec);
        if (args.empty()) return {};
        const std::string found = process::FindProgram(args.front());
        if (found.empty()) return args.front();
        const auto target = std::filesystem::canonical(found, ec);
        return ec ? found : target.string();
    }
    return path;
}

std::string ResolveLinkedProgram(const std::string& path) {
    if (path.size() > 8 && path.ends_with(".desktop")) {
        const std::string app = GetPrivateProfileString("Desktop Entry", "X-Flatpak", "", path);
        if (!app.empty()) return app;
    }
    return ResolveProgramFile(path);
}

}  // namespace vyre::platform
