#include "platform/hid/select.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/runtime_folder.h"

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
    // In the runtime folder of the programs, by the same rule.
    return (paths::RuntimeFolder() / "vyre-lumo-sim.sock").string();
}

}  // namespace vyre::hid
