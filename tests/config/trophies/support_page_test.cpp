// The update and support page: the version texts, the deployment's addresses
// and the five buttons (recorded, never opened); the machine identifier.

#include "config/trophies/update_support_dlg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "common/version.h"
#include "platform/machine.h"
#include "platform/record.h"
#include "platform/shell.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using testing::App;

TEST(SupportPage, VersionTexts) {
    EXPECT_EQ(trophies::VersionByteText(5), "0.05");
    EXPECT_EQ(trophies::VersionByteText(255), "2.55");
    EXPECT_EQ(trophies::VersionByteText(109), "1.09");
    EXPECT_EQ(trophies::SoftwareVersionText("1.0.7.0"), "1.07");
    EXPECT_EQ(trophies::SoftwareVersionText("1.0.0"), "1.00");
    EXPECT_EQ(trophies::SoftwareVersionText("2"), "2.00");

    App();
    auto mirror = NewProfileStore();
    mirror->deviceInfoReport[2] = 104;
    mirror->deviceInfoReport[4] = 141;
    mirror->hostSettingsBlock.modelFlag = 1;
    CUpdateSuPportDlg page(*mirror);
    EXPECT_EQ(page.firmwareText(), "1.04");  // model A: one version byte
    EXPECT_EQ(page.softwareText().toStdString(), trophies::SoftwareVersionText(kSoftwareVersion));
    mirror->hostSettingsBlock.modelFlag = 2;
    mirror->deviceInfoReport[2] = 255;
    page.Refresh();
    EXPECT_EQ(page.firmwareText(), "2.55");  // model B too: the title band's rule
}

TEST(SupportPage, AddressesComeFromTheDeploymentAndButtonsOpenThem) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("deployment-" + std::to_string(::getpid()) + ".ini");
    {
        std::ofstream out(file);
        out << "[Trophies]\nService=https://trophies.example.org/\n"
            << "[Support]\nProductPage=https://example.org/lumo\nSite=https://example.org/\n"
            << "Mail=help@example.org\n";
    }
    std::map<std::string, std::string> env;
    auto getenv = [&](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    trophies::Deployment d = trophies::ReadDeployment(file, getenv);
    EXPECT_EQ(d.trophyService, "https://trophies.example.org");
    EXPECT_EQ(trophies::SupportAddress(d, 141), "https://example.org/lumo");
    EXPECT_EQ(trophies::SupportAddress(d, 142), "https://example.org/SUPPORT/");
    EXPECT_EQ(trophies::SupportAddress(d, 143),
              "https://example.org/Support/Support/Support-Form/");
    EXPECT_EQ(trophies::SupportAddress(d, 144), "mailto:help@example.org");
    EXPECT_EQ(trophies::SupportAddress(d, 145), "mailto:help@example.org");
    EXPECT_EQ(trophies::SupportAddress(d, 146), "");

    // The environment wins; what is not a plain address is not used.
    env["VYRE_LUMO_TROPHY_SERVICE"] = "http://127.0.0.1:8080";
    env["VYRE_LUMO_SUPPORT_SITE"] = "file:///etc";
    env["VYRE_LUMO_SUPPORT_MAIL"] = "help@example.org?bcc=all@example.org";
    d = trophies::ReadDeployment(file, getenv);
    EXPECT_EQ(d.trophyService, "http://127.0.0.1:8080");
    EXPECT_EQ(d.supportSite, "");
    EXPECT_EQ(d.supportMail, "");
    EXPECT_EQ(trophies::SupportAddress(d, 142), "");
    EXPECT_FALSE(trophies::PlainMailAddress("a b@example.org"));
    EXPECT_FALSE(trophies::PlainMailAddress("@example.org"));
    EXPECT_TRUE(trophies::PlainMailAddress("first.last+lumo@mail.example.org"));
    // No file, no environment: nothing configured.
    env.clear();
    d = trophies::ReadDeployment(file.string() + ".missing", getenv);
    EXPECT_EQ(d.trophyService, "");
    EXPECT_EQ(d.productSupportPage, "");
    std::filesystem::remove(file);

    // The shipped file names no service.
    const auto shipped = trophies::ReadDeployment(
        std::filesystem::path(VYRE_LUMO_SOURCE_ASSETS) / "deployment.ini", getenv);
    EXPECT_EQ(shipped.trophyService, "");
    EXPECT_EQ(shipped.supportSite, "");

    App();
    auto mirror = NewProfileStore();
    CUpdateSuPportDlg page(*mirror);
    std::vector<std::string> opened;
    page.openAddress = [&](const std::string& a) { opened.push_back(a); };
    trophies::Deployment partial;
    partial.supportSite = "https://example.org";
    page.SetDeployment(partial);
    EXPECT_FALSE(page.button(141).isEnabled());
    EXPECT_TRUE(page.button(142).isEnabled());
    EXPECT_FALSE(page.button(144).isEnabled());
    page.Press(141);  // not configured: nothing opens
    page.button(143).click();
    EXPECT_EQ(opened,
              std::vector<std::string>{"https://example.org/Support/Support/Support-Form/"});
    partial.supportMail = "help@example.org";
    page.SetDeployment(partial);
    page.button(145).click();
    EXPECT_EQ(opened.back(), "mailto:help@example.org");
    EXPECT_EQ(page.button(145).text(), "help@example.org");
}

