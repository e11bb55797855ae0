#pragma once

#include "overlay/screen.h"

#include <QFont>
#include <QFontMetricsF>

namespace quorvel::overlay {

// A FontSpec turned into the font actually drawn, with the measures label layout needs.
struct ResolvedFont {
    QFont font;
    QFontMetricsF metrics;
    int ascent = 0; // baseline below the top of a line
    int lineHeight = 0; // ascent + descent: the height of one line
    qreal tabWidth = 0; // tab stops every 8 average character widths
};

// The font for a spec, made once and kept. "Futura Md BT" is asked for first; without it
// League Spartan stands in (its Medium weight for regular text, Bold for bold) with the
// widths of its own glyphs and the line and baseline of the face it replaces; "Verdana"
// becomes DejaVu Sans.
const ResolvedFont& resolvedFont(const FontSpec& spec);

// The window's own font, used by memos, list boxes and check boxes.
const ResolvedFont& windowFont();

} // namespace quorvel::overlay
