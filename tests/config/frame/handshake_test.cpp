// The Config against a stand-in for the Monitor's control window: the
// answers to its first request, and the order of its uploads.

#include <gtest/gtest.h>

#include <QApplication>

#include <QTimer>
#include "tests/support/qt_app.h"

#include <future>
#include <mutex>
#include <thread>

#include "common/link_codes.h"
#include "common/store_blocks.h"
#include "config/frame/config_app.h"
#include "tests/monitor/link/link_rig.h"

namespace vyre {
namespace {

using testing::App;

// The control window on a thread of its own: answers request 1 with 16 or
// with a dump, and keeps the codes of the commands it gets.
class FakeMonitor {
  public:
    explicit FakeMonitor(bool ready) : ready_(ready) {
        std::promise<void> up;
        thread_ = std::thread([&] {
            win::Window window;
            window.SetCopyDataLimit(link::kCommandPayloadMax);
            window.Messages().On(
                link::kMsgRequest, link::request::kRegister, [&](win::WPARAM, win::LPARAM l) {
                    link_ = static_cast<win::HWND>(l);
                    if (ready_) {
                        Dump(window.GetSafeHwnd());
                    } else {
                        win::SendCopyData(link_, window.GetSafeHwnd(),
                                          link::MakeDwData(16, link::kTagNotification), nullptr, 0);
                    }
                    return 0;
                });
            window.Messages().On(link::kMsgRequest, link::request::kReapplyProfile,
                                 [&](win::WPARAM, win::LPARAM) {
                                     ++reapplied_;
                                     return 0;
                                 });
            window.Messages().On(WM_DUMP, [&](win::WPARAM, win::LPARAM) {
                Dump(window.GetSafeHwnd());
                return 0;
            });
            window.Messages().OnCopyData(
                [&](win::HWND, const win::COPYDATASTRUCT& cds) -> win::LRESULT {
                    std::lock_guard lock(mutex_);
                    commands_.push_back(link::CodeOf(static_cast<std::uint32_t>(cds.dwData)));
                    return 1;
                });
            const std::string cls(link::kControlWindowClass), title(link::kControlWindowTitle);
            window.Create(cls, title);
            hwnd_ = window.GetSafeHwnd();
            up.set_value();
            win::RunMessageLoop();
        });
        up.get_future().wait();
    }
    ~FakeMonitor() {
        win::PostMessage(hwnd_, win::WM_QUIT);
        thread_.join();
    }
    void SendDumpLater() { win::PostMessage(hwnd_, WM_DUMP); }
    int reapplied() const { return reapplied_.load(); }
    std::vector<std::uint16_t> Commands() {
        std::lock_guard lock(mutex_);
        return commands_;
    }

  private:
    static constexpr win::UINT WM_DUMP = win::WM_APP + 7;
    void Dump(win::HWND self) {
        store_->hostSettingsBlock.modelFlag = 2;
        for (std::uint16_t code : link::kRegistrationDumpOrder) {
            auto bytes = StoreBlock(*store_, code);
            if (bytes.empty()) bytes = std::span<std::uint8_t>();
            win::SendCopyData(link_, self, link::MakeDwData(code, link::kTagNotification),
                              bytes.data(), bytes.size());
        }
        win::PostMessage(link_, link::kMsgNotify, link::notice::kDumpComplete, 0);
    }
    bool ready_;
    std::unique_ptr<ProfileStore> store_ = NewProfileStore();
    std::thread thread_;
    win::HWND hwnd_ = 0;
    std::atomic<win::HWND> link_{0};
    std::atomic<int> reapplied_{0};
    std::mutex mutex_;
    std::vector<std::uint16_t> commands_;
};

TEST(Handshake, NotReadyWaitsForTheDumpThatFollows) {
    App();
    FakeMonitor monitor(false);
    CVyreMKConfigApp app;
    bool shown = false;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        shown = true;
        QTimer::singleShot(0, [&] { dialog.Cancel(); });
    };
    ASSERT_TRUE(app.InitInstance());
    QTimer::singleShot(300, [&] {
        EXPECT_FALSE(shown);  // 16: no window yet
        monitor.SendDumpLater();
    });
    app.Run();
    EXPECT_TRUE(shown);
    // CANCEL asked the Monitor to apply the profile again, and nothing was uploaded.
    EXPECT_TRUE(testing::Eventually([&] { return monitor.reapplied() == 1; }));
    EXPECT_TRUE(monitor.Commands().empty());
}

TEST(Handshake, ApplyThenOkSendsTwoFullUploadsInOrder) {
    App();
    FakeMonitor monitor(true);
    CVyreMKConfigApp app;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            dialog.Apply();
            dialog.Ok();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
    std::vector<std::uint16_t> expected(std::begin(link::kFullUploadOrder),
                                        std::end(link::kFullUploadOrder));
    expected.insert(expected.end(), std::begin(link::kFullUploadOrder),
                    std::end(link::kFullUploadOrder));
    EXPECT_EQ(monitor.Commands(), expected);
}

}  // namespace
}  // namespace vyre
