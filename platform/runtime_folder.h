#pragma once
// The per-user runtime folder in which the programs and the keyboard emulator
// meet (their sockets and window entries): $VYRE_LUMO_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/vyre-lumo, else "vyre-lumo/runtime-<host>" under the
// user's cache folder ($XDG_CACHE_HOME, else ~/.cache), where no other user
// can make it first (as one could in /tmp).

#include <filesystem>
#include <string>

namespace vyre::paths {

std::filesystem::path RuntimeFolder();
// Makes the folder (and the folders above it that are missing, 0700) and
// checks that it is the user's own: a folder, not a link, owned by the user,
// private (mode 0700, made so). False, with the reason in *why, otherwise.
bool PrepareRuntimeFolder(const std::filesystem::path& folder, std::string* why);

}  // namespace vyre::paths
