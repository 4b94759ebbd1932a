#pragma once
// The link between processes: handle allocation for the user's session, the
// published entries of this process's windows, and messages to windows of
// other processes over their local sockets.

#include <chrono>
#include <cstddef>
#include <string>

#include "platform/window.h"

namespace vyre::win::detail::link {

struct WindowEntry {
  HWND hwnd = 0;
  std::string className;
  std::string title;
  HWND parent = 0;
  std::size_t copyDataLimit = 0;
};

// A handle no other window of the user's session has.
HWND AllocateHandle();
// Makes the window known to other processes (again, after a change).
void Publish(const WindowEntry& entry);
void Unpublish(HWND hwnd);

// Windows of other processes. Post and Send return false when the window
// does not exist or the message could not be delivered.
bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
bool Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::chrono::milliseconds timeout,
          LRESULT* result);
HWND Find(const char* className, const char* title);
bool Exists(HWND hwnd);
// False, with the reason, when the runtime folder could not be used.
bool Available(std::string* why);
// Posts to every top-level window of the other processes.
void Broadcast(UINT message, WPARAM wParam, LPARAM lParam);

// Case-insensitive comparison used for class names and titles.
bool SameText(std::string_view a, std::string_view b);

}  // namespace vyre::win::detail::link
