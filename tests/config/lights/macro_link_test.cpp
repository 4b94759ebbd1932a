// The macro editors against a running Monitor and emulator: what OK sends is
// what the Monitor keeps, across a restart of both programs.

#include <gtest/gtest.h>

#include <QTimer>

#include <cstring>
#include <fstream>
#include <iterator>

#include "common/link_codes.h"
#include "config/frame/config_app.h"
#include "config/lights/macro_manager_dlg.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using HIDMSG::_SMacroDefaultData;
using HIDMSG::_SMacroGroupData;
using testing::Program;

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T>
std::vector<T> ReadRecords(const std::filesystem::path& file) {
    const std::string bytes = ReadText(file);
    std::vector<T> out(bytes.size() / sizeof(T));
    if (!out.empty()) std::memcpy(static_cast<void*>(out.data()), bytes.data(), out.size() * sizeof(T));
    return out;
}

struct Rig {
    Rig() : sim(folder.path(), {"--model", "B"}) {
        testing::App();
        home = std::make_unique<testing::ScopedEnv>("VYRE_LUMO_HOME", (folder / "home").string());
    }
    void StartMonitor() {
        std::filesystem::remove(folder / "monitor.log");
        monitor = std::make_unique<testing::MonitorProcess>(sim, folder / "home", folder / "monitor.log");
        ASSERT_TRUE(monitor->Ready());
    }
    void RunConfig(std::function<void(CVyreMKConfigApp&, CVyreMKConfigDlg&)> act) {
        CVyreMKConfigApp app;
        app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
            QTimer::singleShot(0, [&] {
                act(app, dialog);
                dialog.Cancel();
            });
        };
        ASSERT_TRUE(app.InitInstance());
        app.Run();
    }
    // The Monitor's lists as it sends them to a Config.
    void Dump(std::vector<_SMacroGroupData>& sets, std::vector<_SMacroDefaultData>& macros,
              bool light = false) {
        const auto dir = folder / "dump";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        ASSERT_EQ(testing::Run({Program("vyre-lumo-ctl"), "dump", "--dir", dir.string()}).exit, 0);
        sets = ReadRecords<_SMacroGroupData>(dir / (light ? "31.bin" : "26.bin"));
        macros = ReadRecords<_SMacroDefaultData>(dir / (light ? "32.bin" : "25.bin"));
    }
    testing::TempDir folder;
    testing::SimProcess sim;
    std::unique_ptr<testing::ScopedEnv> home;
    std::unique_ptr<testing::MonitorProcess> monitor;
};

// An editor opened from the main dialog, answering its notes with OK.
struct Editor {
    Editor(ConfigShared& shared, QWidget* opener, macros::Flavour flavour)
        : dlg(shared, flavour, opener) {
        dlg.note = [](MacroNote) { return true; };
        dlg.askSetName = [this] { return std::optional<std::u16string>(nextName); };
        dlg.Prepare();
        dlg.show();
    }
    void AddSetWithMacros(const std::u16string& set, std::initializer_list<std::u16string> names,
                          std::uint64_t& clock) {
        nextName = set;
        dlg.AddSet();
        for (const auto& name : names) {
            dlg.NewMacro();
            ASSERT_TRUE(dlg.CommitName(name));
            dlg.RecordButton();
            dlg.HookKey({0x41, 0x1E, 0}, true, clock += 10);
            dlg.HookKey({0x41, 0x1E, 0}, false, clock += 10);
            dlg.RecordButton();
        }
    }
    MacroManagerDlg dlg;
    std::u16string nextName;
};

