// vyre-lumo-config: the window in which the keyboard's profiles are edited.

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "common/log.h"
#include "common/version.h"
#include "config/frame/config_app.h"
#include "config/frame/failure_text.h"
#include "config/frame/help_ids.h"
#include "config/keys/key_dialog_screenshots.h"
#include "config/lights/macro_screenshots.h"
#include "config/lights/illumination_pictures.h"
#include "config/trophies/trophy_screenshots.h"
#include "platform/crash.h"
#include "platform/record.h"
#include "widgets/choice_popup.h"
#include "widgets/popup_dlg.h"

namespace {

const char kUsage[] =
    "usage: vyre-lumo-config [options]\n"
    "  --home DIR           the data folder (also VYRE_LUMO_HOME)\n"
    "  --record FILE        write message boxes to FILE instead of showing them\n"
    "  --log-level LEVEL    debug, info (default), warning, error or off\n"
    "  --screenshots DIR    once the main dialog shows, write pictures of it and its\n"
    "                       dialogs into DIR as PNG files and end\n"
    "  --help               this text\n"
    "  --version            the version\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "vyre-lumo-config: %s\n%s", message.c_str(), kUsage);
    return 2;
}

void Save(QWidget& widget, const std::filesystem::path& file) {
    widget.grab().save(QString::fromStdString(file.string()));
    std::printf("wrote %s\n", file.c_str());
}

// The dialog with one of its menus open below the button that opens it.
void SaveWithMenu(QWidget& dialog, QMenu& menu, QWidget& button,
                  const std::filesystem::path& file) {
    menu.popup(QPoint(0, 0));
    QPixmap shot = dialog.grab();
    {
        QPainter painter(&shot);
        painter.drawPixmap(button.mapTo(&dialog, QPoint(0, button.height())), menu.grab());
    }
    menu.hide();
    shot.save(QString::fromStdString(file.string()));
    std::printf("wrote %s\n", file.c_str());
}

