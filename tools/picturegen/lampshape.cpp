#include "lampshape.h"

#include "palette.h"

#include <cmath>

namespace quorvel::picturegen {

namespace {

constexpr int samplesPerSide = 4;

} // namespace

QImage renderLamp(const LampShape& shape)
{
    QImage image(shape.size, shape.size, QImage::Format_RGB32);
    constexpr double sampleCount = samplesPerSide * samplesPerSide;
    for (int py = 0; py < shape.size; ++py)
        for (int px = 0; px < shape.size; ++px) {
            double red = 0, green = 0, blue = 0;
            for (int sy = 0; sy < samplesPerSide; ++sy)
                for (int sx = 0; sx < samplesPerSide; ++sx) {
                    const double x = px + (sx + 0.5) / samplesPerSide;
                    const double y = py + (sy + 0.5) / samplesPerSide;
                    QColor colour = palette::white;
                    switch (shape.zone(x, y)) {
                    case Zone::Outside: break;
                    case Zone::Outline: colour = palette::lampOutline; break;
                    case Zone::Inside: colour = shape.face(x, y); break;
                    }
                    red += colour.red();
                    green += colour.green();
                    blue += colour.blue();
                }
            image.setPixel(px, py,
                           qRgb(int(std::lround(red / sampleCount)), int(std::lround(green / sampleCount)),
                                int(std::lround(blue / sampleCount))));
        }
    return image;
}

Zone discZone(int size, double outline, double x, double y)
{
    const double radius = size / 2.0;
    const double distance = std::hypot(x - radius, y - radius);
    if (distance >= radius)
        return Zone::Outside;
    return distance >= radius - outline ? Zone::Outline : Zone::Inside;
}

double discRadius(int size, double outline, double x, double y)
{
    const double radius = size / 2.0;
    return std::hypot(x - radius, y - radius) / (radius - outline);
}

} // namespace quorvel::picturegen
