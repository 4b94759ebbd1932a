// The Config's dialogs and page tabs as a user feels them: from the click
// that opens a dialog (or switches a tab) to the first paint of what it
// shows, on Qt's offscreen platform. Each dialog is measured twice: built
// anew (the first click of a session, when the page makes its dialog) and
// opened again (every later click). Targets: 50 ms for a dialog and 16 ms
// for a tab switch, median.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/key_table.h"
#include "config/frame/config_dlg.h"
#include "config/keys/character_repeat_dlg.h"
#include "config/keys/key_function_dlgs.h"
#include "config/keys/timer_dlgs.h"
#include "config/lights/macro_manager_dlg.h"
#include "platform/system.h"

namespace {

using namespace vyre;

constexpr int kRuns = 21;
constexpr double kDialogTarget = 50;
constexpr double kTabTarget = 16;

// Ends the wait at the first paint of the watched widget.
struct FirstPaint : QObject {
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

// From `open` (the click's work) to the widget's first paint done.
double OpenToPaint(QWidget& shown, const std::function<void()>& open) {
    FirstPaint watch;
    shown.installEventFilter(&watch);
    QElapsedTimer clock;
    clock.start();
    open();
    while (!watch.painted && clock.elapsed() < 5000) QApplication::processEvents();
    QApplication::processEvents();  // the paint itself and the flush
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    shown.removeEventFilter(&watch);
    return ms;
}

double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

int misses = 0;

void Report(const std::string& what, double firstMedian, double againMedian, double target) {
    const bool met = std::max(firstMedian, againMedian) <= target;
    misses += met ? 0 : 1;
    std::printf("%-28s built anew %7.2f ms   opened again %7.2f ms   (target %.0f ms)%s\n",
                what.c_str(), firstMedian, againMedian, target, met ? "" : "  MISSED");
}

// A dialog: how it is built, and what its page does before showing it.
struct DialogCase {
    std::string name;
    std::function<std::unique_ptr<QDialog>()> make;
    std::function<void(QDialog&)> prepare;
};

void MeasureDialog(const DialogCase& c) {
    std::vector<double> first, again;
    for (int i = 0; i < kRuns; ++i) {
        std::unique_ptr<QDialog> dialog;
        QDialog* shown = nullptr;
        // The dialog is made by the click: its first paint is watched once it exists.
        QElapsedTimer clock;
        clock.start();
        dialog = c.make();
        shown = dialog.get();
        const double made = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        first.push_back(made + OpenToPaint(*shown, [&] {
                            c.prepare(*shown);
                            shown->show();
                        }));
        shown->hide();
        QApplication::processEvents();
        again.push_back(OpenToPaint(*shown, [&] {
            c.prepare(*shown);
            shown->show();
        }));
        shown->hide();
        QApplication::processEvents();
    }
    Report(c.name, Median(first), Median(again), kDialogTarget);
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qt(argc, argv);
    ConfigShared shared;
    ProfileStore& mirror = *shared.mirror;
    ResetStoreToDefaults(mirror, KeyTableUsages());
    mirror.hostSettingsBlock.modelFlag = 2;
    mirror.deviceInfoReport[2] = 109;
    CVyreMKConfigDlg main(shared);
    main.Initialise();
    main.show();
    QApplication::processEvents();

    // Tabs: each page from each other page, as the tab's click shows it.
    std::vector<double> tabs;
    for (int run = 0; run < kRuns; ++run) {
        for (int page = 0; page < kPageCount; ++page) {
            const int from = (page + kPageCount - 1) % kPageCount;
            main.ShowPage(from);
            QApplication::processEvents();
            tabs.push_back(OpenToPaint(main, [&] { main.ShowPage(page); }));
        }
    }
    Report("tab switch (every tab)", Median(tabs), Median(tabs), kTabTarget);

    QWidget* keys = &main.keyAssignmentPage();
    auto repeat = platform::MakeMemoryKeyboardRepeat({1, 31});
    const std::vector<DialogCase> cases = {
        {"shortcut", [&] { return std::make_unique<AssignShortcutDlg>(nullptr, keys); },
         [](QDialog& d) { static_cast<AssignShortcutDlg&>(d).Prepare(); }},
        {"quick launch", [&] { return std::make_unique<QuickLunchDlg>(mirror, keys); },
         [](QDialog& d) {
             static_cast<QuickLunchDlg&>(d).Prepare(key_dlg::kSecondaryButton, KeyGroup::Normal, 5,
                                                    39);
         }},
        {"media player", [&] { return std::make_unique<MediaCtrlDlg>(mirror, keys); },
         [](QDialog& d) { static_cast<MediaCtrlDlg&>(d).Prepare(); }},
        {"remap", [&] { return std::make_unique<MapRenameDlg>(mirror, nullptr, keys); },
         [](QDialog& d) { static_cast<MapRenameDlg&>(d).Prepare(61); }},
        {"create timer",
         [&] { return std::make_unique<CountdownTimerDlg>(mirror, TimerCommandSink{}, keys); },
         [](QDialog& d) { static_cast<CountdownTimerDlg&>(d).Prepare(); }},
        {"edit timer",
         [&] { return std::make_unique<CountDownTimerEditDlg>(mirror, TimerCommandSink{}, keys); },
         [](QDialog& d) { static_cast<CountDownTimerEditDlg&>(d).Prepare(); }},
        {"macro manager",
         [&] {
             return std::make_unique<MacroManagerDlg>(mirror, MacroLinkSender{},
                                                      macros::Flavour::Key, keys);
         },
         [](QDialog& d) { static_cast<MacroManagerDlg&>(d).Prepare(); }},
        {"light macro editor",
         [&] {
             return std::make_unique<IllMacroManagerDlg>(mirror, MacroLinkSender{},
                                                         &main.illuminationPage());
         },
         [](QDialog& d) { static_cast<IllMacroManagerDlg&>(d).Prepare(); }},
        {"character repeat",
         [&] {
             return std::make_unique<CCharacterRepeatDlg>(mirror, *repeat, &main.mainControlPage());
         },
         [](QDialog&) {}},
        {"profile",
         [&] { return std::make_unique<CCreateEditGameProfileDlg>(mirror, false, &main); },
         [](QDialog&) {}},
        {"macro note",
         [&] { return std::make_unique<MacroPopDlg>(MacroNote::ConfirmDeleteSet, keys); },
         [](QDialog& d) { static_cast<MacroPopDlg&>(d).Prepare(); }},
    };
    for (const DialogCase& c : cases) MeasureDialog(c);
    return misses == 0 ? 0 : 1;
}
