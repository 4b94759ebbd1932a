// The keyboard picture: which keys each layout variant shows and where, the
// key caps' clicks and looks, and a picture of every variant.

#include "widgets/keyboard_picture.h"

#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>

#include "common/flexlayer_keys.h"
#include "common/key_table.h"
#include "tests/support/programs.h"
#include "tests/support/qt_app.h"

namespace vyre::widgets {
namespace {

using testing::App;

constexpr int kLayouts[] = {0, 12, 13, 7};
constexpr int kCapsLock = 60, kFn = 115, kSpace = 112, kK107 = 71, kNum = 10;

bool Overlap(const QRectF& a, const QRectF& b) {
    return a.intersected(b).width() > 1e-9 && a.intersected(b).height() > 1e-9;
}

TEST(KeyboardPicture, EachLayoutShowsItsKeysOnceWithoutOverlap) {
    const QRectF picture(QPointF(0, 0), CKeyboardPicture::PictureUnits());
    for (int layout : kLayouts) {
        SCOPED_TRACE(layout);
        std::vector<std::pair<int, QRectF>> shown;
        for (int k = 0; k < kKeyCount; ++k) {
            const auto rect = CKeyboardPicture::KeyCapUnits(k, layout);
            EXPECT_EQ(rect.has_value(), CKeyboardPicture::KeyOnLayout(k, layout)) << k;
            if (!rect) continue;
            EXPECT_TRUE(picture.contains(*rect)) << k;
            EXPECT_GE(rect->width(), 1.0) << k;
            shown.emplace_back(k, *rect);
        }
        for (std::size_t i = 0; i < shown.size(); ++i)
            for (std::size_t j = i + 1; j < shown.size(); ++j)
                EXPECT_FALSE(Overlap(shown[i].second, shown[j].second))
                    << shown[i].first << " and " << shown[j].first;
        // Every key of the layout's Flexlayer key list is on the picture.
        for (std::uint8_t key : FlexlayerKeys(layout)) {
            if (key == kNoKey) continue;
            EXPECT_TRUE(CKeyboardPicture::KeyOnLayout(key, layout)) << +key;
        }
        for (std::uint8_t key : kFunctionKeyOrder) EXPECT_TRUE(CKeyboardPicture::KeyOnLayout(key, layout));
        for (std::uint8_t key : kMacroKeys) EXPECT_TRUE(CKeyboardPicture::KeyOnLayout(key, layout));
        // Caps Lock and Fn are missing on layout 0 only; the keypad comma never shows.
        EXPECT_EQ(CKeyboardPicture::KeyOnLayout(kCapsLock, layout), layout != 0);
        EXPECT_EQ(CKeyboardPicture::KeyOnLayout(kFn, layout), layout != 0);
        EXPECT_FALSE(CKeyboardPicture::KeyOnLayout(kK107, layout));
        EXPECT_EQ(CKeyboardPicture::KeyOnLayout(kNum, layout), layout == 0);
        EXPECT_FALSE(CKeyboardPicture::KeyOnLayout(-1, layout));
        EXPECT_FALSE(CKeyboardPicture::KeyOnLayout(kKeyCount, layout));
    }
}

TEST(KeyboardPicture, ThumbKeysSitInOneRowBelowTheSpaceBar) {
    for (int layout : kLayouts) {
        SCOPED_TRACE(layout);
        const QRectF space = *CKeyboardPicture::KeyCapUnits(kSpace, layout);
        const QRectF t1 = *CKeyboardPicture::KeyCapUnits(kThumbKey1, layout);
        const QRectF t2 = *CKeyboardPicture::KeyCapUnits(kThumbKey2, layout);
        const QRectF t3 = *CKeyboardPicture::KeyCapUnits(kThumbKey3, layout);
        EXPECT_EQ(t1.top(), t2.top());
        EXPECT_EQ(t2.top(), t3.top());
        EXPECT_GE(t1.top(), space.bottom());
        EXPECT_LT(t1.right(), t2.right());
        EXPECT_LT(t2.right(), t3.right());
        EXPECT_NEAR(t2.center().x(), space.center().x(), 1e-9);
        // Below the space bar, nothing but the thumb keys.
        for (int k = 0; k < kKeyTableRows; ++k) {
            const auto r = CKeyboardPicture::KeyCapUnits(k, layout);
            if (!r) continue;
            EXPECT_LE(r->bottom(), t1.top()) << k;
        }
    }
}

TEST(KeyboardPicture, ButtonsFollowTheLayoutAndTheWidgetSize) {
    App();
    CKeyboardPicture picture;
    picture.resize(picture.sizeHint());
    picture.show();
    for (int layout : kLayouts) {
        SCOPED_TRACE(layout);
        picture.SetLayoutCode(layout);
        std::vector<QRect> placed;
        for (int k = 0; k < kKeyCount; ++k) {
            CKeyBoardBtn* button = picture.key(k);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->keyIndex(), k);
            EXPECT_EQ(button->isVisible(), CKeyboardPicture::KeyOnLayout(k, layout)) << k;
            if (!button->isVisible()) {
                EXPECT_FALSE(picture.rect().intersects(button->geometry())) << k;
                continue;
            }
            EXPECT_TRUE(picture.rect().contains(button->geometry())) << k;
            for (const QRect& other : placed) EXPECT_FALSE(other.intersects(button->geometry())) << k;
            placed.push_back(button->geometry());
        }
    }
    EXPECT_EQ(picture.key(-1), nullptr);
    EXPECT_EQ(picture.key(kKeyCount), nullptr);
    // Twice the size: every cap grows with it.
    const int width = picture.key(kSpace)->width();
    picture.resize(picture.sizeHint() * 2);
    EXPECT_GT(picture.key(kSpace)->width(), width * 3 / 2);
    EXPECT_EQ(picture.key(kThumbKey1)->text(), "Thumb 1");
    EXPECT_EQ(picture.key(2)->text(), "F1");
}

TEST(KeyboardPicture, ClicksHoverAndPress) {
    App();
    CKeyboardPicture picture;
    picture.resize(picture.sizeHint());
    picture.show();
    std::vector<std::pair<int, int>> clicks;
    picture.onKeyClicked = [&](int key, int code) { clicks.emplace_back(key, code); };
    CKeyBoardBtn* f1 = picture.key(2);
    CKeyBoardBtn* tilde = picture.key(12);

    QTest::mouseClick(f1, Qt::LeftButton);
    tilde->SetGreyed(true);
    QTest::mouseClick(tilde, Qt::LeftButton);
    EXPECT_EQ(clicks, (std::vector<std::pair<int, int>>{{2, kKeyClickActive},
                                                         {12, kKeyClickGreyed}}));
    EXPECT_EQ(f1->state(), CKeyBoardBtn::kSelected);  // a click keeps the key selected
    EXPECT_EQ(f1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(tilde->cursor().shape(), Qt::ArrowCursor);

    // Pressed, then released elsewhere: no click, the earlier look is back.
    clicks.clear();
    CKeyBoardBtn* esc = picture.key(1);
    QTest::mousePress(esc, Qt::LeftButton);
    EXPECT_EQ(esc->state(), CKeyBoardBtn::kSelected);
    QTest::mouseRelease(esc, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(esc->state(), CKeyBoardBtn::kNormal);
    QTest::mousePress(f1, Qt::LeftButton);
    QTest::mouseRelease(f1, Qt::LeftButton, {}, QPoint(f1->width() + 5, 2));
    EXPECT_EQ(f1->state(), CKeyBoardBtn::kSelected);
    QTest::mouseClick(esc, Qt::RightButton);
    EXPECT_TRUE(clicks.empty());

    // Hover lights a normal key only, and leaving puts it back.
    testing::PointerEnter(esc);
    EXPECT_EQ(esc->state(), CKeyBoardBtn::kHover);
    testing::PointerLeave(esc);
    EXPECT_EQ(esc->state(), CKeyBoardBtn::kNormal);
    testing::PointerEnter(f1);
    testing::PointerLeave(f1);
    EXPECT_EQ(f1->state(), CKeyBoardBtn::kSelected);
}

TEST(KeyboardPicture, BlinkAndBreathe) {
    App();
    EXPECT_EQ(CKeyBoardBtn::BreathLevel(200, 0.0), 0);
    EXPECT_EQ(CKeyBoardBtn::BreathLevel(200, 0.5), 200);
    EXPECT_EQ(CKeyBoardBtn::BreathLevel(200, 0.25), CKeyBoardBtn::BreathLevel(200, 0.75));
    EXPECT_EQ(CKeyBoardBtn::BreathLevel(999, 0.5), 255);  // levels stay within 0..255

    CKeyBoardBtn key(2);
    key.SetLit(QColor(255, 0, 0), 300);
    EXPECT_EQ(key.litLevel(), 255);
    EXPECT_EQ(key.litColour(), QColor(255, 0, 0));
    key.SetLit(false);
    EXPECT_FALSE(key.lit());
    key.SetBlink(true, 50);
    EXPECT_TRUE(key.blinkPhaseA());
    // Keys animate while they are shown; a hidden one keeps its phase.
    QTest::qWait(300);
    EXPECT_TRUE(key.blinkPhaseA());
    key.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !key.blinkPhaseA(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return key.blinkPhaseA(); }, 5000));
    {
        // Keys come and go while the clock runs.
        CKeyBoardBtn other(3);
        other.show();
        other.SetBreathing(true, 200);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !key.blinkPhaseA(); }, 5000));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return key.blinkPhaseA(); }, 5000));
    key.SetBlink(false);
    EXPECT_TRUE(key.blinkPhaseA());  // a key that stops blinking shows its look
}