TEST(SupportPage, ShellOpenIsRecordedWhileRecording) {
    std::vector<std::string> lines;
    platform::ActionRecord::Instance().SetSink([&](const std::string& l) { lines.push_back(l); });
    EXPECT_TRUE(platform::ShellOpen("https://example.org/x"));
    platform::ActionRecord::Instance().SetSink(nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("shell-open https://example.org/x"), std::string::npos);
}

TEST(MachineIdentifier, FirstRealAdapterElseDerivedFromTheMachineId) {
    using platform::NetworkInterface;
    std::vector<NetworkInterface> list = {
        {1, true, {0, 0, 0, 0, 0, 0}},                     // loopback
        {5, false, {0x02, 0x42, 0xac, 0x11, 0x00, 0x02}},  // a later one
        {3, false, {}},                                    // no hardware address (a tunnel)
        {4, false, {0, 0, 0, 0, 0, 0}},                    // all zero
        {2, false, {0x00, 0x1b, 0x21, 0x3a, 0x4f, 0xe0}},
    };
    EXPECT_EQ(platform::IdentifierFromInterfaces(list), "001B213A4FE0");
    EXPECT_EQ(platform::IdentifierFromInterfaces({list[0], list[2]}), std::nullopt);

    const std::string a = platform::IdentifierFromMachineId("0123456789abcdef0123456789abcdef");
    const std::string b = platform::IdentifierFromMachineId("fedcba9876543210fedcba9876543210");
    EXPECT_EQ(a.size(), 12u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, platform::IdentifierFromMachineId("0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(std::stoi(a.substr(0, 2), nullptr, 16) & 1, 1);  // never a network card's
    EXPECT_EQ(a.find("0123456789"), std::string::npos);        // the id itself is not sent

    const std::string mine = platform::MachineIdentifier();
    ASSERT_EQ(mine.size(), 12u);
    for (char c : mine) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << mine;
}

}  // namespace
}  // namespace vyre

namespace vyre {
namespace {

// Every control of both pages explains itself in each of the seventeen languages.
TEST(TrophyPagesHelp, EveryHelpIdHasItsLineInEveryLanguage) {
    const auto folder = std::filesystem::path(VYRE_LUMO_SOURCE_ASSETS) / "Help";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_GE(raw.size(), 2u);
        ASSERT_EQ(raw.substr(0, 2), "\xFF\xFE") << entry.path();
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.data() + 2),
                                                static_cast<qsizetype>((raw.size() - 2) / 2));
        const QStringList lines = text.split("\r\n");
        ASSERT_GE(lines.size(), 197) << entry.path();
        for (int id = 181; id <= 197; ++id)
            EXPECT_FALSE(lines[id - 1].trimmed().isEmpty()) << entry.path() << " id " << id;
        ++files;
    }
    EXPECT_EQ(files, 17);
}

}  // namespace
}  // namespace vyre
