#include "widgets/keyboard_picture.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <QTimer>

#include <cmath>
#include <numbers>
#include <set>

#include "common/flexlayer_keys.h"
#include "common/key_table.h"
#include "common/layout_grid.h"
#include "widgets/caption_fit.h"

namespace vyre::widgets {
namespace {

// Where the blocks of the picture start, in key units: the macro keys' column,
// the main block (15 units wide), the navigation block (3) and the keypad (4).
constexpr double kMainX = 1.25;
constexpr double kMainWidth = 15;
constexpr double kNavX = kMainX + kMainWidth + 0.5;
constexpr double kPadX = kNavX + 3 + 0.5;
constexpr double kPictureWidth = kPadX + 4;
constexpr double kThumbY = 6.5;
constexpr double kPictureHeight = kThumbY + 1;
constexpr double kThumbWidth = 1.5;
constexpr int kBreathTickMs = 40;
// The smallest size a key name is drawn at to fit its cap.
constexpr int kSmallestCaptionPx = 5;

// Keys with a place of their own on the picture.
constexpr int kEsc = 1;
constexpr int kCapsLock = 60;
constexpr int kFn = 115;
constexpr int kWinRight = 119;
constexpr int kBackspace = 44;
constexpr int kTab = 36;
constexpr int kK29 = 56;
constexpr int kEnter = 68;
constexpr int kShiftLeft = 84;
constexpr int kK45 = 85;
constexpr int kShiftRight = 80;
constexpr int kSpace = 112;
constexpr int kPadPlus = 47;
constexpr int kPadEnter = 95;
constexpr int kPadZero = 106;

double RowY(int row) {
    return row == 0 ? 0.0 : 0.25 + row;
}

bool IsBottomRowModifier(int key) {
    switch (key) {
        case 108: case 109: case 110: case 114: case kWinRight: case kFn: case 103: case 92:
            return true;
        default:
            return false;
    }
}

using KeyRects = std::array<std::optional<QRectF>, kKeyCount>;

// Rows 1..5 of the main block: the keys of grid columns 1..15 side by side,
// ordinary keys one unit wide, the wide keys taking what their row leaves.
void PlaceMainRow(int row, int layoutCode, KeyRects& rects) {
    const auto& cells = TheLayoutGrid()[row];
    const double y = RowY(row);
    const bool k29 = CKeyboardPicture::KeyOnLayout(kK29, layoutCode);
    const auto shown = [&](int key) { return CKeyboardPicture::KeyOnLayout(key, layoutCode); };
    if (row == 5) {
        // The bottom row: modifiers 1.25 wide (1 when the row is crowded),
        // the space bar takes the rest.
        int modifiers = 0, others = 0;
        for (int column = 1; column <= 15; ++column) {
            const GridCell& cell = cells[column];
            if (!cell.HoldsKey() || !shown(cell.keyIndex) || cell.keyIndex == kSpace) continue;
            (IsBottomRowModifier(cell.keyIndex) ? modifiers : others) += 1;
        }
        double modifierWidth = 1.25;
        if (kMainWidth - modifiers * modifierWidth - others < 4) modifierWidth = 1;
        const double spaceWidth = kMainWidth - modifiers * modifierWidth - others;
        double x = kMainX;
        for (int column = 1; column <= 15; ++column) {
            const GridCell& cell = cells[column];
            if (!cell.HoldsKey() || !shown(cell.keyIndex)) continue;
            const int key = cell.keyIndex;
            const double w = key == kSpace                ? spaceWidth
                             : IsBottomRowModifier(key) ? modifierWidth
                                                        : 1.0;
            rects[key] = QRectF(x, y, w, 1);
            x += w;
        }
        return;
    }
    double x = kMainX;
    for (int column = 1; column <= 15; ++column) {
        const GridCell& cell = cells[column];
        if (!cell.HoldsKey()) continue;
        const int key = cell.keyIndex;
        if (key == kCapsLock) {
            // Layout 0 has no Caps Lock cap; its room stays free so that the
            // letters keep their places.
            if (shown(key)) rects[key] = QRectF(x, y, 1.75, 1);
            x += 1.75;
            continue;
        }
        if (!shown(key)) continue;
        double w = 1;
        switch (key) {
            case kTab: w = 1.5; break;
            case kShiftLeft: w = shown(kK45) ? 1.25 : 2.25; break;
            case kBackspace: case kK29: case kShiftRight: w = kMainX + kMainWidth - x; break;
            case kEnter:
                w = kMainX + kMainWidth - x;
                if (!k29) {
                    // Without the key above it, Enter is two rows tall.
                    rects[key] = QRectF(x, RowY(row - 1), w, 2);
                    x += w;
                    continue;
                }
                break;
            default: break;
        }
        rects[key] = QRectF(x, y, w, 1);
        x += w;
    }
}

KeyRects LayoutRects(int layoutCode) {
    KeyRects rects;
    const LayoutGrid& grid = TheLayoutGrid();
    const auto shown = [&](int key) { return CKeyboardPicture::KeyOnLayout(key, layoutCode); };
    // Row 0: ESC, the three groups of four function keys, then Prtscn,
    // Scroll Lock and Pause above the navigation block.
    for (int column = 0; column < kGridColumns; ++column) {
        const GridCell& cell = grid[0][column];
        if (!cell.HoldsKey() || !shown(cell.keyIndex)) continue;
        double x = 0;
        if (cell.keyIndex == kEsc) {
            x = kMainX;
        } else if (column >= 3 && column <= 14) {
            const int i = column - 3;
            x = kMainX + 2 + i + 0.5 * (i / 4);
        } else {
            x = kNavX + (column - 15);
        }
        rects[cell.keyIndex] = QRectF(x, 0, 1, 1);
    }
    for (int row = 1; row < kGridRows; ++row) {
        const GridCell& macro = grid[row][0];
        if (macro.HoldsKey()) rects[macro.keyIndex] = QRectF(0, RowY(row), 1, 1);
        PlaceMainRow(row, layoutCode, rects);
        for (int column = 16; column < kGridColumns; ++column) {
            const GridCell& cell = grid[row][column];
            if (!cell.HoldsKey() || !shown(cell.keyIndex)) continue;
            const int key = cell.keyIndex;
            const double x = column <= 18 ? kNavX + (column - 16) : kPadX + (column - 19);
            const double h = (key == kPadPlus || key == kPadEnter) ? 2 : 1;
            const double w = key == kPadZero ? 2 : 1;
            rects[key] = QRectF(x, RowY(row), w, h);
        }
    }
    // The thumb keys: one row of three, centred below the space bar.
    const double centre = rects[kSpace] ? rects[kSpace]->center().x() : kMainX + kMainWidth / 2;
    for (int i = 0; i < 3; ++i) {
        rects[kThumbKeys[i]] = QRectF(centre - 1.5 * kThumbWidth + i * kThumbWidth, kThumbY,
                                      kThumbWidth, 1);
    }
    return rects;
}

QString CaptionOf(int keyIndex) {
    if (IsThumbKey(keyIndex)) return QString("Thumb %1").arg(keyIndex - kThumbKey1 + 1);
    // The keypad's caps carry their legend only: "7", not "7(pad)".
    QString name = QString::fromStdU16String(std::u16string(KeyTableName(keyIndex))).trimmed();
    if (name.endsWith("(pad)") && name.size() > 5) name.chop(5);
    // The arrow keys' caps read alike ("Up", "Left", "Down"), and "RIGHT" in
    // capitals is too wide for a small cap.
    if (name == "RIGHT") return "Right";
    return name;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

}  // namespace

// ---- the animation clock ----------------------------------------------------------------------

// One timer for every blinking or breathing key cap: each tick moves every
// such cap that is shown, and their repaints fall into one paint of the
// picture. Lives as long as the program (it is never torn down with a timer
// running after Qt has gone).
class AnimationClock {
  public:
    static AnimationClock& Instance() {
        static AnimationClock* clock = new AnimationClock;
        return *clock;
    }
    void Add(CKeyBoardBtn* key) {
        keys_.insert(key);
        if (!timer_.isActive()) timer_.start(kBreathTickMs);
    }
    void Remove(CKeyBoardBtn* key) {
        keys_.erase(key);
        if (keys_.empty()) timer_.stop();
    }

