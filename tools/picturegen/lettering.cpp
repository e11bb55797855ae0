#include "lettering.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <QTransform>

#include <cmath>
#include <stdexcept>

namespace quorvel::picturegen {

namespace {

// League Spartan is the broadcast face of the overlay; DejaVu Sans Bold stands in on a
// machine without it (the pictures then differ from the committed ones).
const char* const faceFiles[] = {
    "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
};

QString loadedFamily()
{
    static const QString family = [] {
        for (const char* file : faceFiles) {
            const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(file));
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (id >= 0 && !families.isEmpty())
                return families.first();
        }
        throw std::runtime_error("no lettering face installed (League Spartan or DejaVu Sans Bold)");
    }();
    return family;
}

// Outlines are taken at 100 pixels and scaled, since QFont only takes whole pixel sizes.
QFont faceAt100(double tracking)
{
    QFont font(loadedFamily());
    font.setWeight(QFont::Bold);
    font.setPixelSize(100);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    if (tracking != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return font;
}

// Cap height of the face at 100 pixels, measured on the ink of an H.
double capHeightAt100()
{
    static const double height = [] {
        QPainterPath h;
        h.addText(0, 0, faceAt100(0), QStringLiteral("H"));
        return h.boundingRect().height();
    }();
    return height;
}

} // namespace

QPainterPath lettering(const QString& text, double capHeight, double tracking)
{
    const double scale = capHeight / capHeightAt100();
    QPainterPath path;
    path.addText(0, 0, faceAt100(tracking / scale), text);
    return QTransform::fromScale(scale, scale).map(path);
}

QPainterPath centredOnColumn(const QPainterPath& path, int centreX, int baseline)
{
    const QRectF ink = path.boundingRect();
    const double left = std::round(centreX + 0.5 - ink.width() / 2);
    return path.translated(left - ink.left(), baseline);
}

QPainterPath centredIn(const QPainterPath& path, const QRectF& box)
{
    const QRectF ink = path.boundingRect();
    const double left = std::round(box.center().x() - ink.width() / 2);
    const double top = std::round(box.center().y() - ink.height() / 2);
    return path.translated(left - ink.left(), top - ink.top());
}

} // namespace quorvel::picturegen
