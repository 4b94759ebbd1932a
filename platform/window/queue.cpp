#include "platform/window/queue.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vyre::win::detail {

namespace {

int Check(int fd, const char* what) {
  if (fd < 0) {
    std::perror(what);
    std::abort();  // without its descriptors a queue cannot work at all
  }
  return fd;
}

}  // namespace

Queue::Queue(DWORD threadId) : threadId_(threadId) {
  eventFd_ = Check(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), "eventfd");
  timerFd_ = Check(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK), "timerfd_create");
  epollFd_ = Check(::epoll_create1(EPOLL_CLOEXEC), "epoll_create1");
  for (int fd : {eventFd_, timerFd_}) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    Check(::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ev), "epoll_ctl");
  }
}

Queue::~Queue() {
  Shutdown();
  ::close(epollFd_);
  ::close(timerFd_);
  ::close(eventFd_);
}

void Queue::Wake() {
  std::uint64_t one = 1;
  // A full counter still leaves the descriptor readable, which is all we need.
  [[maybe_unused]] ssize_t n = ::write(eventFd_, &one, sizeof one);
}

bool Queue::Post(const MSG& msg) {
  {
    std::lock_guard lock(mu_);
    if (dead_ || posted_.size() >= kMaxPosted) return false;
    posted_.push_back(msg);
  }
  Wake();
  return true;
}

void Queue::PostQuit(int exitCode) {
  {
    std::lock_guard lock(mu_);
    quit_ = true;
    quitCode_ = exitCode;
  }
  Wake();
}

bool Queue::PushSent(const std::shared_ptr<SentMessage>& sm) {
  {
    std::lock_guard lock(mu_);
    if (dead_ || sent_.size() >= kMaxSent) return false;
    sent_.push_back(sm);
  }
  Wake();
  return true;
}

bool Queue::Cancel(const std::shared_ptr<SentMessage>& sm) {
  std::lock_guard lock(mu_);
  if (sm->state != SentMessage::State::kQueued) return false;
  auto it = std::find(sent_.begin(), sent_.end(), sm);
  if (it != sent_.end()) sent_.erase(it);
  sm->state = SentMessage::State::kDone;
  sm->delivered = false;
  return true;
}

bool Queue::IsDone(const SentMessage& sm, bool* delivered, LRESULT* result) {
  std::lock_guard lock(mu_);
  if (sm.state != SentMessage::State::kDone) return false;
  *delivered = sm.delivered;
  *result = sm.result;
  return true;
}

void Queue::Complete(SentMessage& sm, bool delivered, LRESULT result) {
  {
    std::lock_guard lock(mu_);
    sm.state = SentMessage::State::kDone;
    sm.delivered = delivered;
    sm.result = result;
  }
  if (sm.sender) sm.sender->Wake();
  if (sm.reply) sm.reply(delivered, result);
}

bool Queue::HandleOneSent() {
  std::shared_ptr<SentMessage> sm;
  {
    std::lock_guard lock(mu_);
    if (sent_.empty()) return false;
    sm = std::move(sent_.front());
    sent_.pop_front();
    sm->state = SentMessage::State::kRunning;
  }
  bool delivered = false;
  LRESULT result = DispatchToWindow(sm->msg, &delivered);
  Complete(*sm, delivered, result);
  return true;
}

Queue::Take Queue::TakeNext(MSG& msg) {
  std::lock_guard lock(mu_);
  if (!posted_.empty()) {
    msg = posted_.front();
    posted_.pop_front();
    return msg.message == WM_QUIT ? Take::kQuit : Take::kMessage;
  }
  if (quit_) {
    quit_ = false;
    msg = MSG{0, WM_QUIT, static_cast<WPARAM>(quitCode_), 0};
    return Take::kQuit;
  }
  if (!timers_.empty()) {
    auto now = Clock::now();
    auto it = std::min_element(timers_.begin(), timers_.end(),
                               [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (it->due <= now) {
      msg = MSG{it->hwnd, WM_TIMER, it->id, 0};
      // A late loop gets one WM_TIMER, not a burst of them.
      it->due += it->period;
      if (it->due <= now) it->due = now + it->period;
      ArmTimerFdLocked();
      return Take::kMessage;
    }
  }
  return Take::kNothing;
}

void Queue::Drain() {
  std::uint64_t value;
  [[maybe_unused]] ssize_t a = ::read(eventFd_, &value, sizeof value);
  [[maybe_unused]] ssize_t b = ::read(timerFd_, &value, sizeof value);
}

void Queue::RewakeIfPending() {
  bool pending;
  {
    std::lock_guard lock(mu_);
    pending = !posted_.empty() || !sent_.empty() || quit_;
  }
  if (pending) Wake();
}

bool Queue::Wait(int timeoutMs, int extraFd) {
  pollfd fds[2] = {{eventFd_, POLLIN, 0}, {extraFd, POLLIN, 0}};
  int n = ::poll(fds, extraFd >= 0 ? 2 : 1, timeoutMs);
  return n > 0 && extraFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

int Queue::NextTimerMs() {
  std::lock_guard lock(mu_);
  if (timers_.empty()) return -1;
  auto due = std::min_element(timers_.begin(), timers_.end(),
                              [](const Timer& a, const Timer& b) { return a.due < b.due; })
                 ->due;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

void Queue::ArmTimerFd() {
  std::lock_guard lock(mu_);
  ArmTimerFdLocked();
}

void Queue::ArmTimerFdLocked() {
  itimerspec spec{};
  if (!timers_.empty()) {
    auto due = std::min_element(timers_.begin(), timers_.end(),
                                [](const Timer& a, const Timer& b) { return a.due < b.due; })
                   ->due;
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(due - Clock::now()).count();
    if (left < 1) left = 1;  // zero would disarm
    spec.it_value.tv_sec = left / 1000000000;
    spec.it_value.tv_nsec = left % 1000000000;
  }
  ::timerfd_settime(timerFd_, 0, &spec, nullptr);
}

void Queue::SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs) {
  {
    std::lock_guard lock(mu_);
    auto period = std::chrono::milliseconds(std::max<UINT>(elapseMs, 1));
    auto due = Clock::now() + period;
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it != timers_.end()) {
      it->period = period;
      it->due = due;
    } else {
      timers_.push_back(Timer{hwnd, id, period, due});
    }
    ArmTimerFdLocked();
  }
  Wake();  // a waiting loop recomputes its time-out
}

bool Queue::KillTimer(HWND hwnd, UINT_PTR id) {
  std::lock_guard lock(mu_);
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == timers_.end()) return false;
  timers_.erase(it);
  ArmTimerFdLocked();
  return true;
}

void Queue::KillTimers(HWND hwnd) {
  std::lock_guard lock(mu_);
  std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == hwnd; });
  ArmTimerFdLocked();
}

void Queue::Shutdown() {
  std::deque<std::shared_ptr<SentMessage>> waiting;
  {
    std::lock_guard lock(mu_);
    if (dead_) return;
    dead_ = true;
    waiting.swap(sent_);
    posted_.clear();
    timers_.clear();
    for (auto& sm : waiting) sm->state = SentMessage::State::kRunning;
  }
  for (auto& sm : waiting) Complete(*sm, false, 0);
}

}  // namespace vyre::win::detail
