// The Config against a stand-in for the Monitor's control window: the
// answers to its first request, and the order of its uploads.

#include <gtest/gtest.h>

#include <QApplication>

#include <QTimer>
#include <QCursor>
#include "tests/support/qt_app.h"

#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "common/link_codes.h"
#include "common/store_blocks.h"
#include "config/frame/config_app.h"
#include "platform/record.h"
#include "tests/monitor/link/link_rig.h"

namespace vyre {
namespace {

using testing::App;

// The control window on a thread of its own: answers request 1 with 16 or
// with a dump, and keeps the codes of the commands it gets.
class FakeMonitor {
  public:
    // `ready`: answers request 1 with a dump, else with notification 16, or
    // with 17 and `deniedNode` when one is given.
    explicit FakeMonitor(bool ready, std::string deniedNode = {})
        : ready_(ready), deniedNode_(std::move(deniedNode)) {
        std::promise<void> up;
        thread_ = std::thread([&] {
            win::Window window;
            window.SetCopyDataLimit(link::kCommandPayloadMax);
            window.Messages().On(
                link::kMsgRequest, link::request::kRegister, [&](win::WPARAM, win::LPARAM l) {
                    link_ = static_cast<win::HWND>(l);
                    ++registrations_;
                    if (!deniedNode_.empty()) {
                        win::SendCopyData(link_, window.GetSafeHwnd(),
                                          link::MakeDwData(17, link::kTagNotification),
                                          deniedNode_.data(), deniedNode_.size());
                    } else if (ready_) {
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
            window.Messages().On(WM_NOT_READY, [&](win::WPARAM, win::LPARAM) {
                win::SendCopyData(link_, window.GetSafeHwnd(),
                                  link::MakeDwData(16, link::kTagNotification), nullptr, 0);
                return 0;
            });
            window.Messages().OnCopyData(
                [&](win::HWND, const win::COPYDATASTRUCT& cds) -> win::LRESULT {
                    std::lock_guard lock(mutex_);
                    const std::uint16_t code = link::CodeOf(static_cast<std::uint32_t>(cds.dwData));
                    commands_.push_back(code);
                    const auto* bytes = static_cast<const std::uint8_t*>(cds.lpData);
                    payloads_[code].assign(bytes, bytes + cds.cbData);
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
    void SendNotReadyLater() { win::PostMessage(hwnd_, WM_NOT_READY); }
    // Each dump is followed by the notice of a damaged settings file.
    void TellOfDamage(long which = link::notice::kDamagedRegistry) { damaged_ = which; }
    // The store the next dump sends (change it only between dumps).
    ProfileStore& store() { return *store_; }
    int reapplied() const { return reapplied_.load(); }
    std::vector<std::uint16_t> Commands() {
        std::lock_guard lock(mutex_);
        return commands_;
    }
    // The last payload of command `code`.
    std::vector<std::uint8_t> Payload(std::uint16_t code) {
        std::lock_guard lock(mutex_);
        return payloads_[code];
    }
    int registrations() const { return registrations_.load(); }

  private:
    static constexpr win::UINT WM_DUMP = win::WM_APP + 7;
    static constexpr win::UINT WM_NOT_READY = win::WM_APP + 8;
    void Dump(win::HWND self) {
        store_->hostSettingsBlock.modelFlag = 2;
        for (std::uint16_t code : link::kRegistrationDumpOrder) {
            auto bytes = StoreBlock(*store_, code);
            if (bytes.empty()) bytes = std::span<std::uint8_t>();
            win::SendCopyData(link_, self, link::MakeDwData(code, link::kTagNotification),
                              bytes.data(), bytes.size());
        }
        win::PostMessage(link_, link::kMsgNotify, link::notice::kDumpComplete, 0);
        if (damaged_ >= 0) win::PostMessage(link_, link::kMsgNotify, link::notice::kSettingsDamaged, damaged_.load());
    }
    bool ready_;
    std::string deniedNode_;
    std::atomic<int> registrations_{0};
    std::map<std::uint16_t, std::vector<std::uint8_t>> payloads_;
    std::atomic<long> damaged_{-1};
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

// Handles this thread's Qt events and window messages until `f` holds.
template <class F>
bool Serving(F f, std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!f()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        win::ProcessPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST(Handshake, HiddenForWantOfAKeyboardTheDialogComesBackWithTheNextDump) {
    App();
    FakeMonitor monitor(true);
    CVyreMKConfigApp app;
    bool cameBack = false;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            dialog.ShowPage(kPageStatistics);
            monitor.SendNotReadyLater();
            ASSERT_TRUE(Serving([&] { return !dialog.isVisible(); }));
            monitor.store().hostRecord(2).name.set(u"Racing");
            monitor.SendDumpLater();
            cameBack = Serving([&] { return dialog.isVisible(); });
            EXPECT_EQ(dialog.nameText(2), "Racing");  // with the new dump's store
            EXPECT_EQ(dialog.currentPage(), kPageStatistics);
            dialog.Cancel();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
    EXPECT_TRUE(cameBack);
}

// A damaged settings file the Monitor found is told once the dialog is up,
// whether the notice comes before the dialog exists or while it is open, and
// so is a damaged file of the Config folder, by its name.
TEST(Handshake, ADamagedSettingsFileIsToldInAMessageBox) {
    App();
    std::vector<std::string> record;
    platform::ActionRecord::Instance().SetSink([&](const std::string& line) { record.push_back(line); });
    auto toldOf = [&](const std::string& what) {
        int n = 0;
        for (const std::string& line : record)
            if (line.find("message-box Settings damaged: " + what + " could not be read whole") != std::string::npos)
                ++n;
        return n;
    };
    auto told = [&] { return toldOf("The settings file"); };
    FakeMonitor monitor(true);
    monitor.TellOfDamage();
    CVyreMKConfigApp app;
    int first = -1, second = -1;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            EXPECT_TRUE(Serving([&] { return told() == 1; }));
            first = told();
            monitor.SendNotReadyLater();
            ASSERT_TRUE(Serving([&] { return !dialog.isVisible(); }));
            monitor.SendDumpLater();
            EXPECT_TRUE(Serving([&] { return told() == 2; }));
            second = told();
            monitor.TellOfDamage(link::notice::kDamagedMacros);
            monitor.SendDumpLater();
            EXPECT_TRUE(Serving([&] { return toldOf("The file Preset_sequence.dat (the macros)") == 1; }));
            dialog.Cancel();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
    platform::ActionRecord::Instance().SetSink(nullptr);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
}

TEST(Handshake, ApplyShowsTheWaitCursorUntilItsUploadIsHandedOver) {
    App();
    FakeMonitor monitor(true);
    CVyreMKConfigApp app;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            dialog.Apply();
            dialog.Apply();
            ASSERT_NE(QApplication::overrideCursor(), nullptr);
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            EXPECT_TRUE(Serving([&] { return dialog.appliesPending() == 0; }));
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);
            EXPECT_EQ(monitor.Commands().size(), 2 * std::size(link::kFullUploadOrder));
            dialog.Cancel();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
}

// The lines of the action record that contain `text`.
int Lines(const std::vector<std::string>& record, const std::string& text) {
    int n = 0;
    for (const std::string& line : record) n += line.find(text) != std::string::npos;
    return n;
}

TEST(Handshake, AConfigThatOutlivesItsMonitorAppliesToTheNextOne) {
    App();
    std::vector<std::string> record;
    platform::ActionRecord::Instance().SetSink([&](const std::string& line) { record.push_back(line); });
    auto first = std::make_unique<FakeMonitor>(true);
    std::unique_ptr<FakeMonitor> second;
    CVyreMKConfigApp app;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            app.shared().mirror->keyRemapReports[1][20] = 0x55;  // edited, not applied
            first.reset();                                       // killed without a word
            // No Monitor: APPLY sends nothing, and says so.
            dialog.Apply();
            EXPECT_TRUE(Serving([&] { return Lines(record, "message-box No Monitor") == 1; }));
            EXPECT_TRUE(Serving([&] { return dialog.appliesPending() == 0; }));
            EXPECT_TRUE(dialog.HasUnappliedEdits());
            // A new Monitor: the Config registers with it, its dump keeps the
            // edit, and the next APPLY reaches it.
            second = std::make_unique<FakeMonitor>(true);
            dialog.Apply();
            EXPECT_TRUE(Serving([&] {
                return second->Commands().size() == std::size(link::kFullUploadOrder);
            }));
            EXPECT_EQ(second->registrations(), 1);
            EXPECT_EQ(second->Payload(link::block::kKeyRemap)[125 + 20], 0x55);
            EXPECT_FALSE(dialog.HasUnappliedEdits());
            dialog.Cancel();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
    platform::ActionRecord::Instance().SetSink(nullptr);
    EXPECT_EQ(Lines(record, "message-box No Monitor"), 1);
}

TEST(Handshake, AKeyboardThisUserMayNotOpenIsToldWithTheFix) {
    App();
    std::vector<std::string> record;
    platform::ActionRecord::Instance().SetSink([&](const std::string& line) { record.push_back(line); });
    FakeMonitor monitor(false, "/dev/hidraw7");
    CVyreMKConfigApp app;
    bool shown = false;
    app.onDialogShown = [&](CVyreMKConfigDlg&) { shown = true; };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
    platform::ActionRecord::Instance().SetSink(nullptr);
    EXPECT_FALSE(shown);
    ASSERT_EQ(record.size(), 1u);
    EXPECT_NE(record[0].find("message-box No access to the keyboard: "), std::string::npos);
    EXPECT_NE(record[0].find("device node /dev/hidraw7."), std::string::npos);
    EXPECT_NE(record[0].find("sudo udevadm control --reload\nsudo udevadm trigger"), std::string::npos)
        << record[0];
}

TEST(Handshake, AStartedMonitorIsLookedForSixTimesEachAfter4s) {
    App();
    std::vector<std::string> record;
    platform::ActionRecord::Instance().SetSink([&](const std::string& line) {
        record.push_back(line);
    });
    {
        // It never comes: six waits of 4 s, then the message.
        CVyreMKConfigApp app;
        std::vector<std::chrono::milliseconds> waits;
        app.waitBeforeLook = [&](std::chrono::milliseconds ms) {
            EXPECT_EQ(record.size(), 1u);  // started, and no message yet
            waits.push_back(ms);
        };
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(waits, std::vector<std::chrono::milliseconds>(6, std::chrono::milliseconds(4000)));
        ASSERT_EQ(record.size(), 2u);
        EXPECT_NE(record[0].find("start "), std::string::npos) << record[0];
        EXPECT_NE(record[1].find("message-box VYRE LUMO Monitor Application StartUp Error"),
                  std::string::npos)
            << record[1];
    }
    record.clear();
    {
        // It comes during the last wait: found by the sixth look, 24 s after the start.
        CVyreMKConfigApp app;
        std::unique_ptr<FakeMonitor> monitor;
        int waits = 0;
        app.waitBeforeLook = [&](std::chrono::milliseconds) {
            if (++waits == 6) monitor = std::make_unique<FakeMonitor>(true);
        };
        app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
            QTimer::singleShot(0, [&] { dialog.Cancel(); });
        };
        EXPECT_TRUE(app.InitInstance());
        EXPECT_EQ(waits, 6);
        EXPECT_EQ(record.size(), 1u);  // no message box
        app.Run();
    }
    platform::ActionRecord::Instance().SetSink(nullptr);
}

}  // namespace
}  // namespace vyre