  private:
    AnimationClock() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (CKeyBoardBtn* key : keys_)
                if (key->isVisible()) key->Tick();
        });
    }
    std::set<CKeyBoardBtn*> keys_;
    QTimer timer_;
};

// ---- key cap -------------------------------------------------------------------------------

CKeyBoardBtn::CKeyBoardBtn(int keyIndex, QWidget* parent)
    : WithQuickHelp(parent), keyIndex_(keyIndex) {
    setWindowTitle("KA Key Btn");
    setText(CaptionOf(keyIndex));  // also its name for screen readers
    setFocusPolicy(Qt::NoFocus);   // the picture gives the focus to one cap
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    UpdateCursor();
}

CKeyBoardBtn::~CKeyBoardBtn() {
    AnimationClock::Instance().Remove(this);
}

void CKeyBoardBtn::SetState(int state) {
    if (state < kNormal || state > kHover || state == state_) return;
    state_ = state;
    update();
}

void CKeyBoardBtn::SetGreyed(bool on) {
    if (greyed_ == on) return;
    greyed_ = on;
    UpdateCursor();
    update();
}

void CKeyBoardBtn::SetAssigned(bool on) {
    if (assigned_ == on) return;
    assigned_ = on;
    update();
}

void CKeyBoardBtn::SetBlink(bool on, int periodMs) {
    blink_ = on;
    blinkPeriod_ = std::max(periodMs, kBreathTickMs);
    phaseA_ = true;
    blinkElapsed_ = 0;
    UpdateAnimation();
    update();
}

