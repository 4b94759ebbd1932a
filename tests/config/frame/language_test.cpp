// The quick help language: the choice at the first start, the stored choice,
// the language menu, and the quick help line as the pointer moves.

#include "config/frame/language.h"

#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QTest>

#include <fstream>

#include "common/key_table.h"
#include "config/frame/config_dlg.h"
#include "config/frame/help_ids.h"
#include "platform/profile_ini.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

struct Dialog {
    explicit Dialog(const char* locale, const char* storedLanguage = nullptr)
        : lcAll("LC_ALL", locale) {
        testing::App();
        if (storedLanguage) {
            std::filesystem::create_directories(home / "Config");
            std::ofstream(home / "Config" / "Config.ini")
                << "[Setting]\nQuickHelpLan=" << storedLanguage << "\n";
        }
        ResetStoreToDefaults(*shared.mirror, KeyTableUsages());
        shared.mirror->hostSettingsBlock.modelFlag = 2;
        dialog = std::make_unique<CVyreMKConfigDlg>(shared);
        dialog->Initialise();
        dialog->show();
    }
    std::string Stored() {
        return platform::GetPrivateProfileString("Setting", "QuickHelpLan", "",
                                                 home / "Config" / "Config.ini");
    }
    QString Line(int language, int helpId) {
        const auto table = ReadHelpTexts(language);
        return table ? QString::fromStdU16String(HelpText(*table, helpId)) : QString();
    }
    // The main dialog's button with this help id.
    QWidget* Button(int helpId) {
        // The kit's classes have no meta object of their own: qobject_cast would
        // take any button for one, so the type is checked the C++ way.
        for (auto* w : dialog->findChildren<QAbstractButton*>()) {
            auto* b = dynamic_cast<widgets::CSkinButton*>(w);
            if (b != nullptr && b->helpId() == helpId) return b;
        }
        return nullptr;
    }

    testing::TempDir home;
    testing::ScopedEnv homeEnv{"VYRE_LUMO_HOME", home.path().string()};
    testing::ScopedEnv lcAll;
    ConfigShared shared;
    std::unique_ptr<CVyreMKConfigDlg> dialog;
};

using testing::PointerEnter;
using testing::PointerLeave;

TEST(Language, SystemLanguageIdsChooseTheirLanguage) {
    EXPECT_EQ(LanguageOfSystemId(1031), 4);
    EXPECT_EQ(LanguageOfSystemId(5127), 4);
    EXPECT_EQ(LanguageOfSystemId(3076), 14);
    EXPECT_EQ(LanguageOfSystemId(21514), 11);
    EXPECT_EQ(LanguageOfSystemId(2077), 12);
    EXPECT_EQ(LanguageOfSystemId(1043), kEnglish);  // Dutch has no help texts
    EXPECT_EQ(LanguageOfSystemId(0), kEnglish);
    // Every help file is there, with a line for every help id.
    for (int i = 0; i < kLanguageCount; ++i) {
        const auto table = ReadHelpTexts(i);
        ASSERT_TRUE(table) << Languages()[i].helpFile;
        EXPECT_EQ(table->size(), static_cast<std::size_t>(help::kLastHelpId))
            << Languages()[i].helpFile;
        EXPECT_FALSE(HelpText(*table, help::kReset).empty());
    }
}

TEST(Language, FirstStartOnAGermanSystem) {
    Dialog t("de_DE.UTF-8");
    EXPECT_EQ(t.dialog->languageButton().language(), 4);
    EXPECT_EQ(t.Stored(), "4");
    EXPECT_EQ(t.dialog->helpLineCount(), static_cast<std::size_t>(help::kLastHelpId));
    PointerEnter(t.Button(help::kOk));
    EXPECT_EQ(t.dialog->quickHelpText(), "Alle Änderungen an die Tastatur senden und schließen.");
}

TEST(Language, TheStoredChoiceWinsUnlessItIsNoLanguage) {
    {
        Dialog t("de_DE.UTF-8", "9");
        EXPECT_EQ(t.dialog->languageButton().language(), 9);
        EXPECT_EQ(t.Stored(), "9");  // written again at every start
    }
    Dialog t("C.UTF-8", "99");
    EXPECT_EQ(t.dialog->languageButton().language(), kEnglish);
    EXPECT_EQ(t.Stored(), "1");
    EXPECT_EQ(t.dialog->helpLineCount(), static_cast<std::size_t>(help::kLastHelpId));
}

