#include "config/keys/key_dialog_screenshots.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include "common/key_functions.h"
#include "config/keys/key_function_dlgs.h"
#include "config/keys/timer_dlgs.h"
#include "platform/key_names.h"

namespace vyre {
namespace {

constexpr int kEvdevA = 30;

void ShowAndSave(QWidget& dialog, const std::function<void(QWidget&, const std::string&)>& save,
                 const std::string& name) {
    dialog.show();
    save(dialog, name);
}

HIDMSG::_STimerSettingData Timer(int index, const char* name, int seconds) {
    HIDMSG::_STimerSettingData t{};
    t.index = index;
    t.name.set(name);
    t.seconds = seconds;
    return t;
}

}  // namespace

void WriteKeyDialogScreenshots(QWidget* owner,
                               const std::function<void(QWidget&, const std::string&)>& save) {
    auto store = NewProfileStore();
    const KeyNameProvider& names = platform::DesktopKeyNames();

    AssignShortcutDlg shortcut(&names, owner);
    shortcut.Prepare();
    shortcut.show();
    shortcut.shiftBox().setChecked(true);
    shortcut.ctrlBox().setChecked(true);
    shortcut.capture().Inject(kEvdevA, true, 0);
    shortcut.capture().Inject(kEvdevA, false, 80);
    save(shortcut, "config-shortcut-dialog.png");
    shortcut.Cancel();

    QuickLunchDlg launch(*store, owner);
    launch.Prepare(key_dlg::kSecondaryButton, KeyGroup::Function, 0, 2);
    launch.pathEdit().setText("/usr/bin/firefox");
    ShowAndSave(launch, save, "config-quick-launch-dialog.png");
    launch.Cancel();

    MediaCtrlDlg media(*store, owner);
    media.Prepare();
    media.Choose(key_dlg::kPlayerCommands[2]);
    ShowAndSave(media, save, "config-media-player-dialog.png");
    media.playerButton().menu().popup(media.mapToGlobal(QPoint(16, 126)));
    {
        QPixmap picture = media.grab();
        QPainter p(&picture);
        media.playerButton().menu().render(&p, QPoint(16, 126));
        p.end();
        media.playerButton().menu().hide();
        QLabel shown;
        shown.setPixmap(picture);
        shown.resize(picture.size());
        save(shown, "config-media-player-menu.png");
    }
    media.Cancel();

    for (int i = 0; i < kKeyTableRows; ++i)
        store->keyRemapReports[0][report::kKeyRemapUsages + i] = static_cast<std::uint8_t>(KeyUsage(i));
    MapRenameDlg remap(*store, &names, owner);
    remap.Prepare(61);
    remap.show();
    remap.capture().Inject(48, true, 0);  // B
    save(remap, "config-remap-dialog.png");
    remap.Cancel();

    store->timers = {Timer(0, "Pizza", 600), Timer(1, "Respawn", 45), Timer(2, "Buff", 120)};
    CountdownTimerDlg create(*store, nullptr, owner);
    create.Prepare();
    create.fields().name().setText("Boss fight");
    ShowAndSave(create, save, "config-timer-create-dialog.png");
    create.Cancel();

    CountDownTimerEditDlg edit(*store, nullptr, owner);
    edit.Prepare();
    edit.Select(2);
    ShowAndSave(edit, save, "config-timer-edit-dialog.png");
    CountDownTimerDeleteDlg confirm(&edit);
    ShowAndSave(confirm, save, "config-timer-delete-dialog.png");
    confirm.Cancel();
    edit.Cancel();
}

}  // namespace vyre
