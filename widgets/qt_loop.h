#pragma once
// Qt's event loop on a thread that also owns windows of the window layer: the
// windows' messages are served inside Qt's loop, and WM_QUIT for the thread
// ends the loop. Returns the WM_QUIT code.

namespace vyre::widgets {

int RunQtLoopWithWindows();

}  // namespace vyre::widgets