void CKeyBoardBtn::SetLit(const QColor& colour, int level) {
    litColour_ = colour;
    litLevel_ = std::clamp(level, 0, 255);
    update();
}

void CKeyBoardBtn::SetBreathing(bool on, int periodMs) {
    breathing_ = on;
    breathPeriod_ = std::max(periodMs, 2 * kBreathTickMs);
    // The light starts half way up, so that a still picture shows a
    // breathing key lit, not dark.
    breathStep_ = breathPeriod_ / kBreathTickMs / 4;
    UpdateAnimation();
    update();
}

void CKeyBoardBtn::SetCaption(const QString& caption) {
    setText(caption);
    update();
}

int CKeyBoardBtn::BreathLevel(int level, double phase) {
    const double rise = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * phase);
    return static_cast<int>(std::lround(std::clamp(level, 0, 255) * rise));
}

void CKeyBoardBtn::UpdateAnimation() {
    if (blink_ || breathing_) {
        AnimationClock::Instance().Add(this);
    } else {
        AnimationClock::Instance().Remove(this);
    }
}

void CKeyBoardBtn::Tick() {
    bool changed = false;
    if (breathing_) {
        breathStep_ = (breathStep_ + 1) % (breathPeriod_ / kBreathTickMs);
        changed = true;
    }
    if (blink_) {
        blinkElapsed_ += kBreathTickMs;
        if (blinkElapsed_ >= blinkPeriod_) {
            blinkElapsed_ -= blinkPeriod_;
            phaseA_ = !phaseA_;
            changed = true;
        }
    }
    if (changed) update();
}

void CKeyBoardBtn::UpdateCursor() {
    setCursor(greyed_ ? Qt::ArrowCursor : Qt::PointingHandCursor);
}

void CKeyBoardBtn::enterEvent(QEnterEvent* event) {
    if (state_ == kNormal) SetState(kHover);
    WithQuickHelp::enterEvent(event);
}

void CKeyBoardBtn::leaveEvent(QEvent* event) {
    if (state_ == kHover) SetState(kNormal);
    WithQuickHelp::leaveEvent(event);
}

void CKeyBoardBtn::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressing_ = true;
    stateBeforePress_ = state_;
    SetState(kSelected);
}

void CKeyBoardBtn::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void CKeyBoardBtn::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressing_) return;
    pressing_ = false;
    if (rect().contains(event->position().toPoint())) {
        Click();
        return;
    }
    // Released elsewhere: the key looks as it did before the press.
    SetState(stateBeforePress_ == kSelected ? kSelected : kNormal);
}

void CKeyBoardBtn::Click() {
    // The key stays selected; the page decides what else changes.
    SetState(kSelected);
    if (onKeyClicked) onKeyClicked(keyIndex_, greyed_ ? kKeyClickGreyed : kKeyClickActive);
}

void CKeyBoardBtn::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down) {
        if (onArrow) onArrow(keyIndex_, key);
        return;
    }
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) &&
        !event->isAutoRepeat()) {
        Click();
        return;
    }
    WithQuickHelp::keyPressEvent(event);
}

void CKeyBoardBtn::focusInEvent(QFocusEvent* event) {
    update();
    WithQuickHelp::focusInEvent(event);
}

void CKeyBoardBtn::focusOutEvent(QFocusEvent* event) {
    update();
    WithQuickHelp::focusOutEvent(event);
}

