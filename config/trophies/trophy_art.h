#pragma once
// The trophy pictures, drawn by code as one set: frame 0 is the locked frame
// (a dark cup behind a padlock), frames 1 to 16 the trophies, each a cup in
// its tier's metal (bronze, silver, gold; the master trophy in the lighting
// cyan) with the emblem of what it counts.

#include <QPainter>
#include <QPixmap>
#include <QRectF>

namespace vyre::trophies {

void PaintTrophy(QPainter& painter, const QRectF& rect, int frame);
QPixmap TrophyPicture(int frame, int size, qreal dpr = 1.0);

}  // namespace vyre::trophies
