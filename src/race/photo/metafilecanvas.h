#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>

namespace quorvel::race {

enum MapMode : quint32 {
    kMapText = 1,
    kMapIsotropic = 7,
    kMapAnisotropic = 8,
};

// The coordinate mapping of a metafile's device context: logical units through the
// window and viewport into the recording's device units.
struct MetafileMapping {
    quint32 mapMode = kMapText;
    QPointF windowOrigin;
    QPointF windowExtent{1, 1};
    QPointF viewportOrigin;
    QPointF viewportExtent{1, 1};
};

// What a metafile is played onto: a white picture of the metafile's frame size. Only
// bitmaps are drawn, which is what a photo kept in a metafile consists of.
class MetafileCanvas {
public:
    // `deviceFrame` is the part of the recording's device space the picture shows.
    MetafileCanvas(QSize size, const QRectF& deviceFrame);

    MetafileMapping& mapping() { return m_mapping; }
    void saveState();
    // `count` < 0: that many states back; > 0: that state from the first saved.
    void restoreState(int count);

    // Draws the `source` rectangle of a bitmap (in the bitmap's own coordinates, which
    // count from the bottom row for bottom-up bitmaps) into the logical rectangle `dest`;
    // a negative destination width or height mirrors it, an empty or negative source
    // draws nothing. `info` holds the header and palette,
    // `bits` the pixel rows.
    void drawDib(const QRectF& dest, QByteArrayView info, QByteArrayView bits, QRectF source);
    // The same with header, palette and rows packed together.
    void drawPackedDib(const QRectF& dest, QByteArrayView packed, QRectF source);

    QImage image() const { return m_image; }

private:
    QPointF toPixels(const QPointF& logical) const;
    void draw(const QRectF& dest, const QImage& bitmap, bool bottomUp, QRectF source);

    QImage m_image;
    QRectF m_deviceFrame;
    MetafileMapping m_mapping;
    QList<MetafileMapping> m_saved;
};

} // namespace quorvel::race