// The key assignment page of the model, with its menus, and on model B each
// layout variant.
void SaveKeyPages(vyre::CVyreMKConfigDlg& dialog, vyre::ProfileStore& mirror,
                  const std::filesystem::path& folder, char model) {
    using namespace vyre;
    dialog.ShowPage(kPageKeys);
    CKeyAssignmentDlg& page = dialog.keyAssignmentPage();
    const std::string m(1, model);
    page.ShowKey(2, widgets::kKeyClickGreyed);  // F1
    Save(dialog, folder / ("config-keys-model-" + m + ".png"));
    SaveWithMenu(dialog, page.secondaryButton().menu(), page.secondaryButton(),
                 folder / ("config-keys-menu-function-model-" + m + ".png"));
    page.ShowKey(39, widgets::kKeyClickGreyed);  // "5"
    SaveWithMenu(dialog, page.secondaryButton().menu(), page.secondaryButton(),
                 folder / ("config-keys-menu-normal-model-" + m + ".png"));
    page.ShowKey(kThumbKey1, widgets::kKeyClickGreyed);
    SaveWithMenu(dialog, page.primaryButton().menu(), page.primaryButton(),
                 folder / ("config-keys-menu-thumb-model-" + m + ".png"));
    if (model == 'B') {
        const std::uint8_t layout = mirror.hostSettingsBlock.layoutCode;
        for (int code : {0, 12, 13, 7}) {
            mirror.hostSettingsBlock.layoutCode = static_cast<std::uint8_t>(code);
            page.ApplyModel();
            page.ShowKey(12, widgets::kKeyClickGreyed);
            SaveWithMenu(dialog, page.primaryButton().menu(), page.primaryButton(),
                         folder / ("config-keys-layout-" + std::to_string(code) + ".png"));
        }
        mirror.hostSettingsBlock.layoutCode = layout;
        page.ApplyModel();
    }
    dialog.ShowPage(kPageMainControl);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vyre;
    platform::InstallCrashHandler("CrashInfo.dmp");
    std::filesystem::path screenshots;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::fputs(VersionLine("vyre-lumo-config").c_str(), stdout);
            return 0;
        } else if (arg == "--home" && value) {
            ::setenv("VYRE_LUMO_HOME", value, 1);
            ++i;
        } else if (arg == "--record" && value) {
            std::string error;
            if (!platform::ActionRecord::Instance().Open(value, &error)) return Fail(error);
            ++i;
        } else if (arg == "--log-level" && value) {
            log::Level level;
            if (!log::ParseLevel(value, &level)) return Fail("unknown log level");
            log::SetLevel(level);
            ++i;
        } else if (arg == "--screenshots" && value) {
            screenshots = value;
            ++i;
        } else {
            return Fail(value || (arg != "--home" && arg != "--record" && arg != "--log-level" &&
                                  arg != "--screenshots")
                            ? "unknown option " + arg
                            : arg + " needs a value");
        }
    }
    QApplication qt(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    CVyreMKConfigApp app;
    if (!screenshots.empty()) {
        std::filesystem::create_directories(screenshots);
        app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
            QTimer::singleShot(200, [&] {
                const char model = dialog.modelFlag() == 1 ? 'A' : 'B';
                // With the quick help line of the pointer resting on the Caps Lock menu.
                dialog.QuickHelp(help::kCapsLock, true);
                Save(dialog, screenshots / (std::string("config-main-model-") + model + ".png"));
                dialog.QuickHelp(help::kCapsLock, false);
                // The quick help line in two languages of other scripts, then
                // the language the user had again.
                const int language = dialog.languageButton().language();
                for (const auto& [index, name] : {std::pair{13, "thai"}, std::pair{6, "japanese"}}) {
                    dialog.ApplyLanguage(index);
                    dialog.QuickHelp(help::kCapsLock, true);
                    Save(dialog, screenshots / (std::string("config-main-") + name + ".png"));
                    dialog.QuickHelp(help::kCapsLock, false);
                }
                dialog.ApplyLanguage(language);
                CCreateEditGameProfileDlg profile(*app.shared().mirror, false, &dialog);
                profile.show();
                Save(profile, screenshots / "config-profile-dialog.png");
                profile.hide();
                for (const auto& [face, file] : {std::pair{958, "config-desktop-profile.png"},
                                                 std::pair{2381, "config-reset.png"}}) {
                    widgets::CPopupDlg popup(widgets::CPopupDlg::Form::Config, &dialog);
                    popup.SetFaceBitmaps(face, 2380);
                    popup.SetTwoButtons(true);
                    popup.Prepare();
                    popup.show();
                    Save(popup, screenshots / file);
                    popup.hide();
                }
                {
                    // The question on the way out, and why a Config ends.
                    widgets::CChoicePopup question(kUnappliedCaption, kUnappliedQuestion,
                                                   {"APPLY", "DISCARD", "STAY"}, &dialog);
                    question.PrepareChoices();
                    question.show();
                    Save(question, screenshots / "config-unapplied-question.png");
                    question.hide();
                    const EndMessage denied = EndMessageOf(kEndNoAccess, "/dev/hidraw3", true);
                    widgets::CPopupDlg message(widgets::CPopupDlg::Form::Config, &dialog);
                    message.SetMessage(QString::fromStdString(denied.caption),
                                       QString::fromStdString(denied.text));
                    message.Prepare();
                    message.show();
                    Save(message, screenshots / "config-no-access.png");
                    message.hide();
                }
                dialog.languageButton().ShowMenu(true);
                Save(dialog,
                     screenshots / (std::string("config-language-menu-model-") + model + ".png"));
                dialog.languageButton().ShowMenu(false);
                QMenu& caps = dialog.mainControlPage().capsButton().menu();
                caps.popup(QPoint(0, 0));
                Save(caps, screenshots / "config-caps-menu.png");
                caps.hide();
                WriteMacroScreenshots(&dialog, [&](QWidget& w, const std::string& name) {
                    Save(w, screenshots / name);
                });
                trophies::WriteScreenshots(
                    dialog, *app.shared().mirror, dialog.statisticsPage(), dialog.supportPage(),
                    [&](bool stats) { dialog.ShowPage(stats ? kPageStatistics : kPageSupport); },
                    screenshots, model);
                WriteKeyDialogScreenshots(&dialog, [&](QWidget& w, const std::string& name) {
                    Save(w, screenshots / name);
                });
                if (model == 'B') {
                    SaveIlluminationPictures(
                        dialog, dialog.illuminationPage(),
                        [&] { dialog.ShowPage(kPageIllumination); }, screenshots);
                }
                SaveKeyPages(dialog, *app.shared().mirror, screenshots, model);
                // The focus mark on the key picture, as a user who tabbed there sees it.
                dialog.ShowPage(kPageKeys);
                dialog.activateWindow();
                QCoreApplication::processEvents();
                CKeyAssignmentDlg& keys = dialog.keyAssignmentPage();
                keys.picture().key(keys.selectedKey())->setFocus(Qt::TabFocusReason);
                Save(dialog, screenshots / (std::string("config-focus-mark-model-") + model + ".png"));
                dialog.Cancel();
            });
        };
    }
    if (!app.InitInstance()) return 0;
    return app.Run();
}
