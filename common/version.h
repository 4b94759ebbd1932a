#pragma once
// The software's version, from the project's own version, and the line every
// program prints for --version ("vyre-lumo-monitor 1.0.0").

#include <string>

namespace vyre {

#ifdef VYRE_LUMO_VERSION
inline constexpr char kSoftwareVersion[] = VYRE_LUMO_VERSION;
#else
inline constexpr char kSoftwareVersion[] = "0.0.0";
#endif

inline std::string VersionLine(const char* program) {
    return std::string(program) + " " + kSoftwareVersion + "\n";
}

}  // namespace vyre
