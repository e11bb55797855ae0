#include "race/photo/metafilecanvas.h"

#include "race/photo/bytereader.h"
#include "race/photo/dib.h"
#include "race/photo/picturememory.h"

#include <QPainter>
#include <QTransform>

namespace quorvel::race {

MetafileCanvas::MetafileCanvas(QSize size, const QRectF& deviceFrame)
    : m_image(newPicture(size.width(), size.height(), QImage::Format_RGB32))
    , m_deviceFrame(deviceFrame)
{
    require(!m_image.isNull() && deviceFrame.width() != 0 && deviceFrame.height() != 0);
    m_image.fill(Qt::white);
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
    return QPointF((device.x() - m_deviceFrame.left()) * m_image.width() / m_deviceFrame.width(),
                   (device.y() - m_deviceFrame.top()) * m_image.height() / m_deviceFrame.height());
}

void MetafileCanvas::drawDib(const QRectF& dest, QByteArrayView info, QByteArrayView bits, QRectF source)
{
    ByteReader reader(info);
    const DibHeader header = readDibHeader(reader);
    draw(dest, readDibPixels(header, bits), !header.topDown, source);
}

void MetafileCanvas::drawPackedDib(const QRectF& dest, QByteArrayView packed, QRectF source)
{
    ByteReader reader(packed);
    const DibHeader header = readDibHeader(reader);
    draw(dest, readDibPixels(header, packed.sliced(reader.position())), !header.topDown, source);
}

void MetafileCanvas::draw(const QRectF& dest, const QImage& bitmap, bool bottomUp, QRectF source)
{
    if (source.width() <= 0 || source.height() <= 0 || dest.width() == 0 || dest.height() == 0)
        return;
    if (bottomUp)
        source.moveTop(bitmap.height() - source.top() - source.height());
    const QPointF topLeft = toPixels(dest.topLeft());
    const QPointF bottomRight = toPixels(dest.bottomRight());
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
