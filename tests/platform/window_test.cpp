#include "platform/window.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

namespace vyre::win {
namespace {

using namespace std::chrono_literals;

// A worker thread owning one window; `setup` fills the window's message map
// on the worker before the window exists.
class WorkerThread : public Thread {
 public:
  explicit WorkerThread(std::function<void(Window&)> setup, std::string title = "Worker",
                        HWND parent = HWND_MESSAGE)
      : setup_(std::move(setup)), title_(std::move(title)), parent_(parent) {}
  ~WorkerThread() override { Stop(); }

  bool InitInstance() override {
    if (setup_) setup_(wnd);
    if (!wnd.Create("WorkerClass", title_, parent_)) return false;
    hwnd = wnd.GetSafeHwnd();
    return true;
  }

  // Starts the thread and waits until its window exists.
  bool Start();

  Window wnd;
  std::atomic<HWND> hwnd{0};

 private:
  std::function<void(Window&)> setup_;
  std::string title_;
  HWND parent_;
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds bound = 10s) {
  auto end = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

bool WorkerThread::Start() {
  return CreateThread() && WaitFor([this] { return hwnd != 0; });
}

TEST(Window, PostedMessagesArriveInOrderAndHandlersAreChosenByCode) {
  std::mutex mu;
  std::vector<LPARAM> seen;
  std::vector<std::string> which;
  WorkerThread worker([&](Window& w) {
    w.Messages().On(WM_USER + 1, [&](WPARAM, LPARAM l) {
      std::lock_guard lock(mu);
      seen.push_back(l);
      return 0;
    });
    w.Messages().On(WM_USER + 2, [&](WPARAM, LPARAM) {
      std::lock_guard lock(mu);
      which.push_back("any");
      return 0;
    });
    w.Messages().On(WM_USER + 2, 1030, [&](WPARAM, LPARAM) {
      std::lock_guard lock(mu);
      which.push_back("code");
      return 0;
    });
    w.Messages().OnDefault([&](UINT m, WPARAM, LPARAM) {
      std::lock_guard lock(mu);
      if (m == WM_USER + 3) which.push_back("default");
      return 0;
    });
  });
  ASSERT_TRUE(worker.Start());
  const HWND h = worker.hwnd;

  constexpr int kCount = 5000;
  for (int i = 0; i < kCount; ++i) ASSERT_TRUE(PostMessage(h, WM_USER + 1, 0, i));
  PostMessage(h, WM_USER + 2, 7, 0);
  PostMessage(h, WM_USER + 2, 1030, 0);
  PostMessage(h, WM_USER + 3, 0, 0);
  // A send after the posts returns only after they were handled (same queue,
  // and the sent message is answered by the same thread).
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(mu);
    return which.size() == 3;
  }));
  std::lock_guard lock(mu);
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(seen[i], i);
  EXPECT_EQ(which, (std::vector<std::string>{"any", "code", "default"}));
}

TEST(Window, SendMessageReturnsTheHandlersResultAndFailsHarmlesslyWithoutWindow) {
  WorkerThread worker([](Window& w) {
    w.Messages().On(WM_USER + 7, [](WPARAM wp, LPARAM lp) { return static_cast<LRESULT>(wp) * 1000 + lp; });
    // lParam carries a pointer inside the process.
    w.Messages().On(WM_USER + 8, [](WPARAM, LPARAM lp) {
      auto* v = reinterpret_cast<std::vector<int>*>(lp);
      v->push_back(42);
      return static_cast<LRESULT>(v->size());
    });
  });
  ASSERT_TRUE(worker.Start());
  const HWND h = worker.hwnd;
  ASSERT_NE(h, 0u);
  EXPECT_EQ(SendMessage(h, WM_USER + 7, 3, 4), 3004);
  std::vector<int> v{1, 2};
  EXPECT_EQ(SendMessage(h, WM_USER + 8, 0, reinterpret_cast<LPARAM>(&v)), 3);
  EXPECT_EQ(v.back(), 42);
  LRESULT r = -1;
  EXPECT_TRUE(SendMessageTimeout(h, WM_USER + 99, 0, 0, 5s, &r));  // no handler: DefWindowProc
  EXPECT_EQ(r, 0);

  EXPECT_EQ(SendMessage(0, WM_USER + 7, 3, 4), 0);
  EXPECT_FALSE(PostMessage(0, WM_USER + 7));
  EXPECT_FALSE(SendMessageTimeout(0x7FFFFFF0u, WM_USER + 7, 3, 4, 1s, &r));
  EXPECT_FALSE(PostThreadMessage(0xFFFFFF, WM_USER));

  // After the thread ended its window is gone and sends fail at once.
  worker.Stop();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(SendMessageTimeout(h, WM_USER + 7, 3, 4, 5s, &r));
  EXPECT_FALSE(PostMessage(h, WM_USER + 7));
}

