#include "common/stored_name.h"

namespace vyre {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string_view StoredName(std::string_view name, std::size_t bytes) {
    name = name.substr(0, name.find('\0'));
    if (name.size() > bytes) {
        // A character cut in half is not kept.
        std::size_t end = bytes;
        while (end > 0 && IsContinuation(name[end])) --end;
        name = name.substr(0, end);
    }
    while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
    while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
    return name;
}

bool SameStoredName(std::string_view a, std::string_view b, std::size_t bytes,
                    bool (*equalNoCase)(std::string_view, std::string_view)) {
    return equalNoCase(StoredName(a, bytes), StoredName(b, bytes));
}

}  // namespace vyre
