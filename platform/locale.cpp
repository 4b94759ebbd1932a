#include "platform/locale.h"

#include <cstdlib>
#include <string>

namespace vyre::platform {
namespace {

// Language and country to language id. A language's first row is its default
// when the locale names no country or a country the table does not have.
struct Row {
    const char* language;
    const char* country;
    std::uint16_t id;
};

constexpr Row kRows[] = {
    {"da", "DK", 1030},  {"de", "DE", 1031},  {"de", "CH", 2055},  {"de", "AT", 3079},
    {"de", "LU", 4103},  {"de", "LI", 5127},  {"en", "US", 1033},  {"en", "GB", 2057},
    {"en", "AU", 3081},  {"en", "CA", 4105},  {"en", "NZ", 5129},  {"en", "IE", 6153},
    {"en", "ZA", 7177},  {"en", "JM", 8201},  {"en", "029", 9225}, {"en", "BZ", 10249},
    {"en", "TT", 11273}, {"en", "ZW", 12297}, {"en", "PH", 13321}, {"en", "IN", 16393},
    {"en", "MY", 17417}, {"en", "SG", 18441}, {"es", "ES", 3082},  {"es", "MX", 2058},
    {"es", "GT", 4106},  {"es", "CR", 5130},  {"es", "PA", 6154},  {"es", "DO", 7178},
    {"es", "VE", 8202},  {"es", "CO", 9226},  {"es", "PE", 10250}, {"es", "AR", 11274},
    {"es", "EC", 12298}, {"es", "CL", 13322}, {"es", "UY", 14346}, {"es", "PY", 15370},
    {"es", "BO", 16394}, {"es", "SV", 17418}, {"es", "HN", 18442}, {"es", "NI", 19466},
    {"es", "PR", 20490}, {"es", "US", 21514}, {"fi", "FI", 1035},  {"fr", "FR", 1036},
    {"fr", "BE", 2060},  {"fr", "CA", 3084},  {"fr", "CH", 4108},  {"fr", "LU", 5132},
    {"fr", "MC", 6156},  {"it", "IT", 1040},  {"it", "CH", 2064},  {"ja", "JP", 1041},
    {"ko", "KR", 1042},  {"nl", "NL", 1043},  {"nl", "BE", 2067},  {"nb", "NO", 1044},
    {"no", "NO", 1044},  {"pl", "PL", 1045},  {"pt", "BR", 1046},  {"pt", "PT", 2070},
    {"ru", "RU", 1049},  {"sv", "SE", 1053},  {"sv", "FI", 2077},  {"th", "TH", 1054},
    {"tr", "TR", 1055},  {"vi", "VN", 1066},  {"zh", "CN", 2052},  {"zh", "TW", 1028},
    {"zh", "HK", 3076},  {"zh", "SG", 4100},  {"zh", "MO", 5124},
};

}  // namespace

std::uint16_t LanguageIdOfLocale(std::string_view locale) {
    // language[_COUNTRY][.codeset][@modifier]
    locale = locale.substr(0, locale.find_first_of(".@"));
    const std::size_t bar = locale.find_first_of("_-");
    const std::string_view language = locale.substr(0, bar);
    const std::string_view country =
        bar == std::string_view::npos ? std::string_view() : locale.substr(bar + 1);
    std::uint16_t languageDefault = 0;
    for (const Row& row : kRows) {
        if (language != row.language) continue;
        if (country == row.country) return row.id;
        if (languageDefault == 0) languageDefault = row.id;
    }
    return languageDefault;
}

std::uint16_t UserDefaultLanguageId() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return LanguageIdOfLocale(value);
    }
    return 0;
}

}  // namespace vyre::platform
