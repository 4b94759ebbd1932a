// The tests run with LeakSanitizer on, and its suppressions name only
// third-party libraries, so that a leak in our code fails the test it is in.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define VYRE_LUMO_HAS_LSAN 1
#endif

namespace {

// The value of one option in a sanitizer's option text ("a=1:b=2").
[[maybe_unused]] std::string Option(const char* env, const std::string& name) {
    const char* text = std::getenv(env);
    if (text == nullptr) return {};
    const std::string s = std::string(":") + text;
    std::string value;
    for (std::size_t at = s.find(":" + name + "="); at != std::string::npos;
         at = s.find(":" + name + "=", at + 1)) {
        const std::size_t begin = at + name.size() + 2;
        value = s.substr(begin, s.find(':', begin) - begin);  // the last one counts
    }
    return value;
}

// "leak:libNAME.so" (a version may follow): a module pattern, which cannot
// match a function or a file of ours, as our libraries are linked statically.
[[maybe_unused]] bool NamesASharedLibrary(const std::string& rule) {
    const std::string prefix = "leak:lib";
    const std::size_t so = rule.find(".so");
    if (rule.rfind(prefix, 0) != 0 || so == std::string::npos || so <= prefix.size()) return false;
    for (std::size_t i = prefix.size(); i < so; ++i) {
        const char c = rule[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '+')
            return false;
    }
    for (std::size_t i = so + 3; i < rule.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(rule[i])) && rule[i] != '.') return false;
    }
    return true;
}

TEST(LeakCheck, ALeakOfOursIsReportedAndOnlyForeignLibrariesAreSuppressed) {
#if !defined(VYRE_LUMO_HAS_LSAN)
    GTEST_SKIP() << "built without sanitizers";
#else
    // A block no pointer reaches any more: the leak check must see it.
    volatile std::uintptr_t hidden = reinterpret_cast<std::uintptr_t>(std::malloc(48)) ^ 0x5a5a;
    const int found = __lsan_do_recoverable_leak_check();
    std::free(reinterpret_cast<void*>(hidden ^ 0x5a5a));
    EXPECT_NE(found, 0) << "LeakSanitizer is off in the tests (ASAN_OPTIONS detect_leaks)";

    const std::string file = Option("LSAN_OPTIONS", "suppressions");
    ASSERT_FALSE(file.empty()) << "the tests run without the suppressions file";
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    int rules = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        ++rules;
        EXPECT_TRUE(NamesASharedLibrary(line))
            << "a suppression must name a third-party shared library: " << line;
    }
    EXPECT_GT(rules, 0);
#endif
}

}  // namespace
