#include "platform/paths.h"

#include <cstdlib>
#include <vector>

#include "platform/process.h"
#include "platform/text.h"

namespace vyre::paths {

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

struct ProgramName {
    const char* windowsName;
    const char* executable;
};

// The one table of the system's program names.
constexpr ProgramName kPrograms[] = {
    {"Vyre Lumo Monitor.exe", "vyre-lumo-monitor"},
    {"Vyre Lumo Config.exe", "vyre-lumo-config"},
    {"FWupdate/Vyre Lumo FW Update.exe", "vyre-lumo-fw-update"},
};

std::string Normalize(std::string_view windowsPath) {
    std::string p(windowsPath);
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    return p;
}

// Splits "a/b//c" into {"a", "b", "c"}, dropping "." components.
std::vector<std::string> Components(std::string_view p) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= p.size()) {
        std::size_t end = p.find('/', start);
        if (end == std::string_view::npos) end = p.size();
        std::string_view part = p.substr(start, end - start);
        if (!part.empty() && part != ".") parts.emplace_back(part);
        start = end + 1;
    }
    return parts;
}

// Appends a component; when it does not exist exactly, takes an entry of the
// folder whose name differs only in case.
fs::path AppendNoCase(const fs::path& base, const std::string& name) {
    fs::path exact = base / name;
    std::error_code ec;
    if (name == ".." || fs::exists(exact, ec)) return exact;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        if (text::EqualNoCaseUtf8(it->path().filename().string(), name)) return it->path();
    }
    return exact;
}

}  // namespace

fs::path DataFolder() {
    std::string home = Env("VYRE_LUMO_HOME");
    if (!home.empty()) return fs::path(home);
    std::string xdg = Env("XDG_CONFIG_HOME");
    if (!xdg.empty() && fs::path(xdg).is_absolute()) return fs::path(xdg) / "vyre-lumo";
    const char* user = std::getenv("HOME");
    fs::path base = (user != nullptr && *user != '\0') ? fs::path(user) : fs::current_path();
    return base / ".config" / "vyre-lumo";
}

fs::path AssetFolder() {
    std::string env = Env("VYRE_LUMO_ASSETS");
    if (!env.empty()) return fs::path(env);
    fs::path own = process::OwnFolder();
    if (!own.empty() && own.filename() == "bin") {
        fs::path installed = own.parent_path() / "share" / "vyre-lumo";
        std::error_code ec;
        if (fs::is_directory(installed, ec)) return installed;
    }
#ifdef VYRE_LUMO_SOURCE_ASSETS
    return fs::path(VYRE_LUMO_SOURCE_ASSETS);
#else
    return own / "assets";
#endif
}

fs::path RegistryFile() {
    return DataFolder() / "registry.reg";
}

fs::path Resolve(std::string_view windowsPath) {
    std::string p = Normalize(windowsPath);
    if (!p.empty() && p[0] == '/') return fs::path(p);
    std::vector<std::string> parts = Components(p);
    if (parts.empty()) return DataFolder();
    std::string first = text::FoldCaseUtf8(parts[0]);
    if (first == "wave" || first == "help") {
        fs::path result = AssetFolder() / (first == "wave" ? "wave" : "Help");
        for (std::size_t i = 1; i < parts.size(); ++i) result = AppendNoCase(result, parts[i]);
        return result;
    }
    fs::path result = DataFolder();
    std::size_t i = 0;
    if (first == "config") {
        result /= "Config";
        i = 1;
    }
    for (; i < parts.size(); ++i) result /= parts[i];
    return result;
}

fs::path Resolve(std::u16string_view windowsPath) {
    return Resolve(text::Utf16ToUtf8(windowsPath));
}

std::string ProgramFileName(std::string_view windowsName) {
    std::vector<std::string> parts = Components(Normalize(windowsName));
    std::string joined;
    for (const auto& part : parts) {
        if (!joined.empty()) joined.push_back('/');
        joined.append(part);
    }
    for (const auto& program : kPrograms) {
        if (text::EqualNoCaseUtf8(joined, program.windowsName)) return program.executable;
    }
    return {};
}

std::optional<fs::path> ProgramPath(std::string_view windowsName) {
    std::string name = ProgramFileName(windowsName);
    if (name.empty()) return std::nullopt;
    // A program named with a folder ("FWupdate\...") lives in that folder.
    fs::path folder = process::OwnFolder();
    const std::vector<std::string> parts = Components(Normalize(windowsName));
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) folder = AppendNoCase(folder, parts[i]);
    return folder / name;
}

}  // namespace vyre::paths
