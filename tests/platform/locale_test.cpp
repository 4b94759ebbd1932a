// The user's language as a Windows language id.

#include "platform/locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace vyre::platform {
namespace {

TEST(Locale, LocaleNamesMapToLanguageIds) {
    EXPECT_EQ(LanguageIdOfLocale("de_DE.UTF-8"), 1031);
    EXPECT_EQ(LanguageIdOfLocale("de_AT.UTF-8@euro"), 3079);
    EXPECT_EQ(LanguageIdOfLocale("zh_TW.UTF-8"), 1028);
    EXPECT_EQ(LanguageIdOfLocale("zh-HK"), 3076);
    EXPECT_EQ(LanguageIdOfLocale("es_ES"), 3082);
    EXPECT_EQ(LanguageIdOfLocale("fr"), 1036);           // no country: the language's default
    EXPECT_EQ(LanguageIdOfLocale("en_XX.UTF-8"), 1033);  // unknown country: the same
    EXPECT_EQ(LanguageIdOfLocale("C.UTF-8"), 0);
    EXPECT_EQ(LanguageIdOfLocale("POSIX"), 0);
    EXPECT_EQ(LanguageIdOfLocale(""), 0);
    EXPECT_EQ(LanguageIdOfLocale("xx_YY"), 0);
}

TEST(Locale, TheEnvironmentIsReadInPosixOrder) {
    const auto keep = [](const char* name) {
        const char* v = std::getenv(name);
        return std::make_pair(name, v ? std::optional<std::string>(v) : std::nullopt);
    };
    const auto saved = {keep("LC_ALL"), keep("LC_MESSAGES"), keep("LANG")};
    ::unsetenv("LC_ALL");
    ::setenv("LC_MESSAGES", "it_CH.UTF-8", 1);
    ::setenv("LANG", "pl_PL.UTF-8", 1);
    EXPECT_EQ(UserDefaultLanguageId(), 2064);
    ::setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(UserDefaultLanguageId(), 1041);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    EXPECT_EQ(UserDefaultLanguageId(), 1045);
    for (const auto& [name, value] : saved) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
}

}  // namespace
}  // namespace vyre::platform