const QPixmap& CKeyBoardBtn::Caption(bool dark) {
    // Laying the name out is most of a cap's drawing, and an animated cap
    // is drawn 25 times a second: the caption is drawn once per look.
    const qreal dpr = devicePixelRatioF();
    const CaptionLook look{text(), size(), dark, dpr};
    if (look == captionLook_ && !caption_.isNull()) return caption_;
    captionLook_ = look;
    caption_ = PaintedPixmap(size(), dpr, [&](QPainter& p) {
        p.setPen(dark ? QColor(0x0b, 0x2a, 0x30) : colour::kText);
        p.setFont(CaptionLayout().font);
        p.drawText(CaptionBox(), kCaptionFlags, text());
    });
    return caption_;
}

QRectF CKeyBoardBtn::CaptionBox() const {
    return QRectF(rect()).adjusted(2.5, 1.5, -2.5, -1.5);
}

CKeyBoardBtn::Layout CKeyBoardBtn::CaptionLayout() const {
    // A name too wide for a small cap ("Prtscn", "Scroll Lock") is drawn
    // smaller until it fits, across and down, rather than cut at the cap's
    // edges.
    const bool longName = text().size() > 3;
    const int unit = std::min(width(), height());
    int pixels = std::max(7, unit * (longName ? 24 : 34) / 100);
    auto fits = [&](int px) {
        return FitsBox(TextFont(px, !longName), text(), CaptionBox(), kCaptionFlags);
    };
    while (pixels > kSmallestCaptionPx && !fits(pixels)) --pixels;
    return {TextFont(pixels, !longName), fits(pixels)};
}

bool CKeyBoardBtn::CaptionFits() const {
    return text().isEmpty() || CaptionLayout().fits;
}

void CKeyBoardBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (greyed_) p.setOpacity(0.4);
    const QRectF cap = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool phaseA = !blink_ || phaseA_;
    const int level = breathing_ ? BreathLevel(litLevel_, double(breathStep_) * kBreathTickMs /
                                                              breathPeriod_)
                                 : litLevel_;
    const bool hover = state_ == kHover;
    const QColor base = hover ? colour::kControlHover : colour::kControl;
    const bool litNow = phaseA && litLevel_ > 0;
    QColor fill = litNow ? Mix(base, litColour_, level / 255.0) : base;
    // A lit key under the pointer grows lighter, as a dark one does.
    if (litNow && hover) fill = Mix(fill, Qt::white, 0.3);
    const bool selectedLook = state_ == kSelected;
    // Dark text on a bright light.
    const bool bright = litNow && fill.lightnessF() > 0.55;
    // The selected mark: an accent border, white on a light (where an accent
    // border would vanish), with a dark line inside it.
    const bool onLight = litNow && level >= 96;
    const QColor border = !selectedLook ? colour::kBorder
                          : onLight     ? colour::kText
                                        : colour::kAccent;
    p.setPen(QPen(border, selectedLook ? 2 : 1));
    p.setBrush(fill);
    p.drawRoundedRect(selectedLook ? cap.adjusted(0.5, 0.5, -0.5, -0.5) : cap, 3, 3);
    if (selectedLook && onLight) {
        p.setPen(QPen(QColor(0x0b, 0x2a, 0x30), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(cap.adjusted(2, 2, -2, -2), 2, 2);
    }
    p.drawPixmap(0, 0, Caption(bright));
    const int unit = std::min(width(), height());
    if (assigned_ && phaseA) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kAccent);
        const double r = std::max(2.0, unit / 14.0);
        p.drawEllipse(QPointF(cap.right() - r - 2, cap.top() + r + 2), r, r);
    }
    if (hasFocus()) {
        // The focus mark: an accent bar along the cap's foot, apart from the
        // selected key's border.
        p.setOpacity(1);
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kAccent);
        const double w = cap.width() * 0.6;
        p.drawRoundedRect(QRectF(cap.center().x() - w / 2, cap.bottom() - 4, w, 2.5), 1, 1);
    }
}

// ---- the picture -----------------------------------------------------------------------------

CKeyboardPicture::CKeyboardPicture(QWidget* parent) : QWidget(parent) {
    for (int k = 0; k < kKeyCount; ++k) {
        keys_[k] = new CKeyBoardBtn(k, this);
        keys_[k]->onKeyClicked = [this](int key, int activeOrGreyed) {
            SetCurrentKey(key);
            if (onKeyClicked) onKeyClicked(key, activeOrGreyed);
        };
        keys_[k]->onArrow = [this](int key, int arrow) {
            if (const auto next = KeyToward(key, arrow)) {
                SetCurrentKey(*next);
                keys_[*next]->setFocus(Qt::TabFocusReason);
            }
        };
    }
    PlaceKeys();
}

