#include "platform/autostart.h"

#include <cstdlib>
#include <sstream>

#include "platform/atomic_file.h"

namespace vyre::platform {

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Whether the entry in `file` starts a program: false when it is missing or
// hidden or disabled in its [Desktop Entry] group.
bool EntryStarts(const fs::path& file, bool* exists) {
    const auto text = ReadWholeFile(file);
    *exists = text.has_value();
    if (!text) return false;
    std::istringstream in(*text);
    std::string line;
    bool mainGroup = false;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            mainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!mainGroup) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "Hidden" && value == "true") return false;
        if (key == "X-GNOME-Autostart-enabled" && value == "false") return false;
    }
    return true;
}

bool SystemEntryStarts(const AutostartPlaces& places) {
    for (const fs::path& dir : places.system) {
        bool exists = false;
        const bool starts = EntryStarts(dir / kAutostartEntryName, &exists);
        if (exists) return starts;  // the first one found is the one that counts
    }
    return false;
}

// The program as the Exec= value: always one quoted argument.
std::string ExecValue(const fs::path& program) {
    const std::string p = program.string();
    // Inside quotes '"', '`', '$' and '\\' take a backslash, which the string
    // escapes of the format double; '%' is doubled as a field code would be.
    std::string quoted = "\"";
    for (char c : p) {
        if (c == '"' || c == '`' || c == '$') quoted += "\\\\";
        if (c == '\\') quoted += "\\\\\\";
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

AutostartPlaces DefaultAutostartPlaces() {
    AutostartPlaces places;
    std::string home = Env("XDG_CONFIG_HOME");
    if (home.empty() || !fs::path(home).is_absolute()) {
        const std::string user = Env("HOME");
        home = (user.empty() ? fs::current_path() : fs::path(user)) / ".config";
    }
    places.user = fs::path(home) / "autostart";
    std::string dirs = Env("XDG_CONFIG_DIRS");
    if (dirs.empty()) dirs = "/etc/xdg";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        const fs::path dir = dirs.substr(start, colon - start);
        if (dir.is_absolute()) places.system.push_back(dir / "autostart");
        start = colon + 1;
    }
    return places;
}

bool AutostartEnabled(const AutostartPlaces& places) {
    bool exists = false;
    const bool userStarts = EntryStarts(places.user / kAutostartEntryName, &exists);
    if (exists) return userStarts;
    return SystemEntryStarts(places);
}

bool SetAutostart(bool on, const fs::path& program, std::string* error,
                  const AutostartPlaces& places) {
    const fs::path user = places.user / kAutostartEntryName;
    const bool system = SystemEntryStarts(places);
    std::error_code ec;
    if (on == system) {
        // The system entry says what is wanted: the user's must not shadow it.
        fs::remove(user, ec);
    } else {
        std::string entry =
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Vyre Lumo Monitor\n"
            "Comment=Keeps the Vyre Lumo keyboard's settings and carries out what its keys ask for\n";
        entry += on ? "Exec=" + ExecValue(program) + "\nIcon=vyre-lumo\nTerminal=false\nNoDisplay=true\n"
                    : std::string("Hidden=true\n");
        WriteFileAtomically(user, entry, &ec);
    }
    if (ec) {
        if (error) *error = user.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace vyre::platform
