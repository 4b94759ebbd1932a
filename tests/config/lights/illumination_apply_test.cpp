// The illumination page against a running Monitor and emulator: a record
// edited on the page and applied reaches the keyboard byte for byte, and only
// the records that changed are written.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <iterator>
#include <sstream>

#include "common/checksum.h"
#include "config/frame/config_app.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using namespace lights;
using testing::Program;

std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::ostringstream out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%02x", bytes[i]);
        out << (i ? " " : "") << b;
    }
    return out.str();
}

// Waits while the Config's own loop keeps running.
template <class F>
bool Within(int ms, F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QTest::qWait(10);
    }
    return true;
}

TEST(IlluminationApply, AnEditedRecordArrivesByteForByteAndOnlyChangedRecordsAreWritten) {
    testing::App();
    testing::TempDir folder;
    const auto trace = folder / "sim.trace";
    testing::SimProcess sim(folder.path(), {"--model", "B", "--trace", trace.string()});
    testing::ScopedEnv home("VYRE_LUMO_HOME", (folder / "home").string());
    testing::MonitorProcess monitor(sim, folder / "home", folder / "monitor.log");
    auto sets = [&](int id) { return testing::TraceOf(Lines(trace), "SET", id); };
    ASSERT_TRUE(monitor.Ready());

    bool ran = false;
    CVyreMKConfigApp app;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            ran = true;
            ProfileStore& mirror = *app.shared().mirror;
            dialog.SelectProfile(1);
            dialog.ShowPage(kPageIllumination);
            CKeyIlluminationDlg& page = dialog.illuminationPage();
            auto click = [](QAbstractButton& b) {
                QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 9));
            };
            auto choose = [](widgets::CSkinMenuButton& box, int id) {
                for (QAction* a : box.menu().actions()) {
                    if (a->data().toInt() == id) a->trigger();
                }
            };
            click(page.manualRadio());
            choose(page.layerBox(), kLayerItemNormal + 3);  // Left Ctrl
            auto* w = page.picture().key(49);
            QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
            click(page.breathingRadio());
            choose(page.breathingSpeedBox(), SpeedItemId(3));
            click(page.groupBox(kGroupArrows));
            choose(page.delayBox(), DelayItemId(7));
            choose(page.fadeBox(), DelayItemId(2));
            const std::size_t before = sets(0x17).size();

            dialog.Apply();
            ASSERT_TRUE(Within(20000, [&] { return sets(0x17).size() > before; }));
            QTest::qWait(700);  // and nothing more comes
            const auto written = sets(0x17);
            ASSERT_EQ(written.size(), before + 1);

            // The record as the Monitor frames it: id, length, profile, checksum.
            std::vector<std::uint8_t> expected(mirror.illumination(1, 1, 3).begin(),
                                               mirror.illumination(1, 1, 3).end());
            expected[0] = 0x17;
            expected[1] = 0xFD;
            expected[2] = 1;
            const std::uint16_t sum = Checksum16(expected.data(), 251);
            expected[251] = static_cast<std::uint8_t>(sum);
            expected[252] = static_cast<std::uint8_t>(sum >> 8);
            EXPECT_EQ(expected[8 + 2 * 49], 0xB0);
            EXPECT_EQ(expected[9 + 2 * 49], 192);
            EXPECT_EQ(expected[6], 7);
            EXPECT_EQ(expected[7], 8);
            EXPECT_EQ(written.back(), Hex(expected));
            EXPECT_EQ(sim.Control({"report", "0x17", "1", "14"}).out.substr(0, 3 * 253 - 1),
                      Hex(expected));
            // The mode went with the light settings of profile 2.
            const auto light = sets(0x0D);
            ASSERT_FALSE(light.empty());
            EXPECT_EQ(light.back().substr(0, 8), "0d 10 01");
            EXPECT_EQ(light.back().substr(30, 2), "01");
            dialog.Cancel();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace vyre
