#pragma once
// Names as the library files keep them. A macro set's name is also its
// section in the file, which drops the blanks around it and finds sections
// without regard to case, and every name is cut to its record field. Two
// names that are one once stored would share what the file keeps under that
// name (one set's macros overwrite the other's), so both programs refuse a
// name that is one with another that way.
//
// Names are multibyte text of the system's page (UTF-8).

#include <cstddef>
#include <string_view>

namespace vyre {

// Bytes kept of a name: a set name keeps its field's terminating zero; a
// macro name may fill its field.
inline constexpr std::size_t kStoredSetNameBytes = 39;
inline constexpr std::size_t kStoredMacroNameBytes = 24;

// `name` as stored: up to its first zero, cut to `bytes` at a character
// boundary, without the blanks (space, tab, carriage return) around it.
std::string_view StoredName(std::string_view name, std::size_t bytes);

// Whether `a` and `b` are one name once stored. `equalNoCase` compares two
// stored names without regard to case, the way the file compares them.
bool SameStoredName(std::string_view a, std::string_view b, std::size_t bytes,
                    bool (*equalNoCase)(std::string_view, std::string_view));

}  // namespace vyre
