#include "picturebuilders.h"
#include "race/photo/decoders.h"
#include "race/photo/picturelimits.h"

#include "base/failure.h"

#include <gtest/gtest.h>

#include <QtGlobal>

using namespace photo_test;
using namespace quorvel::race;

namespace {

struct Seed {
    const char* name;
    QByteArray bytes;
    QImage (*decode)(const QByteArray&);
    QByteArray message; // the decoder's one message ("JPEG error #" is followed by a number)
};

std::vector<Seed> seeds()
{
    DibSpec rle = paletteSpec(8, 6, 3);
    rle.compression = 1;
    rle.rle = QByteArray::fromHex("0301 0002 0000 0003 010203 00 0002 0101 0205 0001");
    DibSpec masked = rgb24Spec(5, 3);
    masked.bitCount = 16;
    masked.compression = 3;
    masked.masks = {0xF800, 0x07E0, 0x001F};
    masked.value = [](int x, int y) { return quint32(x * 977 + y * 131); };
    QImage icon(9, 7, QImage::Format_ARGB32);
    icon.fill(qRgba(20, 40, 60, 128));
    return {
        {"bitmap", bmpFile(paletteSpec(4, 7, 3)), decodeBmp, "Bitmap image is not valid"},
        {"RLE bitmap", bmpFile(rle), decodeBmp, "Bitmap image is not valid"},
        {"masked bitmap", bmpFile(masked), decodeBmp, "Bitmap image is not valid"},
        {"icon", icoFile({bitmapIconEntry(quadrantPicture(8, 8), {{1, 2}}), pngIconEntry(icon)}), decodeIco,
         "Icon image is not valid"},
        {"placeable metafile", placeableWmf(paletteSpec(8, 3, 2), 48, 48, 96), decodeWmf, "Metafile is not valid"},
        {"enhanced metafile", emfFile(rgb24Spec(3, 2), 48, 48), decodeEmf, "Metafile is not valid"},
        {"JPEG", jpegFile(quadrantPicture(24, 16), 80, false, true), decodeJpeg, "JPEG error #"},
    };
}

// Either a picture within the limits, or the decoder's own failure: nothing else may
// come out, whatever the bytes (the sanitizer build watches the memory meanwhile).
::testing::AssertionResult decodesOrFailsCleanly(const Seed& seed, const QByteArray& bytes)
{
    try {
        const QImage picture = seed.decode(bytes);
        if (picture.isNull() || !withinPictureLimit(picture.width(), picture.height()))
            return ::testing::AssertionFailure() << "a picture of " << picture.width() << " x " << picture.height();
    } catch (const quorvel::Failure& e) {
        if (!e.message().startsWith(seed.message))
            return ::testing::AssertionFailure() << "raised " << e.message().constData();
    }
    return ::testing::AssertionSuccess();
}

// Qt's PNG reader warns about every broken icon entry; thousands of them say nothing.
class QuietWarnings {
public:
    QuietWarnings()
        : m_previous(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}))
    {
    }
    ~QuietWarnings() { qInstallMessageHandler(m_previous); }

private:
    QtMessageHandler m_previous;
};

TEST(PictureDecoders, SurviveEveryTruncation)
{
    const QuietWarnings quiet;
    for (const Seed& seed : seeds()) {
        SCOPED_TRACE(seed.name);
        for (qsizetype length = 0; length < seed.bytes.size(); ++length)
            ASSERT_TRUE(decodesOrFailsCleanly(seed, seed.bytes.left(length))) << length << " bytes";
    }
}

TEST(PictureDecoders, SurviveChangedBytes)
{
    quint32 state = 2024;
    auto next = [&state](quint32 bound) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % bound;
    };
    const QuietWarnings quiet;
    for (const Seed& seed : seeds()) {
        SCOPED_TRACE(seed.name);
        for (int round = 0; round < 1500; ++round) {
            QByteArray bytes = seed.bytes;
            const int changes = 1 + int(next(4));
            for (int i = 0; i < changes; ++i) {
                const int at = int(next(quint32(bytes.size())));
                // mostly small numbers and extremes, which is where sizes and offsets break
                const quint32 kind = next(4);
                bytes[at] = char(kind == 0 ? 0 : kind == 1 ? 0xFF : kind == 2 ? next(16) : next(256));
            }
            ASSERT_TRUE(decodesOrFailsCleanly(seed, bytes)) << "round " << round;
        }
    }
}

} // namespace
