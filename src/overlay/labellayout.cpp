#include "overlay/labellayout.h"

#include "base/cp1252.h"

#include <cmath>

namespace quorvel::overlay {
namespace {

// One line with its ampersands resolved: the characters drawn and which are underlined.
struct Line {
    QString shown;
    QList<qsizetype> underlined;
};

Line resolveAmpersands(QStringView line)
{
    Line out;
    out.shown.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != u'&') {
            out.shown.append(line[i]);
            continue;
        }
        ++i;
        if (i >= line.size())
            break; // a trailing ampersand draws nothing
        if (line[i] != u'&' && line[i] != u'\t')
            out.underlined.append(out.shown.size());
        out.shown.append(line[i]);
    }
    return out;
}

QList<Line> splitLines(const QString& text)
{
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines.append(resolveAmpersands(QStringView(text).mid(start, i - start)));
        if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

// Where each character of the line starts, tabs expanded; the last entry is the width.
QList<qreal> characterPositions(const QString& shown, const ResolvedFont& font)
{
    QList<qreal> positions;
    positions.reserve(shown.size() + 1);
    qreal x = 0;
    qsizetype segmentStart = 0;
    qreal segmentX = 0;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        positions.append(x);
        if (shown[i] == u'\t') {
            x = (std::floor(x / font.tabWidth) + 1) * font.tabWidth;
            segmentStart = i + 1;
            segmentX = x;
        } else {
            x = segmentX +
                font.metrics.horizontalAdvance(QStringView(shown).mid(segmentStart, i + 1 - segmentStart).toString());
        }
    }
    positions.append(x);
    return positions;
}

qreal lineWidth(const QString& shown, const ResolvedFont& font)
{
    if (!shown.contains(u'\t'))
        return font.metrics.horizontalAdvance(shown);
    return characterPositions(shown, font).last();
}

int alignedLeft(const QRect& box, int width, Alignment alignment)
{
    switch (alignment) {
    case Alignment::Center: return box.left() + (box.width() - width) / 2;
    case Alignment::RightJustify: return box.left() + box.width() - width;
    default: return box.left();
    }
}

} // namespace

LabelLayout layoutLabel(const Text& text, const ResolvedFont& font, const QRect& box, Alignment alignment)
{
    LabelLayout layout;
    const QList<Line> lines = splitLines(fromCp1252(text));
    int widest = 0;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const Line& line = lines[n];
        const bool plain = !line.shown.contains(u'\t') && line.underlined.isEmpty();
        const QList<qreal> positions = plain ? QList<qreal>{} : characterPositions(line.shown, font);
        const int width = int(std::ceil(plain ? lineWidth(line.shown, font) : positions.last()));
        widest = std::max(widest, width);
        const qreal left = alignedLeft(box, width, alignment);
        const qreal baseline = box.top() + font.ascent + n * font.lineHeight;

        if (plain) {
            if (!line.shown.isEmpty())
                layout.runs.append({QPointF(left, baseline), line.shown});
        } else {
            // each tab-separated piece is drawn at its own stop
            qsizetype start = 0;
            for (qsizetype i = 0; i <= line.shown.size(); ++i) {
                if (i < line.shown.size() && line.shown[i] != u'\t')
                    continue;
                if (i > start)
                    layout.runs.append({QPointF(left + positions[start], baseline), line.shown.mid(start, i - start)});
                start = i + 1;
            }
        }
        for (qsizetype i : line.underlined) {
            const qreal thickness = std::max<qreal>(1, font.metrics.lineWidth());
            layout.underlines.append(QRectF(left + positions[i], baseline + font.metrics.underlinePos(),
                                            positions[i + 1] - positions[i], thickness));
        }
    }
    layout.extent = QSize(widest, int(lines.size()) * font.lineHeight);
    return layout;
}

QSize measureLabel(const Text& text, const ResolvedFont& font)
{
    return layoutLabel(text, font, QRect(), Alignment::Left).extent;
}

} // namespace quorvel::overlay
