#pragma once
// Message-driven windows, message queues and threads.
//
// Both programs are built from hidden windows owned by threads: every piece of
// work arrives as a message, is handled on the window's own thread, one message
// at a time, and work crosses threads (and processes) only as messages. This
// header is the whole interface; it reads like the Windows one on purpose:
//
//   class CSoundWnd : public vyre::win::Window {
//    public:
//     CSoundWnd() {
//       Messages().On(WM_USER + 12, [this](WPARAM w, LPARAM l) { return Play(w, l); });
//       Messages().On(WM_USER + 8, 1030, [this](WPARAM, LPARAM) { Stop(); return 0; });
//       Messages().OnCopyData([this](HWND from, const COPYDATASTRUCT& cds) { ...; return 1; });
//     }
//   };
//
//   class CSoundThread : public vyre::win::Thread {
//     bool InitInstance() override { return m_wnd.Create("Vyre Lumo Monitor Sound", "Vyre Lumo Monitor Sound", HWND_MESSAGE); }
//     int ExitInstance() override { ...; return 0; }
//     CSoundWnd m_wnd;
//   };
//
// Handles are plain integers valid in every process of the user's session, so
// they can be stored, compared, passed in wParam/lParam and sent to other
// programs. Handle 0 means "no window": posting or sending to it fails
// harmlessly. Messages to windows of other processes carry wParam and lParam as
// integers; only WM_COPYDATA carries bytes, which are copied.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace vyre::win {

using HWND = std::uint32_t;
using UINT = std::uint32_t;
using WPARAM = std::uint64_t;
using LPARAM = std::int64_t;  // wide enough for a pointer inside a process
using LRESULT = std::int64_t;
using UINT_PTR = std::uint64_t;
using ULONG_PTR = std::uint64_t;
using DWORD = std::uint32_t;

constexpr HWND HWND_DESKTOP = 0;           // parent of top-level windows
constexpr HWND HWND_BROADCAST = 0xFFFF;    // PostMessage target: every top-level window
constexpr HWND HWND_MESSAGE = 0xFFFFFFFD;  // parent of message-only windows

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_COPYDATA = 0x004A;  // 74
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;
// RegisterWindowMessage hands out numbers in this range.
constexpr UINT kRegisteredMessageFirst = 0xC000;
constexpr UINT kRegisteredMessageLast = 0xFFFF;

// The envelope WM_COPYDATA carries in lParam (as a pointer). The bytes are
// valid for the duration of the handler only; a handler that keeps them copies
// them.
struct COPYDATASTRUCT {
  ULONG_PTR dwData = 0;
  std::uint32_t cbData = 0;
  const void* lpData = nullptr;
};

struct MSG {
  HWND hwnd = 0;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Largest WM_COPYDATA payload a window accepts unless it says otherwise.
constexpr std::size_t kDefaultCopyDataLimit = 4u << 20;
// Largest payload any window may accept.
constexpr std::size_t kMaxCopyDataLimit = 0xFFFFFFFFu;

// How long SendMessage waits for a window of another thread or process before
// it gives up. A send to another thread of this process that has already
// started in the handler is always waited for to its end, because the handler
// may be using the sender's memory.
constexpr std::chrono::milliseconds kDefaultSendTimeout{20000};

// ---------------------------------------------------------------------------
// Message maps

using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
using CopyDataHandler = std::function<LRESULT(HWND from, const COPYDATASTRUCT&)>;
using DefaultHandler = std::function<LRESULT(UINT, WPARAM, LPARAM)>;

// Handlers keyed by message number and, optionally, by the code in wParam. A
// handler for (message, code) wins over one for the message alone; the default
// handler takes everything else.
class MessageMap {
 public:
  void On(UINT message, MessageHandler handler);
  void On(UINT message, WPARAM code, MessageHandler handler);
  // WM_COPYDATA: wParam is the sender's window, lParam the envelope.
  void OnCopyData(CopyDataHandler handler);
  void OnDefault(DefaultHandler handler);
  void Remove(UINT message);
  void Remove(UINT message, WPARAM code);

  // Runs the handler that matches; false when none does.
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const;

 private:
  std::map<UINT, MessageHandler> byMessage_;
  std::map<std::pair<UINT, WPARAM>, MessageHandler> byCode_;
  DefaultHandler default_;
};

// ---------------------------------------------------------------------------
// Windows

// A window: a handle, a class name, a title, the thread that created it and a
// window procedure. The C++ object belongs to its creator (usually a member of
// a thread or application object); the window lives from Create to
// DestroyWindow, to the end of its thread, or to the object's destruction,
// whichever comes first. Handlers run on the owning thread only.
class Window {
 public:
  Window();
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Creates the window on the calling thread, which becomes its owner.
  // parent: HWND_DESKTOP (0) for a top-level window that FindWindow finds and
  // broadcasts reach; HWND_MESSAGE for a message-only window that FindWindow
  // finds but broadcasts skip; any other handle for a child window (neither).
  bool Create(std::string_view className, std::string_view title, HWND parent = HWND_DESKTOP);
  // Sends WM_DESTROY to the window, then removes it. Only the owning thread
  // may destroy a window.
  bool DestroyWindow();

  HWND GetSafeHwnd() const { return hwnd_; }
  bool IsWindow() const { return hwnd_ != 0; }
  std::string GetClassName() const;
  std::string GetWindowText() const;
  bool SetWindowText(std::string_view title);

  // Largest WM_COPYDATA payload this window takes; larger ones are refused
  // (the sender sees failure) and never reach the handler.
  void SetCopyDataLimit(std::size_t bytes);
  std::size_t CopyDataLimit() const { return copyDataLimit_; }

  // Timers deliver WM_TIMER with wParam = id to this window at the period
  // until killed. Setting an id again restarts it with the new period.
  UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
  bool KillTimer(UINT_PTR id);

