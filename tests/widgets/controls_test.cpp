// The skinned widget kit: quick help on enter and leave, clicks, menus, and a
// picture of every control.

#include "widgets/controls.h"
#include "widgets/bitmap_dialog.h"
#include "widgets/file_dialog.h"
#include "widgets/skin_art.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <QDir>
#include <QEnterEvent>
#include <QFileDialog>
#include <QStandardPaths>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include "tests/support/qt_app.h"

#include <filesystem>

#include "tests/support/programs.h"

namespace vyre::widgets {
namespace {

using testing::App;

class Dialog : public QWidget, public QuickHelpReceiver {
  public:
    void QuickHelp(int id, bool entered) override { seen.emplace_back(id, entered); }
    std::vector<std::pair<int, bool>> seen;
};

using testing::PointerEnter;
using testing::PointerLeave;

TEST(WidgetKit, QuickHelpReachesTheDialogThroughItsPage) {
    App();
    Dialog dialog;
    QWidget page(&dialog);
    CSkinCheckBox box("SOUND", false, &page);
    box.setHelpId(42);
    CSkinSlider slider(&page);
    slider.setHelpId(43);
    CSkinButton button(ControlKind::Push, "OK", &page);
    button.setHelpId(44);
    PointerEnter(&box);
    PointerLeave(&box);
    PointerEnter(&slider);
    PointerEnter(&button);
    EXPECT_EQ(dialog.seen,
              (std::vector<std::pair<int, bool>>{{42, true}, {42, false}, {43, true}, {44, true}}));
}

TEST(WidgetKit, ClicksChecksAndMenus) {
    App();
    QWidget page;
    CSkinCheckBox a("A", true, &page), b("B", true, &page), c("C", false, &page);
    a.setGeometry(0, 0, 60, 18);
    b.setGeometry(0, 20, 60, 18);
    c.setGeometry(0, 40, 60, 18);
    page.show();
    QTest::mouseClick(&a, Qt::LeftButton);
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_FALSE(a.isChecked());  // radio buttons exclude each other
    EXPECT_TRUE(b.isChecked());
    QTest::mouseClick(&c, Qt::LeftButton);
    QTest::mouseClick(&c, Qt::LeftButton);
    EXPECT_FALSE(c.isChecked());

    CSkinMenuButton menu("CAPS LOCK", &page);
    int chosen = -1;
    menu.onChosen = [&](int id) { chosen = id; };
    menu.SetItems({{1, "Standard"}, {0, ""}, {2, "Disable"}});
    ASSERT_EQ(menu.menu().actions().size(), 3);
    menu.menu().actions()[2]->trigger();
    EXPECT_EQ(chosen, 2);
    EXPECT_TRUE(menu.menu().actions()[2]->isChecked());
    EXPECT_FALSE(menu.menu().actions()[0]->isChecked());
}

TEST(WidgetKit, PictureOfEveryControl) {
    App();
    QWidget panel;
    panel.setFixedSize(520, 260);
    panel.setStyleSheet("background: #1b2028;");
    auto* check = new CSkinCheckBox("MACRO SOUND", false, &panel);
    check->setGeometry(12, 12, 140, 18);
    check->setChecked(true);
    auto* radio1 = new CSkinCheckBox("FN KEY", true, &panel);
    radio1->setGeometry(12, 36, 140, 18);
    radio1->setChecked(true);
    auto* radio2 = new CSkinCheckBox("RIGHT WINDOWS KEY", true, &panel);
    radio2->setGeometry(12, 60, 180, 18);
    auto* push = new CSkinButton(ControlKind::Push, "RESET", &panel);
    push->setGeometry(12, 90, 80, 26);
    auto* menu = new CSkinMenuButton("ILLUMINATION", &panel);
    menu->setGeometry(100, 90, 120, 26);
    auto* slider = new CSkinSlider(&panel);
    slider->setGeometry(12, 128, 200, 20);
    slider->setRange(0, 31);
    slider->setValue(20);
    auto* spin = new CSkinSpinBox(&panel);
    spin->setGeometry(12, 158, 80, 24);
    spin->setValue(15);
    auto* edit = new CSkinEdit(&panel);
    edit->setGeometry(100, 158, 120, 24);
    edit->setText("Test here");
    auto* list = new CSkinList(&panel);
    list->setGeometry(240, 12, 140, 120);
    for (const char* name : {"Macro Live", "Raid", "Farming", "Build order"})
        list->AddItem(name, true);
    list->setCurrentRow(1);
    auto* bar = new CSkinScrollBar(Qt::Vertical, &panel);
    bar->setGeometry(384, 12, 10, 120);
    panel.show();
    const auto folder = testing::BinFolder().parent_path() / "screenshots";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(panel.grab().save(QString::fromStdString((folder / "widget-kit.png").string())));
}

// A window stays where its title band and buttons can be reached, at any
// scale: wholly inside the available area, or covering it when larger.
TEST(BitmapDialog, StaysWithinTheScreensAvailableArea) {
    App();
    const QRect area(0, 0, 400, 300);
    EXPECT_EQ(KeepWithin(area, {10, 20}, {100, 100}), QPoint(10, 20));
    EXPECT_EQ(KeepWithin(area, {-50, -20}, {100, 100}), QPoint(0, 0));
    EXPECT_EQ(KeepWithin(area, {350, 250}, {100, 100}), QPoint(300, 200));
    EXPECT_EQ(KeepWithin(area, {50, 50}, {805, 605}), QPoint(0, 0));
    EXPECT_EQ(KeepWithin(area, {-900, -900}, {805, 605}), QPoint(-405, -305));
    EXPECT_EQ(KeepWithin(area, {-100, -100}, {805, 605}), QPoint(-100, -100));

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    CBitmapDialog big;
    big.SetFace([&](qreal dpr) { return PaintedPixmap(screen.size() + QSize(200, 100), dpr, [](QPainter&) {}); });
    big.PlaceOnScreen();
    EXPECT_EQ(big.pos(), screen.topLeft());
    CBitmapDialog small;
    small.SetFace([](qreal dpr) { return PaintedPixmap(QSize(100, 60), dpr, [](QPainter&) {}); });
    small.PlaceOnScreen();
    EXPECT_EQ(small.geometry().center(), screen.center());
}

// Qt's file dialog in the dark palette, starting in the folder last used
// while it exists, else in the documents folder.
TEST(FileDialog, DarkAndStartingWhereTheUserWas) {
    App();
    QFileDialog dialog;
    DressFileDialog(dialog);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.palette().color(QPalette::Window), colour::kBackgroundTop);
    EXPECT_EQ(dialog.palette().color(QPalette::Base), colour::kPanel);
    const QString here = QDir::tempPath();
    EXPECT_EQ(StartFolder(here), here);
    const QString fallback = StartFolder(here + "/no such folder");
    EXPECT_TRUE(fallback == QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) ||
                fallback == QDir::homePath());
    EXPECT_EQ(StartFolder(""), fallback);
}

}  // namespace
}  // namespace vyre::widgets
