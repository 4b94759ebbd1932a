// Messages between two processes: the round trip of a posted message and of a
// SendMessage, and a full upload (sixteen WM_COPYDATA sends of the settings
// blocks, about 3.1 MB) to a window of another process.

#include <benchmark/benchmark.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/window.h"

using namespace vyre::win;

namespace {

constexpr const char* kPeerTitle = "Vyre Bench Peer";
HWND g_peer = 0;

// The other process: answers sends, echoes posts back, takes copies.
int RunPeer() {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    Window w;
    w.SetCopyDataLimit(64u << 20);
    w.Messages().On(WM_USER + 1, [](WPARAM, LPARAM l) { return l + 1; });
    w.Messages().On(WM_USER + 2, [](WPARAM from, LPARAM l) {
        PostMessage(static_cast<HWND>(from), WM_USER + 3, 0, l);
        return 0;
    });
    w.Messages().OnCopyData(
        [](HWND, const COPYDATASTRUCT& cds) -> LRESULT { return cds.cbData > 0 ? 1 : 2; });
    w.Messages().On(WM_USER + 9, [](WPARAM, LPARAM) {
        PostQuitMessage(0);
        return 0;
    });
    if (!w.Create("VyreBenchPeer", kPeerTitle)) return 1;
    return RunMessageLoop();
}

void BM_PostRoundTrip(benchmark::State& state) {
    Window mine;
    mine.Create("VyreBench", "Bench Post");
    LPARAM n = 0;
    for (auto _ : state) {
        PostMessage(g_peer, WM_USER + 2, mine.GetSafeHwnd(), ++n);
        MSG msg;
        while (GetMessage(msg) && msg.message != WM_USER + 3) {
        }
    }
    mine.DestroyWindow();
}
BENCHMARK(BM_PostRoundTrip)->UseRealTime();

void BM_SendRoundTrip(benchmark::State& state) {
    LPARAM n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(SendMessage(g_peer, WM_USER + 1, 0, ++n));
}
BENCHMARK(BM_SendRoundTrip)->UseRealTime();

void BM_SendRoundTripBetweenThreads(benchmark::State& state) {
    struct Worker : Thread {
        Window w;
        std::atomic<HWND> hwnd{0};
        bool InitInstance() override {
            w.Messages().On(WM_USER + 1, [](WPARAM, LPARAM l) { return l + 1; });
            w.Create("VyreBenchLocal", "Bench Local", HWND_MESSAGE);
            hwnd = w.GetSafeHwnd();
            return true;
        }
        ~Worker() override { Stop(); }
    } worker;
    worker.CreateThread();
    while (worker.hwnd == 0) std::this_thread::yield();
    LPARAM n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(SendMessage(worker.hwnd, WM_USER + 1, 0, ++n));
}
BENCHMARK(BM_SendRoundTripBetweenThreads)->UseRealTime();

// The sixteen blocks of a full upload in their order, by size.
constexpr std::size_t kUpload[16] = {3,     625, 475, 115,     40,      1470, 30,    80,
                                     10010, 20,  16,  1121120, 1408590, 14,   27830, 470879};

void BM_FullUpload(benchmark::State& state) {
    std::vector<std::vector<std::uint8_t>> blocks;
    std::size_t total = 0;
    for (std::size_t size : kUpload) {
        blocks.emplace_back(size, static_cast<std::uint8_t>(size));
        total += size;
    }
    for (auto _ : state) {
        for (const auto& b : blocks) {
            LRESULT r = 0;
            if (!SendCopyData(g_peer, 0, 1031, b.data(), b.size(), kDefaultSendTimeout, &r) ||
                r != 1) {
                state.SkipWithError("a copy was not delivered");
                return;
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total));
}
BENCHMARK(BM_FullUpload)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/vyre-window-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;
    ::setenv("VYRE_LUMO_RUNTIME_DIR", folder, 1);
    // Fork before anything of the window layer exists in this process.
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(RunPeer());
    for (int i = 0; i < 2000 && (g_peer = FindWindow("VyreBenchPeer", kPeerTitle)) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (g_peer == 0) return 1;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    PostMessage(g_peer, WM_USER + 9);
    ::waitpid(pid, nullptr, 0);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
