#pragma once
// The keyboard picture: one key cap (CKeyBoardBtn) per key index 0..122,
// placed from the catalogue's layout grid for one of the four layout variants
// (layout code 0, 12, 13, any other), with the three thumb keys in one row
// below the space bar. It knows nothing of key functions: a page sets each
// key's look (selected, hover, assigned, blinking, greyed, lit with a colour
// and level, breathing) and hears the keys' clicks.

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QRectF>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

#include "widgets/controls.h"

namespace vyre::widgets {

// The second parameter of a key click: the key belongs to the active group
// (255) or is greyed (240).
inline constexpr int kKeyClickActive = 255;
inline constexpr int kKeyClickGreyed = 240;

class AnimationClock;

// One key cap. Drawing state 0 normal, 1 selected, 2 hover; on top of it the
// greyed, assigned, blinking and lit looks. Space or Enter on the focused cap
// clicks it as the pointer does; the arrows ask the picture for the next cap. Blinking and breathing keys move
// on one clock that all caps share, so that a picture full of them is drawn
// once per tick, and only while they are shown.
class CKeyBoardBtn : public WithQuickHelp<QAbstractButton> {
  public:
    enum State { kNormal = 0, kSelected = 1, kHover = 2 };

    CKeyBoardBtn(int keyIndex, QWidget* parent = nullptr);
    ~CKeyBoardBtn() override;
    int keyIndex() const { return keyIndex_; }

    int state() const { return state_; }
    void SetState(int state);
    bool selected() const { return state_ == kSelected; }

    // A greyed key (of an inactive group) is drawn at 40 % and shows no hand cursor.
    void SetGreyed(bool on);
    bool greyed() const { return greyed_; }

    // The accent dot of a key that carries a function of its own.
    void SetAssigned(bool on);
    bool assigned() const { return assigned_; }

    // A blinking key alternates its assigned (or lit) look and the plain cap,
    // one phase per period.
    void SetBlink(bool on, int periodMs = 500);
    bool blinking() const { return blink_; }
    // The phase a blinking key shows now (true: assigned or lit look).
    bool blinkPhaseA() const { return phaseA_; }

    // A lit key is filled with its colour at its level (0..255; 0: not lit).
    void SetLit(const QColor& colour, int level = 255);
    void SetLit(bool on) { SetLit(colour::kAccent, on ? 255 : 0); }
    bool lit() const { return litLevel_ > 0; }
    QColor litColour() const { return litColour_; }
    int litLevel() const { return litLevel_; }
    // A breathing key's light rises and falls over the period.
    void SetBreathing(bool on, int periodMs = 2000);
    bool breathing() const { return breathing_; }

    // The caption is the key table name (thumb keys: "Thumb 1".."Thumb 3").
    void SetCaption(const QString& caption);
    // Whether the caption is drawn whole on the cap at its size.
    bool CaptionFits() const;

    // A press and release over the same key: key index and kKeyClickActive or
    // kKeyClickGreyed.
    std::function<void(int keyIndex, int activeOrGreyed)> onKeyClicked;
    // An arrow key pressed on the focused cap.
    std::function<void(int keyIndex, int arrow)> onArrow;

    // The level a breathing key is drawn at, at a phase 0..1 of its period.
    static int BreathLevel(int level, double phase);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    friend class AnimationClock;
    void Click();
    // The caption drawn for the cap's size, in the text colour or (dark)
    // for a bright light.
    const QPixmap& Caption(bool dark);
    static constexpr int kCaptionFlags = Qt::AlignCenter | Qt::TextWordWrap;
    struct Layout {
        QFont font;
        bool fits;
    };
    QRectF CaptionBox() const;
    Layout CaptionLayout() const;
    void Tick();
    void UpdateAnimation();
    void UpdateCursor();

    int keyIndex_;
    int state_ = kNormal;
    int stateBeforePress_ = kNormal;
    bool pressing_ = false;
    bool greyed_ = false;
    bool assigned_ = false;
    bool blink_ = false;
    bool phaseA_ = true;
    int blinkPeriod_ = 500;
    QColor litColour_ = colour::kAccent;
    int litLevel_ = 0;
    bool breathing_ = false;
    int breathPeriod_ = 2000;
    int breathStep_ = 0;
    int blinkElapsed_ = 0;  // ms into the blink phase shown now
    struct CaptionLook {
        QString text;
        QSize size;
        bool dark = false;
        qreal dpr = 0;
        bool operator==(const CaptionLook&) const = default;
    };
    CaptionLook captionLook_;
    QPixmap caption_;
};

// The keyboard picture of a layout code. It is one stop of the Tab chain:
// the current cap (the one last clicked or moved to) takes the focus, and the
// arrows move it to the nearest cap that way.
class CKeyboardPicture : public QWidget {
  public:
    explicit CKeyboardPicture(QWidget* parent = nullptr);

    // Places the keys of a layout code; keys the layout lacks are hidden.
    void SetLayoutCode(int layoutCode);
    int layoutCode() const { return layoutCode_; }

    // Every key index 0..122 has a button (hidden when the layout lacks it).
    CKeyBoardBtn* key(int keyIndex) const;
    const std::array<CKeyBoardBtn*, 123>& keys() const { return keys_; }

    // A click of any key (see CKeyBoardBtn::onKeyClicked).
    std::function<void(int keyIndex, int activeOrGreyed)> onKeyClicked;

    // The cap the Tab chain reaches; an arrow moves the focus from it.
    int currentKey() const { return current_; }
    void SetCurrentKey(int keyIndex);
    // The shown cap nearest to `keyIndex` in the arrow's direction, if any.
    std::optional<int> KeyToward(int keyIndex, int arrow) const;

    // Whether a layout shows a key: the keys at a Flexlayer key list position
    // of the layout, the function, macro and thumb keys, ESC and the right
    // Windows key, and Caps Lock and Fn except on layout code 0.
    static bool KeyOnLayout(int keyIndex, int layoutCode);
    // The key cap's place in key units (1 unit: one ordinary key with its
    // gap), none for a key the layout does not show.
    static std::optional<QRectF> KeyCapUnits(int keyIndex, int layoutCode);
    // The picture's size in key units.
    static QSizeF PictureUnits();

    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlaceKeys();

    int layoutCode_ = 0;
    int current_ = -1;
    std::array<CKeyBoardBtn*, 123> keys_{};
};

}  // namespace vyre::widgets
