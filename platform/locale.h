#pragma once
// The user's language as a Windows language id (LANGID): the primary language
// in the low 10 bits and the sublanguage (country) above them, so that tables
// written in those ids work on every system.
//
// On Linux the id comes from the locale environment in POSIX order (LC_ALL,
// LC_MESSAGES, LANG): "de_AT.UTF-8" is 3079 (German, Austria), "de" alone is
// German's default 1031. Locales without a known language ("C", "POSIX",
// empty) give 0.

#include <cstdint>
#include <string_view>

namespace vyre::platform {

// The language id of a locale name such as "fr_CA.UTF-8@euro"; 0 when the
// language is not known.
std::uint16_t LanguageIdOfLocale(std::string_view locale);

// The user's default language id (GetUserDefaultLangID); 0 when none is set.
std::uint16_t UserDefaultLanguageId();

}  // namespace vyre::platform
