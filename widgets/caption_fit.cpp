#include "widgets/caption_fit.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QTextDocument>
#include <QWidget>

#include <array>

#include "widgets/controls.h"
#include "widgets/keyboard_picture.h"
#include "widgets/skin_button.h"

namespace vyre::widgets {
namespace {

// The font as drawn at scale 1 (hinted) and at scale 2 and above (unhinted).
std::array<QFont, 2> BothScales(const QFont& font) {
    QFont unhinted = font;
    unhinted.setHintingPreference(QFont::PreferNoHinting);
    return {font, unhinted};
}

}  // namespace

bool FitsWidth(const QFont& font, const QString& text, qreal width) {
    for (const QFont& f : BothScales(font)) {
        if (QFontMetricsF(f).horizontalAdvance(text) > width + 0.5) return false;
    }
    return true;
}

bool FitsBox(const QFont& font, const QString& text, const QRectF& box, int flags) {
    for (const QFont& f : BothScales(font)) {
        const QRectF used = QFontMetricsF(f).boundingRect(box, flags, text);
        if (used.width() > box.width() + 0.5 || used.height() > box.height() + 0.5) return false;
    }
    return true;
}

QFont FittedFont(QFont font, const QString& text, qreal width, int smallestPx) {
    while (font.pixelSize() > smallestPx && !FitsWidth(font, text, width))
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

QStringList CutCaptions(const QWidget& root) {
    QStringList cut;
    auto check = [&](const QWidget& w) {
        if (!w.isVisibleTo(&root) && &w != &root) return;
        auto name = [&](const QString& text) {
            return (w.objectName().isEmpty() ? QString(w.metaObject()->className())
                                             : w.objectName()) +
                   ": " + text;
        };
        if (const auto* key = dynamic_cast<const CKeyBoardBtn*>(&w)) {
            if (!key->CaptionFits()) cut << name(key->text());
        } else if (const auto* box = dynamic_cast<const CSkinCheckBox*>(&w)) {
            if (!FitsWidth(box->DrawnFont(), box->text(), box->CaptionWidth()))
                cut << name(box->text());
        } else if (const auto* button = dynamic_cast<const CSkinButton*>(&w)) {
            if (button->HasCaption() && !button->text().isEmpty() &&
                !FitsWidth(
                    FittedFont(ControlCaptionFont(), button->text(), button->CaptionRect().width()),
                    button->text(), button->CaptionRect().width()))
                cut << name(button->text());
        } else if (const auto* label = qobject_cast<const QLabel*>(&w)) {
            const QString text = label->text();
            if (text.isEmpty() || Qt::mightBeRichText(text)) return;
            const QRectF room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                               -label->margin(), -label->margin());
            const bool fits =
                label->wordWrap()
                    ? FitsBox(label->font(), text, room, int(label->alignment()) | Qt::TextWordWrap)
                    : FitsWidth(label->font(), text, room.width());
            if (!fits) cut << name(text);
        }
    };
    check(root);
    for (const QWidget* w : root.findChildren<QWidget*>()) check(*w);
    return cut;
}

}  // namespace vyre::widgets
