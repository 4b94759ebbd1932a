#include "platform/registry.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "tests/platform/temp_dir.h"

namespace vyre::platform {
namespace {

using vyre::testing::TempDir;
using namespace std::string_literals;

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return v;
}

// UTF-16 LE text with its byte-order mark, as regedit writes it.
std::string RegeditText(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// A file as regedit writes it back to UTF-8 text with "\n" line ends; fails
// the test unless it is UTF-16 LE with a byte-order mark and CRLF line ends.
std::string FromRegeditText(const std::string& bytes) {
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(bytes.size() % 2, 0u);
    std::u16string wide;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        wide += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) | (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    std::string text = text::Utf16ToUtf8(wide);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') ADD_FAILURE() << "a line ends without CR";
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += '\n';
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

// A process id that certainly does not run any more.
pid_t DeadPid() {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    int status;
    ::waitpid(pid, &status, 0);
    return pid;
}

TEST(Registry, QueryReportsSizesAsRegQueryValueEx) {
    auto reg = Registry::InMemory();
    EXPECT_FALSE(reg->KeyExists());
    std::uint32_t size = 4;
    EXPECT_EQ(reg->QueryValue("PF1 NAME", nullptr, nullptr, &size), RegStatus::NotFound);

    ASSERT_EQ(reg->WriteString("PF1 NAME", RegType::MultiSz, u"Default1"), RegStatus::Ok);
    EXPECT_TRUE(reg->KeyExists());

    RegType type = RegType::None;
    size = 0;
    EXPECT_EQ(reg->QueryValue("PF1 NAME", &type, nullptr, &size), RegStatus::Ok);
    EXPECT_EQ(type, RegType::MultiSz);
    EXPECT_EQ(size, 18u);  // 8 characters x 2 + 2

    std::uint8_t buffer[64];
    std::memset(buffer, 0xAB, sizeof buffer);
    size = 17;
    EXPECT_EQ(reg->QueryValue("PF1 NAME", &type, buffer, &size), RegStatus::MoreData);
    EXPECT_EQ(size, 18u);
    EXPECT_EQ(buffer[0], 0xAB);  // untouched

    size = 18;
    EXPECT_EQ(reg->QueryValue("PF1 NAME", &type, buffer, &size), RegStatus::Ok);
    EXPECT_EQ(size, 18u);
    EXPECT_EQ(buffer[0], 'D');
    EXPECT_EQ(buffer[17], 0);

    // A name that does not fit its 50-byte buffer reads as missing.
    ASSERT_EQ(reg->WriteString("PF2 NAME", RegType::MultiSz, std::u16string(25, u'x')),
              RegStatus::Ok);
    EXPECT_FALSE(reg->ReadString("PF2 NAME", 50));
    EXPECT_EQ(reg->ReadString("PF2 NAME", 52), std::u16string(25, u'x'));

    // Typed reads check the type and size.
    ASSERT_EQ(reg->WriteDword("Start Page", 3), RegStatus::Ok);
    EXPECT_EQ(reg->ReadDword("Start Page"), 3u);
    EXPECT_FALSE(reg->ReadDword("PF1 NAME"));
    std::uint8_t two[2] = {1, 2};
    ASSERT_EQ(reg->SetValue("Short", RegType::Dword, two, 2), RegStatus::Ok);
    EXPECT_FALSE(reg->ReadDword("Short"));
    EXPECT_FALSE(reg->ReadString("Start Page", 50));
}

TEST(Registry, NamesIgnoreCaseAndDeleteWorks) {
    auto reg = Registry::InMemory();
    ASSERT_EQ(reg->WriteDword("Windows Profile", 5), RegStatus::Ok);
    EXPECT_EQ(reg->ReadDword("WINDOWS PROFILE"), 5u);
    ASSERT_EQ(reg->WriteDword("windows profile", 2), RegStatus::Ok);
    ASSERT_EQ(reg->Values().size(), 1u);
    EXPECT_EQ(reg->Values()[0].name, "Windows Profile");  // the first spelling stays
    EXPECT_EQ(reg->ReadDword("Windows Profile"), 2u);

    EXPECT_EQ(reg->DeleteValue("WINDOWS profile"), RegStatus::Ok);
    EXPECT_EQ(reg->DeleteValue("Windows Profile"), RegStatus::NotFound);
    EXPECT_FALSE(reg->ReadDword("Windows Profile"));
    EXPECT_TRUE(reg->KeyExists());  // deleting values keeps the key

    ASSERT_EQ(reg->WriteDword("A", 1), RegStatus::Ok);
    EXPECT_TRUE(reg->DeleteKey());
    EXPECT_FALSE(reg->KeyExists());
    EXPECT_FALSE(reg->ReadDword("A"));
    EXPECT_TRUE(reg->CreateKey());
    EXPECT_TRUE(reg->KeyExists());
    EXPECT_TRUE(reg->Values().empty());
}

TEST(Registry, EveryValueSurvivesTheFileWithTypeAndSize) {
    TempDir dir;
    auto file = dir / "data" / "registry.reg";
    std::u16string link = u"/opt/games/" + std::u16string(244, u'p');  // 255 characters
    std::vector<std::uint8_t> stats = Pattern(248), talk = Pattern(765);
    {
        Registry reg(file);
        EXPECT_FALSE(reg.KeyExists());
        ASSERT_EQ(reg.WriteDword("Start Page", 0xDEADBEEF), RegStatus::Ok);
        ASSERT_EQ(reg.SetValue("Statistic DB", RegType::Binary, stats.data(), 248), RegStatus::Ok);
        ASSERT_EQ(reg.SetValue("PF1 TalkCommand", RegType::Binary, talk.data(), 765),
                  RegStatus::Ok);
        ASSERT_EQ(reg.WriteString("PF1 EXEC1", RegType::MultiSz, link), RegStatus::Ok);
        ASSERT_EQ(reg.WriteString("PF1 Timer Name1", RegType::Sz, u"Tee \"grün\" C:\\x 計"),
                  RegStatus::Ok);
        ASSERT_EQ(reg.WriteString("PF1 Timer Name2", RegType::Sz, u"two\nlines"), RegStatus::Ok);
        ASSERT_EQ(reg.WriteString("Path", RegType::ExpandSz, u"%HOME%/x"), RegStatus::Ok);
        std::uint8_t oddSz[3] = {'a', 0, 'b'};  // not a well-formed string
        ASSERT_EQ(reg.SetValue("Odd", RegType::Sz, oddSz, 3), RegStatus::Ok);
        ASSERT_EQ(reg.SetValue("Empty", RegType::Binary, nullptr, 0), RegStatus::Ok);
        ASSERT_EQ(reg.SetValue("", RegType::Dword, stats.data(), 4), RegStatus::Ok);
    }
    const std::string bytes = Slurp(file);
    std::string text = FromRegeditText(bytes);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version "
                         "5.00\n\n[HKEY_CURRENT_USER\\Software\\Kalvex\\Vyre Lumo]\n",
                         0),
              0u);
    EXPECT_NE(text.find("\"Start Page\"=dword:deadbeef\n"), std::string::npos);
    EXPECT_NE(text.find("\"PF1 Timer Name1\"=\"Tee \\\"grün\\\" C:\\\\x 計\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"PF1 EXEC1\"=hex(7):2f,00,6f,00"), std::string::npos);
    EXPECT_NE(text.find("\"Path\"=hex(2):"), std::string::npos);
    EXPECT_NE(text.find("\"Empty\"=hex:\n"), std::string::npos);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 80u) << line;
    }

    Registry again(file);
    EXPECT_TRUE(again.KeyExists());
    EXPECT_EQ(again.ReadDword("Start Page"), 0xDEADBEEFu);
    EXPECT_EQ(again.GetValue("Statistic DB")->data, stats);
    EXPECT_EQ(again.GetValue("PF1 TalkCommand")->data, talk);
    EXPECT_EQ(again.ReadString("PF1 EXEC1", 512), link);
    EXPECT_EQ(again.GetValue("PF1 EXEC1")->data.size(), link.size() * 2 + 2);
    EXPECT_EQ(again.ReadString("PF1 Timer Name1", 50), u"Tee \"grün\" C:\\x 計");
    EXPECT_EQ(again.ReadString("PF1 Timer Name2", 50), u"two\nlines");
    EXPECT_EQ(again.GetValue("PF1 Timer Name2")->type, RegType::Sz);
    EXPECT_EQ(again.GetValue("Path")->type, RegType::ExpandSz);
    EXPECT_EQ(again.GetValue("Odd")->data, (std::vector<std::uint8_t>{'a', 0, 'b'}));
    EXPECT_EQ(again.GetValue("Empty")->data.size(), 0u);
    EXPECT_EQ(again.GetValue("")->type, RegType::Dword);
    EXPECT_EQ(again.Serialize(), bytes);
}

