#include "overlay/pictures.h"

#include <QFile>
#include <QPainter>
#include <QString>

#include <array>

namespace quorvel::overlay {
namespace {

struct PictureInfo {
    const char* path;
    int width;
    int height;
};

constexpr std::array<PictureInfo, 8> kPictures = {{
    {":/pictures/strip.png", 1632, 104},
    {":/pictures/board.png", 1320, 600},
    {":/pictures/lamp_prestage.png", 185, 185},
    {":/pictures/lamp_stage.png", 185, 185},
    {":/pictures/lamp_green.png", 179, 179},
    {":/pictures/lamp_disqualified.png", 179, 179},
    {":/pictures/lamp_winner.png", 179, 179},
    {":/pictures/lamp_foul.png", 364, 364},
}};

QRgb standInLampColour(BuiltinPicture which)
{
    switch (which) {
    case BuiltinPicture::LampPrestage:
    case BuiltinPicture::LampStage: return qRgb(30, 150, 255);
    case BuiltinPicture::LampGreen: return qRgb(0, 200, 30);
    case BuiltinPicture::LampDisqualified: return qRgb(255, 200, 20);
    case BuiltinPicture::LampWinner: return qRgb(150, 150, 160);
    default: return qRgb(255, 40, 40);
    }
}

// A lamp on white, so that the bottom-left pixel keys the corners away as in the artwork.
QImage standInLamp(BuiltinPicture which, int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    QPainter painter(&image);
    painter.setPen(QPen(QColor(51, 51, 51), 3));
    painter.setBrush(QColor(standInLampColour(which)));
    QRectF disc(2, 2, size - 4, size - 4);
    if (which == BuiltinPicture::LampPrestage)
        painter.drawChord(disc, 0, 180 * 16);
    else if (which == BuiltinPicture::LampStage)
        painter.drawChord(disc, 180 * 16, 180 * 16);
    else
        painter.drawEllipse(disc);
    return image;
}

QImage standIn(BuiltinPicture which)
{
    const PictureInfo& info = kPictures[static_cast<size_t>(which)];
    if (which == BuiltinPicture::Strip || which == BuiltinPicture::Board) {
        QImage image(info.width, info.height, QImage::Format_RGB32);
        image.fill(which == BuiltinPicture::Strip ? qRgb(26, 27, 29) : qRgb(255, 0, 255));
        return image;
    }
    return standInLamp(which, info.width);
}

QImage loadPicture(BuiltinPicture which)
{
    const QString path = QLatin1String(builtinPicturePath(which));
    if (QFile::exists(path)) {
        QImage image(path);
        if (!image.isNull())
            return image.convertToFormat(QImage::Format_RGB32);
    }
    return standIn(which);
}

} // namespace

const char* builtinPicturePath(BuiltinPicture which)
{
    return kPictures[static_cast<size_t>(which)].path;
}

QImage builtinPicture(BuiltinPicture which)
{
    static std::array<QImage, kPictures.size()> loaded;
    QImage& image = loaded[static_cast<size_t>(which)];
    if (image.isNull())
        image = loadPicture(which);
    return image;
}

} // namespace quorvel::overlay
