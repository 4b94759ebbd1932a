#include "monitor/shell/sound_thread.h"

#include <string>

#include "common/bytes.h"
#include "common/link_codes.h"
#include "common/log.h"
#include "platform/record.h"

namespace vyre {

bool CSoundThread::InitInstance() {
    const std::string name(link::kSoundWindowName);
    if (!window_.Create(name, name, win::HWND_MESSAGE)) return false;
    window_.Messages().On(link::kMsgPlaySound, [](win::WPARAM kind, win::LPARAM value) {
        // Kind 0 carries a pointer to the profile's four sound setting bytes.
        const long long shown = kind == 0 && value != 0
                                    ? LoadLe32(reinterpret_cast<const std::uint8_t*>(value))
                                    : value;
        const std::string line =
            log::Format("sound %llu %lld", static_cast<unsigned long long>(kind), shown);
        platform::ActionRecord::Instance().Write(line);
        log::Debug("sound", line);
        return 0;
    });
    window_.Messages().On(win::WM_DESTROY, [this](win::WPARAM, win::LPARAM) {
        shared_.sound = 0;
        return 0;
    });
    shared_.sound = window_.GetSafeHwnd();
    return true;
}

int CSoundThread::ExitInstance() {
    shared_.sound = 0;
    return 0;
}

}  // namespace vyre
