#pragma once

#include "overlay/fonts.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace quorvel::overlay {

// A label's text laid out in its font: the pieces to draw, each at its baseline origin,
// and the underlines that ampersands asked for.
struct LabelLayout {
    struct Run {
        QPointF origin; // on the baseline
        QString text;
    };
    QList<Run> runs;
    QList<QRectF> underlines;
    QSize extent; // the widest line by the lines' height, as auto-size takes it
};

// Lays a label's text out in `box`: lines broken at CR LF, CR or LF, never wrapped; each
// line aligned in the box's width; the first line at the box's top; "&x" draws x
// underlined and "&&" one ampersand; tabs advance to the next tab stop. Nothing is cut
// here: the painter clips to the box, so a centred text too wide loses both ends.
LabelLayout layoutLabel(const Text& text, const ResolvedFont& font, const QRect& box, Alignment alignment);

// The extent of the text as an auto-size label takes it.
QSize measureLabel(const Text& text, const ResolvedFont& font);

} // namespace quorvel::overlay
