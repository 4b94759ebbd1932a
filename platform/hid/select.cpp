#include "platform/hid/select.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vyre::hid {

std::optional<BackendChoice> ParseBackendChoice(std::string_view value, std::string* error) {
    BackendChoice choice;
    if (value == "hidapi") return choice;
    if (value == "sim" || value.starts_with("sim:")) {
        choice.kind = BackendChoice::Kind::Sim;
        if (value.size() > 4) choice.socketPath = std::string(value.substr(4));
        return choice;
    }
    if (error) {
        *error = "unknown HID backend \"" + std::string(value) +
                 "\" (expected hidapi, sim or sim:PATH)";
    }
    return std::nullopt;
}

std::optional<BackendChoice> ChooseBackend(int argc, const char* const* argv, std::string* error) {
    for (int i = 1; argv && i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (arg == "--hid") {
            if (i + 1 >= argc || !argv[i + 1]) {
                if (error) *error = "--hid needs a value (hidapi, sim or sim:PATH)";
                return std::nullopt;
            }
            return ParseBackendChoice(argv[i + 1], error);
        }
        if (arg.starts_with("--hid=")) return ParseBackendChoice(arg.substr(6), error);
    }
    if (const char* env = std::getenv("VYRE_LUMO_HID"); env && *env) {
        return ParseBackendChoice(env, error);
    }
    return BackendChoice{};
}

std::unique_ptr<Backend> MakeBackend(const BackendChoice& choice, std::string* error) {
    if (choice.kind == BackendChoice::Kind::Sim) return MakeSimClientBackend(choice.socketPath);
    return MakeHidapiBackend(error);
}

std::unique_ptr<Backend> SelectBackend(int argc, const char* const* argv, std::string* error) {
    auto choice = ChooseBackend(argc, argv, error);
    if (!choice) return nullptr;
    return MakeBackend(*choice, error);
}

std::string DefaultSimSocketPath() {
    std::string folder;
    // The same override as the window layer's runtime folder, so that one
    // variable keeps a test run apart from the session.
    if (const char* own = std::getenv("VYRE_LUMO_RUNTIME_DIR"); own && *own) {
        folder = own;
    } else if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
        folder = xdg;
    } else {
        // A private folder of this user; one that someone else made (or a
        // link planted there) is not used.
        folder = "/tmp/vyre-lumo-" + std::to_string(::getuid());
        ::mkdir(folder.c_str(), 0700);
        struct stat st {};
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
            (st.st_mode & 0077) != 0) {
            folder = "/tmp/vyre-lumo-" + std::to_string(::getuid()) + "-" +
                     std::to_string(::getpid());
            ::mkdir(folder.c_str(), 0700);
        }
    }
    return folder + "/vyre-lumo-sim.sock";
}

}  // namespace vyre::hid
