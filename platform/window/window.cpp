#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "common/log.h"
#include "platform/window.h"
#include "platform/window/link.h"
#include "platform/window/pointer_messages.h"
#include "platform/window/queue.h"

namespace vyre::win {

namespace detail {
namespace {

struct Record {
  Window* window = nullptr;
  std::shared_ptr<Queue> queue;
  std::string className;
  std::string title;
  HWND parent = 0;
  std::size_t copyDataLimit = 0;
};

// Every window and every queue of this process. Never destroyed, so that
// windows and threads that outlive static destruction still find it.
struct Registry {
  std::mutex mu;
  std::unordered_map<HWND, Record> windows;
  std::unordered_map<DWORD, std::weak_ptr<Queue>> threads;
  std::atomic<DWORD> nextThreadId{1};
};

Registry& Reg() {
  static Registry* registry = new Registry;
  return *registry;
}

void EndQueue(const std::shared_ptr<Queue>& queue);

// The calling thread's queue; the windows it still owns when the thread ends
// are forgotten (no WM_DESTROY: their objects may already be gone) and
// waiting senders fail.
struct ThreadState {
  std::shared_ptr<Queue> queue;
  ~ThreadState() {
    if (queue) EndQueue(queue);
  }
};
thread_local ThreadState t_state;

bool Accepts(const Record& rec, const MSG& msg) {
  if (msg.message != WM_COPYDATA) return true;
  const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(msg.lParam);
  if (cds == nullptr || cds->cbData > rec.copyDataLimit) return false;
  return cds->cbData == 0 || cds->lpData != nullptr;
}

void EndQueue(const std::shared_ptr<Queue>& queue) {
  std::vector<HWND> owned;
  {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mu);
    for (auto it = reg.windows.begin(); it != reg.windows.end();) {
      if (it->second.queue == queue) {
        owned.push_back(it->first);
        it = reg.windows.erase(it);
      } else {
        ++it;
      }
    }
    reg.threads.erase(queue->ThreadId());
  }
  for (HWND h : owned) link::Unpublish(h);
  queue->Shutdown();
}

std::optional<Record> Lookup(HWND hwnd) {
  Registry& reg = Reg();
  std::lock_guard lock(reg.mu);
  auto it = reg.windows.find(hwnd);
  if (it == reg.windows.end()) return std::nullopt;
  return it->second;
}

bool Matches(const Record& rec, const char* className, const char* title) {
  if (rec.parent != HWND_DESKTOP && rec.parent != HWND_MESSAGE) return false;
  if (className != nullptr && !link::SameText(rec.className, className)) return false;
  if (title != nullptr && !link::SameText(rec.title, title)) return false;
  return true;
}

// Sends to a window of another thread of this process and waits, handling
// messages sent to the calling thread meanwhile.
bool SendToQueue(const std::shared_ptr<Queue>& target, const MSG& msg, std::chrono::milliseconds timeout,
                 LRESULT* result) {
  Queue& me = CurrentQueue();
  auto sm = std::make_shared<SentMessage>();
  sm->msg = msg;
  sm->sender = me.shared_from_this();
  if (!target->PushSent(sm)) return false;

  const auto deadline = Clock::now() + timeout;
  bool started = false;  // past the deadline but already in the handler
  bool delivered = false;
  LRESULT value = 0;
  for (;;) {
    me.Drain();
    if (target->IsDone(*sm, &delivered, &value)) break;
    if (me.HandleOneSent()) continue;
    int waitMs = 1000;
    if (!started) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        if (target->Cancel(sm)) {
          delivered = false;
          break;
        }
        // The handler runs and may use the sender's memory: wait for its end.
        started = true;
      } else {
        waitMs = static_cast<int>(std::min<long long>(left, 1000));
      }
    }
    me.Wait(waitMs);
  }
  me.RewakeIfPending();
  if (result != nullptr) *result = delivered ? value : 0;
  return delivered;
}

}  // namespace

Queue& CurrentQueue() {
  if (!t_state.queue) {
    Registry& reg = Reg();
    DWORD id = reg.nextThreadId.fetch_add(1);
    t_state.queue = std::make_shared<Queue>(id);
    std::lock_guard lock(reg.mu);
    reg.threads[id] = t_state.queue;
  }
  return *t_state.queue;
}

