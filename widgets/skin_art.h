#pragma once
// The art of every skinned window, drawn by code from the bitmap ids the
// windows name: one table maps each id to the painter that draws it (kind,
// size, caption), in the one look of both programs. An id without an entry
// draws a magenta placeholder with its number, so that a missing piece of
// art shows in the screenshots instead of hiding.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

namespace vyre::widgets {

// The colours of the look.
namespace colour {
inline const QColor kBackgroundTop{0x10, 0x12, 0x16};
inline const QColor kBackgroundBottom{0x16, 0x1a, 0x20};
inline const QColor kPanel{0x1b, 0x20, 0x28};
inline const QColor kBorder{0x2a, 0x31, 0x3c};
inline const QColor kControl{0x23, 0x2a, 0x34};
inline const QColor kControlHover{0x2d, 0x36, 0x42};
inline const QColor kControlPressed{0x15, 0x30, 0x3a};
inline const QColor kAccent{0x22, 0xc7, 0xe0};
inline const QColor kText{0xe6, 0xe9, 0xee};
inline const QColor kTextSecondary{0x9a, 0xa3, 0xad};
inline const QColor kTextDisabled{0x5b, 0x63, 0x6d};
inline const QColor kWarning{0xe0, 0xa4, 0x22};
}  // namespace colour

// Arial 14 px (Liberation Sans or DejaVu Sans where it is missing).
QFont TextFont(int pixelSize = 14, bool bold = false);

// The picture of a bitmap id at device pixel ratio `dpr` (1 or 2).
QPixmap SkinBitmap(int id, qreal dpr = 1.0);
// The size (device-independent pixels) of a bitmap id; a placeholder's size for unknown ids.
QSize SkinBitmapSize(int id);
// True when the table has art for the id.
bool HasSkinArt(int id);

// A transparent picture of `size` at `dpr`, drawn by `paint` with
// antialiased shapes and text.
QPixmap PaintedPixmap(QSize size, qreal dpr, const std::function<void(QPainter&)>& paint);

// A dialog face drawn from words rather than an id: the title (in capitals)
// and the message, in the look of the faces of the table. The height a
// message of that width needs, never below `minHeight`.
QPixmap MessageFace(QSize size, const QString& title, const QString& message, bool warning,
                    qreal dpr = 1.0);
int MessageFaceHeight(int width, int minHeight, const QString& message);

// The icon of both programs: a key cap with a cyan glow.
QPixmap AppIcon(int size);

// Controls whose art has no bitmap id of its own are drawn by kind, size,
// caption and state.
enum class ControlKind { Push, WarningPush, Tab, ProfileSlot, Marker, Close, Minimise };
enum class ControlState { Normal, Hover, Pressed, Disabled };
// Push buttons and tabs draw the caption centred in the control less 4 px
// each side and `captionRightInset` at the right (a menu button's chevron),
// as large as fits, at most the caption font.
void PaintControl(QPainter& painter, const QRect& rect, ControlKind kind, ControlState state,
                  bool checked, const QString& caption, int captionRightInset = 0);
QRectF ControlCaptionRect(const QRect& rect, int captionRightInset);
// The caption font of push buttons and tabs (12 px bold, letter-spaced).
QFont ControlCaptionFont();

}  // namespace vyre::widgets