// What regedit itself writes: UTF-16 LE with a byte-order mark, CRLF, hex
// lists folded after the comma that reaches column 77 with "\" and a
// continuation indented by two spaces, hex(2) and hex(7) as the UTF-16 bytes
// with their terminators, hex(b) for a qword.
TEST(RegistryFormat, WritesEveryTypeAsRegeditExportsIt) {
    std::vector<RegValue> values;
    values.push_back({"Statistic DB", RegType::Binary, Pattern(50)});
    values.push_back({"PF1 EXEC1", RegType::MultiSz, {'A', 0, 'B', 0, 0, 0, 'C', 0, 0, 0, 0, 0}});
    values.push_back({"Path", RegType::ExpandSz, {'%', 0, 'H', 0, '%', 0, 0, 0}});
    values.push_back({"Big", RegType::Qword, {1, 2, 3, 4, 5, 6, 7, 8}});
    values.push_back({"Nothing", RegType::None, {}});
    values.push_back({"Name", RegType::Sz, {0xE9, 0, 0x08, 0x8A, 0, 0}});  // "é計"
    values.push_back({"Start Page", RegType::Dword, {0x0A, 0, 0, 0}});
    const std::string file = FormatRegFile(kVyreLumoKeyPath, true, values);
    std::string expected =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Kalvex\\Vyre Lumo]\n"
        "\"Statistic DB\"=hex:";
    const auto bytes = Pattern(50);
    auto hex = [](std::uint8_t b) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02x", b);
        return std::string(buf);
    };
    for (std::size_t i = 0; i < 50; ++i) {
        expected += hex(bytes[i]);
        if (i + 1 < 50) expected += ',';
        if (i == 19 || i == 44) expected += "\\\n  ";  // 20 bytes after the name, then 25 a line
    }
    expected += "\n"
        "\"PF1 EXEC1\"=hex(7):41,00,42,00,00,00,43,00,00,00,00,00\n"
        "\"Path\"=hex(2):25,00,48,00,25,00,00,00\n"
        "\"Big\"=hex(b):01,02,03,04,05,06,07,08\n"
        "\"Nothing\"=hex(0):\n"
        "\"Name\"=\"é計\"\n"
        "\"Start Page\"=dword:0000000a\n"
        "\n";
    EXPECT_EQ(FromRegeditText(file), expected);
    const auto back = ParseRegFile(file, kVyreLumoKeyPath);
    ASSERT_EQ(back.values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(back.values[i].name, values[i].name);
        EXPECT_EQ(back.values[i].type, values[i].type);
        EXPECT_EQ(back.values[i].data, values[i].data) << values[i].name;
    }
}