std::shared_ptr<Queue> FindThreadQueue(DWORD threadId) {
  Registry& reg = Reg();
  std::lock_guard lock(reg.mu);
  auto it = reg.threads.find(threadId);
  return it == reg.threads.end() ? nullptr : it->second.lock();
}

std::shared_ptr<Queue> WindowQueue(HWND hwnd, std::size_t* copyDataLimit) {
  Registry& reg = Reg();
  std::lock_guard lock(reg.mu);
  auto it = reg.windows.find(hwnd);
  if (it == reg.windows.end()) return nullptr;
  *copyDataLimit = it->second.copyDataLimit;
  return it->second.queue;
}

bool RefusedFromOtherProcess(HWND hwnd, UINT message, WPARAM wParam) {
  auto rec = Lookup(hwnd);
  if (!rec) return false;
  const PointerMessage* entry = FindPointerMessage(rec->className, message, wParam);
  if (entry == nullptr) return false;
  // One line for the first refusal of each entry, then one at every power of
  // two, so that a program that keeps trying cannot flood the log.
  static std::atomic<std::uint64_t> counts[64];
  const auto index = static_cast<std::size_t>(entry - PointerMessages().data()) % 64;
  const std::uint64_t n = counts[index].fetch_add(1) + 1;
  if ((n & (n - 1)) == 0) {
    vyre::log::Warning("window", vyre::log::Format("message %u (code %llu) to \"%s\" from another program refused: "
                                                   "it carries a pointer (%.*s); %llu refused so far",
                                                   message, static_cast<unsigned long long>(wParam),
                                                   rec->className.c_str(), static_cast<int>(entry->carries.size()),
                                                   entry->carries.data(), static_cast<unsigned long long>(n)));
  }
  return true;
}

LRESULT DispatchToWindow(const MSG& msg, bool* delivered) {
  *delivered = false;
  auto rec = Lookup(msg.hwnd);
  if (!rec || rec->queue != t_state.queue || !Accepts(*rec, msg)) return 0;
  *delivered = true;
  return rec->window->WindowProc(msg.message, msg.wParam, msg.lParam);
}

// Destroys the windows the calling thread still owns, each with WM_DESTROY.
void DestroyThreadWindows() {
  if (!t_state.queue) return;
  std::vector<Window*> owned;
  {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mu);
    for (auto& [h, rec] : reg.windows)
      if (rec.queue == t_state.queue) owned.push_back(rec.window);
  }
  for (Window* w : owned) w->DestroyWindow();
}

// Ends the calling thread's queue now rather than at thread exit.
void EndCurrentQueue() {
  if (!t_state.queue) return;
  auto queue = std::move(t_state.queue);
  EndQueue(queue);
}

}  // namespace detail

using detail::Clock;
using detail::CurrentQueue;
using detail::Lookup;
using detail::Reg;

// ---------------------------------------------------------------------------
// MessageMap

void MessageMap::On(UINT message, MessageHandler handler) { byMessage_[message] = std::move(handler); }

void MessageMap::On(UINT message, WPARAM code, MessageHandler handler) {
  byCode_[{message, code}] = std::move(handler);
}

void MessageMap::OnCopyData(CopyDataHandler handler) {
  On(WM_COPYDATA, [h = std::move(handler)](WPARAM wParam, LPARAM lParam) -> LRESULT {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (cds == nullptr) return 0;
    return h(static_cast<HWND>(wParam), *cds);
  });
}

void MessageMap::OnDefault(DefaultHandler handler) { default_ = std::move(handler); }

void MessageMap::Remove(UINT message) { byMessage_.erase(message); }

void MessageMap::Remove(UINT message, WPARAM code) { byCode_.erase({message, code}); }

