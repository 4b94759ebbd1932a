#include "monitor/link/ripple.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "common/layout_grid.h"
#include "common/log.h"
#include "common/reports.h"

namespace vyre {
namespace {

struct Cell {
    int column;
    int row;
    int keyIndex;
};

// The cells holding a key whose distance from (x0, y0), rounded down, is r.
std::vector<Cell> Ring(int x0, int y0, int r) {
    std::vector<Cell> cells;
    const LayoutGrid& grid = TheLayoutGrid();
    for (int y = 0; y < kGridRows; ++y) {
        for (int x = 0; x < kGridColumns; ++x) {
            const GridCell& cell = grid[y][x];
            if (!cell.HoldsKey()) continue;
            const int dx = x0 - x, dy = y0 - y;
            if (static_cast<int>(std::floor(std::sqrt(static_cast<double>(dx * dx + dy * dy)))) ==
                r) {
                cells.push_back({x, y, cell.keyIndex});
            }
        }
    }
    return cells;
}

void SetBits(std::uint8_t* bitmap, const std::vector<Cell>& cells, bool on) {
    for (const Cell& c : cells) {
        if (c.keyIndex < 0 || c.keyIndex >= static_cast<int>(report::kRemapKeyCount)) continue;
        std::uint8_t& byte = bitmap[report::kKeyLightBits + c.keyIndex / 8];
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << (c.keyIndex % 8));
        byte = on ? (byte | bit) : (byte & ~bit);
    }
}

}  // namespace

RippleControl::RippleControl(ProfileStore& store, KeyboardPort& port, std::function<bool()> lightMacroPlays)
    : store_(store), port_(port), lightMacroPlays_(std::move(lightMacroPlays)) {}

RippleControl::~RippleControl() {
    StopAll();
}

bool RippleControl::StopRequested() {
    std::lock_guard lock(rippleLock_);
    return stop_;
}

void RippleControl::RequestStop() {
    std::lock_guard lock(rippleLock_);
    stop_ = true;
}

int RippleControl::running() const {
    std::lock_guard lock(countLock_);
    return running_;
}

void RippleControl::JoinFinished(bool all) {
    std::list<std::unique_ptr<Worker>> ended;
    {
        std::lock_guard lock(workersLock_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (all || (*it)->done.load()) {
                ended.push_back(std::move(*it));
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& w : ended) w->thread.join();
}

void RippleControl::StopAll() {
    RequestStop();
    JoinFinished(true);
}

void RippleControl::Start(std::uint8_t usage) {
    JoinFinished(false);
    const auto start = FindGridCellOfUsage(usage);
    if (!start) {
        log::Debug("ripple", log::Format("usage 0x%02x is not on the keyboard: no ripple", usage));
        return;
    }
    if (running() > 0) {
        RequestStop();
        std::this_thread::sleep_for(std::chrono::milliseconds(kRippleStopWaitMs));
    }
    {
        std::lock_guard lock(rippleLock_);
        stop_ = false;
    }
    auto worker = std::make_unique<Worker>();
    Worker* self = worker.get();
    {
        std::lock_guard lock(countLock_);
        ++running_;  // counted before the thread runs, so that a stop right away finds it
    }
    try {
        worker->thread = std::thread(&RippleControl::Run, this, start->column, start->row, self);
    } catch (const std::system_error&) {
        std::lock_guard lock(countLock_);
        --running_;
        return;
    }
    ++started_;
    std::lock_guard lock(workersLock_);
    workers_.push_back(std::move(worker));
}

void RippleControl::Run(int x0, int y0, Worker* self) {
    bool lightOn = false;
    {
        std::lock_guard lock(countLock_);
        lightOn = switchedLightOn_;
        switchedLightOn_ = true;
    }
    if (!lightOn) {
        const auto on = report::LiveLightReport(true);
        port_.WriteFeatureReport(on.data(), on.size(), kDefaultPollMs);
    }
    std::uint8_t bitmap[report::kKeyLightBitmapLength] = {};
    bitmap[0] = report::kKeyLightBitmap;
    bitmap[1] = static_cast<std::uint8_t>(report::kKeyLightBitmapLength);
    bitmap[2] = static_cast<std::uint8_t>(store_.currentProfile());
    auto write = [&] {
        report::FrameReport(report::kKeyLightBitmap, bitmap[2], bitmap);
        port_.WriteFeatureReport(bitmap, sizeof bitmap, kDefaultPollMs);
    };
    std::vector<Cell> previous;
    for (int r = 1; r < kRippleMaxRadius && !StopRequested(); ++r) {
        const std::vector<Cell> ring = Ring(x0, y0, r);
        SetBits(bitmap, ring, true);
        write();
        if (!StopRequested() && !port_.SleepWhileConnected(kRippleRingMs)) break;  // keyboard gone
        SetBits(bitmap, previous, false);
        write();
        previous = ring;
        if (ring.empty()) break;
    }
    SetBits(bitmap, previous, false);
    write();

    bool last = false;
    {
        std::lock_guard lock(countLock_);
        last = --running_ == 0;
        if (last) switchedLightOn_ = false;
    }
    // A light macro that plays goes on writing steps, which the keyboard
    // shows only with live lighting on: its end switches it off.
    if (last && !(lightMacroPlays_ && lightMacroPlays_())) {
        const auto off = report::LiveLightReport(false);
        port_.WriteFeatureReport(off.data(), off.size(), kDefaultPollMs);
    }
    {
        std::lock_guard lock(rippleLock_);
        stop_ = false;
    }
    self->done = true;
}

}  // namespace vyre
