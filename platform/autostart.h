#pragma once
// Starting the Monitor with the desktop session, by the XDG autostart rules.
//
// The package installs a system entry ($XDG_CONFIG_DIRS, by default
// /etc/xdg, then autostart/vyre-lumo-monitor.desktop). An entry of the same
// name in the user's folder ($XDG_CONFIG_HOME, by default ~/.config, then
// autostart/) shadows it:
//   - turning autostart off writes a user entry with Hidden=true when a system
//     entry would otherwise start the Monitor, and removes the user's entry
//     when none would;
//   - turning it on removes a hiding user entry when the system entry starts
//     the Monitor, and otherwise writes a user entry that starts `program`.
// A user entry with Hidden=true or X-GNOME-Autostart-enabled=false counts as
// off, as the desktops read it.

#include <filesystem>
#include <string>
#include <vector>

namespace vyre::platform {

inline constexpr char kAutostartEntryName[] = "vyre-lumo-monitor.desktop";

struct AutostartPlaces {
    std::filesystem::path user;                       // the user's autostart folder
    std::vector<std::filesystem::path> system;        // the system's, first wins
};
// From the environment as described above.
AutostartPlaces DefaultAutostartPlaces();

// True when the desktop session starts the Monitor.
bool AutostartEnabled(const AutostartPlaces& places = DefaultAutostartPlaces());

// Turns autostart on or off; `program` is what a user entry starts (the
// running Monitor's executable). False with `error` set when the user's entry
// could not be written or removed.
bool SetAutostart(bool on, const std::filesystem::path& program, std::string* error,
                  const AutostartPlaces& places = DefaultAutostartPlaces());

}  // namespace vyre::platform
