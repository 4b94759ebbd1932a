#include "monitor/link/led_macro_thread.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/link_codes.h"
#include "common/log.h"
#include "monitor/link/keyboard_link.h"

namespace vyre {

CLEDMacroThread::CLEDMacroThread(ProfileStore& store, MonitorShared& shared)
    : store_(store), shared_(shared) {}

CLEDMacroThread::~CLEDMacroThread() {
    Stop();
}

bool CLEDMacroThread::InitInstance() {
    const std::string name(link::kLightMacroWindowName);
    if (!window_.Create(name, name, win::HWND_MESSAGE)) {
        log::Error("light macro", "the light macro window could not be created");
        return false;
    }
    auto& map = window_.Messages();
    map.On(link::kMsgLightRequest, [this](win::WPARAM slot, win::LPARAM) {
        StartMacro(static_cast<int>(slot));
        return 0;
    });
    map.On(win::WM_TIMER, kLedTimerStep, [this](win::WPARAM, win::LPARAM) {
        Step();
        return 0;
    });
    map.On(win::WM_TIMER, kLedTimerRestore, [this](win::WPARAM, win::LPARAM) {
        window_.KillTimer(kLedTimerRestore);
        win::SendMessage(shared_.keyboard.load(), link::kMsgLightRequest, kLightRestore, 0);
        return 0;
    });
    map.On(win::WM_DESTROY, [this](win::WPARAM, win::LPARAM) {
        shared_.lightMacro = 0;
        return 0;
    });
    shared_.lightMacro = window_.GetSafeHwnd();
    return true;
}

int CLEDMacroThread::ExitInstance() {
    shared_.lightMacro = 0;
    return 0;
}

void CLEDMacroThread::SendStep(const MacroEvent& step) {
    win::SendMessage(shared_.keyboard.load(), link::kMsgLightRequest, kLightStep,
                     reinterpret_cast<win::LPARAM>(&step));
}

void CLEDMacroThread::StartMacro(int slot) {
    if (playing_) {
        playing_ = false;
        window_.KillTimer(kLedTimerStep);
        if (slot == currentSlot_) {
            // A second press ends the macro; the lights come back at once.
            currentSlot_ = kNoLightSlot;
            window_.SetTimer(kLedTimerRestore, 1);
            return;
        }
        SendStep(MacroEvent{0, 0, LeU16(0)});  // clears the bitmap
    }
    if (!SlotHasData(slot)) return;
    const int p = store_.currentProfile();
    if (store_.lightMacro(p, slot).usedSteps() == 0) {
        // Nothing to play: the macro it replaced ends as a finished one
        // does, with the keyboard's own lighting back.
        if (currentSlot_ != kNoLightSlot) {
            currentSlot_ = kNoLightSlot;
            window_.SetTimer(kLedTimerRestore, 1);
        }
        return;
    }
    currentSlot_ = slot;
    {
        std::lock_guard lock(shared_.keyLightLock);
        std::memset(store_.keyLightBitmaps[p], 0, sizeof store_.keyLightBitmaps[p]);
    }
    window_.KillTimer(kLedTimerRestore);
    LightMacroBlock block;
    std::memcpy(static_cast<void*>(&block), &store_.lightMacro(p, slot), sizeof block);
    repeatCount_ = std::max<int>(block.loopCount, 1);
    steps_.assign(block.steps, block.steps + block.usedSteps());
    stepIndex_ = 0;
    loopsDone_ = 0;
    playing_ = true;
    Step();
}

void CLEDMacroThread::Step() {
    if (!playing_ || steps_.empty()) {
        playing_ = false;
        window_.KillTimer(kLedTimerStep);
        return;
    }
    const MacroEvent step = steps_[stepIndex_];
    SendStep(step);
    if (++stepIndex_ >= steps_.size()) {
        stepIndex_ = 0;
        ++loopsDone_;
    }
    if (loopsDone_ < repeatCount_) {
        window_.SetTimer(kLedTimerStep, std::max<unsigned>(step.delay.get(), 1));
    } else {
        window_.KillTimer(kLedTimerStep);
        currentSlot_ = kNoLightSlot;
        playing_ = false;
        window_.SetTimer(kLedTimerRestore, 1000);
    }
}

}  // namespace vyre
