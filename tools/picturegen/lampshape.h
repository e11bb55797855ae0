#pragma once

#include <QColor>
#include <QImage>

#include <functional>

namespace quorvel::picturegen {

// What a point of a lamp picture belongs to.
enum class Zone { Outside, Outline, Inside };

// A lamp: its square picture size, which zone each point lies in, and the colour of the
// lamp's face at each inside point. Points are in pixel units, (0, 0) the picture's corner.
struct LampShape {
    int size;
    std::function<Zone(double x, double y)> zone;
    std::function<QColor(double x, double y)> face;
};

// Renders the lamp on pure white, each pixel the average of a grid of samples, so the
// rim is smooth while every pixel wholly outside the lamp stays exactly white: the overlay
// keys the lamps on white.
QImage renderLamp(const LampShape& shape);

// Which zone a point is in for a disc centred in a picture of the given size, filling it,
// with an outline of the given thickness.
Zone discZone(int size, double outline, double x, double y);

// How far a point lies from the centre of the disc's face, 0 at the centre, 1 at the
// inner edge of the outline.
double discRadius(int size, double outline, double x, double y);

} // namespace quorvel::picturegen
