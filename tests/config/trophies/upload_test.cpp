// The trophy upload: its fields, path and checksum, the request against a
// local server, its bounds, and which answers are opened.

#include "config/trophies/trophy_upload.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "tests/config/trophies/local_http_server.h"

namespace vyre::trophies {
namespace {

// The parts of an upload path, split at its commas.
struct Parsed {
    std::string combined, e, b, a, checksum, zone;
};
Parsed Parse(const std::string& path) {
    Parsed p;
    EXPECT_EQ(path.rfind(std::string(kUploadPathStart), 0), 0u) << path;
    EXPECT_TRUE(path.ends_with(".dll")) << path;
    std::string rest = path.substr(kUploadPathStart.size());
    rest.resize(rest.size() - 4);
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t comma; (comma = rest.find(',', at)) != std::string::npos; at = comma + 1)
        parts.push_back(rest.substr(at, comma - at));
    parts.push_back(rest.substr(at));
    EXPECT_EQ(parts.size(), 6u) << path;
    if (parts.size() == 6) p = {parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
    return p;
}

// Reads the trophy id back out of a trophy field, as the service would.
int TrophyIdOf(const std::string& field) {
    const int digits = field.back() - '0';
    const std::size_t length = field.size() - 1;  // 30 random digits and the id
    const int d = field[length - 1] - '0';        // the random digits' last one
    EXPECT_EQ(length, 30u + static_cast<std::size_t>(digits));
    return std::stoi(
        field.substr(static_cast<std::size_t>(d - 1), static_cast<std::size_t>(digits)));
}

TEST(TrophyUpload, IdsSkip88AndTheTrophyFieldCarriesTheId) {
    EXPECT_EQ(TrophyUploadId(1), 85);
    EXPECT_EQ(TrophyUploadId(3), 87);
    EXPECT_EQ(TrophyUploadId(4), 89);
    EXPECT_EQ(TrophyUploadId(16), 101);
    EXPECT_EQ(TrophyUploadId(0), 0);
    EXPECT_EQ(TrophyUploadId(17), 0);

    for (unsigned seed = 1; seed < 40; ++seed) {
        RandomDraw random(seed);
        const std::string digits = DigitString(random, kTrophyDigits);
        ASSERT_EQ(digits.find('0'), std::string::npos);
        const std::string f16 = TrophyField(101, digits);
        EXPECT_EQ(f16.size(), 34u);
        EXPECT_EQ(f16.back(), '3');
        EXPECT_EQ(TrophyIdOf(f16), 101);
        const std::string f4 = TrophyField(89, digits);
        EXPECT_EQ(f4.size(), 33u);
        EXPECT_EQ(f4.back(), '2');
        EXPECT_EQ(TrophyIdOf(f4), 89);
    }
    // The last digit 1 puts the id in front, 9 after the first eight digits.
    EXPECT_EQ(TrophyField(85, "222222222222222222222222222221"),
              "852222222222222222222222222222212");
    EXPECT_EQ(TrophyField(85, "222222222222222222222222222229").substr(8, 2), "85");
}

TEST(TrophyUpload, MachineAndPartFieldsHideTheirValuesWhereTheySay) {
    RandomDraw random(7);
    const std::string letters = LetterString(random, kMachineLetters);
    for (char c : letters) EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
    for (int p : {1, 17, 49}) {
        const std::string field = MachineField("00AB12CD34EF", letters, p);
        EXPECT_EQ(field.size(), 62u);
        EXPECT_EQ(field.substr(static_cast<std::size_t>(p), 12), "00AB12CD34EF");
    }
    EXPECT_EQ(MachinePosition(0), 1);
    EXPECT_EQ(MachinePosition(48), 49);
    EXPECT_EQ(MachinePosition(49), 1);

    const std::string md5 = Md5Hex(kPartNumber);
    ASSERT_EQ(md5.size(), 32u);
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");  // the well-known empty digest
    for (int b0 : {0, 4, 8, 9, 1234567}) {
        const std::string field = PartField(kPartNumber, b0, "abcdefghij");
        const int b = b0 % 9 + 1;
        ASSERT_EQ(field.size(), 43u);
        EXPECT_EQ(field[0], static_cast<char>('0' + b));
        std::string upper = md5;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(field.substr(1 + static_cast<std::size_t>(b), 32), upper);
        EXPECT_EQ(field.substr(1, static_cast<std::size_t>(b)),
                  std::string("ABCDEFGHIJ").substr(0, static_cast<std::size_t>(b)));
    }
}

TEST(TrophyUpload, TimeZoneFieldInWholeHours) {
    EXPECT_EQ(TimeZoneField(0), "P0");
    EXPECT_EQ(TimeZoneField(-2 * 3600), "M2");
    EXPECT_EQ(TimeZoneField(5 * 3600 + 1800), "P5");  // part hours are dropped
    EXPECT_EQ(TimeZoneField(-(3 * 3600 + 1800)), "M3");
    EXPECT_EQ(TimeZoneField(14 * 3600), "P14");

    // The local offset as the C library knows it.
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    EXPECT_EQ(TimeZoneField(LocalUtcOffsetSeconds()), "P0");
    ::setenv("TZ", "XST2", 1);  // two hours behind UTC
    ::tzset();
    EXPECT_EQ(TimeZoneField(LocalUtcOffsetSeconds()), "M2");
    ::setenv("TZ", "IST-5:30", 1);
    ::tzset();
    EXPECT_EQ(LocalUtcOffsetSeconds(), 5 * 3600 + 1800);
    EXPECT_EQ(TimeZoneField(LocalUtcOffsetSeconds()), "P5");
    if (old) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

TEST(TrophyUpload, PathCarriesTheFieldsTheNumbersAndAValidChecksum) {
    for (unsigned seed : {1u, 99u, 123456u}) {
        RandomDraw random(seed);
        const UploadPath built = BuildUploadPath(101, "0123456789AB", -2 * 3600, random);
        const Parsed p = Parse(built.path);
        EXPECT_EQ(p.a, "248");
        EXPECT_EQ(p.b, "129");
        EXPECT_EQ(p.e, std::to_string(built.position * 2));
        EXPECT_EQ(p.zone, "M2");
        EXPECT_EQ(p.combined, built.combined);
        ASSERT_EQ(p.combined.size(), 43u + 34u + 62u);
        EXPECT_EQ(p.checksum, Md5Hex(p.a + p.b + p.combined + p.e));
        EXPECT_EQ(TrophyIdOf(p.combined.substr(43, 34)), 101);
        EXPECT_EQ(p.combined.substr(43 + 34 + static_cast<std::size_t>(built.position), 12),
                  "0123456789AB");
    }
    EXPECT_EQ(UploadUrl("http://127.0.0.1:8080/", "/x"), "http://127.0.0.1:8080/x");
}

TEST(TrophyUpload, OnlyOnePlainWebAddressIsOpened) {
    EXPECT_EQ(OpenableAddress("https://trophies.example.org/t/42\r\n"),
              "https://trophies.example.org/t/42");
    EXPECT_EQ(OpenableAddress("HTTP://127.0.0.1:8080/a?b=c#d"), "HTTP://127.0.0.1:8080/a?b=c#d");
    for (const char* bad :
         {"", "   ", "file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm", "mailto:a@b.c",
          "https://", "http:///path", "https://a.example/x y",
          "https://a.example/\nhttps://b.example/", "https://user:pw@a.example/",
          "https://a.example:80x/", "https://a.example/\"; rm -rf ~", "smb://host/share",
          "<html>https://a.example/</html>"}) {
        EXPECT_EQ(OpenableAddress(bad), "") << bad;
    }
    EXPECT_EQ(OpenableAddress(std::string(3000, 'a').insert(0, "https://x.example/")), "");
}

TEST(TrophyUploadRequest, ReachesALocalServerAndBringsItsAnswer) {
    testing::LocalHttpServer server(testing::LocalHttpServer::Mode::Answer, 200,
                                    "https://trophies.example.org/page/7\n");
    RandomDraw random(5);
    const UploadPath built = BuildUploadPath(89, "A1B2C3D4E5F6", 0, random);
    const UploadAnswer answer = SendUploadRequest(UploadUrl(server.address(), built.path), {});
    ASSERT_EQ(answer.status, UploadAnswer::Status::Answered) << answer.error;
    EXPECT_EQ(answer.httpStatus, 200);
    EXPECT_EQ(OpenableAddress(answer.body), "https://trophies.example.org/page/7");
    ASSERT_EQ(server.paths().size(), 1u);
    EXPECT_EQ(server.paths()[0], built.path);  // exactly, nothing escaped or added
    const Parsed p = Parse(server.paths()[0]);
    EXPECT_EQ(p.checksum, Md5Hex(p.a + p.b + p.combined + p.e));
    EXPECT_EQ(p.zone, "P0");
}

TEST(TrophyUploadRequest, ErrorsSilenceAndOverlongAnswersEndWithoutAnAnswer) {
    {
        testing::LocalHttpServer server(testing::LocalHttpServer::Mode::Answer, 500,
                                        "https://trophies.example.org/");
        const UploadAnswer answer = SendUploadRequest(server.address() + "/x", {});
        EXPECT_EQ(answer.status, UploadAnswer::Status::Failed);
        EXPECT_EQ(answer.body, "");  // an error page is never taken as the answer
    }
    {
        testing::LocalHttpServer server(testing::LocalHttpServer::Mode::Answer, 200,
                                        std::string(10000, 'x'));
        const UploadAnswer answer = SendUploadRequest(server.address() + "/x", {});
        EXPECT_EQ(answer.status, UploadAnswer::Status::TooLong);
    }
    {
        // A server that takes the request and never answers: the request ends at its bound.
        testing::LocalHttpServer server(testing::LocalHttpServer::Mode::Silent, 200, "");
        UploadLimits limits;
        limits.totalMs = 700;
        const UploadAnswer answer = SendUploadRequest(server.address() + "/x", limits);
        EXPECT_EQ(answer.status, UploadAnswer::Status::TimedOut) << answer.error;
        EXPECT_EQ(server.paths().size(), 1u);
    }
    // Nothing listens there, and other schemes are refused before any handle is made.
    EXPECT_EQ(SendUploadRequest("http://127.0.0.1:1/x", {}).status, UploadAnswer::Status::Failed);
    EXPECT_EQ(SendUploadRequest("file:///etc/passwd", {}).status, UploadAnswer::Status::NotSent);
}

TEST(TrophyUploadRequest, AJobThatIsDroppedEndsItsRequest) {
    testing::LocalHttpServer server(testing::LocalHttpServer::Mode::Silent, 200, "");
    bool called = false;
    {
        UploadJob job(server.address() + "/x", {}, [&](UploadAnswer) { called = true; });
        for (int i = 0; i < 500 && server.paths().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(server.paths().size(), 1u);
    }  // the 30 s bound is not waited for: the destructor cancels
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace vyre::trophies
