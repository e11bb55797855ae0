#include "icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace quorvel::picturegen {

namespace {

// Drawn four times larger and scaled down, so the fine parts blend smoothly into 64 pixels.
constexpr int canvas = 256;
constexpr int iconSize = 64;
const QPointF centre(150, 122);
constexpr double bodyRadius = 78;

QLinearGradient chrome(const QPointF& from, const QPointF& to)
{
    QLinearGradient gradient(from, to);
    gradient.setColorAt(0.0, QColor(250, 251, 253));
    gradient.setColorAt(0.35, QColor(168, 173, 181));
    gradient.setColorAt(0.55, QColor(236, 238, 242));
    gradient.setColorAt(0.8, QColor(112, 117, 126));
    gradient.setColorAt(1.0, QColor(200, 204, 210));
    return gradient;
}

// A point on a circle round the dial's centre; 0 degrees points right, angles turn
// counter-clockwise as on a speedometer.
QPointF onDial(double radius, double degrees)
{
    const double a = degrees * std::numbers::pi / 180;
    return centre + QPointF(radius * std::cos(a), -radius * std::sin(a));
}

void drawStreaks(QPainter& painter)
{
    struct Streak {
        double angle; // degrees below the horizontal, towards the lower left
        double length;
        double width;
        QColor colour;
    };
    const Streak streaks[] = {
        {24, 190, 30, QColor(0, 96, 240)},    {38, 230, 44, QColor(20, 140, 255)},  {54, 190, 28, QColor(60, 180, 255)},
        {31, 170, 12, QColor(170, 230, 255)}, {46, 200, 12, QColor(140, 220, 255)},
    };
    painter.setPen(Qt::NoPen);
    for (const Streak& streak : streaks) {
        const double a = streak.angle * std::numbers::pi / 180;
        const QPointF direction(-std::cos(a), std::sin(a));
        const QPointF across(-direction.y(), direction.x());
        const QPointF start = centre + direction * (bodyRadius * 0.3);
        const QPointF end = start + direction * streak.length;
        QPainterPath path;
        path.moveTo(start + across * (streak.width / 2));
        path.lineTo(end);
        path.lineTo(start - across * (streak.width / 2));
        path.closeSubpath();
        QLinearGradient fade(start, end);
        QColor faded = streak.colour;
        fade.setColorAt(0, streak.colour);
        faded.setAlpha(170);
        fade.setColorAt(0.45, faded);
        faded.setAlpha(0);
        fade.setColorAt(1, faded);
        painter.setBrush(fade);
        painter.drawPath(path);
    }
}

void drawCase(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    // crown and the lap button
    painter.setBrush(chrome(QPointF(128, 0), QPointF(172, 0)));
    painter.drawRoundedRect(QRectF(132, 14, 36, 18), 5, 5);
    painter.drawRect(QRectF(141, 30, 18, 16));
    painter.save();
    painter.translate(onDial(bodyRadius + 4, 48));
    painter.rotate(-42);
    painter.drawRoundedRect(QRectF(-9, -12, 18, 20), 4, 4);
    painter.restore();

    painter.setBrush(chrome(centre + QPointF(-70, -70), centre + QPointF(70, 70)));
    painter.drawEllipse(centre, bodyRadius, bodyRadius);
    painter.setBrush(chrome(centre + QPointF(60, 60), centre + QPointF(-60, -60)));
    painter.drawEllipse(centre, 67, 67);

    QRadialGradient face(centre, 62);
    face.setColorAt(0, QColor(46, 52, 62));
    face.setColorAt(1, QColor(10, 12, 16));
    painter.setBrush(face);
    painter.drawEllipse(centre, 61, 61);
}

void drawDial(QPainter& painter)
{
    // the scale: a blue arc turning red towards its end, with ticks
    constexpr double from = 225;
    constexpr double sweep = -270;
    const QRectF arcBox(centre.x() - 52, centre.y() - 52, 104, 104);
    QPen arc(QColor(0, 140, 255), 6, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(arc);
    painter.drawArc(arcBox, int(from * 16), int(sweep * 0.75 * 16));
    arc.setColor(QColor(255, 48, 32));
    painter.setPen(arc);
    painter.drawArc(arcBox, int((from + sweep * 0.75) * 16), int(sweep * 0.25 * 16));

    for (int tick = 0; tick <= 10; ++tick) {
        const double angle = from + sweep * tick / 10;
        painter.setPen(QPen(tick >= 8 ? QColor(255, 80, 60) : QColor(240, 244, 250), tick % 2 ? 3 : 5, Qt::SolidLine,
                            Qt::FlatCap));
        painter.drawLine(onDial(44, angle), onDial(tick % 2 ? 38 : 34, angle));
    }

    // the small screen under the hub, with a lit reading
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(6, 40, 56));
    painter.drawRoundedRect(QRectF(centre.x() - 26, centre.y() + 20, 52, 22), 4, 4);
    painter.setBrush(QColor(90, 230, 255));
    for (int digit = 0; digit < 3; ++digit) {
        const double left = centre.x() - 20 + digit * 14;
        painter.drawRect(QRectF(left, centre.y() + 24, 9, 3));
        painter.drawRect(QRectF(left, centre.y() + 30, 9, 2));
        painter.drawRect(QRectF(left, centre.y() + 36, 9, 3));
        painter.drawRect(QRectF(left + 7, centre.y() + 24, 2, 15));
    }

    // the needle, well into the scale, and its hub
    painter.setPen(QPen(QColor(255, 96, 24), 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(onDial(-10, 30), onDial(48, 30));
    painter.setPen(Qt::NoPen);
    painter.setBrush(chrome(centre + QPointF(-8, -8), centre + QPointF(8, 8)));
    painter.drawEllipse(centre, 8, 8);
}

// A soft reflection over the upper left of the glass.
void drawGlare(QPainter& painter)
{
    QPainterPath glass;
    glass.addEllipse(centre, 61, 61);
    QPainterPath shine;
    shine.addEllipse(centre + QPointF(-40, -58), 92, 70);
    QLinearGradient fade(centre + QPointF(-40, -60), centre + QPointF(0, 0));
    fade.setColorAt(0, QColor(255, 255, 255, 90));
    fade.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fade);
    painter.drawPath(glass.intersected(shine));
}

} // namespace

QImage drawIcon()
{
    QImage large(canvas, canvas, QImage::Format_ARGB32_Premultiplied);
    large.fill(Qt::transparent);
    {
        QPainter painter(&large);
        painter.setRenderHint(QPainter::Antialiasing);
        drawStreaks(painter);
        drawCase(painter);
        drawDial(painter);
        drawGlare(painter);
    }
    return large.scaled(iconSize, iconSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

} // namespace quorvel::picturegen
