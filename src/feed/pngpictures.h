#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>

namespace quorvel::overlay {
class Renderer;
class Screen;
} // namespace quorvel::overlay

namespace quorvel::feed {

// The graphics of the client area within `area` (window coordinates) as a browser source
// takes them: the renderer's own pixels, premultiplied, transparent where the window shows
// magenta, and partly transparent at the soft edges of what is drawn over it.
QImage programPicture(overlay::Renderer& renderer, const overlay::Screen& screen, const QRect& area);

// The client area as the operator sees it, widgets included.
QImage windowPicture(overlay::Renderer& renderer, const overlay::Screen& screen);

QByteArray pngBytes(const QImage& image);

} // namespace quorvel::feed
