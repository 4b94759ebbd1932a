// The macro manager's costs: a 480-event macro shown in the key press
// sequence (its rows built and drawn into the list) and saved (the record
// rebuilt from the rows and queued), and OK of an editor with 100 queued
// changes until the Monitor has taken the last of them (its control window
// answered), with a Monitor and the emulator running as their own processes.
// Targets: under 20 ms for each of the first two, under 200 ms for OK.

#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>

#include "bench/programs.h"
#include "config/frame/config_app.h"
#include "config/lights/macro_manager_dlg.h"

namespace {

namespace fs = std::filesystem;
using namespace vyre;
using HIDMSG::_SMacroDefaultData;
using HIDMSG::_SMacroGroupData;

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// A library of one set with one macro of 480 events, each with a delay.
void FillLibrary(ProfileStore& mirror) {
    _SMacroGroupData set{};
    std::memset(static_cast<void*>(&set), 0, sizeof set);
    set.macroCount = 1;
    set.name.set("Bench");
    mirror.macroSets = {set};
    auto m = std::make_unique<_SMacroDefaultData>();
    std::memset(static_cast<void*>(m.get()), 0, sizeof *m);
    m->loopCount = 1;
    m->setName = set.name;
    m->name.set("Long");
    m->eventCount = 480;
    for (int i = 0; i < 480; ++i)
        m->events[i] = {static_cast<std::uint8_t>(4 + i % 26), static_cast<std::uint8_t>(1 + i % 2),
                        static_cast<std::uint16_t>(10 + i)};
    mirror.macros = {*m};
}

void BM_Show480EventMacro(benchmark::State& state) {
    App();
    ConfigShared shared;
    FillLibrary(*shared.mirror);
    MacroManagerDlg dlg(shared, macros::Flavour::Key);
    dlg.Prepare();
    dlg.show();
    dlg.ChooseSetItem(dlg.SetMenuIdAt(0));
    for (auto _ : state) {
        dlg.SelectMacroRow(0);  // the rows built again and put into the list
        dlg.sequenceList().repaint();
        benchmark::DoNotOptimize(dlg.sequenceList().count());
    }
    state.counters["rows"] = dlg.sequenceList().count();
}
BENCHMARK(BM_Show480EventMacro)->Unit(benchmark::kMillisecond);

void BM_Save480EventMacro(benchmark::State& state) {
    ConfigShared shared;
    FillLibrary(*shared.mirror);
    macros::MacroLibraryCopy copy;
    copy.Open(shared.mirror->macroSets, shared.mirror->macros);
    macros::MacroSequence seq(macros::Flavour::Key);
    seq.Show(*copy.macro(0));
    for (auto _ : state) {
        seq.SaveTo(*copy.macro(0));
        copy.QueueMacro(0);
    }
    benchmark::DoNotOptimize(copy.queuedMacros());
}
BENCHMARK(BM_Save480EventMacro)->Unit(benchmark::kMillisecond);

// The emulator and a Monitor in their own processes, for the OK benchmark.
struct Programs {
    Programs() {
        const fs::path bin = vyre::bench::ProgramFolder();
        folder = fs::temp_directory_path() / ("vyre-macro-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder / "runtime");
        fs::permissions(folder / "runtime", fs::perms::owner_all);
        ::setenv("VYRE_LUMO_RUNTIME_DIR", (folder / "runtime").c_str(), 1);
        ::setenv("VYRE_LUMO_HOME", (folder / "home").c_str(), 1);
        const std::string socket = (folder / "sim.sock").string();
        sim = vyre::bench::Spawn({(bin / "vyre-lumo-sim").string(), "--model", "B", "--socket",
                                  socket},
                                 folder / "sim.log");
        vyre::bench::WaitFor(folder / "sim.log", "listening", std::chrono::seconds(20));
        monitor = vyre::bench::Spawn({(bin / "vyre-lumo-monitor").string(), "--hid",
                                      "sim:" + socket, "--poll-ms", "1", "--arrival-ms", "20"},
                                     folder / "monitor.log");
        ready = vyre::bench::WaitFor(folder / "monitor.log", "keyboard ready",
                                     std::chrono::seconds(30));
    }
    ~Programs() {
        for (pid_t pid : {monitor, sim}) {
            if (pid <= 0) continue;
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    fs::path folder;
    pid_t sim = -1, monitor = -1;
    bool ready = false;
};

void BM_OkWith100Changes(benchmark::State& state) {
    App();
    Programs programs;
    if (!programs.ready) {
        state.SkipWithError("the Monitor did not read the emulated keyboard");
        return;
    }
    CVyreMKConfigApp app;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            int round = 0;
            for (auto _ : state) {
                state.PauseTiming();
                MacroManagerDlg dlg(app.shared(), macros::Flavour::Key, &dialog);
                dlg.note = [](MacroNote) { return true; };
                const std::u16string set = u"Set " + std::u16string(1, u'A' + round++ % 26);
                dlg.askSetName = [&] { return std::optional<std::u16string>(set); };
                dlg.Prepare();
                dlg.AddSet();  // 1 set change
                dlg.NewMacro();
                dlg.CommitName(u"Steps");  // 1 macro added
                for (int i = 0; i < 98; ++i)
                    dlg.LoopsEdited(QString::number(2 + i));  // 98 changes of it
                state.ResumeTiming();
                dlg.Ok();
                state.PauseTiming();
                // Take the set away again, so every round starts alike.
                MacroManagerDlg undo(app.shared(), macros::Flavour::Key, &dialog);
                undo.note = [](MacroNote) { return true; };
                undo.Prepare();
                undo.ChooseSetItem(undo.SetMenuIdAt(0));
                undo.DeleteSet();
                undo.Ok();
                state.ResumeTiming();
            }
            dialog.Cancel();
        });
    };
    if (!app.InitInstance()) {
        state.SkipWithError("the Config did not start");
        return;
    }
    app.Run();
}
BENCHMARK(BM_OkWith100Changes)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