bool MessageMap::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const {
  if (!byCode_.empty()) {
    auto it = byCode_.find({message, wParam});
    if (it != byCode_.end()) {
      result = it->second(wParam, lParam);
      return true;
    }
  }
  auto it = byMessage_.find(message);
  if (it != byMessage_.end()) {
    result = it->second(wParam, lParam);
    return true;
  }
  if (default_) {
    result = default_(message, wParam, lParam);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Window

Window::Window() = default;

Window::~Window() { Forget(); }

bool Window::Create(std::string_view className, std::string_view title, HWND parent) {
  if (hwnd_ != 0) return false;
  detail::Queue& queue = CurrentQueue();
  HWND h = detail::link::AllocateHandle();
  if (h == 0) return false;
  detail::Record rec;
  rec.window = this;
  rec.queue = queue.shared_from_this();
  rec.className = std::string(className);
  rec.title = std::string(title);
  rec.parent = parent;
  rec.copyDataLimit = copyDataLimit_;
  {
    auto& reg = Reg();
    std::lock_guard lock(reg.mu);
    reg.windows[h] = rec;
  }
  hwnd_ = h;
  detail::link::Publish({h, rec.className, rec.title, parent, copyDataLimit_});
  return true;
}

bool Window::DestroyWindow() {
  if (hwnd_ == 0 || destroying_) return false;
  auto rec = Lookup(hwnd_);
  if (!rec || rec->queue.get() != &CurrentQueue()) return false;
  destroying_ = true;
  WindowProc(WM_DESTROY, 0, 0);
  destroying_ = false;
  Forget();
  return true;
}

void Window::Forget() {
  if (hwnd_ == 0) return;
  HWND h = hwnd_;
  hwnd_ = 0;
  std::shared_ptr<detail::Queue> queue;
  {
    auto& reg = Reg();
    std::lock_guard lock(reg.mu);
    auto it = reg.windows.find(h);
    if (it == reg.windows.end() || it->second.window != this) return;
    queue = std::move(it->second.queue);
    reg.windows.erase(it);
  }
  detail::link::Unpublish(h);
  queue->KillTimers(h);
}

std::string Window::GetClassName() const {
  auto rec = Lookup(hwnd_);
  return rec ? rec->className : std::string();
}

std::string Window::GetWindowText() const {
  auto rec = Lookup(hwnd_);
  return rec ? rec->title : std::string();
}

bool Window::SetWindowText(std::string_view title) {
  if (hwnd_ == 0) return false;
  detail::link::WindowEntry entry;
  {
    auto& reg = Reg();
    std::lock_guard lock(reg.mu);
    auto it = reg.windows.find(hwnd_);
    if (it == reg.windows.end()) return false;
    it->second.title = std::string(title);
    entry = {hwnd_, it->second.className, it->second.title, it->second.parent, it->second.copyDataLimit};
  }
  detail::link::Publish(entry);
  return true;
}

void Window::SetCopyDataLimit(std::size_t bytes) {
  copyDataLimit_ = std::min(bytes, kMaxCopyDataLimit);
  if (hwnd_ == 0) return;
  detail::link::WindowEntry entry;
  {
    auto& reg = Reg();
    std::lock_guard lock(reg.mu);
    auto it = reg.windows.find(hwnd_);
    if (it == reg.windows.end()) return;
    it->second.copyDataLimit = copyDataLimit_;
    entry = {hwnd_, it->second.className, it->second.title, it->second.parent, it->second.copyDataLimit};
  }
  detail::link::Publish(entry);
}

UINT_PTR Window::SetTimer(UINT_PTR id, UINT elapseMs) {
  auto rec = Lookup(hwnd_);
  if (!rec) return 0;
  rec->queue->SetTimer(hwnd_, id, elapseMs);
  return id == 0 ? 1 : id;
}

bool Window::KillTimer(UINT_PTR id) {
  auto rec = Lookup(hwnd_);
  return rec && rec->queue->KillTimer(hwnd_, id);
}

LRESULT Window::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (map_.Dispatch(message, wParam, lParam, result)) return result;
  return DefWindowProc(message, wParam, lParam);
}

LRESULT Window::DefWindowProc(UINT, WPARAM, LPARAM) { return 0; }

LRESULT Window::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return win::SendMessage(hwnd_, message, wParam, lParam);
}

bool Window::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return win::PostMessage(hwnd_, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Messages

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd == 0 || hwnd == HWND_MESSAGE || message == WM_COPYDATA) return false;
  if (hwnd == HWND_BROADCAST) {
    std::vector<std::shared_ptr<detail::Queue>> targets;
    std::vector<HWND> handles;
    {
      auto& reg = Reg();
      std::lock_guard lock(reg.mu);
      for (auto& [h, rec] : reg.windows) {
        if (rec.parent != HWND_DESKTOP) continue;
        handles.push_back(h);
        targets.push_back(rec.queue);
      }
    }
    for (std::size_t i = 0; i < handles.size(); ++i)
      targets[i]->Post(MSG{handles[i], message, wParam, lParam});
    detail::link::Broadcast(message, wParam, lParam);
    return true;
  }
  if (auto rec = Lookup(hwnd)) return rec->queue->Post(MSG{hwnd, message, wParam, lParam});
  return detail::link::Post(hwnd, message, wParam, lParam);
}

