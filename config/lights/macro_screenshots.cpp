#include "config/lights/macro_screenshots.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include "config/lights/macro_manager_dlg.h"

namespace vyre {
namespace {

// A picture of a dialog with one of its menus open over it.
void SaveWithMenu(QWidget& dialog, QMenu& menu, const QPoint& at, const ScreenshotSink& save,
                  const std::string& name) {
    menu.popup(dialog.mapToGlobal(at));
    QPixmap picture = dialog.grab();
    {
        QPainter p(&picture);
        menu.render(&p, at);
    }
    menu.hide();
    QLabel shown;
    shown.setPixmap(picture);
    shown.resize(picture.size());
    save(shown, name);
}

void Key(MacroManagerDlg& dlg, std::uint32_t vk, std::uint8_t scan, std::uint64_t down,
         std::uint64_t up) {
    dlg.HookKey({vk, scan, 0}, true, down);
    dlg.HookKey({vk, scan, 0}, false, up);
}

}  // namespace

void WriteMacroScreenshots(QWidget* owner, const ScreenshotSink& save) {
    ConfigShared shared;  // no link window: nothing is sent
    MacroManagerDlg dlg(shared, macros::Flavour::Key, owner);
    dlg.note = [](MacroNote) { return false; };
    dlg.Prepare();
    dlg.show();
    save(dlg, "config-macro-manager-empty.png");

    dlg.askSetName = [] { return std::optional<std::u16string>(u"Racing"); };
    dlg.AddSet();
    dlg.NewMacro();
    dlg.CommitName(u"Boost");
    dlg.NewMacro();
    dlg.CommitName(u"Drift");
    dlg.SelectMacroRow(0);
    dlg.RecordDelaysBox(true);
    dlg.RecordButton();
    Key(dlg, 0xA0, 0x2A, 1000, 1180);  // Left Shift
    Key(dlg, 0x57, 0x11, 1250, 1320);  // W
    save(dlg, "config-macro-manager-recording.png");
    dlg.RecordButton();
    dlg.SelectSequenceRow(2);
    dlg.ChooseSequenceItem(macro_ids::kWheelDown + 2);
    dlg.SelectSequenceRow(1);
    save(dlg, "config-macro-manager-macro.png");
    SaveWithMenu(dlg, dlg.sequenceMenu(), QPoint(330, 150), save,
                 "config-macro-manager-menu.png");
    SaveWithMenu(dlg, dlg.setMenu(), QPoint(16, 98), save, "config-macro-set-menu.png");
    dlg.Cancel();

    MacroCreateDlg create([](const std::u16string&) { return true; }, &dlg);
    create.nameEdit().setText("Racing");
    create.show();
    save(create, "config-macro-create.png");
    create.hide();

    const struct {
        MacroNote note;
        const char* file;
    } notes[] = {{MacroNote::SelectNew, "config-macro-note-select-new.png"},
                 {MacroNote::SelectSet, "config-macro-note-select-set.png"},
                 {MacroNote::SelectToDelete, "config-macro-note-select-to-delete.png"},
                 {MacroNote::ConfirmDeleteMacro, "config-macro-note-delete-macro.png"},
                 {MacroNote::ConfirmDeleteSet, "config-macro-note-delete-set.png"},
                 {MacroNote::MacroFull, "config-macro-note-full.png"},
                 {MacroNote::LoopsBounded, "config-macro-note-loops.png"}};
    for (const auto& n : notes) {
        MacroPopDlg pop(n.note, &dlg);
        pop.Prepare();
        pop.show();
        save(pop, n.file);
        pop.hide();
    }

    IllMacroManagerDlg light(shared, owner);
    light.note = [](MacroNote) { return false; };
    light.askSetName = [] { return std::optional<std::u16string>(u"Glow"); };
    light.Prepare();
    light.show();
    light.AddSet();
    light.NewMacro();
    light.CommitName(u"Wave");
    light.RecordDelaysBox(true);
    light.RecordButton();
    Key(light, 0x51, 0x10, 1000, 1200);  // Q
    Key(light, 0x57, 0x11, 1300, 1500);  // W
    Key(light, 0x45, 0x12, 1600, 1800);  // E
    light.RecordButton();
    light.SendDefaultActionBox(true);
    light.SelectSequenceRow(0);
    save(light, "config-light-macro-editor.png");
    SaveWithMenu(light, light.sequenceMenu(), QPoint(330, 150), save,
                 "config-light-macro-menu.png");
    light.Cancel();
}

}  // namespace vyre