  MessageMap& Messages() { return map_; }

  // The window procedure. The default runs the message map, then
  // DefWindowProc. Override to see every message first.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

 private:
  void Forget();

  // Read from any thread (a thread's window is looked at by others, as on
  // Windows); written by the owning thread.
  std::atomic<HWND> hwnd_{0};
  bool destroying_ = false;
  std::size_t copyDataLimit_ = kDefaultCopyDataLimit;
  MessageMap map_;
};

// ---------------------------------------------------------------------------
// Messages

// Queues a message for the window's thread and returns at once. Messages from
// one thread to one window are handled in the order they were posted.
// WM_COPYDATA cannot be posted. hwnd = HWND_BROADCAST posts to every
// top-level window of the user's session (message-only windows excluded).
bool PostMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Queues a message for a thread of this process (MSG.hwnd = 0).
bool PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Ends the calling thread's message loop with this exit code once the posted
// messages queued before it have been handled.
void PostQuitMessage(int exitCode);

// Runs the handler on the window's thread and returns its result; 0 when the
// window does not exist, refused the message or did not answer within
// kDefaultSendTimeout. While it waits, the calling thread keeps handling
// messages sent to its own windows.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// As SendMessage, with an explicit bound. True when the handler ran; its
// result is stored in *result.
bool SendMessageTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                        std::chrono::milliseconds timeout, LRESULT* result = nullptr);
// WM_COPYDATA convenience: sends {dwData, size, data} with wParam = from.
bool SendCopyData(HWND to, HWND from, ULONG_PTR dwData, const void* data, std::size_t size,
                  std::chrono::milliseconds timeout = kDefaultSendTimeout, LRESULT* result = nullptr);

// The same name gives the same number in every process (derived from the name,
// case-insensitively, so programs agree without talking to each other).
UINT RegisterWindowMessage(std::string_view name);

// Finds a top-level or message-only window of any process of the user by class
// and/or title (nullptr = any); both compare without regard to case. Returns 0
// when there is none.
HWND FindWindow(const char* className, const char* title);
// True when the handle names an existing window (of any process).
bool IsWindow(HWND hwnd);
// True when windows of other processes can reach this process's windows and
// be reached from them. False when the per-user runtime folder is unusable
// (owned by another user, a symbolic link, not a folder, not writable); *why
// then says which folder and what is wrong with it (the error is logged once).
bool CanReachOtherPrograms(std::string* why = nullptr);
// The id of the thread that owns a window of this process (0 otherwise).
DWORD GetWindowThreadId(HWND hwnd);

// ---------------------------------------------------------------------------
// The calling thread's queue

// A number unique to the calling thread within this process.
DWORD GetCurrentThreadId();

// Waits for the next posted message, timer or WM_QUIT, handling sent messages
// meanwhile. False on WM_QUIT (msg.wParam holds the exit code).
bool GetMessage(MSG& msg);
// Like GetMessage but returns false at once when nothing is pending.
bool PeekMessage(MSG& msg);
// Runs the window procedure (or the thread's handler when msg.hwnd is 0).
LRESULT DispatchMessage(const MSG& msg);
// GetMessage / DispatchMessage until WM_QUIT; returns the exit code.
int RunMessageLoop();

// For threads that run another event loop (the Qt GUI thread): WakeFd() is a
// descriptor that becomes readable whenever messages or timers of the calling
// thread are pending (watch it with a QSocketNotifier, read events only);
// ProcessPendingMessages() then handles everything pending without blocking.
// It returns the exit code once WM_QUIT was taken from the queue.
int WakeFd();
std::optional<int> ProcessPendingMessages();

// Handles messages posted to the calling thread itself (PostThreadMessage,
// MSG.hwnd == 0). Thread sets this for its own thread.
void SetThreadMessageHandler(std::function<void(const MSG&)> handler);

// ---------------------------------------------------------------------------
// Threads

// A thread that owns windows and runs their message loop: the base of every
// worker thread. CreateThread starts it; on the new thread InitInstance runs
// (create the thread's windows there), then Run (the message loop) when it
// returned true, then ExitInstance. Windows still alive afterwards are
// destroyed on the thread. Messages posted to the thread itself go to
// ThreadMessages().
//
// The thread uses the subclass's members until it ends, and a subclass's
// members are destroyed before ~Thread runs: a subclass whose thread may still
// run when it is destroyed calls Stop() in its own destructor.
class Thread {
 public:
  Thread();
  virtual ~Thread();  // asks the thread to quit and waits for it
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // stackSize 0 = the system default. Returns once the thread's queue exists,
  // so messages can be posted to it right away.
  bool CreateThread(std::size_t stackSize = 0);

  virtual bool InitInstance() { return true; }
  virtual int ExitInstance() { return exitCode_; }
  virtual int Run() { return RunMessageLoop(); }

  DWORD ThreadId() const { return threadId_; }
  bool PostThreadMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  MessageMap& ThreadMessages() { return threadMap_; }

  // Posts WM_QUIT to the thread.
  bool Quit(int exitCode = 0);
  // Waits until the thread has ended; false on time-out.
  bool Wait(std::chrono::milliseconds timeout);
  // Quit, then wait for the end (repeating the quit while a handler is still
  // busy: the object cannot go away under a running thread).
  void Stop();
  bool Running() const;
  int ExitCode() const { return exitCode_; }

 private:
  struct Control;
  static void* Entry(void* self);
  void Main();
  void Join();

  std::shared_ptr<Control> control_;
  DWORD threadId_ = 0;
  // Set by the thread as it ends; read by Stop on another thread.
  std::atomic<int> exitCode_{0};
  MessageMap threadMap_;
};

}  // namespace vyre::win
