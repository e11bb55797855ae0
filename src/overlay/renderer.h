#pragma once

#include "base/config.h"
#include "overlay/labellayout.h"
#include "overlay/screen.h"

#include <QCache>
#include <QImage>
#include <QPainter>

#include <array>

namespace quorvel::overlay {

// The one painter of the overlay: draws the model into any QPainter, so the live window
// and pictures rendered offscreen come from the same code. Keeps what is costly to make
// again (label layouts, pictures scaled and keyed) until the element changes.
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

    // The graphics of the client area alone, in window coordinates, clipped to `area`: what
    // the mixer keys, without the windowed widgets, and with `keyColour` wherever the window
    // fills with magenta (its background, magenta panels and shapes). A key colour with no
    // alpha (kTransparentKey) leaves those places transparent, on a device with alpha: text
    // and pictures are then blended with nothing, so the soft edges of letters are partly
    // transparent instead of partly magenta.
    void paintGraphics(QPainter& painter, const Screen& screen, const QRect& area, QRgb keyColour);

private:
    QColor fill(QRgb colour) const;
    void fillArea(QPainter& painter, const QRect& area, QRgb colour) const;

    void paintChild(QPainter& painter, const Screen& screen, const Element& child, const QRect& clip, bool windowed);
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
    // the window's own magenta, and every widget drawn, but while painting graphics alone
    QRgb m_keyColour = qRgb(255, 0, 255);
    bool m_graphicsOnly = false;
};

// paintGraphics' key colour for a picture with alpha: transparent where the window is magenta.
inline constexpr QRgb kTransparentKey = 0x00000000;

// The window's client area rendered into a new image (`area` in window coordinates).
QImage renderScreen(const Screen& screen, const QRect& area);

// Measures label texts with the fonts the renderer draws with; what the Screen uses to
// size its auto-size labels.
TextMeasure rendererTextMeasure();

} // namespace quorvel::overlay
