#include "overlay/widgetpainting.h"

#include "base/cp1252.h"
#include "overlay/layout.h"

#include <QTextLayout>

namespace quorvel::overlay {
namespace {

constexpr int kMemoPadding = 2;
// A memo shows a few hundred characters at most; laying out more of a long line is waste.
constexpr qsizetype kLongestLineLaidOut = 4096;

QRect memoTextArea(const QRect& inside)
{
    return inside.adjusted(kMemoPadding, 1, -kMemoPadding, -1);
}

QList<QTextLine> wrapped(QTextLayout& layout, int width)
{
    QList<QTextLine> rows;
    layout.beginLayout();
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
        row.setLineWidth(width);
        rows.append(row);
    }
    layout.endLayout();
    return rows;
}

} // namespace

QRect paintSunkenBox(QPainter& painter, const QRect& box)
{
    const QRect r = box.adjusted(0, 0, -1, -1);
    painter.fillRect(box, QColor::fromRgb(kWindowColour));
    painter.setPen(QColor(160, 160, 160));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(QColor(105, 105, 105));
    painter.drawLine(r.topLeft() + QPoint(1, 1), r.topRight() + QPoint(-1, 1));
    painter.drawLine(r.topLeft() + QPoint(1, 1), r.bottomLeft() + QPoint(1, -1));
    painter.setPen(QColor(227, 227, 227));
    painter.drawLine(r.bottomLeft() + QPoint(1, -1), r.bottomRight() + QPoint(-1, -1));
    painter.drawLine(r.topRight() + QPoint(-1, 1), r.bottomRight() + QPoint(-1, -1));
    return box.adjusted(2, 2, -2, -2);
}

int memoRowCapacity(const QRect& inside, const ResolvedFont& font)
{
    // the rows that fit whole, and a cut one above them once the memo has scrolled
    return memoTextArea(inside).height() / std::max(1, font.lineHeight) + 1;
}

void paintMemoText(QPainter& painter, const QRect& inside, const TextList& lines, const ResolvedFont& font,
                   const MemoSelection* selection, MemoRows* drawn)
{
    const QRect area = memoTextArea(inside);
    const int capacity = memoRowCapacity(inside, font);

    // wrap from the last line backwards until the area is full
    MemoRows local;
    MemoRows& out = drawn ? *drawn : local;
    out = MemoRows{};
    out.left = area.left();
    out.lineHeight = std::max(1, font.lineHeight);
    out.cuts.assign(size_t(lines.size()), 0);
    QList<MemoRows::Row> rows;
    for (qsizetype n = lines.size() - 1; n >= 0 && rows.size() < capacity; --n) {
        const Text& bytes = lines[n];
        const Text shown = bytes.size() > kLongestLineLaidOut ? bytes.right(kLongestLineLaidOut) : bytes;
        out.cuts[size_t(n)] = bytes.size() - shown.size();
        auto layout = std::make_unique<QTextLayout>(fromCp1252(shown), font.font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(option);
        QList<MemoRows::Row> lineRows;
        for (const QTextLine& row : wrapped(*layout, area.width()))
            lineRows.append({n, row, 0});
        rows = lineRows + rows;
        out.layouts.push_back(std::move(layout));
    }
    const qsizetype wholeRows = capacity - 1;
    const qsizetype first = std::max<qsizetype>(0, rows.size() - capacity);
    int y = area.top();
    if (rows.size() > wholeRows) // scrolled to the end: the last row sits at the bottom
        y = area.bottom() + 1 - int(rows.size() - first) * font.lineHeight;
    painter.save();
    painter.setClipRect(inside, Qt::IntersectClip);
    painter.setPen(QColor::fromRgb(kWindowText));
    for (qsizetype i = first; i < rows.size(); ++i, y += font.lineHeight) {
        MemoRows::Row& row = rows[i];
        row.y = y;
        const QPointF at(area.left(), y - row.text.y());
        row.text.draw(&painter, at);
        out.rows.append(row);
        if (!selection || row.line < selection->fromLine || row.line > selection->toLine)
            continue;
        // the selected part of this row, and the line's end when the selection goes on past it
        const qsizetype rowStart = row.text.textStart();
        const qsizetype rowEnd = rowStart + row.text.textLength();
        const qsizetype from = std::max(rowStart, row.line == selection->fromLine ? selection->fromChar : 0);
        const qsizetype to = std::min(rowEnd, row.line == selection->toLine ? selection->toChar : rowEnd);
        const bool pastEnd =
            row.line < selection->toLine && rowEnd == lines[row.line].size() - out.cuts[size_t(row.line)];
        if (from >= to && !pastEnd)
            continue;
        const qreal x1 = row.text.cursorToX(int(std::min(from, to)));
        const qreal x2 = row.text.cursorToX(int(std::max(from, to))) + (pastEnd ? font.metrics.averageCharWidth() : 0);
        const QRectF band(area.left() + x1, y, x2 - x1, font.lineHeight);
        painter.fillRect(band, QColor(0, 120, 215));
        painter.save();
        painter.setClipRect(band, Qt::IntersectClip);
        painter.setPen(QColor(255, 255, 255));
        row.text.draw(&painter, at);
        painter.restore();
    }
    painter.restore();
}

void paintMemo(QPainter& painter, const QRect& box, const Screen& screen, El memo)
{
    const ResolvedFont& font = resolvedFont(screen.element(memo).font);
    const QRect inside = paintSunkenBox(painter, box);
    paintMemoText(painter, inside, screen.lastLines(memo, memoRowCapacity(inside, font)), font);
}

void paintListBox(QPainter& painter, const QRect& box, const TextList& items)
{
    const ResolvedFont& font = windowFont();
    const QRect inside = paintSunkenBox(painter, box);
    painter.save();
    painter.setClipRect(inside, Qt::IntersectClip);
    painter.setFont(font.font);
    painter.setPen(QColor::fromRgb(kWindowText));
    int y = inside.top();
    for (qsizetype i = 0; i < items.size() && y < inside.bottom(); ++i, y += kListItemHeight)
        painter.drawText(QRect(inside.left() + 2, y, inside.width() - 2, kListItemHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, fromCp1252(items[i]));
    painter.restore();
}

void paintCheckBox(QPainter& painter, const QRect& box, const Text& caption, bool checked)
{
    const ResolvedFont& font = windowFont();
    const QRect tick(box.left(), box.top() + (box.height() - 13) / 2, 13, 13);
    paintSunkenBox(painter, tick);
    if (checked) {
        painter.setPen(QPen(QColor::fromRgb(kWindowText), 2));
        painter.drawLine(tick.left() + 3, tick.top() + 6, tick.left() + 5, tick.top() + 9);
        painter.drawLine(tick.left() + 5, tick.top() + 9, tick.left() + 10, tick.top() + 3);
    }
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.setFont(font.font);
    painter.setPen(QColor::fromRgb(kWindowText));
    painter.drawText(QRect(tick.right() + 5, box.top(), box.width() - 18, box.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, fromCp1252(caption));
    painter.restore();
}

} // namespace quorvel::overlay
