#include "config/trophies/trophy_art.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

#include "config/trophies/stats_model.h"
#include "widgets/skin_art.h"

namespace vyre::trophies {
namespace {

namespace colour = widgets::colour;

struct Metal {
    QColor light, dark, glow;
};

Metal MetalOf(Tier tier) {
    switch (tier) {
        case Tier::Bronze:
            return {QColor(0xe0, 0x9a, 0x5c), QColor(0x8a, 0x4f, 0x22), QColor(0xe0, 0x9a, 0x5c)};
        case Tier::Silver:
            return {QColor(0xf0, 0xf3, 0xf7), QColor(0x7f, 0x8a, 0x97), QColor(0xc8, 0xd0, 0xda)};
        case Tier::Gold:
            return {QColor(0xff, 0xe0, 0x7a), QColor(0xb0, 0x7c, 0x1e), QColor(0xf3, 0xc8, 0x4a)};
        case Tier::Master:
            break;
    }
    return {QColor(0xa8, 0xf2, 0xfc), colour::kAccent.darker(190), colour::kAccent};
}

// The cup in a unit square (0..1), scaled into `r`.
QPainterPath CupPath(const QRectF& r) {
    auto at = [&](qreal x, qreal y) {
        return QPointF(r.left() + x * r.width(), r.top() + y * r.height());
    };
    QPainterPath cup;
    cup.moveTo(at(0.24, 0.16));
    cup.lineTo(at(0.76, 0.16));
    cup.cubicTo(at(0.76, 0.46), at(0.66, 0.58), at(0.54, 0.62));
    cup.lineTo(at(0.54, 0.74));
    cup.lineTo(at(0.66, 0.80));
    cup.lineTo(at(0.66, 0.86));
    cup.lineTo(at(0.34, 0.86));
    cup.lineTo(at(0.34, 0.80));
    cup.lineTo(at(0.46, 0.74));
    cup.lineTo(at(0.46, 0.62));
    cup.cubicTo(at(0.34, 0.58), at(0.24, 0.46), at(0.24, 0.16));
    cup.closeSubpath();
    return cup;
}

QPainterPath HandlesPath(const QRectF& r) {
    auto at = [&](qreal x, qreal y) {
        return QPointF(r.left() + x * r.width(), r.top() + y * r.height());
    };
    QPainterPath h;
    h.moveTo(at(0.25, 0.22));
    h.cubicTo(at(0.10, 0.22), at(0.10, 0.44), at(0.30, 0.46));
    h.moveTo(at(0.75, 0.22));
    h.cubicTo(at(0.90, 0.22), at(0.90, 0.44), at(0.70, 0.46));
    return h;
}

// The emblem of a trophy's group, centred at c with radius s, in `ink`.
void PaintEmblem(QPainter& p, int trophy, QPointF c, qreal s, const QColor& ink) {
    p.save();
    p.setPen(QPen(ink, std::max<qreal>(1.0, s * 0.16), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const int group = (trophy - 1) / 3;
    switch (trophy == kTrophyCount ? 5 : group) {
        case 0: {  // functions A and B: a lightning bolt
            QPolygonF bolt;
            bolt << c + QPointF(0.2 * s, -1.0 * s) << c + QPointF(-0.5 * s, 0.1 * s)
                 << c + QPointF(0.0, 0.1 * s) << c + QPointF(-0.2 * s, 1.0 * s)
                 << c + QPointF(0.5 * s, -0.15 * s) << c + QPointF(0.0, -0.15 * s);
            p.setBrush(ink);
            p.setPen(Qt::NoPen);
            p.drawPolygon(bolt);
            break;
        }
        case 1:  // every key: one key cap
            p.drawRoundedRect(QRectF(c.x() - 0.8 * s, c.y() - 0.8 * s, 1.6 * s, 1.6 * s), 0.3 * s,
                              0.3 * s);
            p.drawLine(c + QPointF(-0.35 * s, 0.35 * s), c + QPointF(0.35 * s, 0.35 * s));
            break;
        case 2:  // the thumb keys: three caps in a row
            for (int i = -1; i <= 1; ++i) {
                p.drawRoundedRect(
                    QRectF(c.x() + i * 0.7 * s - 0.28 * s, c.y() - 0.3 * s * (i == 0 ? 1.6 : 1.0),
                           0.56 * s, 0.56 * s),
                    0.12 * s, 0.12 * s);
            }
            break;
        case 3: {  // functions D and E: two arrows that switch
            p.drawLine(c + QPointF(-0.8 * s, -0.35 * s), c + QPointF(0.8 * s, -0.35 * s));
            p.drawLine(c + QPointF(0.8 * s, -0.35 * s), c + QPointF(0.45 * s, -0.7 * s));
            p.drawLine(c + QPointF(0.8 * s, 0.35 * s), c + QPointF(-0.8 * s, 0.35 * s));
            p.drawLine(c + QPointF(-0.8 * s, 0.35 * s), c + QPointF(-0.45 * s, 0.7 * s));
            break;
        }
        case 4: {  // the game keys: four caps in a cross
            const qreal k = 0.5 * s;
            for (QPointF d :
                 {QPointF(0, -0.55), QPointF(-0.6, 0.35), QPointF(0, 0.35), QPointF(0.6, 0.35)}) {
                p.drawRoundedRect(
                    QRectF(c.x() + d.x() * s - k / 2, c.y() + d.y() * s - k / 2, k, k), 0.1 * s,
                    0.1 * s);
            }
            break;
        }
        default: {  // the master trophy: a five-pointed star
            QPolygonF star;
            for (int i = 0; i < 10; ++i) {
                const qreal a = -M_PI / 2 + i * M_PI / 5;
                const qreal rr = (i % 2 == 0 ? 1.0 : 0.45) * s;
                star << c + QPointF(std::cos(a) * rr, std::sin(a) * rr);
            }
            p.setBrush(ink);
            p.setPen(Qt::NoPen);
            p.drawPolygon(star);
            break;
        }
    }
    p.restore();
}

void PaintPadlock(QPainter& p, QPointF c, qreal s) {
    p.save();
    p.setPen(QPen(colour::kTextSecondary, s * 0.14, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - 0.5 * s, c.y() - 1.1 * s, 1.0 * s, 1.1 * s), 0, 180 * 16);
    p.drawLine(c + QPointF(-0.5 * s, -0.55 * s), c + QPointF(-0.5 * s, -0.1 * s));
    p.drawLine(c + QPointF(0.5 * s, -0.55 * s), c + QPointF(0.5 * s, -0.1 * s));
    p.setPen(QPen(colour::kBorder, 1));
    p.setBrush(colour::kControlHover);
    p.drawRoundedRect(QRectF(c.x() - 0.8 * s, c.y() - 0.15 * s, 1.6 * s, 1.2 * s), 0.18 * s,
                      0.18 * s);
    p.setBrush(colour::kTextSecondary);
    p.setPen(Qt::NoPen);
    p.drawEllipse(c + QPointF(0, 0.38 * s), 0.16 * s, 0.16 * s);
    p.restore();
}

}  // namespace

void PaintTrophy(QPainter& p, const QRectF& rect, int frame) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const bool locked = frame < 1 || frame > kTrophyCount;
    // The frame: a panel with a ring, lit in the tier's glow when unlocked.
    const QRectF box = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(colour::kBorder, 1));
    p.setBrush(colour::kPanel);
    p.drawRoundedRect(box, 8, 8);
    const QRectF stage = box.adjusted(box.width() * 0.08, box.height() * 0.06, -box.width() * 0.08,
                                      -box.height() * 0.06);
    if (!locked) {
        const Metal m = MetalOf(Trophy(frame).tier);
        QRadialGradient glow(stage.center(), stage.width() * 0.55);
        QColor g = m.glow;
        g.setAlpha(90);
        glow.setColorAt(0, g);
        g.setAlpha(0);
        glow.setColorAt(1, g);
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(stage);
        QLinearGradient metal(stage.topLeft(), stage.topRight());
        metal.setColorAt(0, m.dark);
        metal.setColorAt(0.35, m.light);
        metal.setColorAt(1, m.dark);
        p.setPen(
            QPen(m.light, std::max<qreal>(1.5, stage.width() * 0.05), Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(HandlesPath(stage));
        p.setPen(QPen(m.dark, 1));
        p.setBrush(metal);
        p.drawPath(CupPath(stage));
        PaintEmblem(p, frame, QPointF(stage.center().x(), stage.top() + stage.height() * 0.36),
                    stage.width() * 0.11, m.dark.darker(150));
    } else {
        p.setPen(QPen(colour::kBorder, std::max<qreal>(1.5, stage.width() * 0.05), Qt::SolidLine,
                      Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(HandlesPath(stage));
        p.setPen(QPen(colour::kBorder, 1));
        p.setBrush(colour::kControl);
        p.drawPath(CupPath(stage));
        PaintPadlock(p, QPointF(stage.center().x(), stage.top() + stage.height() * 0.42),
                     stage.width() * 0.13);
    }
    p.restore();
}

QPixmap TrophyPicture(int frame, int size, qreal dpr) {
    QPixmap pixmap(QSize(size, size) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    PaintTrophy(p, QRectF(0, 0, size, size), frame);
    return pixmap;
}

}  // namespace vyre::trophies
