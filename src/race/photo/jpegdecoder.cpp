#include "race/photo/decoders.h"

#include "base/failure.h"
#include "race/photo/jpegsession.h"
#include "race/photo/picturelimits.h"
#include "race/photo/picturememory.h"

#include <jerror.h>

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

QImage decodeJpeg(const QByteArray& bytes)
{
    JpegSession session{};
    SessionEnd end(session);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (const int code = jpegReadHeader(&session, data, static_cast<unsigned long>(bytes.size())))
        raiseJpegError(code);

    jpeg_decompress_struct& cinfo = session.cinfo;
    if (!withinPictureLimit(cinfo.image_width, cinfo.image_height))
        raiseJpegError(JERR_IMAGE_TOO_BIG);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : kRgb32Space;

    QImage image = newPicture(int(cinfo.image_width), int(cinfo.image_height), QImage::Format_RGB32);
    if (image.isNull())
        raiseJpegError(JERR_OUT_OF_MEMORY);
    if (const int code = jpegReadPixels(&session, image.bits(), size_t(image.bytesPerLine())))
        raiseJpegError(code);
    if (cmyk)
        convertCmyk(image, cinfo.saw_Adobe_marker);
    return image;
}

} // namespace quorvel::race
