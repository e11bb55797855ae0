#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>

namespace quorvel::race {

struct DibHeader;

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
//
// A few kilobytes of records can each declare a bitmap of many megapixels and stretch it
// over the whole picture; played in full they would hold the program for minutes. So the
// bitmaps of one metafile together may hold at most kMaxPicturePixels, and together cover
// at most as many of the picture's pixels: a photo of any resolution fits, in a frame of
// any size (a 300-dpi scan in a 96-dpi frame holds ten times the frame's pixels). A
// decoder plays the records twice: first onto a canvas of the picture's own size that
// only measures, which refuses a metafile beyond the bound as not valid before any bitmap
// is decoded, then onto the one that draws, at the size the picture is shown at.
class MetafileCanvas {
public:
    enum Pass { Measure, Draw };

    // `deviceFrame` is the part of the recording's device space the picture shows, played
    // onto `size` pixels.
    MetafileCanvas(QSize size, const QRectF& deviceFrame, Pass pass = Draw);

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
    void drawBitmap(const QRectF& dest, const DibHeader& header, QByteArrayView bits, QRectF source);
    void spend(qint64& spent, qint64 pixels) const;

    Pass m_pass;
    QSize m_size;
    QImage m_image;
    qint64 m_budget = 0; // pixels, for the bitmaps' own and for those they cover
    qint64 m_decoded = 0; // the bitmaps' pixels so far
    qint64 m_covered = 0; // the picture's pixels drawn over so far
    QRectF m_deviceFrame;
    MetafileMapping m_mapping;
    QList<MetafileMapping> m_saved;
};

} // namespace quorvel::race