// Files without a byte-order mark: the UTF-8 ones this program wrote before,
// and ANSI (Windows-1252) ones; the older REGEDIT4 format keeps hex(2) and
// hex(7) as ANSI bytes, which come back as UTF-16.
TEST(RegistryFormat, ReadsUtf8AnsiAndRegedit4Files) {
    const std::string utf8 =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Kalvex\\Vyre Lumo]\n"
        "\"PF1 NAME\"=\"grün 計\"\n\"PF1 EXEC1\"=hex(7):41,00,00,00,00,00\n";
    auto a = ParseRegFile(utf8, kVyreLumoKeyPath);
    ASSERT_EQ(a.values.size(), 2u);
    EXPECT_EQ(a.values[0].data, (std::vector<std::uint8_t>{'g', 0, 'r', 0, 0xFC, 0, 'n', 0, ' ', 0, 0x08, 0x8A, 0, 0}));
    EXPECT_EQ(a.values[1].data, (std::vector<std::uint8_t>{'A', 0, 0, 0, 0, 0}));

    const std::string ansi =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kalvex\\Vyre Lumo]\r\n"
        "\"PF1 NAME\"=\"Caf\xE9 \x80\"\r\n";
    auto b = ParseRegFile(ansi, kVyreLumoKeyPath);
    ASSERT_EQ(b.values.size(), 1u);
    EXPECT_EQ(b.values[0].data, (std::vector<std::uint8_t>{'C', 0, 'a', 0, 'f', 0, 0xE9, 0, ' ', 0, 0xAC, 0x20, 0, 0}));

    const std::string regedit4 =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kalvex\\Vyre Lumo]\r\n"
        "\"PF1 EXEC1\"=hex(7):41,42,00,43,00,00\r\n\"Path\"=hex(2):25,48,25,00\r\n\"Bin\"=hex:41,00\r\n";
    auto c = ParseRegFile(regedit4, kVyreLumoKeyPath);
    ASSERT_EQ(c.values.size(), 3u);
    EXPECT_EQ(c.values[0].data, (std::vector<std::uint8_t>{'A', 0, 'B', 0, 0, 0, 'C', 0, 0, 0, 0, 0}));
    EXPECT_EQ(c.values[1].data, (std::vector<std::uint8_t>{'%', 0, 'H', 0, '%', 0, 0, 0}));
    EXPECT_EQ(c.values[2].data, (std::vector<std::uint8_t>{'A', 0}));  // binary stays as it is
}

