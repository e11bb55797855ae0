#include "boardbackground.h"

#include "lettering.h"
#include "mix.h"
#include "palette.h"
#include "qrcode.h"

#include <QPainter>

#include <array>

namespace quorvel::picturegen {

namespace {

// The board with its soft edge: the outermost ring of pixels is half board, half magenta.
const QRect board(7, 11, 275, 381);
const QRect header(7, 11, 275, 60);
const QRect codeSquare(191, 14, 88, 87);
const QRect gap(7, 71, 184, 7);
const QRect categoryBar(7, 78, 275, 26);

constexpr std::array<int, 11> rowTops{104, 133, 162, 191, 219, 248, 277, 305, 334, 363, 392};

// Columns of a row, left to right.
const QRect positionCell(7, 0, 25, 0);
const QRect positionBar(32, 0, 4, 0);
const QRect timeSeparator(213, 0, 5, 0);

constexpr int qrModulePixels = 3;

QRect rowSpan(const QRect& columns, int top, int height)
{
    return QRect(columns.left(), top, columns.width(), height);
}

void drawTreeSign(QPainter& painter)
{
    painter.setPen(QPen(palette::white, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(16, 18, 18, 48), 6, 6);
    painter.setPen(Qt::NoPen);
    const QColor dots[] = {palette::treeAmber, palette::treeGreen, palette::treeRed};
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(dots[i]);
        painter.drawEllipse(QPointF(25, 28 + 14 * i), 5, 5);
    }
}

void drawHeader(QPainter& painter)
{
    painter.fillRect(header, palette::boardBlue);
    drawTreeSign(painter);
    painter.setBrush(palette::white);
    const QPainterPath brand = lettering(QStringLiteral("QUORVEL"), 19, 1);
    painter.drawPath(brand.translated(43 - brand.boundingRect().left(), 46));
    const QPainterPath subtitle = lettering(QStringLiteral("CLASSIFICAÇÃO"), 7, 1.6);
    painter.drawPath(subtitle.translated(44 - subtitle.boundingRect().left(), 60));
}

void drawCode(QPainter& painter)
{
    painter.fillRect(codeSquare, palette::white);
    const QImage modules = qrModules("QUORVEL");
    const int side = modules.width() * qrModulePixels;
    const QPoint origin =
        codeSquare.topLeft() + QPoint((codeSquare.width() - side) / 2, (codeSquare.height() - side) / 2);
    for (int y = 0; y < modules.height(); ++y)
        for (int x = 0; x < modules.width(); ++x)
            if (modules.pixel(x, y) == qRgb(0, 0, 0))
                painter.fillRect(QRect(origin + QPoint(x, y) * qrModulePixels, QSize(qrModulePixels, qrModulePixels)),
                                 palette::black);
}

void drawRow(QPainter& painter, int number, int top, int height)
{
    const int inner = height - 1; // the last line closes the row
    painter.fillRect(QRect(board.left(), top, board.width(), inner),
                     number % 2 ? palette::boardOddRow : palette::boardEvenRow);
    for (int y = 0; y < inner; ++y)
        painter.fillRect(rowSpan(positionCell, top + y, 1),
                         mix(palette::positionCellTop, palette::positionCellBottom, double(y) / (inner - 1)));
    painter.fillRect(rowSpan(positionBar, top, inner), palette::positionBar);
    painter.fillRect(rowSpan(timeSeparator, top, inner), palette::timeSeparator);
    painter.fillRect(QRect(board.left(), top + inner, board.width(), 1), palette::boardRowLine);

    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::white);
    const QRectF numberBox(8, top, 24, inner);
    painter.drawPath(centredIn(lettering(QString::number(number), 11), numberBox));
}

// Blends the board's outermost ring half into the magenta around it, its corners a quarter.
void softenEdge(QImage& image)
{
    for (int y = board.top(); y <= board.bottom(); ++y)
        for (int x = board.left(); x <= board.right(); ++x) {
            const int edges = (x == board.left() || x == board.right()) + (y == board.top() || y == board.bottom());
            if (edges == 0)
                continue;
            const double share = edges == 1 ? 0.5 : 0.25;
            image.setPixelColor(x, y, mix(palette::magenta, image.pixelColor(x, y), share));
        }
}

} // namespace

QImage drawBoardBackground()
{
    QImage image(1320, 600, QImage::Format_RGB32);
    image.fill(palette::magenta);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        drawHeader(painter);
        painter.fillRect(categoryBar, palette::boardBlue);
        // Right of the code square the header's blue runs on down to the category bar.
        painter.fillRect(QRect(codeSquare.right() + 1, gap.top(), board.right() - codeSquare.right(), gap.height()),
                         palette::boardBlue);
        drawCode(painter);
        for (int row = 0; row < 10; ++row)
            drawRow(painter, row + 1, rowTops[row], rowTops[row + 1] - rowTops[row]);
    }
    softenEdge(image);
    return image;
}

} // namespace quorvel::picturegen
