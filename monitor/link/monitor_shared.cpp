#include "monitor/link/monitor_shared.h"

#include <string>

#include "common/link_codes.h"

namespace vyre {

win::HWND FindConfigLinkWindow() {
    static const std::string title(link::kLinkWindowTitle);
    return win::FindWindow(nullptr, title.c_str());
}

}  // namespace vyre