TEST(Registry, ReadsRegeditExportsInUtf16) {
    TempDir dir;
    std::u16string content =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Start Page\"=dword:00000009\r\n\r\n"
        u"[hkey_current_user\\software\\kalvex\\vyre lumo]\r\n"
        u"\"Start Page\"=dword:00000002\r\n"
        u"\"PF1 NAME\"=hex(7):41,00,\\\r\n  42,00,00,00\r\n"
        u"\"Gone\"=dword:00000001\r\n"
        u"\"Gone\"=-\r\n";
    Spit(dir / "registry.reg", RegeditText(content));
    Registry reg(dir / "registry.reg");
    EXPECT_TRUE(reg.KeyExists());
    EXPECT_EQ(reg.ReadDword("Start Page"), 2u);  // not the other key's value
    EXPECT_EQ(reg.ReadString("PF1 NAME", 50), u"AB");
    EXPECT_FALSE(reg.GetValue("Gone"));
}

TEST(Registry, DamagedFileIsReadAsFarAsItParses) {
    TempDir dir;
    std::string text =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Kalvex\\Vyre Lumo]\n"
        "\"Start Page\"=dword:00000001\n"
        "\"Bad Dword\"=dword:xyz\n"
        "\"Unterminated=dword:00000001\n"
        "\"Bad Hex\"=hex:00,0g,01\n"
        "\"Broken Fold\"=hex:01,02,\\\n"
        "  zz,03\n"
        "garbage line without meaning\n"
        "\"With Nul\"=dword:0\0000001\n"
        "\"Windows Profile\"=dword:00000004\n"
        "\"PF1 NAME\"=hex(7):41,00,4"s;  // cut off in the middle of a byte list
    Spit(dir / "registry.reg", text);
    Registry reg(dir / "registry.reg");
    EXPECT_TRUE(reg.KeyExists());
    EXPECT_EQ(reg.ReadDword("Start Page"), 1u);
    EXPECT_EQ(reg.ReadDword("Windows Profile"), 4u);
    for (const char* missing :
         {"Bad Dword", "Unterminated", "Bad Hex", "Broken Fold", "With Nul", "PF1 NAME"}) {
        EXPECT_FALSE(reg.GetValue(missing)) << missing;
    }
    // The next write replaces the damaged file with a clean one.
    ASSERT_EQ(reg.WriteString("PF1 NAME", RegType::MultiSz, u"Default1"), RegStatus::Ok);
    Registry again(dir / "registry.reg");
    EXPECT_EQ(again.Values().size(), 3u);
    EXPECT_EQ(again.ReadString("PF1 NAME", 50), u"Default1");

    // Noise around a damaged key line: what can be read of it is still read.
    Spit(dir / "noise.reg",
         "\x01\x02\xFF garbage\n[HKEY_CURRENT_USER\\Software\\Kalvex\\Vyre Lumo\n\"A\"=dword:1\n");
    Registry noise(dir / "noise.reg");
    EXPECT_TRUE(noise.KeyExists());
    EXPECT_EQ(noise.ReadDword("A"), 1u);
}

