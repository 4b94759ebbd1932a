#pragma once
// The message queue of one thread: posted messages (FIFO), messages sent by
// other threads or processes that wait for their result, the quit flag and the
// timers of the thread's windows. Any thread may add to a queue; only its owner
// takes from it.

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/window.h"

namespace vyre::win::detail {

using Clock = std::chrono::steady_clock;

class Queue;

// A message whose sender waits for the handler's result.
struct SentMessage {
  enum class State { kQueued, kRunning, kDone };

  MSG msg;
  State state = State::kQueued;  // guarded by the target queue's mutex
  bool delivered = false;        // the window existed and took the message
  LRESULT result = 0;
  // In-process sender: woken when the message is done.
  std::shared_ptr<Queue> sender;
  // Sender in another process: called on the target thread once done.
  std::function<void(bool delivered, LRESULT result)> reply;
  // Copied WM_COPYDATA of another process: lParam points at cds, whose bytes
  // are owned by payload.
  COPYDATASTRUCT cds;
  std::shared_ptr<const void> payload;
};

class Queue : public std::enable_shared_from_this<Queue> {
 public:
  // Messages a queue holds at most; beyond, Post and PushSent refuse, as a
  // thread that stopped taking its messages must not take all memory with it.
  static constexpr std::size_t kMaxPosted = 10000;
  static constexpr std::size_t kMaxSent = 10000;

  explicit Queue(DWORD threadId);
  ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  DWORD ThreadId() const { return threadId_; }

  // --- any thread
  bool Post(const MSG& msg);
  bool PushSent(const std::shared_ptr<SentMessage>& sm);
  // Takes a sent message back before its handler started; false when it has
  // started or finished.
  bool Cancel(const std::shared_ptr<SentMessage>& sm);
  // True once done; *delivered / *result then hold the outcome.
  bool IsDone(const SentMessage& sm, bool* delivered, LRESULT* result);
  void SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs);
  bool KillTimer(HWND hwnd, UINT_PTR id);
  void KillTimers(HWND hwnd);
  void Wake();

  // --- owner thread
  void PostQuit(int exitCode);
  // Handles one message sent to this thread; false when none was waiting.
  bool HandleOneSent();
  enum class Take { kMessage, kQuit, kNothing };
  // The next posted message, quit or due timer (in that order of priority).
  Take TakeNext(MSG& msg);
  // Clears the wake-up descriptors; call before looking at the queue.
  void Drain();
  // Re-signals the wake-up descriptor when something is still pending, so
  // that a foreign event loop that watches WakeFd() comes back.
  void RewakeIfPending();
  // Waits until woken, until extraFd is readable (when >= 0) or timeoutMs
  // passed (-1: no bound). Returns true when extraFd is readable.
  bool Wait(int timeoutMs, int extraFd = -1);
  // Milliseconds until the next timer is due (-1: no timer).
  int NextTimerMs();
  // Arms the timer descriptor for the earliest due timer.
  void ArmTimerFd();
  // Ends the queue: new messages are refused, waiting senders fail.
  void Shutdown();

  int WakeFd() const { return epollFd_; }

  void SetThreadHandler(std::function<void(const MSG&)> handler) { threadHandler_ = std::move(handler); }
  const std::function<void(const MSG&)>& ThreadHandler() const { return threadHandler_; }

 private:
  struct Timer {
    HWND hwnd;
    UINT_PTR id;
    std::chrono::milliseconds period;
    Clock::time_point due;
  };
  void ArmTimerFdLocked();
  void Complete(SentMessage& sm, bool delivered, LRESULT result);

  const DWORD threadId_;
  std::mutex mu_;
  bool dead_ = false;
  std::deque<MSG> posted_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  bool quit_ = false;
  int quitCode_ = 0;
  std::vector<Timer> timers_;
  int eventFd_ = -1;
  int timerFd_ = -1;
  int epollFd_ = -1;
  std::function<void(const MSG&)> threadHandler_;
};

// Runs the window procedure of a window of this process for a message taken
// from the calling thread's queue. *delivered is false when the window is gone
// or refused the message.
LRESULT DispatchToWindow(const MSG& msg, bool* delivered);

// The queue that owns a window of this process and the window's WM_COPYDATA
// limit; null when the process has no such window.
std::shared_ptr<Queue> WindowQueue(HWND hwnd, std::size_t* copyDataLimit);

// True when a message that came from another process must not reach this
// window because its parameters are pointers within a program (the list in
// pointer_messages.h); the refusal is logged.
bool RefusedFromOtherProcess(HWND hwnd, UINT message, WPARAM wParam);

// The calling thread's queue, created on first use.
Queue& CurrentQueue();
std::shared_ptr<Queue> FindThreadQueue(DWORD threadId);

}  // namespace vyre::win::detail