TEST(Language, ADamagedConfigIniIsKeptAsideAndItsChoiceRead) {
    Dialog t("C.UTF-8", "9\n\xC3garbage");
    EXPECT_EQ(t.dialog->languageButton().language(), 9);
    EXPECT_NE(t.shared.settingsDamaged.load() & (1u << kDamagedConfigIni), 0u);
    int kept = 0;
    for (const auto& e : std::filesystem::directory_iterator(t.home / "Config"))
        kept += e.path().filename().string().rfind("Config.ini.damaged-", 0) == 0;
    EXPECT_EQ(kept, 1);
    EXPECT_TRUE(platform::ProfileFileReadsWhole(t.home / "Config" / "Config.ini"));
}

TEST(Language, ChoosingTradChineseFromTheMenu) {
    Dialog t("en_GB.UTF-8");
    CLanguageMenuBtn& button = t.dialog->languageButton();
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_TRUE(button.menuShown());
    EXPECT_EQ(button.menu()->geometry(), QRect(12, 570 - 289, 100, 289));
    QTest::mouseClick(button.menu()->item(14), Qt::LeftButton);
    EXPECT_FALSE(button.menuShown());
    QCoreApplication::processEvents();  // the choice arrives as a posted message
    EXPECT_EQ(button.language(), 14);
    EXPECT_EQ(t.Stored(), "14");
    PointerEnter(t.Button(help::kCancel));
    EXPECT_EQ(t.dialog->quickHelpText(), t.Line(14, help::kCancel));
    EXPECT_EQ(t.dialog->quickHelpText(), "關閉，不將變更傳送到鍵盤。");

    // A left click in the dialog closes the menu; so does a quick help text.
    button.ShowMenu(true);
    QTest::mouseClick(t.dialog.get(), Qt::LeftButton, {}, QPoint(400, 300));
    EXPECT_FALSE(button.menuShown());
    button.ShowMenu(true);
    PointerLeave(t.Button(help::kCancel));
    PointerEnter(t.Button(help::kApply));
    EXPECT_FALSE(button.menuShown());
}

TEST(Language, QuickHelpFollowsThePointer) {
    Dialog t("en_US.UTF-8");
    QWidget* ok = t.Button(help::kOk);
    QWidget* apply = t.Button(help::kApply);
    PointerEnter(ok);
    EXPECT_EQ(t.dialog->quickHelpText(), "Send all changes to the keyboard and close.");
    PointerLeave(ok);
    PointerEnter(apply);
    EXPECT_EQ(t.dialog->quickHelpText(),
              "Send all changes to the keyboard; the window stays open.");
    EXPECT_EQ(t.dialog->shownHelpId(), help::kApply);
    PointerLeave(apply);
    EXPECT_EQ(t.dialog->quickHelpText(), "");
    EXPECT_EQ(t.dialog->shownHelpId(), 0);

    // The page's controls reach the same line.
    PointerEnter(&t.dialog->mainControlPage().resetButton());
    EXPECT_EQ(t.dialog->quickHelpText(), t.Line(kEnglish, help::kReset));

    // An id past the file's last line shows an empty line.
    t.dialog->QuickHelp(help::kLastHelpId + 1, true);
    EXPECT_EQ(t.dialog->quickHelpText(), "");
    EXPECT_EQ(t.dialog->shownHelpId(), help::kLastHelpId + 1);
}

TEST(Language, AMissingHelpFileLeavesTheLineBlank) {
    testing::TempDir assets;
    testing::ScopedEnv noAssets("VYRE_LUMO_ASSETS", assets.path().string());
    Dialog t("fr_FR.UTF-8");
    EXPECT_EQ(t.dialog->languageButton().language(), 3);
    EXPECT_EQ(t.Stored(), "3");
    EXPECT_EQ(t.dialog->helpLineCount(), 0u);
    PointerEnter(t.Button(help::kOk));
    EXPECT_EQ(t.dialog->quickHelpText(), "");
    EXPECT_TRUE(t.dialog->isVisible());  // the initialisation went on
}

}  // namespace
}  // namespace vyre