TEST(Window, ThreadsThatSendToEachOtherAtOnceBothFinish) {
  std::atomic<HWND> other_of_a{0}, other_of_b{0};
  std::promise<void> go;
  std::shared_future<void> start = go.get_future().share();
  // Each handler of WM_USER+1 sends WM_USER+2 to the other thread's window,
  // whose thread is itself blocked in the same kind of send.
  auto setup = [&](std::atomic<HWND>& peer) {
    return [&](Window& w) {
      w.Messages().On(WM_USER + 1, [&](WPARAM, LPARAM) {
        start.wait();
        return SendMessage(peer, WM_USER + 2, 0, 0) + 1;
      });
      w.Messages().On(WM_USER + 2, [](WPARAM, LPARAM) -> LRESULT { return 10; });
    };
  };
  WorkerThread a(setup(other_of_a), "A");
  WorkerThread b(setup(other_of_b), "B");
  ASSERT_TRUE(a.Start());
  ASSERT_TRUE(b.Start());
  other_of_a = b.hwnd.load();
  other_of_b = a.hwnd.load();

  auto ra = std::async(std::launch::async, [&] { return SendMessage(a.hwnd, WM_USER + 1); });
  auto rb = std::async(std::launch::async, [&] { return SendMessage(b.hwnd, WM_USER + 1); });
  std::this_thread::sleep_for(20ms);  // both sends reach their handlers first
  go.set_value();
  ASSERT_EQ(ra.wait_for(15s), std::future_status::ready);
  ASSERT_EQ(rb.wait_for(15s), std::future_status::ready);
  EXPECT_EQ(ra.get(), 11);
  EXPECT_EQ(rb.get(), 11);
}

TEST(Window, SendTimesOutWhileTheTargetIsBusyAndTheMessageIsDropped) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> late{0};
  std::atomic<bool> busy{false};
  WorkerThread worker([&](Window& w) {
    w.Messages().On(WM_USER + 1, [&](WPARAM, LPARAM) {
      busy = true;
      released.wait();
      return 0;
    });
    w.Messages().On(WM_USER + 2, [&](WPARAM, LPARAM) {
      ++late;
      return 0;
    });
  });
  ASSERT_TRUE(worker.Start());
  PostMessage(worker.hwnd, WM_USER + 1);
  ASSERT_TRUE(WaitFor([&] { return busy.load(); }));
  auto begin = std::chrono::steady_clock::now();
  LRESULT r = 5;
  EXPECT_FALSE(SendMessageTimeout(worker.hwnd, WM_USER + 2, 0, 0, 100ms, &r));
  EXPECT_EQ(r, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 10s);
  release.set_value();
  // A later send proves the queue moved on; the timed-out one never ran.
  EXPECT_TRUE(SendMessageTimeout(worker.hwnd, WM_USER + 99, 0, 0, 10s, &r));
  EXPECT_EQ(late.load(), 0);
}