// Selected and hovered keys show it on every look, lit ones included; a
// breathing key is shown lit before its light moves.
TEST(KeyboardPicture, SelectionAndHoverShowOnLitKeysAndBreathingStartsLit) {
    App();
    auto shot = [](int state, bool breathing = false) {
        CKeyBoardBtn key(61);
        key.resize(30, 30);
        key.SetLit(true);
        key.SetBreathing(breathing);
        key.SetState(state);
        return key.grab().toImage();
    };
    const QImage plain = shot(CKeyBoardBtn::kNormal);
    const QImage selected = shot(CKeyBoardBtn::kSelected);
    const QImage hover = shot(CKeyBoardBtn::kHover);
    auto differs = [](QColor a, QColor b) {
        const int distance = std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                             std::abs(a.blue() - b.blue());
        return distance > 60;
    };
    EXPECT_TRUE(differs(selected.pixelColor(1, 15), selected.pixelColor(6, 6)));  // border, fill
    EXPECT_TRUE(differs(hover.pixelColor(4, 15), plain.pixelColor(4, 15)));     // the fill
    const QImage still = shot(CKeyBoardBtn::kNormal, true);
    EXPECT_TRUE(differs(still.pixelColor(4, 15), widgets::colour::kControl));
}

// A long name on a small cap is drawn smaller, whole, not cut at the cap's
// sides: no bright text pixel in the outer columns of the cap.
TEST(KeyboardPicture, LongNamesFitSmallCaps) {
    App();
    for (int index : {9, 21}) {  // "Prtscn", "Scroll Lock"
        CKeyBoardBtn key(index);
        key.resize(19, 19);
        key.show();
        const QImage shot = key.grab().toImage();
        key.hide();
        int edgeText = 0;
        for (int y = 3; y < shot.height() - 3; ++y)
            for (int x : {0, 1, 2, shot.width() - 3, shot.width() - 2, shot.width() - 1})
                if (shot.pixelColor(x, y).lightnessF() > 0.6) ++edgeText;
        EXPECT_EQ(edgeText, 0) << key.text().toStdString();
    }
}

