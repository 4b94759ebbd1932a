#pragma once
// Choosing the HID backend of a program: the option --hid VALUE (or
// --hid=VALUE), else the environment variable VYRE_LUMO_HID, else "hidapi".
// Values: "hidapi" (real devices), "sim" (the emulator program at its default
// socket), "sim:PATH" (the emulator program listening on PATH).

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/hid/hid.h"

namespace vyre::hid {

struct BackendChoice {
    enum class Kind { Hidapi, Sim };
    Kind kind = Kind::Hidapi;
    std::string socketPath;  // for Sim; empty = DefaultSimSocketPath()
};

std::optional<BackendChoice> ParseBackendChoice(std::string_view value, std::string* error);

// Looks at argv for --hid, then at VYRE_LUMO_HID. argv may be null.
std::optional<BackendChoice> ChooseBackend(int argc, const char* const* argv, std::string* error);

std::unique_ptr<Backend> MakeBackend(const BackendChoice& choice, std::string* error);

// The one call of the programs: choose and make. Null (with *error set) when
// the choice is invalid or the backend cannot start.
std::unique_ptr<Backend> SelectBackend(int argc, const char* const* argv, std::string* error);

// Real devices through hidapi over hidraw, arrival and removal from libudev.
std::unique_ptr<Backend> MakeHidapiBackend(std::string* error);

// The emulator program reached over its Unix socket.
std::unique_ptr<Backend> MakeSimClientBackend(std::string socketPath);

// Where the emulator program listens unless told otherwise: a socket in the
// programs' runtime folder (paths::RuntimeFolder).
std::string DefaultSimSocketPath();

}  // namespace vyre::hid
