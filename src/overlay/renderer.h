#pragma once

#include "base/config.h"
#include "overlay/labellayout.h"
#include "overlay/layout.h"
#include "overlay/screen.h"

#include <QCache>
#include <QImage>
#include <QPainter>

#include <array>

namespace quorvel::overlay {

// The one painter of the overlay: draws the model into any QPainter, so the live window
// and pictures rendered offscreen come from the same code. Keeps what is costly to make
// again: each label's layout until its text, box, font or alignment changes, and pictures
// scaled and keyed in a cache bounded in size (kPreparedPicturesKB), the least recently
// drawn going first.
class Renderer {
public:
    // The window's client area, in window coordinates, clipped to `area`: magenta, then
    // the panels with their children. Memos, lists and check boxes are drawn in a simple
    // form here; the live window shows real widgets instead.
    void paintWindow(QPainter& painter, const Screen& screen, const QRect& area);

    // One panel in its own coordinates (its top-left corner at 0, 0), clipped to `area`:
    // its fill, then its labels, pictures and shapes in creation order; with `windowed`,
    // then its panels, memos, lists and check boxes over them.
    void paintPanel(QPainter& painter, const Screen& screen, El panel, const QRect& area, bool windowed);

    // The graphics of the client area alone within `area` (window coordinates), as every
    // view that keys them takes them: without the operator's widgets, and with `keyColour`
    // wherever the window shows magenta (its background, magenta panels and shapes, and
    // the magenta pixels of pictures, which the mixer would key out of the window too).
    // An opaque key colour gives an opaque picture. A key colour with no alpha
    // (kTransparentKey) gives a picture with alpha (premultiplied): text and pictures are
    // then blended with nothing, so the soft edges of letters are partly transparent
    // instead of partly magenta.
    QImage renderGraphics(const Screen& screen, const QRect& area, QRgb keyColour);

private:
    // What one painting draws: the windowed children too, or the graphics alone; and what
    // takes the place of the window's magenta.
    struct Pass {
        bool windowed = true;
        bool graphicsOnly = false;
        QRgb magentaAs = kMagenta;
    };

    void fillArea(QPainter& painter, const QRect& area, QRgb colour, const Pass& pass) const;
    void paintPanelWith(QPainter& painter, const Screen& screen, El panel, const QRect& area, const Pass& pass);
    void paintChild(QPainter& painter, const Screen& screen, const Element& child, const QRect& clip, const Pass& pass);
    void paintLabel(QPainter& painter, const Element& label, const QRect& clip);
    void paintPicture(QPainter& painter, const Element& picture, const QRect& clip);
    const LabelLayout& labelLayout(const Element& label);
    const QImage& preparedPicture(const QImage& picture, QSize drawn, bool transparent);

    struct CachedLayout {
        Text text;
        QRect box;
        FontSpec font;
        Alignment alignment = Alignment::Left;
        bool valid = false;
        LabelLayout layout;
    };
    std::array<CachedLayout, kElementCount> m_layouts;

    // A picture as drawn: its source, the size it is drawn at, whether keyed.
    struct PictureKey {
        qint64 source = 0;
        QSize drawn;
        bool transparent = false;
        friend bool operator==(const PictureKey&, const PictureKey&) = default;
        friend size_t qHash(const PictureKey& k, size_t seed = 0)
        {
            return qHashMulti(seed, k.source, k.drawn.width(), k.drawn.height(), k.transparent);
        }
    };
    // Twin lamps share one picture and so one prepared copy; photos replaced over a long
    // run must not pile up, so the least recently drawn go first past the budget (in KB).
    QCache<PictureKey, QImage> m_pictures{kPreparedPicturesKB};
    QImage m_uncached; // a prepared picture larger than the whole budget, drawn once
};

// renderGraphics' key colour for a picture with alpha: transparent where the window is magenta.
inline constexpr QRgb kTransparentKey = 0x00000000;

// The window's client area rendered into a new image (`area` in window coordinates).
QImage renderScreen(const Screen& screen, const QRect& area);

// Measures label texts with the fonts the renderer draws with; what the Screen uses to
// size its auto-size labels.
TextMeasure rendererTextMeasure();

} // namespace quorvel::overlay