std::vector<std::filesystem::path> KeptFiles(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> kept;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind("registry.reg.damaged-", 0) == 0) kept.push_back(e.path());
    return kept;
}

// A damaged settings file never silently becomes a first start: whatever can
// be read is, the file is kept beside as it was, and the log names it.
TEST(Registry, ADamagedFileIsKeptBesideAndEveryReadableValueIsRead) {
    TempDir dir;
    const auto file = dir / "registry.reg";
    std::string whole;
    {
        Registry reg(file);
        Registry::Batch batch(reg);
        for (int i = 0; i < 40; ++i) reg.WriteDword("Value " + std::to_string(i), static_cast<std::uint32_t>(i * 3));
        ASSERT_TRUE(batch.Commit());
    }
    ASSERT_FALSE(Registry(file).DamagedFile());  // a whole file is no damage
    whole = text::Utf16ToUtf8(text::DecodeTextFile(Slurp(file)));  // damaged below as UTF-8 text

    struct Case {
        const char* what;
        std::string bytes;
        std::size_t readable;  // values still there
    };
    std::string keyByte = whole;
    keyByte[keyByte.find("Kalvex") + 2] = 'X';
    std::string header = whole;
    header[3] = '#';
    std::string noise(3000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    const std::vector<Case> cases{
        {"one changed byte in the key line", keyByte, 40},
        {"a damaged first line", header, 40},
        {"a file cut in half", whole.substr(0, whole.size() / 2), 0},
        {"random bytes", noise, 0},
        {"an empty file", "", 0},
    };
    for (const Case& c : cases) {
        for (const auto& k : KeptFiles(dir.path())) std::filesystem::remove(k);
        Spit(file, c.bytes);
        ::testing::internal::CaptureStderr();
        Registry reg(file);
        const auto values = reg.Values();
        const auto kept = reg.DamagedFile();
        const std::string log = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(kept) << c.what;
        EXPECT_EQ(KeptFiles(dir.path()), std::vector<std::filesystem::path>{*kept}) << c.what;
        EXPECT_EQ(Slurp(*kept), c.bytes) << c.what;
        EXPECT_NE(log.find("warning registry: the settings file " + file.string() + " is damaged"), std::string::npos)
            << log;
        EXPECT_NE(log.find(kept->string()), std::string::npos) << log;
        if (c.readable > 0) {
            EXPECT_EQ(values.size(), c.readable) << c.what;
            EXPECT_EQ(reg.ReadDword("Value 39"), 117u) << c.what;
        }
    }
    // Half a file: every value before the cut is read.
    for (const auto& k : KeptFiles(dir.path())) std::filesystem::remove(k);
    const std::string half = whole.substr(0, whole.find("\"Value 20\"") + 4);
    Spit(file, half);
    ::testing::internal::CaptureStderr();
    Registry reg(file);
    EXPECT_EQ(reg.Values().size(), 20u);
    EXPECT_EQ(reg.ReadDword("Value 19"), 57u);
    EXPECT_TRUE(reg.DamagedFile());
    ::testing::internal::GetCapturedStderr();
}

TEST(Registry, AFileTooLargeForSettingsIsMovedAsideUnread) {
    TempDir dir;
    const auto file = dir / "registry.reg";
    Spit(file, "Windows Registry Editor Version 5.00\n\n");
    std::filesystem::resize_file(file, kSettingsFileLimit + 1);  // sparse: no disk used
    ::testing::internal::CaptureStderr();
    Registry reg(file);
    EXPECT_FALSE(reg.KeyExists());
    const auto kept = reg.DamagedFile();
    const std::string log = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(kept);
    EXPECT_EQ(std::filesystem::file_size(*kept), kSettingsFileLimit + 1);
    EXPECT_NE(log.find("error registry: the settings file " + file.string() + " holds more than"), std::string::npos)
        << log;
    // The next write starts a clean file.
    ASSERT_EQ(reg.WriteDword("A", 1), RegStatus::Ok);
    EXPECT_LT(std::filesystem::file_size(file), 1000u);
}

TEST(Registry, CrashBetweenWritingAndRenamingLeavesTheOldFile) {
    TempDir dir;
    auto file = dir / "registry.reg";
    {
        Registry reg(file);
        ASSERT_EQ(reg.WriteDword("Start Page", 1), RegStatus::Ok);
    }
    std::string old = Slurp(file);
    // What a process that died during a rewrite leaves: a half-written temporary.
    auto stray = dir / ("registry.reg.tmp." + std::to_string(DeadPid()) + ".0");
    Spit(stray, old.substr(0, old.size() / 2));
    auto emptyStray = dir / ("registry.reg.tmp." + std::to_string(DeadPid()) + ".1");
    Spit(emptyStray, "");

    Registry reg(file);
    EXPECT_EQ(reg.ReadDword("Start Page"), 1u);
    ASSERT_EQ(reg.WriteDword("Start Page", 2), RegStatus::Ok);
    EXPECT_FALSE(std::filesystem::exists(stray));
    EXPECT_FALSE(std::filesystem::exists(emptyStray));
    Registry again(file);
    EXPECT_EQ(again.ReadDword("Start Page"), 2u);
    // Only the file itself is left in the folder.
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.is_regular_file();
    EXPECT_EQ(entries, 1);
}

TEST(Registry, FailedWriteIsReportedAndNotPretended) {
    TempDir dir;
    Spit(dir / "blocker", "a file where the folder should be");
    Registry reg(dir / "blocker" / "registry.reg");
    EXPECT_EQ(reg.WriteDword("Start Page", 1), RegStatus::Failed);
    EXPECT_FALSE(reg.ReadDword("Start Page"));
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_FALSE(reg.CreateKey());
}

TEST(Registry, BatchWritesTheFileOnceAndOtherProcessesChangesAreSeen) {
    TempDir dir;
    auto file = dir / "registry.reg";
    Registry reg(file);
    {
        Registry::Batch batch(reg);
        for (int p = 1; p <= 5; ++p) {
            for (int m = 0; m < 2; ++m) {
                for (int layer = 0; layer < 11; ++layer) {
                    std::string name = "PF" + std::to_string(p) + " KeyIllumination " +
                                       std::to_string(m) + "_" + std::to_string(layer);
                    ASSERT_EQ(reg.WriteDword(name, 412), RegStatus::Ok);
                }
            }
        }
        EXPECT_FALSE(std::filesystem::exists(file));                 // nothing written yet
        EXPECT_EQ(reg.ReadDword("pf5 keyillumination 1_10"), 412u);  // but visible
        {
            Registry::Batch nested(reg);
            ASSERT_EQ(reg.WriteDword("Start Page", 1), RegStatus::Ok);
        }
        EXPECT_FALSE(std::filesystem::exists(file));  // the outer batch decides
    }
    EXPECT_EQ(Registry(file).Values().size(), 111u);

    // Another writer replaces the file; the cached key follows it.
    Spit(
        file,
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Kalvex\\Vyre Lumo]\n"
        "\"Start Page\"=dword:00000007\n");
    EXPECT_EQ(reg.ReadDword("Start Page"), 7u);
    EXPECT_EQ(reg.Values().size(), 1u);
    std::filesystem::remove(file);
    EXPECT_FALSE(reg.KeyExists());
}

