// The private-profile parser on arbitrary bytes: it must not fail, and every
// value it read must read the same after the file is written back.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/profile_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vyre::platform::ProfileFile;
    ProfileFile first =
        ProfileFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    ProfileFile second = ProfileFile::Parse(first.Serialize());
    if (second.SectionNames() != first.SectionNames()) std::abort();
    for (const auto& section : first.SectionNames()) {
        if (second.KeyNames(section) != first.KeyNames(section)) std::abort();
        for (const auto& key : first.KeyNames(section)) {
            if (second.Get(section, key) != first.Get(section, key)) std::abort();
        }
    }
    // Writing into a parsed file of any content must keep it readable.
    if (first.Set("Fuzz", "Key", "Value") && second.Get("Fuzz", "Key") == std::nullopt) {
        if (ProfileFile::Parse(first.Serialize()).Get("Fuzz", "Key") != "Value") std::abort();
    }
    return 0;
}
