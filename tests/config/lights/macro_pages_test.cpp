// The light macro editor of the illumination page, in a running Config: OK
// rebuilds the light macro menu of the main control page.

#include <gtest/gtest.h>

#include <QMenu>
#include <QTimer>

#include <fstream>
#include <iterator>

#include "config/frame/config_app.h"
#include "config/lights/illumination_dlg.h"
#include "config/lights/macro_manager_dlg.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

bool HasItem(QMenu& menu, int id) {
    for (QAction* a : menu.actions()) {
        if (QMenu* sub = a->menu()) {
            if (HasItem(*sub, id)) return true;
        } else if (!a->isSeparator() && a->data().toInt() == id) {
            return true;
        }
    }
    return false;
}

TEST(LightMacroPages, OkOfTheIlluminationPagesEditorRebuildsTheMainControlMenu) {
    testing::TempDir folder;
    testing::SimProcess sim(folder.path(), {"--model", "B"});
    testing::App();
    testing::ScopedEnv home("VYRE_LUMO_HOME", (folder / "home").string());
    testing::MonitorProcess monitor(sim, folder / "home", folder / "monitor.log");
    ASSERT_TRUE(monitor.Ready());
    CVyreMKConfigApp app;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            QMenu& illumination = dialog.mainControlPage().illuminationButton().menu();
            EXPECT_FALSE(HasItem(illumination, main_ctrl::kFirstLightMacroItem));
            IllMacroManagerDlg& editor = dialog.illuminationPage().lightMacroEditor();
            editor.note = [](MacroNote) { return true; };
            editor.askSetName = [] { return std::optional<std::u16string>(u"Glow"); };
            QTimer::singleShot(0, [&] {
                editor.AddSet();
                editor.NewMacro();
                ASSERT_TRUE(editor.CommitName(u"Wave"));
                editor.Ok();
            });
            dialog.illuminationPage().OpenLightMacroManager();
            ASSERT_EQ(app.shared().mirror->lightMacros.size(), 1u);
            EXPECT_TRUE(HasItem(illumination, main_ctrl::kFirstLightMacroItem));
            dialog.Cancel();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
}

}  // namespace
}  // namespace vyre
