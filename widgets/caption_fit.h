#pragma once
// Captions that fit: the size a caption is drawn at so that it stays whole in
// its place, and a check that finds every caption of a window that does not.
// Text is measured both hinted (as drawn at scale 1) and unhinted (as drawn
// at scale 2 and above), so that what fits fits at every scale.

#include <QFont>
#include <QRectF>
#include <QString>
#include <QStringList>

class QWidget;

namespace vyre::widgets {

// True when `text` on one line is no wider than `width` in `font`.
bool FitsWidth(const QFont& font, const QString& text, qreal width);
// True when `text`, wrapped at word boundaries in `box`, stays inside it.
bool FitsBox(const QFont& font, const QString& text, const QRectF& box, int flags);
// `font`, made smaller a pixel at a time (not below `smallestPx`) until
// `text` fits `width` on one line.
QFont FittedFont(QFont font, const QString& text, qreal width, int smallestPx = 8);

// The captions of `root` and of its shown children that do not fit their
// place, each as "<object name or class>: <caption>". Empty when all fit.
QStringList CutCaptions(const QWidget& root);

}  // namespace vyre::widgets
