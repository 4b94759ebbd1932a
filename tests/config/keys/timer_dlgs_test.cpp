// The countdown timer dialogs: fields, records and the commands in their order.

#include "config/keys/timer_dlgs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>

#include "common/link_codes.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using testing::App;

struct Sent {
    std::uint16_t code;
    HIDMSG::_STimerSettingData record;
};

HIDMSG::_STimerSettingData Timer(int index, const char* name, int seconds) {
    HIDMSG::_STimerSettingData t{};
    t.index = index;
    t.name.set(name);
    t.seconds = seconds;
    return t;
}

void Leave(QWidget& edit) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &out);
}

class Timers : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        mirror->timers = {Timer(0, "Pizza", 600), Timer(1, "Respawn", 45), Timer(2, "Buff", 120)};
    }
    TimerCommandSink Sink() {
        return [this](std::uint16_t code, const HIDMSG::_STimerSettingData& r) {
            sent.push_back({code, r});
        };
    }
    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
    std::vector<Sent> sent;
};

TEST_F(Timers, SecondsAreClampedOnLeavingTheFieldAndNamesFitTheRecord) {
    CountdownTimerDlg dialog(*mirror, Sink());
    dialog.Prepare();
    auto& seconds = dialog.fields().seconds();
    EXPECT_EQ(seconds.text(), "30");
    for (const auto& [typed, shown] : {std::pair{"5", "15"}, std::pair{"1200", "999"},
                                       std::pair{"14", "15"}, std::pair{"15", "15"},
                                       std::pair{"999", "999"}, std::pair{"1000", "999"}}) {
        seconds.setText(typed);
        Leave(seconds);
        EXPECT_EQ(seconds.text(), shown) << typed;
    }
    seconds.setText("12345");  // at most four digits
    EXPECT_EQ(seconds.text(), "1234");
    dialog.fields().Step(1);
    EXPECT_EQ(seconds.text(), "999");
    seconds.setText("15");
    dialog.fields().Step(-1);
    EXPECT_EQ(seconds.text(), "15");

    // 23 bytes of multibyte text, cut between characters.
    EXPECT_EQ(FitTimerName(u"abcdefghijklmnopqrstuvw"), u"abcdefghijklmnopqrstuvw");
    EXPECT_EQ(FitTimerName(u"abcdefghijklmnopqrstuvwxyz"), u"abcdefghijklmnopqrstuvw");
    EXPECT_EQ(FitTimerName(std::u16string(12, u'\u00E4')), std::u16string(11, u'\u00E4'));
    EXPECT_EQ(FitTimerName(u"\U0001F355\U0001F355\U0001F355\U0001F355\U0001F355\U0001F355"),
              u"\U0001F355\U0001F355\U0001F355\U0001F355\U0001F355");
    dialog.fields().name().setText(QString(30, QChar(u'x')));
    EXPECT_EQ(dialog.fields().name().text().size(), 23);
}

TEST_F(Timers, CreateAppendsAndSendsCommand19) {
    CountdownTimerDlg dialog(*mirror, Sink());
    dialog.Prepare();
    dialog.setResult(0);
    dialog.Ok();  // no name: stays open
    EXPECT_EQ(dialog.result(), 0);
    dialog.fields().name().setText(QString::fromUtf16(u"K\u00E4se"));
    dialog.fields().seconds().setText("3");  // OK takes the focus: clamped to 15
    dialog.Ok();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(mirror->timers.size(), 4u);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, link::command::kTimerAdd);
    EXPECT_EQ(sent[0].record.index.get(), 3);
    EXPECT_EQ(sent[0].record.name.str(), "K\xC3\xA4se");
    EXPECT_EQ(sent[0].record.seconds.get(), 15);
    EXPECT_EQ(std::memcmp(&sent[0].record, &mirror->timers[3], sizeof sent[0].record), 0);
    for (std::uint8_t b : sent[0].record.tail) EXPECT_EQ(b, 0);
    // Cancel adds nothing.
    dialog.Prepare();
    dialog.fields().name().setText("Later");
    dialog.Cancel();
    EXPECT_EQ(mirror->timers.size(), 4u);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(Timers, DeleteTheSecondOfThreeThenOk) {
    CountDownTimerEditDlg dialog(*mirror, Sink());
    dialog.confirmDelete = [] { return true; };
    dialog.Prepare();
    EXPECT_EQ(dialog.selected(), 0);
    EXPECT_EQ(dialog.timerButton().text(), "Pizza");
    EXPECT_EQ(dialog.timerButton().menu().objectName(), "TimerMenu");
    dialog.Select(2);
    EXPECT_EQ(dialog.fields().name().text(), "Respawn");
    EXPECT_EQ(dialog.fields().seconds().text(), "45");
    dialog.Delete();
    EXPECT_EQ(dialog.selected(), 0);  // the first remaining one
    EXPECT_EQ(dialog.timerButton().menu().actions().size(), 2);
    EXPECT_TRUE(sent.empty());  // nothing before OK
    dialog.Ok();
    ASSERT_EQ(mirror->timers.size(), 2u);
    EXPECT_EQ(mirror->timers[0].index.get(), 0);
    EXPECT_EQ(mirror->timers[0].name.str(), "Pizza");
    EXPECT_EQ(mirror->timers[1].index.get(), 1);
    EXPECT_EQ(mirror->timers[1].name.str(), "Buff");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, link::command::kTimerDelete);
    // The record as it was before the deletion.
    EXPECT_EQ(sent[0].record.index.get(), 1);
    EXPECT_EQ(sent[0].record.name.str(), "Respawn");
    EXPECT_EQ(sent[0].record.seconds.get(), 45);
}