bool PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) return false;
  auto queue = detail::FindThreadQueue(threadId);
  return queue && queue->Post(MSG{0, message, wParam, lParam});
}

void PostQuitMessage(int exitCode) { CurrentQueue().PostQuit(exitCode); }

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  SendMessageTimeout(hwnd, message, wParam, lParam, kDefaultSendTimeout, &result);
  return result;
}

bool SendMessageTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                        std::chrono::milliseconds timeout, LRESULT* result) {
  if (result != nullptr) *result = 0;
  if (hwnd == 0 || hwnd == HWND_BROADCAST || hwnd == HWND_MESSAGE) return false;
  MSG msg{hwnd, message, wParam, lParam};
  if (auto rec = Lookup(hwnd)) {
    if (rec->queue.get() == &CurrentQueue()) {
      bool delivered = false;
      LRESULT value = detail::DispatchToWindow(msg, &delivered);
      if (result != nullptr) *result = value;
      return delivered;
    }
    return detail::SendToQueue(rec->queue, msg, timeout, result);
  }
  return detail::link::Send(hwnd, message, wParam, lParam, timeout, result);
}

bool SendCopyData(HWND to, HWND from, ULONG_PTR dwData, const void* data, std::size_t size,
                  std::chrono::milliseconds timeout, LRESULT* result) {
  if (size > kMaxCopyDataLimit || (size > 0 && data == nullptr)) return false;
  COPYDATASTRUCT cds{dwData, static_cast<std::uint32_t>(size), data};
  return SendMessageTimeout(to, WM_COPYDATA, from, reinterpret_cast<LPARAM>(&cds), timeout, result);
}

UINT RegisterWindowMessage(std::string_view name) {
  if (name.empty()) return 0;
  // FNV-1a over the name folded to lower case.
  std::uint32_t h = 2166136261u;
  for (unsigned char c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    h = (h ^ c) * 16777619u;
  }
  constexpr UINT span = kRegisteredMessageLast - kRegisteredMessageFirst + 1;
  return kRegisteredMessageFirst + (h ^ (h >> 16)) % span;
}

HWND FindWindow(const char* className, const char* title) {
  {
    auto& reg = Reg();
    std::lock_guard lock(reg.mu);
    HWND best = 0;
    for (auto& [h, rec] : reg.windows)  // the oldest match, so that repeated calls agree
      if (detail::Matches(rec, className, title) && (best == 0 || h < best)) best = h;
    if (best != 0) return best;
  }
  return detail::link::Find(className, title);
}

bool CanReachOtherPrograms(std::string* why) {
  return detail::link::Available(why);
}

bool IsWindow(HWND hwnd) {
  if (hwnd == 0 || hwnd == HWND_BROADCAST || hwnd == HWND_MESSAGE) return false;
  return Lookup(hwnd).has_value() || detail::link::Exists(hwnd);
}

DWORD GetWindowThreadId(HWND hwnd) {
  auto rec = Lookup(hwnd);
  return rec ? rec->queue->ThreadId() : 0;
}

// ---------------------------------------------------------------------------
// The calling thread's queue

DWORD GetCurrentThreadId() { return CurrentQueue().ThreadId(); }

bool GetMessage(MSG& msg) {
  detail::Queue& q = CurrentQueue();
  for (;;) {
    q.Drain();
    while (q.HandleOneSent()) {
    }
    switch (q.TakeNext(msg)) {
      case detail::Queue::Take::kMessage:
        return true;
      case detail::Queue::Take::kQuit:
        return false;
      case detail::Queue::Take::kNothing:
        break;
    }
    q.Wait(q.NextTimerMs());
  }
}

bool PeekMessage(MSG& msg) {
  detail::Queue& q = CurrentQueue();
  while (q.HandleOneSent()) {
  }
  return q.TakeNext(msg) != detail::Queue::Take::kNothing;
}

