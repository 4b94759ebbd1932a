// The illumination page: from a click on a key to the page showing that key's
// state; from APPLY to the last illumination record written to the emulator
// when every record the page edits has changed; and the page's CPU while 120
// breathing keys animate (and while it is hidden). Qt's offscreen platform;
// the Monitor and the emulator run as their own processes.

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/programs.h"
#include "common/key_table.h"
#include "config/frame/config_app.h"
#include "config/lights/illumination_dlg.h"

namespace {

namespace fs = std::filesystem;
using namespace vyre;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void Report(const char* what, std::vector<double> ms, double target) {
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    std::printf("%-44s median %8.2f ms  p99 %8.2f ms  max %8.2f ms  (target %.0f ms, %zu runs)\n",
                what, median, p99, ms.back(), target, ms.size());
}

void ClickToState(ProfileStore& mirror) {
    CKeyIlluminationDlg page(mirror, 0);
    page.resize(780, 317);
    page.show();
    QApplication::processEvents();
    // Keys of every kind: steady, blinking, breathing, dark, a thumb key.
    auto r = mirror.illumination(0, 1, 0);
    r[8 + 2 * 49] = 0x90, r[9 + 2 * 49] = 8;
    r[8 + 2 * 61] = 0xB0, r[9 + 2 * 61] = 0x80;
    r[8 + 2 * 37] = 0x80;
    page.model().SetMode(1);
    page.Refresh();
    const int keys[] = {49, 61, 37, 38, 120, 117, 112};
    std::vector<double> times;
    for (int i = 0; i < 300; ++i) {
        auto* key = page.picture().key(keys[i % 7]);
        const auto start = Clock::now();
        QTest::mouseClick(key, Qt::LeftButton, {}, key->rect().center());
        page.repaint();  // what the user sees: the page drawn with the key's state
        times.push_back(Ms(Clock::now() - start));
    }
    Report("click on a key -> page shows its state", times, 16);
}

void Animation(ProfileStore& mirror) {
    CKeyIlluminationDlg page(mirror, 0);
    page.resize(780, 317);
    page.show();
    auto r = mirror.illumination(0, 1, 0);
    for (int k = 0; k < kKeyTableRows; ++k) {
        const int p = 64 * (1 + k % 5);
        r[8 + 2 * k] = static_cast<std::uint8_t>(0xB0 | (p >> 8));
        r[9 + 2 * k] = static_cast<std::uint8_t>(p);
    }
    page.model().SetMode(1);
    page.Refresh();
    for (bool shown : {true, false}) {
        page.setVisible(shown);
        QTest::qWait(300);
        const double cpu = CpuSeconds();
        const auto start = Clock::now();
        QTest::qWait(5000);
        const double wall = Ms(Clock::now() - start) / 1000.0;
        std::printf("%-44s %6.2f %% of one core (target under 5 %%)\n",
                    shown ? "120 breathing keys animating, page shown" : "the same, page hidden",
                    100.0 * (CpuSeconds() - cpu) / wall);
    }
}

std::size_t IlluminationWrites(const fs::path& trace) {
    std::ifstream in(trace);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.find(" SET 17 ") != std::string::npos) ++n;
    }
    return n;
}

int ApplyEverything(const fs::path& bin) {
    const fs::path folder =
        fs::temp_directory_path() / ("vyre-illumination-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    ::setenv("VYRE_LUMO_RUNTIME_DIR", folder.c_str(), 1);
    ::setenv("VYRE_LUMO_HOME", (folder / "home").c_str(), 1);
    const fs::path trace = folder / "sim.trace";
    const pid_t sim = bench::Spawn({(bin / "vyre-lumo-sim").string(), "--model", "B", "--busy-polls",
                                    "0", "--trace", trace.string()},
                                   folder / "sim.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const pid_t monitor = bench::Spawn(
        {(bin / "vyre-lumo-monitor").string(), "--hid", "sim", "--poll-ms", "1"}, folder / "monitor.log");
    int rc = 1;
    if (bench::WaitFor(folder / "monitor.log", "keyboard ready", std::chrono::seconds(60))) {
        CVyreMKConfigApp app;
        std::vector<double> times;
        app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
            QTimer::singleShot(0, [&] {
                ProfileStore& mirror = *app.shared().mirror;
                for (int run = 0; run < 5; ++run) {
                    // Every record the keyboard keeps changes: 5 profiles x (3 + 11).
                    int records = 0;
                    for (int p = 0; p < kProfileCount; ++p) {
                        for (int mode = 0; mode < 2; ++mode) {
                            for (int layer = 0; layer < 11; ++layer) {
                                if (mode == 0 && layer != 0 && layer != 9 && layer != 10) continue;
                                auto r = mirror.illumination(p, mode, layer);
                                r[6] = static_cast<std::uint8_t>(1 + run);
                                for (int k = 0; k < kKeyTableRows; ++k) r[8 + 2 * k] ^= 0x80;
                                ++records;
                            }
                        }
                    }
                    const std::size_t before = IlluminationWrites(trace);
                    const auto start = Clock::now();
                    dialog.Apply();
                    while (IlluminationWrites(trace) < before + records &&
                           Clock::now() - start < std::chrono::seconds(30)) {
                        QTest::qWait(1);
                    }
                    times.push_back(Ms(Clock::now() - start));
                    QTest::qWait(300);
                }
                dialog.Cancel();
            });
        };
        if (app.InitInstance()) {
            app.Run();
            if (!times.empty()) {
                Report("APPLY -> last of 70 records at the emulator", times, 500);
                rc = 0;
            }
        }
    }
    ::kill(monitor, SIGTERM);
    ::waitpid(monitor, nullptr, 0);
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qt(argc, argv);
    auto mirror = NewProfileStore();
    mirror->hostSettingsBlock.modelFlag = 2;
    ClickToState(*mirror);
    Animation(*mirror);
    return ApplyEverything(bench::ProgramFolder());
}