TEST(Registry, WritersOnSeveralThreadsLoseNothing) {
    TempDir dir;
    auto file = dir / "registry.reg";
    Registry reg(file);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                std::string name = "T" + std::to_string(t) + " V" + std::to_string(i);
                reg.WriteDword(name, static_cast<std::uint32_t>(t * 100 + i));
                reg.ReadDword(name);
            }
        });
    }
    for (auto& th : threads) th.join();
    Registry again(file);
    ASSERT_EQ(again.Values().size(), 100u);
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 25; ++i) {
            EXPECT_EQ(again.ReadDword("T" + std::to_string(t) + " V" + std::to_string(i)),
                      static_cast<std::uint32_t>(t * 100 + i));
        }
    }
}

TEST(Registry, RejectsNamesThatWouldBreakTheFile) {
    auto reg = Registry::InMemory();
    EXPECT_EQ(reg->WriteDword("two\nlines", 1), RegStatus::Failed);
    EXPECT_EQ(reg->WriteDword(std::string("nul\0x", 5), 1), RegStatus::Failed);
    EXPECT_FALSE(reg->KeyExists());
    // Quotes and backslashes in names are escaped and come back.
    TempDir dir;
    {
        Registry file(dir / "r.reg");
        ASSERT_EQ(file.WriteDword("a \"b\" \\c", 9), RegStatus::Ok);
    }
    EXPECT_EQ(Registry(dir / "r.reg").ReadDword("a \"b\" \\c"), 9u);
}

}  // namespace
}  // namespace vyre::platform