TEST(KeyboardPicture, PictureOfEveryLayout) {
    App();
    const auto folder = testing::BinFolder().parent_path() / "screenshots";
    std::filesystem::create_directories(folder);
    for (int layout : kLayouts) {
        CKeyboardPicture picture;
        picture.setStyleSheet("background: #101216;");
        picture.setAutoFillBackground(true);
        picture.resize(picture.sizeHint());
        picture.SetLayoutCode(layout);
        picture.key(12)->SetState(CKeyBoardBtn::kSelected);
        picture.key(13)->SetState(CKeyBoardBtn::kHover);
        picture.key(25)->SetAssigned(true);
        picture.key(26)->SetLit(QColor(0x22, 0xc7, 0xe0), 255);
        picture.key(27)->SetLit(QColor(255, 60, 40), 128);
        for (std::uint8_t k : kFunctionKeyOrder) picture.key(k)->SetGreyed(true);
        for (int k : kThumbKeys) picture.key(k)->SetGreyed(true);
        picture.show();
        const auto file = folder / ("keyboard-picture-layout-" + std::to_string(layout) + ".png");
        EXPECT_TRUE(picture.grab().save(QString::fromStdString(file.string())));
    }
    // A picture full of lit keys: one selected, one under the pointer, one breathing.
    CKeyboardPicture lit;
    lit.resize(lit.sizeHint() * 2);
    for (CKeyBoardBtn* key : lit.keys()) key->SetLit(true);
    lit.key(61)->SetState(CKeyBoardBtn::kSelected);
    lit.key(62)->SetState(CKeyBoardBtn::kHover);
    lit.key(63)->SetBreathing(true);
    EXPECT_TRUE(
        lit.grab().save(QString::fromStdString((folder / "keyboard-picture-lit.png").string())));
}

}  // namespace
}  // namespace vyre::widgets
