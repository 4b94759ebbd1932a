#include "platform/paths.h"
#include "platform/runtime_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

fs::path RuntimeFolder() {
    std::string own = Env("VYRE_LUMO_RUNTIME_DIR");
    if (!own.empty()) return fs::path(own);
    std::string xdg = Env("XDG_RUNTIME_DIR");
    if (!xdg.empty() && fs::path(xdg).is_absolute()) return fs::path(xdg) / "vyre-lumo";
    fs::path cache;
    std::string xdgCache = Env("XDG_CACHE_HOME");
    if (!xdgCache.empty() && fs::path(xdgCache).is_absolute()) {
        cache = xdgCache;
    } else {
        std::string home = Env("HOME");
        if (home.empty()) {
            if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) home = pw->pw_dir;
        }
        cache = fs::path(home.empty() ? "/" : home) / ".cache";
    }
    // One folder per machine: a home shared between machines must not let
    // the programs of one see those of another.
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') std::strcpy(host, "localhost");
    std::string name = "runtime-";
    for (const char* c = host; *c != '\0'; ++c) {
        const bool plain = std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' || *c == '.';
        name += plain ? *c : '_';
    }
    return cache / "vyre-lumo" / name;
}

bool PrepareRuntimeFolder(const fs::path& folder, std::string* why) {
    const std::string path = folder.string();
    auto refuse = [&](const std::string& what) {
        if (why != nullptr) *why = "the runtime folder " + path + " is refused: " + what;
        return false;
    };
    // The folders above it that are missing are made private too.
    std::vector<fs::path> missing;
    for (fs::path p = folder.parent_path(); !p.empty() && p != p.parent_path(); p = p.parent_path()) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) == 0) break;
        missing.push_back(p);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) ::mkdir(it->c_str(), 0700);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return refuse(std::string("it cannot be made (") + std::strerror(errno) + ")");
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return refuse(std::strerror(errno));
    if (S_ISLNK(st.st_mode)) return refuse("it is a symbolic link");
    if (!S_ISDIR(st.st_mode)) return refuse("it is not a folder");
    if (st.st_uid != ::getuid())
        return refuse("it belongs to user " + std::to_string(st.st_uid) + ", not to user " +
                      std::to_string(::getuid()));
    if ((st.st_mode & 0777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
        return refuse(std::string("its mode cannot be made 0700 (") + std::strerror(errno) + ")");
    return true;
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