LRESULT DispatchMessage(const MSG& msg) {
  if (msg.hwnd == 0) {
    const auto& handler = CurrentQueue().ThreadHandler();
    if (handler) handler(msg);
    return 0;
  }
  bool delivered = false;
  return detail::DispatchToWindow(msg, &delivered);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessage(msg)) DispatchMessage(msg);
  return static_cast<int>(msg.wParam);
}

int WakeFd() { return CurrentQueue().WakeFd(); }

std::optional<int> ProcessPendingMessages() {
  detail::Queue& q = CurrentQueue();
  q.Drain();
  std::optional<int> quit;
  // A bounded batch: handlers that keep posting to themselves must not starve
  // the other event loop; what is left re-signals the wake-up descriptor.
  for (int i = 0; i < 256; ++i) {
    while (q.HandleOneSent()) {
    }
    MSG msg;
    auto taken = q.TakeNext(msg);
    if (taken == detail::Queue::Take::kNothing) break;
    if (taken == detail::Queue::Take::kQuit) {
      quit = static_cast<int>(msg.wParam);
      break;
    }
    DispatchMessage(msg);
  }
  q.ArmTimerFd();
  q.RewakeIfPending();
  return quit;
}

void SetThreadMessageHandler(std::function<void(const MSG&)> handler) {
  CurrentQueue().SetThreadHandler(std::move(handler));
}

// ---------------------------------------------------------------------------
// Thread

namespace detail {
void DestroyThreadWindows();
void EndCurrentQueue();
}  // namespace detail

struct Thread::Control {
  std::mutex mu;
  std::condition_variable cv;
  bool started = false;
  bool ended = false;
  bool joined = false;
  pthread_t handle{};
};

Thread::Thread() = default;

Thread::~Thread() { Stop(); }

void Thread::Stop() {
  if (!control_ || control_->joined) return;
  if (pthread_equal(control_->handle, pthread_self())) {
    // Destroyed by its own thread: nobody can wait for it.
    pthread_detach(control_->handle);
    control_->joined = true;
    return;
  }
  Quit(exitCode_);
  while (!Wait(std::chrono::seconds(1))) {
    // A handler still runs on the thread and uses this object; it cannot be
    // freed before the thread has let go of it.
    Quit(exitCode_);
  }
}

bool Thread::CreateThread(std::size_t stackSize) {
  if (control_ && !control_->joined) return false;
  control_ = std::make_shared<Control>();
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  if (stackSize > 0) pthread_attr_setstacksize(&attr, stackSize);
  int rc = pthread_create(&control_->handle, &attr, &Thread::Entry, this);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    control_.reset();
    return false;
  }
  std::unique_lock lock(control_->mu);
  control_->cv.wait(lock, [&] { return control_->started; });
  return true;
}

void* Thread::Entry(void* self) {
  static_cast<Thread*>(self)->Main();
  return nullptr;
}

void Thread::Main() {
  std::shared_ptr<Control> control = control_;
  detail::Queue& queue = CurrentQueue();
  threadId_ = queue.ThreadId();
  queue.SetThreadHandler([this](const MSG& msg) {
    LRESULT ignored = 0;
    threadMap_.Dispatch(msg.message, msg.wParam, msg.lParam, ignored);
  });
  {
    std::lock_guard lock(control->mu);
    control->started = true;
  }
  control->cv.notify_all();

  if (InitInstance()) exitCode_ = Run();
  exitCode_ = ExitInstance();
  detail::DestroyThreadWindows();
  detail::EndCurrentQueue();

  {
    std::lock_guard lock(control->mu);
    control->ended = true;
  }
  control->cv.notify_all();
}

bool Thread::PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return threadId_ != 0 && win::PostThreadMessage(threadId_, message, wParam, lParam);
}

bool Thread::Quit(int exitCode) { return PostThreadMessage(WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

bool Thread::Wait(std::chrono::milliseconds timeout) {
  if (!control_) return true;
  {
    std::unique_lock lock(control_->mu);
    if (!control_->cv.wait_for(lock, timeout, [&] { return control_->ended; })) return false;
  }
  Join();
  return true;
}

void Thread::Join() {
  if (control_ && !control_->joined) {
    pthread_join(control_->handle, nullptr);
    control_->joined = true;
  }
}

bool Thread::Running() const {
  if (!control_) return false;
  std::lock_guard lock(control_->mu);
  return control_->started && !control_->ended;
}

}  // namespace vyre::win
