#pragma once

#include "overlay/layout.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QRect>
#include <QRegion>
#include <QTimer>

#include <functional>
#include <vector>

class QWebSocket;

namespace quorvel::overlay {
class Renderer;
class Screen;
} // namespace quorvel::overlay

namespace quorvel::feed {

// A /program message: the graphics within `area` after an 8-byte head (x, y, the client
// area's width and height, 16-bit big-endian). A small area follows as its width and height
// (16-bit big-endian) and its pixels, 8-bit RGBA not premultiplied, as a canvas takes them;
// a large one as a PNG with alpha.
QByteArray programMessage(overlay::Renderer& renderer, const overlay::Screen& screen, const QRect& area);

// The WebSocket clients' side of the changes: what changed in one turn of the event loop
// is gathered, then sent once the turn is over, to /events as one merge patch of the
// state and to /program as the changed rectangles of the picture. A newcomer gets the
// whole state or the whole picture first.
class ChangeBatcher : public QObject {
    Q_OBJECT
public:
    ChangeBatcher(overlay::Renderer& renderer, const overlay::Screen& screen, std::function<QJsonObject()> state,
                  QObject* parent = nullptr);

    // A client of /events or /program, by the path it asked for.
    void addClient(QWebSocket* client);
    void removeClient(QWebSocket* client);

    // The element `e` changed, its box having been `before`; `operatorOnly` when it is one
    // of the operator's widgets, which the program picture leaves out.
    void elementChanged(overlay::El e, const QRect& before, bool operatorOnly);
    void clientHeightChanged();
    // What the state document reads besides the screen changed.
    void stateChanged();

private:
    void scheduleFlush();
    void flush();
    QRect clientRect() const;

    overlay::Renderer& m_renderer;
    const overlay::Screen& m_screen;
    std::function<QJsonObject()> m_state;
    std::vector<QWebSocket*> m_events; // /events: merge patches of the state
    std::vector<QWebSocket*> m_program; // /program: changed rectangles of the picture
    QJsonObject m_sent; // the state the /events clients have
    bool m_stateChanged = false;
    QRegion m_dirty;
    QByteArray m_wholePicture; // the last whole picture sent, while nothing on it changed
    QTimer m_flush;
};

} // namespace quorvel::feed