namespace vyre::platform {
namespace {

// Whatever a damaged file holds, what was read from it is written back
// unchanged: parsing the rewritten file gives the same values.
TEST(RegistryFormat, DamagedInputsReadBackStableAfterRewrite) {
    std::vector<RegValue> values;
    values.push_back({"Start Page", RegType::Dword, {1, 0, 0, 0}});
    values.push_back({"PF1 NAME", RegType::MultiSz, {'A', 0, 0, 0}});
    values.push_back({"Statistic DB", RegType::Binary, Pattern(248)});
    values.push_back({"PF1 Timer Name1", RegType::Sz, {'T', 0, '"', 0, '\\', 0, 0, 0}});
    const std::string good = FormatRegFile(kVyreLumoKeyPath, true, values);
    ASSERT_EQ(ParseRegFile(good, kVyreLumoKeyPath).values.size(), values.size());

    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const char alphabet[] = "\\\",=:[]@-\n\r\0 x0hexdword(7)";
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = good;
        int edits = 1 + static_cast<int>(next() % 4);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = next() % damaged.size();
            switch (next() % 3) {
                case 0:
                    damaged[at] = alphabet[next() % (sizeof alphabet - 1)];
                    break;
                case 1:
                    damaged.erase(at, 1 + next() % 8);
                    break;
                default:
                    damaged.insert(at, 1, alphabet[next() % (sizeof alphabet - 1)]);
                    break;
            }
            if (damaged.empty()) damaged = "x";
        }
        RegFileContents first = ParseRegFile(damaged, kVyreLumoKeyPath);
        std::string rewritten = FormatRegFile(kVyreLumoKeyPath, first.keyFound, first.values);
        RegFileContents second = ParseRegFile(rewritten, kVyreLumoKeyPath);
        ASSERT_EQ(second.keyFound, first.keyFound) << damaged;
        ASSERT_EQ(second.values.size(), first.values.size()) << damaged;
        for (std::size_t k = 0; k < first.values.size(); ++k) {
            EXPECT_TRUE(vyre::text::EqualNoCaseUtf8(second.values[k].name, first.values[k].name));
            EXPECT_EQ(second.values[k].type, first.values[k].type) << damaged;
            EXPECT_EQ(second.values[k].data, first.values[k].data) << damaged;
        }
    }
}

}  // namespace
}  // namespace vyre::platform
