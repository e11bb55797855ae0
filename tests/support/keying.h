#pragma once

#include "imagecompare.h"

#include <QImage>
#include <QRegion>

// How a browser source's picture (with alpha) stands against the window it comes from: it
// must be the window's pixels where the window shows graphics, within 3 units a channel,
// and transparent where the window is magenta or shows one of the operator's widgets.
// Where graphics meet the key colour (the soft edges of letters) it is partly transparent:
// there the window's pixel must be the same colour blended with magenta, within the same
// tolerance, by how much Qt's gamma-corrected text blending on the window decides.
// How far a channel of the page may stand from the window's (or from the blend of its
// colour over magenta): the gamma of Qt's text blending on the window rounds it that far.
inline constexpr int kKeyingChannel = 3;

struct Keying {
    int opaque = 0; // graphics, the same as the window's
    int partial = 0; // of them and of the transparent ones, partly transparent
    int transparent = 0; // transparent where the window is magenta (or at a letter's faintest edge)
    int widget = 0; // transparent where a widget may lie and the window is not magenta
    int wrong = 0; // any other pixel
};

enum class KeyedPixel { Opaque, Partial, Transparent, Widget, Wrong };

// One pixel of the page against the window's pixel; `inWidget`: a widget may lie there.
KeyedPixel keyedPixel(QRgb page, QRgb window, bool inWidget);

// `window` is opaque, magenta where the mixer keys; `widgets` the boxes, in window
// coordinates, where the operator's widgets may lie: there the page may be transparent
// over whatever the window shows (a hidden widget's box shows the graphics below it, and
// the page may show them too). A page larger than the window must be transparent beyond
// it; one smaller is wrong everywhere.
Keying compareKeyed(const QImage& page, const QImage& window, const QRegion& widgets = {});
