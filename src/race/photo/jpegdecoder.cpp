#include "race/photo/decoders.h"

#include "base/failure.h"
#include "overlay/pictureplacement.h"
#include "race/photo/jpegsession.h"
#include "race/photo/picturelimits.h"
#include "race/photo/picturememory.h"

#include <jerror.h>

#include <cstring>

namespace quorvel::race {
namespace {

// Rows come straight into the picture's memory in its own byte order, opaque.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kRgb32Space = JCS_EXT_BGRA;
#else
constexpr J_COLOR_SPACE kRgb32Space = JCS_EXT_ARGB;
#endif

class SessionEnd {
public:
    explicit SessionEnd(JpegSession& session)
        : m_session(session)
    {
    }
    ~SessionEnd() { jpegEndSession(&m_session); }
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

private:
    JpegSession& m_session;
};

// The scans (SOS markers) of a file, counted by walking its marker segments and skipping
// each scan's coded data, where a 0xFF byte is always followed by 0 or a restart marker.
// A segment's payload (an EXIF thumbnail, a comment) may hold anything and is stepped
// over whole. Counting stops where the structure breaks; libjpeg then reports that.
int countScans(QByteArrayView bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype size = bytes.size();
    int scans = 0;
    qsizetype at = 2; // after SOI
    while (at + 1 < size) {
        if (data[at] != 0xFF)
            return scans;
        const uchar marker = data[at + 1];
        at += 2;
        if (marker == 0xFF) { // fill byte
            --at;
            continue;
        }
        if (marker == 0xD9)
            return scans;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue;
        if (at + 2 > size)
            return scans;
        at += (qsizetype(data[at]) << 8) | data[at + 1];
        if (marker != 0xDA)
            continue;
        ++scans;
        // The coded data runs to the next marker other than a restart.
        for (;;) {
            const void* ff = at < size ? std::memchr(data + at, 0xFF, size_t(size - at)) : nullptr;
            if (!ff || static_cast<const uchar*>(ff) + 1 >= data + size)
                return scans;
            at = static_cast<const uchar*>(ff) - data;
            const uchar next = data[at + 1];
            if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7))
                break;
            at += 2;
        }
    }
    return scans;
}

[[noreturn]] void raiseJpegError(int code)
{
    throw Failure(format("JPEG error #%d", code));
}

// libjpeg cannot turn CMYK into RGB itself. Adobe's files store the inks inverted.
void convertCmyk(QImage& image, bool inverted)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar* p = image.scanLine(y);
        auto* out = reinterpret_cast<QRgb*>(p);
        for (int x = 0; x < image.width(); ++x, p += 4) {
            int c = p[0], m = p[1], ye = p[2], k = p[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                ye = 255 - ye;
                k = 255 - k;
            }
            out[x] = qRgb(c * k / 255, m * k / 255, ye * k / 255);
        }
    }
}

} // namespace

QSize fittedSize(QSize picture, QSize fitBox)
{
    if (fitBox.isEmpty())
        return picture;
    return overlay::placePicture(picture, fitBox, true, true).size();
}

QImage decodeJpeg(const QByteArray& bytes)
{
    return decodeJpegInBox(bytes, QSize());
}

QImage decodeJpegInBox(const QByteArray& bytes, QSize fitBox)
{
    JpegSession session{};
    SessionEnd end(session);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (const int code = jpegReadHeader(&session, data, static_cast<unsigned long>(bytes.size())))
        raiseJpegError(code);

    jpeg_decompress_struct& cinfo = session.cinfo;
    const qint64 width = cinfo.image_width;
    const qint64 height = cinfo.image_height;
    if (width <= 0 || height <= 0 || width * height > kMaxJpegSourcePixels)
        raiseJpegError(JERR_IMAGE_TOO_BIG);
    // Refused before any scan is decoded, not after the allowed ones have run: the
    // progress monitor of the session stops whatever this count misses.
    if (countScans(bytes) > kMaxJpegScans)
        raiseJpegError(JERR_IMAGE_TOO_BIG);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : kRgb32Space;

    // The smallest scale that still has a pixel for every pixel drawn; the memory bound
    // holds for what that scale makes.
    const QSize drawn = fittedSize(QSize(int(width), int(height)), fitBox);
    if (const int code = jpegChooseScale(&session, unsigned(qMax(drawn.width(), 1)), unsigned(qMax(drawn.height(), 1))))
        raiseJpegError(code);
    if (!withinPictureLimit(cinfo.output_width, cinfo.output_height))
        raiseJpegError(JERR_IMAGE_TOO_BIG);

    QImage image = newPicture(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (image.isNull())
        raiseJpegError(JERR_OUT_OF_MEMORY);
    if (const int code = jpegReadPixels(&session, image.bits(), size_t(image.bytesPerLine())))
        raiseJpegError(code);
    if (cmyk)
        convertCmyk(image, cinfo.saw_Adobe_marker);
    // Sampled to the drawn size as the element would sample the whole picture.
    if (!drawn.isEmpty() && image.size() != drawn)
        image = overlay::preparePicture(image, drawn, false);
    return image;
}

} // namespace quorvel::race