TEST(Window, CopyDataReachesTheHandlerWithinTheWindowsLimit) {
  std::vector<std::uint8_t> got;
  ULONG_PTR tag = 0;
  HWND from = 0;
  WorkerThread worker([&](Window& w) {
    w.SetCopyDataLimit(1000);
    w.Messages().OnCopyData([&](HWND sender, const COPYDATASTRUCT& cds) -> LRESULT {
      auto* p = static_cast<const std::uint8_t*>(cds.lpData);
      got.assign(p, p + cds.cbData);
      tag = cds.dwData;
      from = sender;
      return 1;
    });
  });
  ASSERT_TRUE(worker.Start());
  std::vector<std::uint8_t> data(1000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  LRESULT r = 0;
  EXPECT_TRUE(SendCopyData(worker.hwnd, 1234, (12u << 16) | 1031, data.data(), data.size(), 5s, &r));
  EXPECT_EQ(r, 1);
  EXPECT_EQ(got, data);
  EXPECT_EQ(tag, (12u << 16) | 1031);
  EXPECT_EQ(from, 1234u);

  got.clear();
  data.push_back(0);
  EXPECT_FALSE(SendCopyData(worker.hwnd, 1234, 1, data.data(), data.size(), 5s, &r));
  EXPECT_TRUE(got.empty());
  EXPECT_TRUE(SendCopyData(worker.hwnd, 1234, 1, nullptr, 0, 5s, &r));  // empty payload is fine
  EXPECT_FALSE(SendCopyData(worker.hwnd, 1234, 1, nullptr, 10, 5s, &r));
  EXPECT_FALSE(SendMessageTimeout(worker.hwnd, WM_COPYDATA, 0, 0, 5s, &r));  // no envelope
  EXPECT_FALSE(PostMessage(worker.hwnd, WM_COPYDATA, 0, 0));                 // cannot be posted
}

TEST(Window, TimersFireAtTheirPeriodAndStopWhenKilled) {
  std::atomic<int> fast{0}, slow{0};
  WorkerThread worker([&](Window& w) {
    w.Messages().On(WM_TIMER, 100, [&](WPARAM, LPARAM) {
      ++fast;
      return 0;
    });
    w.Messages().On(WM_TIMER, 101, [&](WPARAM, LPARAM) {
      ++slow;
      return 0;
    });
    w.Messages().On(WM_USER + 1, [&w](WPARAM id, LPARAM ms) {
      return static_cast<LRESULT>(w.SetTimer(id, static_cast<UINT>(ms)));
    });
    w.Messages().On(WM_USER + 2, [&w](WPARAM id, LPARAM) { return static_cast<LRESULT>(w.KillTimer(id)); });
  });
  ASSERT_TRUE(worker.Start());
  auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(SendMessage(worker.hwnd, WM_USER + 1, 100, 10), 100);
  EXPECT_EQ(SendMessage(worker.hwnd, WM_USER + 1, 101, 200), 101);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(SendMessage(worker.hwnd, WM_USER + 2, 100), 1);
  EXPECT_EQ(SendMessage(worker.hwnd, WM_USER + 2, 101), 1);
  EXPECT_EQ(SendMessage(worker.hwnd, WM_USER + 2, 101), 0);  // already gone
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
  int f = fast, s = slow;
  // At most one tick per period; the 10 ms timer clearly faster than the 200 ms one.
  EXPECT_LE(f, elapsed.count() / 10 + 1);
  EXPECT_GE(f, 5);
  EXPECT_GE(s, 1);
  EXPECT_LE(s, elapsed.count() / 200 + 1);
  EXPECT_GT(f, s);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(fast.load(), f);
  EXPECT_EQ(slow.load(), s);
}

TEST(Window, ThreadLifecycleRunsExitInstanceAndDestroysItsWindows) {
  struct Life : Thread {
    bool init_result = true;
    std::atomic<int> exits{0};
    std::atomic<int> destroys{0};
    std::atomic<int> thread_msgs{0};
    Window wnd;
    bool InitInstance() override {
      ThreadMessages().On(WM_USER + 5, [this](WPARAM, LPARAM l) {
        thread_msgs += static_cast<int>(l);
        return 0;
      });
      wnd.Messages().On(WM_DESTROY, [this](WPARAM, LPARAM) {
        ++destroys;
        return 0;
      });
      wnd.Create("Life", "Life", HWND_MESSAGE);
      return init_result;
    }
    int ExitInstance() override {
      ++exits;
      return ExitCode() + 1;
    }
    ~Life() override { Stop(); }
  };

  Life life;
  ASSERT_TRUE(life.CreateThread());
  EXPECT_TRUE(life.Running());
  ASSERT_TRUE(WaitFor([&] { return life.wnd.IsWindow(); }));
  EXPECT_EQ(GetWindowThreadId(life.wnd.GetSafeHwnd()), life.ThreadId());
  EXPECT_TRUE(life.PostThreadMessage(WM_USER + 5, 0, 2));
  EXPECT_TRUE(life.PostThreadMessage(WM_USER + 5, 0, 3));
  EXPECT_TRUE(life.Quit(6));
  EXPECT_TRUE(life.Wait(10s));
  EXPECT_EQ(life.thread_msgs.load(), 5);
  EXPECT_EQ(life.ExitCode(), 7);
  EXPECT_EQ(life.exits.load(), 1);
  EXPECT_EQ(life.destroys.load(), 1);
  EXPECT_FALSE(life.wnd.IsWindow());

  Life refused;
  refused.init_result = false;
  ASSERT_TRUE(refused.CreateThread());
  EXPECT_TRUE(refused.Wait(10s));
  EXPECT_EQ(refused.exits.load(), 1);
  EXPECT_EQ(refused.destroys.load(), 1);
}

TEST(Window, DestroyWindowSendsWmDestroyOnceAndOnlyOnTheOwningThread) {
  int destroys = 0;
  Window w;
  w.Messages().On(WM_DESTROY, [&](WPARAM, LPARAM) {
    ++destroys;
    EXPECT_FALSE(w.DestroyWindow());  // no recursion from inside WM_DESTROY
    return 0;
  });
  ASSERT_TRUE(w.Create("Local", "Local"));
  HWND h = w.GetSafeHwnd();
  EXPECT_FALSE(std::async(std::launch::async, [&] { return w.DestroyWindow(); }).get());
  EXPECT_TRUE(w.DestroyWindow());
  EXPECT_FALSE(w.DestroyWindow());
  EXPECT_EQ(destroys, 1);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(w.SetTimer(1, 10), 0u);
}

TEST(Window, FindWindowComparesWithoutCaseAndBroadcastSkipsMessageOnlyWindows) {
  std::atomic<int> topHits{0}, msgHits{0};
  const UINT talk = RegisterWindowMessage("WM_TALK_MSG_FIND_TEST");
  WorkerThread top(
      [&](Window& w) {
        w.Messages().On(talk, [&](WPARAM, LPARAM) {
          ++topHits;
          return 0;
        });
      },
      "Vyre Lumo Configuration DataWork Wnd Find", HWND_DESKTOP);
  WorkerThread hidden(
      [&](Window& w) {
        w.Messages().On(talk, [&](WPARAM, LPARAM) {
          ++msgHits;
          return 0;
        });
      },
      "Hidden Find", HWND_MESSAGE);
  ASSERT_TRUE(top.Start());
  ASSERT_TRUE(hidden.Start());

  EXPECT_EQ(FindWindow(nullptr, "vyre lumo configuration datawork WND find"), top.hwnd.load());
  EXPECT_EQ(FindWindow("workerclass", "HIDDEN FIND"), hidden.hwnd.load());
  EXPECT_EQ(FindWindow("OtherClass", "Hidden Find"), 0u);
  EXPECT_EQ(FindWindow(nullptr, "Hidden"), 0u);  // whole titles only

  EXPECT_TRUE(PostMessage(HWND_BROADCAST, talk, 11, 0));
  EXPECT_TRUE(WaitFor([&] { return topHits == 1; }));
  SendMessage(hidden.hwnd, WM_NULL);  // the broadcast would have been handled before this
  EXPECT_EQ(msgHits.load(), 0);

  top.wnd.PostMessage(WM_NULL);
  ASSERT_EQ(SendMessage(top.hwnd, WM_NULL), 0);
}

TEST(Window, RegisteredMessagesAreStableAndInRange) {
  UINT a = RegisterWindowMessage("WM_TALK_MSG");
  EXPECT_GE(a, kRegisteredMessageFirst);
  EXPECT_LE(a, kRegisteredMessageLast);
  EXPECT_EQ(a, RegisterWindowMessage("wm_talk_msg"));
  EXPECT_NE(a, RegisterWindowMessage("WM_TALK_MSG2"));
  EXPECT_EQ(RegisterWindowMessage(""), 0u);
}

TEST(Window, ForeignEventLoopIsWokenAndPumpsMessagesAndTimers) {
  // The calling thread stands in for the Qt GUI thread: it never calls
  // GetMessage, only polls the wake-up descriptor and pumps.
  std::vector<int> order;
  int ticks = 0;
  Window w;
  w.Messages().On(WM_USER + 1, [&](WPARAM, LPARAM l) {
    order.push_back(static_cast<int>(l));
    return 0;
  });
  w.Messages().On(WM_USER + 2, [&](WPARAM, LPARAM l) { return l * 2; });
  w.Messages().On(WM_TIMER, 7, [&](WPARAM, LPARAM) {
    ++ticks;
    return 0;
  });
  ASSERT_TRUE(w.Create("Gui", "Gui"));
  const HWND h = w.GetSafeHwnd();
  const int fd = WakeFd();
  auto readable = [fd](int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) == 1;
  };
  auto pump = [&](const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < end)
      if (readable(100)) ProcessPendingMessages();
    return done();
  };

  EXPECT_FALSE(readable(0));
  auto sender = std::async(std::launch::async, [h] {
    for (int i = 0; i < 300; ++i) PostMessage(h, WM_USER + 1, 0, i);
    return SendMessage(h, WM_USER + 2, 0, 21);
  });
  ASSERT_TRUE(pump([&] { return order.size() == 300 && sender.wait_for(0s) == std::future_status::ready; }));
  EXPECT_EQ(sender.get(), 42);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(order[i], i);

  w.SetTimer(7, 20);
  ASSERT_TRUE(pump([&] { return ticks >= 3; }));
  w.KillTimer(7);

  PostQuitMessage(3);
  ASSERT_TRUE(readable(1000));
  EXPECT_EQ(ProcessPendingMessages(), std::optional<int>(3));
  EXPECT_TRUE(w.DestroyWindow());
}


TEST(Window, AWindowsQueueTakesAtMostTenThousandPostsAndServesThemAll) {
  Window w;
  int handled = 0;
  w.Messages().On(WM_USER + 1, [&](WPARAM, LPARAM) {
    ++handled;
    return 0;
  });
  ASSERT_TRUE(w.Create("VyreTestClass", "Flooded"));
  int accepted = 0;
  for (int i = 0; i < 20000; ++i)
    if (PostMessage(w.GetSafeHwnd(), WM_USER + 1, 0, i)) ++accepted;
  EXPECT_EQ(accepted, 10000);
  MSG msg;
  while (PeekMessage(msg)) DispatchMessage(msg);
  EXPECT_EQ(handled, accepted);
  // Once drained, it takes posts again.
  EXPECT_TRUE(PostMessage(w.GetSafeHwnd(), WM_USER + 1));
  while (PeekMessage(msg)) DispatchMessage(msg);
  EXPECT_EQ(handled, accepted + 1);
  EXPECT_TRUE(w.DestroyWindow());
}

}  // namespace
}  // namespace vyre::win