void CKeyboardPicture::SetCurrentKey(int keyIndex) {
    if (key(keyIndex) == nullptr || keyIndex == current_) return;
    if (CKeyBoardBtn* before = key(current_)) before->setFocusPolicy(Qt::NoFocus);
    current_ = keyIndex;
    keys_[keyIndex]->setFocusPolicy(Qt::TabFocus);
}

std::optional<int> CKeyboardPicture::KeyToward(int keyIndex, int arrow) const {
    const CKeyBoardBtn* from = key(keyIndex);
    if (from == nullptr) return std::nullopt;
    const QPointF at = QRectF(from->geometry()).center();
    std::optional<int> best;
    double bestScore = 0;
    for (const CKeyBoardBtn* k : keys_) {
        if (k == from || k->isHidden()) continue;
        const QPointF d = QRectF(k->geometry()).center() - at;
        // Along the arrow, and how far off its line (which counts more, so
        // that Right stays in the row and Down takes the key below).
        double along = 0, across = 0;
        switch (arrow) {
            case Qt::Key_Right: along = d.x(), across = d.y(); break;
            case Qt::Key_Left: along = -d.x(), across = d.y(); break;
            case Qt::Key_Down: along = d.y(), across = d.x(); break;
            case Qt::Key_Up: along = -d.y(), across = d.x(); break;
            default: return std::nullopt;
        }
        if (along < 1) continue;
        const double score = along + 3 * std::abs(across);
        if (!best || score < bestScore) best = k->keyIndex(), bestScore = score;
    }
    return best;
}

CKeyBoardBtn* CKeyboardPicture::key(int keyIndex) const {
    return keyIndex >= 0 && keyIndex < kKeyCount ? keys_[keyIndex] : nullptr;
}

void CKeyboardPicture::SetLayoutCode(int layoutCode) {
    layoutCode_ = layoutCode;
    PlaceKeys();
}

bool CKeyboardPicture::KeyOnLayout(int keyIndex, int layoutCode) {
    if (keyIndex < 0 || keyIndex >= kKeyCount) return false;
    if (IsThumbKey(keyIndex) || IsFunctionKey(keyIndex) || IsMacroKey(keyIndex)) return true;
    if (keyIndex == kEsc || keyIndex == kWinRight) return true;
    if (keyIndex == kCapsLock || keyIndex == kFn) return layoutCode != kLayoutCodeDefault;
    return FlexlayerPosition(keyIndex, layoutCode).has_value();
}

std::optional<QRectF> CKeyboardPicture::KeyCapUnits(int keyIndex, int layoutCode) {
    if (keyIndex < 0 || keyIndex >= kKeyCount) return std::nullopt;
    return LayoutRects(layoutCode)[keyIndex];
}

QSizeF CKeyboardPicture::PictureUnits() {
    return {kPictureWidth, kPictureHeight};
}

QSize CKeyboardPicture::sizeHint() const {
    return QSize(static_cast<int>(kPictureWidth * 30), static_cast<int>(kPictureHeight * 30));
}

void CKeyboardPicture::resizeEvent(QResizeEvent*) {
    PlaceKeys();
}

void CKeyboardPicture::PlaceKeys() {
    const double unit = std::min(width() / kPictureWidth, height() / kPictureHeight);
    const KeyRects rects = LayoutRects(layoutCode_);
    for (int k = 0; k < kKeyCount; ++k) {
        CKeyBoardBtn* button = keys_[k];
        if (!rects[k]) {
            button->hide();
            button->move(-1000, -1000);  // outside the visible area
            continue;
        }
        const QRectF& r = *rects[k];
        // 2 px between caps.
        const int left = static_cast<int>(std::lround(r.left() * unit)) + 1;
        const int top = static_cast<int>(std::lround(r.top() * unit)) + 1;
        const int right = static_cast<int>(std::lround(r.right() * unit)) - 1;
        const int bottom = static_cast<int>(std::lround(r.bottom() * unit)) - 1;
        button->setGeometry(left, top, std::max(1, right - left), std::max(1, bottom - top));
        button->show();
    }
    // The Tab chain reaches a shown cap: ESC, unless a shown one was current.
    if (CKeyBoardBtn* now = key(current_); now == nullptr || !rects[current_]) {
        if (now != nullptr) now->setFocusPolicy(Qt::NoFocus);
        current_ = -1;
        SetCurrentKey(kEsc);
    }
}

}  // namespace vyre::widgets
