#include "overlay/builtinpictures.h"

#include <QString>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace quorvel::overlay {
namespace {

constexpr std::array<const char*, 8> kPaths = {{
    ":/pictures/strip.png",
    ":/pictures/board.png",
    ":/pictures/lamp_prestage.png",
    ":/pictures/lamp_stage.png",
    ":/pictures/lamp_green.png",
    ":/pictures/lamp_disqualified.png",
    ":/pictures/lamp_winner.png",
    ":/pictures/lamp_foul.png",
}};

QImage loadPicture(BuiltinPicture which)
{
    const QImage image(QLatin1String(builtinPicturePath(which)));
    if (image.isNull()) {
        // The pictures are packed by the build, which fails without one: a program
        // without them was built wrongly and must not draw a strip of its own making.
        std::fprintf(stderr, "quorvel: the built-in picture %s is missing\n", builtinPicturePath(which));
        std::abort();
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

const char* builtinPicturePath(BuiltinPicture which)
{
    return kPaths[static_cast<size_t>(which)];
}

QImage builtinPicture(BuiltinPicture which)
{
    static std::array<QImage, kPaths.size()> loaded;
    QImage& image = loaded[static_cast<size_t>(which)];
    if (image.isNull())
        image = loadPicture(which);
    return image;
}

} // namespace quorvel::overlay