TEST(MacroLibraryLink, SetsAndMacrosReachTheMonitorAndADeletedSetTakesItsMacros) {
    Rig rig;
    rig.StartMonitor();
    const std::u16string longName = u"Zwölf Tasten für Läufe x";  // 24 characters, 27 bytes
    rig.RunConfig([&](CVyreMKConfigApp& app, CVyreMKConfigDlg& dialog) {
        std::uint64_t clock = 1000;
        {
            Editor e(app.shared(), &dialog, macros::Flavour::Key);
            e.AddSetWithMacros(u"Erste Sätze", {u"a1", longName}, clock);
            e.AddSetWithMacros(u"Two", {u"b1", u"b2"}, clock);
            e.AddSetWithMacros(u"Three", {u"c1", u"c2", u"c3"}, clock);
            e.dlg.Ok();
        }
        // The Monitor answers every command before the next; a second editor
        // starts from the library as OK left it.
        Editor e(app.shared(), &dialog, macros::Flavour::Key);
        e.dlg.ChooseSetItem(e.dlg.SetMenuIdAt(1));
        EXPECT_EQ(e.dlg.setBoxText(), "Two");
        e.dlg.DeleteSet();
        // The third set is the second now, and its macros can still be edited.
        e.dlg.ChooseSetItem(e.dlg.SetMenuIdAt(1));
        EXPECT_EQ(e.dlg.setBoxText(), "Three");
        e.dlg.SelectMacroRow(2);
        e.dlg.BeginRename(2);
        ASSERT_TRUE(e.dlg.CommitName(u"c3 renamed"));
        e.dlg.Ok();
    });

    // Both programs start again.
    rig.monitor->Stop();
    rig.StartMonitor();
    std::vector<_SMacroGroupData> sets;
    std::vector<_SMacroDefaultData> macros;
    rig.Dump(sets, macros);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(macros::NameOf(sets[0].name), u"Erste Sätze");
    EXPECT_EQ(sets[1].name.str(), "Three");
    EXPECT_EQ(sets[1].setNumber.get(), 1);
    ASSERT_EQ(macros.size(), 5u);
    std::vector<std::u16string> names;
    for (const auto& m : macros) {
        EXPECT_NE(m.setName.str(), "Two");
        EXPECT_EQ(m.eventCount.get(), 2);
        names.push_back(macros::NameOf(m.name));
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"a1", std::u16string(longName).substr(0, 21),
                                                  u"c1", u"c2", u"c3 renamed"}));
    EXPECT_EQ(macros[4].setNumber.get(), 1);
    EXPECT_EQ(macros[4].macroNumber.get(), 2);

    // The Config starting again sees the same library.
    rig.RunConfig([&](CVyreMKConfigApp& app, CVyreMKConfigDlg&) {
        ASSERT_EQ(app.shared().mirror->macroSets.size(), 2u);
        ASSERT_EQ(app.shared().mirror->macros.size(), 5u);
        EXPECT_EQ(app.shared().mirror->macros[4].name.str(), "c3 renamed");
    });
}

TEST(MacroLibraryLink, LightMacrosGoToTheLightLibrary) {
    Rig rig;
    rig.StartMonitor();
    rig.RunConfig([&](CVyreMKConfigApp& app, CVyreMKConfigDlg& dialog) {
        std::uint64_t clock = 1000;
        Editor e(app.shared(), &dialog, macros::Flavour::Light);
        e.AddSetWithMacros(u"Glow", {u"Wave"}, clock);
        e.dlg.SendDefaultActionBox(true);
        e.dlg.LoopsEdited("3");
        e.dlg.Ok();
    });
    rig.monitor->Stop();
    rig.StartMonitor();
    std::vector<_SMacroGroupData> sets;
    std::vector<_SMacroDefaultData> macros;
    rig.Dump(sets, macros, true);
    ASSERT_EQ(sets.size(), 1u);
    ASSERT_EQ(macros.size(), 1u);
    EXPECT_EQ(macros[0].name.str(), "Wave");
    EXPECT_EQ(macros[0].sendDefaultAction(), 1);
    EXPECT_EQ(macros[0].loopCount, 3);
    EXPECT_EQ(macros[0].events[0].code, 0x04);
    EXPECT_EQ(macros[0].events[1].state, 2);
    rig.Dump(sets, macros, false);
    EXPECT_TRUE(sets.empty());
    EXPECT_TRUE(macros.empty());
}

}  // namespace
}  // namespace vyre