TEST_F(Timers, ChangesGoOutBeforeDeletionsAndNameTheirPlaceInTheMonitorsList) {
    CountDownTimerEditDlg dialog(*mirror, Sink());
    dialog.confirmDelete = [] { return true; };
    dialog.Prepare();
    dialog.Select(3);
    dialog.fields().name().setText("Buff 2");
    dialog.Modify();
    dialog.fields().seconds().setText("1500");
    dialog.Modify();  // clamped to 999
    EXPECT_EQ(dialog.timerButton().text(), "Buff 2");
    dialog.Select(1);
    dialog.Delete();  // Pizza: Buff moves to index 1 in the working list
    dialog.Select(3);
    dialog.fields().seconds().setText("200");
    dialog.Modify();  // a change after the deletion
    dialog.Ok();
    ASSERT_EQ(sent.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(sent[i].code, link::command::kTimerEdit) << i;
    EXPECT_EQ(sent[3].code, link::command::kTimerDelete);
    EXPECT_EQ(sent[0].record.seconds.get(), 120);
    EXPECT_EQ(sent[0].record.name.str(), "Buff 2");
    EXPECT_EQ(sent[1].record.seconds.get(), 999);
    EXPECT_EQ(sent[2].record.seconds.get(), 200);
    // Every change reaches the Monitor while Pizza is still at 0, so all name index 2.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(sent[i].record.index.get(), 2) << i;
    EXPECT_EQ(sent[3].record.index.get(), 0);
    EXPECT_EQ(sent[3].record.name.str(), "Pizza");
    ASSERT_EQ(mirror->timers.size(), 2u);
    EXPECT_EQ(mirror->timers[1].name.str(), "Buff 2");
    EXPECT_EQ(mirror->timers[1].seconds.get(), 200);
    EXPECT_EQ(mirror->timers[1].index.get(), 1);
}

TEST_F(Timers, DeletingTheLastLeavesNothingToModifyAndCancelSendsNothing) {
    mirror->timers = {Timer(0, "Only", 60)};
    CountDownTimerEditDlg dialog(*mirror, Sink());
    bool asked = false;
    dialog.confirmDelete = [&] {
        asked = true;
        return false;  // declined first
    };
    dialog.Prepare();
    dialog.Delete();
    EXPECT_TRUE(asked);
    EXPECT_EQ(dialog.selected(), 0);
    dialog.confirmDelete = [] { return true; };
    dialog.Delete();
    EXPECT_EQ(dialog.selected(), -1);
    EXPECT_TRUE(dialog.fields().name().text().isEmpty());
    EXPECT_EQ(dialog.fields().seconds().text(), "15");
    dialog.fields().name().setText("New");
    dialog.Modify();
    dialog.Delete();
    dialog.Cancel();
    EXPECT_TRUE(sent.empty());
    ASSERT_EQ(mirror->timers.size(), 1u);
    EXPECT_EQ(mirror->timers[0].name.str(), "Only");

    // A modification with an empty name is ignored; no timers: nothing selected.
    dialog.Prepare();
    dialog.fields().name().clear();
    dialog.Modify();
    dialog.Ok();
    EXPECT_TRUE(sent.empty());
    mirror->timers.clear();
    dialog.Prepare();
    EXPECT_EQ(dialog.selected(), -1);
}

TEST_F(Timers, WithoutALinkWindowCommandsAreDropped) {
    std::atomic<win::HWND> none{0};
    CountdownTimerDlg dialog(*mirror, LinkTimerCommands(none));
    dialog.Prepare();
    dialog.fields().name().setText("Tea");
    dialog.Ok();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(mirror->timers.size(), 4u);
}

}  // namespace
}  // namespace vyre
