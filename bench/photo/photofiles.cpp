// Writes the photos of the stall benchmark into a folder: camera-like JPEGs of 12, 45 and
// 100 megapixels (two of each, different), the heaviest metafile the limits accept (a
// frame of 32 megapixels whose bitmap holds and covers as much) and a refused one (a
// second such bitmap over it).
//   bench_photo_files FOLDER
#include "picturebuilders.h"
#include "race/photo/picturelimits.h"

#include <QFile>
#include <QString>

#include <cmath>
#include <cstdio>

namespace {

// Sensor noise as a camera at a high sensitivity leaves it: 45 megapixels take about
// 13 MB, as the camera photos that showed the cost did.
constexpr int kGrain = 28;

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

photo_test::DibSpec emptyRleBitmap(QSize size)
{
    photo_test::DibSpec spec = photo_test::paletteSpec(8, size.width(), size.height());
    spec.compression = 1;
    spec.rle = QByteArray::fromHex("00000001");
    return spec;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_photo_files FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const struct {
        const char* name;
        int width, height;
    } cameras[] = {{"cam12", 4000, 3000}, {"cam45", 8256, 5504}, {"cam100", 11648, 8736}};
    for (const auto& c : cameras) {
        // the second lane's photo is the first one's mirror image in size: other bytes
        if (!write(folder + QStringLiteral("/%1a.jpg").arg(QLatin1String(c.name)),
                   photo_test::cameraJpeg(c.width, c.height, kGrain)) ||
            !write(folder + QStringLiteral("/%1b.jpg").arg(QLatin1String(c.name)),
                   photo_test::cameraJpeg(c.width + 8, c.height, kGrain)))
            return 1;
    }
    const int height = int(std::sqrt(double(quorvel::race::kMaxPicturePixels) * 3 / 4));
    const QSize largest(int(quorvel::race::kMaxPicturePixels / height), height);
    const QByteArray heaviest = photo_test::emfFile(emptyRleBitmap(largest), largest.width(), largest.height());
    const QByteArray refused = photo_test::emfFile(emptyRleBitmap(largest), largest.width(), largest.height(), {}, 2);
    if (!write(folder + QStringLiteral("/heavya.emf"), heaviest) ||
        !write(folder + QStringLiteral("/heavyb.emf"), heaviest) ||
        !write(folder + QStringLiteral("/refuseda.emf"), refused) ||
        !write(folder + QStringLiteral("/refusedb.emf"), refused))
        return 1;
    return 0;
}
