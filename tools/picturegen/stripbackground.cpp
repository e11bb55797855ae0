#include "stripbackground.h"

#include "brandmark.h"
#include "lettering.h"
#include "mix.h"
#include "palette.h"

#include <QLinearGradient>
#include <QPainter>
#include <QTransform>

#include <cmath>

#include <span>

namespace quorvel::picturegen {

namespace {

struct Cell {
    int left;
    int right; // inclusive
};

// The two blocks of cells, parted by a gap of ground; the labels of each lane sit in them.
const Cell leftBlock[] = {{164, 186}, {187, 223}, {224, 518}, {519, 686}};
const Cell rightBlock[] = {{692, 816},   {817, 942},   {943, 1068},  {1069, 1194},
                           {1195, 1320}, {1321, 1445}, {1446, 1571}, {1572, 1620}};

struct Header {
    const char16_t* caption;
    int centreX;
};

const Header headers[] = {
    {u"PILOTO", 371}, {u"CATEGORIA", 602}, {u"REAÇÃO", 754}, {u"60FT", 878},    {u"100M", 1009},
    {u"201M", 1130},  {u"KM/H", 1257},     {u"TOTAL", 1382}, {u"STATUS", 1508}, {u"POS", 1595},
};

constexpr int upperRowTop = 25;
constexpr int lowerRowTop = 61;
constexpr int rowHeight = 35;
constexpr int dividerY = 60;
constexpr int headerBaseline = 19;
constexpr double headerCapHeight = 11;
constexpr double laneLetterHeight = 14;

void drawLogoTile(QPainter& painter)
{
    const QRectF tile(6, 4, 153, 96);
    QLinearGradient gradient(tile.topLeft(), tile.bottomRight());
    gradient.setColorAt(0, palette::tileUpperLeft);
    gradient.setColorAt(1, palette::tileLowerRight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(tile, 4, 4);

    // The brand keeps to rows 18 to 64: the mark at the top, the name's lowest ink (the
    // tail of its Q) on row 64, the name's baseline on a whole row.
    painter.setBrush(palette::white);
    const QPainterPath mark = QTransform::fromScale(0.85, 0.85).map(quorvelMark());
    painter.drawPath(centredIn(mark, QRectF(6, 18, 153, mark.boundingRect().height())));
    const QPainterPath name = lettering(QStringLiteral("QUORVEL"), 12, 2.5);
    painter.drawPath(centredOnColumn(name, 82, int(std::floor(65 - name.boundingRect().bottom()))));

    // A hairline parts the brand from the clock drawn beneath it.
    QColor hairline = palette::white;
    hairline.setAlphaF(0.3);
    painter.fillRect(QRect(28, 70, 109, 1), hairline);
}

void drawColumnHeaders(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::white);
    for (const Header& header : headers) {
        const QPainterPath caption = lettering(QString::fromUtf16(header.caption), headerCapHeight, 0.5);
        painter.drawPath(centredOnColumn(caption, header.centreX, headerBaseline));
    }
}

// Each cell is shaded left to right, column by column, so the shading ends exactly on the
// cell's edges; a darker last column parts it from its right neighbour.
void drawBlock(QPainter& painter, std::span<const Cell> block, int top)
{
    for (const Cell& cell : block) {
        const bool lastOfBlock = &cell == &block.back();
        const int width = cell.right - cell.left;
        for (int x = cell.left; x <= cell.right; ++x) {
            const QColor colour = x == cell.right && !lastOfBlock
                ? palette::cellSeparator
                : mix(palette::cellLeft, palette::cellRight, double(x - cell.left) / width);
            painter.fillRect(QRect(x, top, 1, rowHeight), colour);
        }
    }
}

void drawDivider(QPainter& painter, std::span<const Cell> block)
{
    const int left = block.front().left;
    painter.fillRect(QRect(left, dividerY, block.back().right - left + 1, 1), palette::rowDivider);
}

void drawLaneLetter(QPainter& painter, const QString& letter, int rowTop)
{
    const Cell& cell = leftBlock[0];
    const QRectF box(cell.left, rowTop, cell.right - cell.left + 1, rowHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::white);
    painter.drawPath(centredIn(lettering(letter, laneLetterHeight), box));
}

void drawRows(QPainter& painter)
{
    for (std::span<const Cell> block : {std::span<const Cell>(leftBlock), std::span<const Cell>(rightBlock)}) {
        drawBlock(painter, block, upperRowTop);
        drawBlock(painter, block, lowerRowTop);
        drawDivider(painter, block);
    }
    drawLaneLetter(painter, QStringLiteral("E"), upperRowTop);
    drawLaneLetter(painter, QStringLiteral("D"), lowerRowTop);
}

} // namespace

QImage drawStripBackground()
{
    QImage image(1632, 104, QImage::Format_RGB32);
    image.fill(palette::ground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawLogoTile(painter);
    drawColumnHeaders(painter);
    drawRows(painter);
    return image;
}

} // namespace quorvel::picturegen
