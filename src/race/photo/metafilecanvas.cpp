#include "race/photo/metafilecanvas.h"

#include "race/photo/bytereader.h"
#include "race/photo/dib.h"
#include "race/photo/picturelimits.h"
#include "race/photo/picturememory.h"

#include <QPainter>
#include <QTransform>

#include <cmath>

namespace quorvel::race {

MetafileCanvas::MetafileCanvas(QSize size, const QRectF& deviceFrame, Pass pass)
    : m_pass(pass)
    , m_size(size)
    , m_budget(kMaxPicturePixels)
    , m_deviceFrame(deviceFrame)
{
    require(!size.isEmpty() && deviceFrame.width() != 0 && deviceFrame.height() != 0);
    if (pass == Draw) {
        m_image = newPicture(size.width(), size.height(), QImage::Format_RGB32);
        require(!m_image.isNull());
        m_image.fill(Qt::white);
    }
}

void MetafileCanvas::saveState()
{
    m_saved.append(m_mapping);
}

void MetafileCanvas::restoreState(int count)
{
    const qsizetype target = count < 0 ? m_saved.size() + count : qsizetype(count) - 1;
    if (target < 0 || target >= m_saved.size())
        return; // GDI ignores a restore of a state that was never saved
    m_mapping = m_saved[target];
    m_saved.resize(target);
}

QPointF MetafileCanvas::toPixels(const QPointF& logical) const
{
    const MetafileMapping& m = m_mapping;
    QPointF device = logical - m.windowOrigin;
    if (m.mapMode == kMapIsotropic || m.mapMode == kMapAnisotropic) {
        require(m.windowExtent.x() != 0 && m.windowExtent.y() != 0);
        device = QPointF(device.x() * m.viewportExtent.x() / m.windowExtent.x(),
                         device.y() * m.viewportExtent.y() / m.windowExtent.y());
    }
    device += m.viewportOrigin;
    return QPointF((device.x() - m_deviceFrame.left()) * m_size.width() / m_deviceFrame.width(),
                   (device.y() - m_deviceFrame.top()) * m_size.height() / m_deviceFrame.height());
}

void MetafileCanvas::spend(qint64& spent, qint64 pixels) const
{
    require(pixels <= m_budget - spent);
    spent += pixels;
}

void MetafileCanvas::drawDib(const QRectF& dest, QByteArrayView info, QByteArrayView bits, QRectF source)
{
    ByteReader reader(info);
    const DibHeader header = readDibHeader(reader);
    drawBitmap(dest, header, bits, source);
}

void MetafileCanvas::drawPackedDib(const QRectF& dest, QByteArrayView packed, QRectF source)
{
    ByteReader reader(packed);
    const DibHeader header = readDibHeader(reader);
    drawBitmap(dest, header, packed.sliced(reader.position()), source);
}

void MetafileCanvas::drawBitmap(const QRectF& dest, const DibHeader& header, QByteArrayView bits, QRectF source)
{
    spend(m_decoded, qint64(header.width) * header.height);
    const bool drawn = source.width() > 0 && source.height() > 0 && dest.width() != 0 && dest.height() != 0;
    QPointF topLeft, bottomRight;
    if (drawn) {
        topLeft = toPixels(dest.topLeft());
        bottomRight = toPixels(dest.bottomRight());
        const QRectF covered =
            QRectF(topLeft, bottomRight).normalized().intersected(QRectF(QPointF(0, 0), QSizeF(m_size)));
        spend(m_covered, std::llround(covered.width()) * std::llround(covered.height()));
    }
    if (m_pass == Measure)
        return;
    // Decoded even when nothing of it is drawn: a broken bitmap makes a broken metafile.
    const QImage bitmap = readDibPixels(header, bits);
    if (!drawn)
        return;
    if (!header.topDown)
        source.moveTop(bitmap.height() - source.top() - source.height());
    // Maps the source rectangle onto the destination, mirrored where the signs say so;
    // pixels are repeated or dropped, not blended, as GDI stretches a photo.
    QTransform placement;
    placement.translate(topLeft.x(), topLeft.y());
    placement.scale((bottomRight.x() - topLeft.x()) / source.width(),
                    (bottomRight.y() - topLeft.y()) / source.height());
    QPainter painter(&m_image);
    painter.setTransform(placement);
    painter.drawImage(QRectF(QPointF(0, 0), source.size()), bitmap, source);
}

} // namespace quorvel::race
