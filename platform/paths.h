#pragma once
// Where the system's files live.
//
// The code keeps file names in the form the programs have always used,
// relative to the program's folder with either slash ("./Config/Timer.ini",
// ".\Config\Config.ini", ".\wave\x.wav", ".\Help\English.txt"). Resolve maps
// them onto real paths:
//   - "Config/..." and every other relative name go under the per-user data
//     folder: $VYRE_LUMO_HOME, else $XDG_CONFIG_HOME/vyre-lumo, else
//     ~/.config/vyre-lumo;
//   - "wave/..." and "Help/..." (shipped files) go under the asset folder:
//     $VYRE_LUMO_ASSETS, else <prefix>/share/vyre-lumo when the program runs
//     from <prefix>/bin of an installation that has it, else the source tree's
//     assets/ folder compiled into the build;
//   - absolute paths are kept.
// The first folder name is matched without regard to case. Shipped file names
// are looked up without regard to case when the exact name does not exist.
//
// Program names: the Windows file names of the system's programs map, in one
// table, to executables in the folder of the running program.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vyre::paths {

std::filesystem::path DataFolder();
std::filesystem::path AssetFolder();
// The file that holds the registry key (DataFolder()/"registry.reg").
std::filesystem::path RegistryFile();

// Maps a relative Windows-form path as described above.
std::filesystem::path Resolve(std::string_view windowsPath);
std::filesystem::path Resolve(std::u16string_view windowsPath);

// The executable of one of the system's programs, given by its Windows name
// relative to the running program's folder ("Vyre Lumo Monitor.exe",
// "Vyre Lumo Config.exe", "FWupdate\Vyre Lumo FW Update.exe"); the name
// compares without regard to case or slash kind. std::nullopt for other names.
// A name with a folder gives the program in that folder of the running
// program's folder ("<folder>/FWupdate/vyre-lumo-fw-update").
std::optional<std::filesystem::path> ProgramPath(std::string_view windowsName);
// The executable name alone ("vyre-lumo-monitor", ...), or empty.
std::string ProgramFileName(std::string_view windowsName);

}  // namespace vyre::paths
