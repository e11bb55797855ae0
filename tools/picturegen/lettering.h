#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QString>

// Text of the pictures is drawn as outlines of one bold face loaded from its file, so that
// the letters come out the same on every run whatever fonts the desktop prefers.
namespace quorvel::picturegen {

// The outline of a text whose capitals are capHeight pixels tall, baseline at y 0, starting
// at x 0; tracking adds that many pixels between letters.
QPainterPath lettering(const QString& text, double capHeight, double tracking = 0);

// Moves the outline so that its ink is centred on the pixel column centreX, its baseline
// on y baseline. The ink's left edge lands on a whole pixel, so upright strokes stay sharp.
QPainterPath centredOnColumn(const QPainterPath& path, int centreX, int baseline);

// Moves the outline so that its ink is centred in the box, its left and top edges on
// whole pixels.
QPainterPath centredIn(const QPainterPath& path, const QRectF& box);

} // namespace quorvel::picturegen
