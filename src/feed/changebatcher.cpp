#include "feed/changebatcher.h"

#include "feed/connections.h"
#include "feed/pngpictures.h"
#include "feed/statedocument.h"
#include "overlay/screen.h"

#include <QJsonDocument>
#include <QWebSocket>
#include <QtEndian>

#include <cstring>

namespace quorvel::feed {

QByteArray programMessage(overlay::Renderer& renderer, const overlay::Screen& screen, const QRect& area)
{
    QByteArray message(8, Qt::Uninitialized);
    qToBigEndian<quint16>(quint16(area.x()), message.data());
    qToBigEndian<quint16>(quint16(area.y()), message.data() + 2);
    qToBigEndian<quint16>(quint16(screen.clientWidth()), message.data() + 4);
    qToBigEndian<quint16>(quint16(screen.clientHeight()), message.data() + 6);
    const QImage picture = programPicture(renderer, screen, area);
    // A changed time's box goes out on every change while the air waits, and is small: its
    // pixels as they are cost the page nothing to read. A large picture (a newcomer's whole
    // picture, a change over much of the window) is mostly flat colour, which deflate makes
    // some 50 times smaller.
    constexpr qint64 kLargePixels = 256 * 128;
    if (qint64(area.width()) * area.height() > kLargePixels)
        return message + pngBytes(picture);
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    const qsizetype rowBytes = qsizetype(rgba.width()) * 4;
    message.resize(12 + rowBytes * rgba.height());
    qToBigEndian<quint16>(quint16(rgba.width()), message.data() + 8);
    qToBigEndian<quint16>(quint16(rgba.height()), message.data() + 10);
    for (int y = 0; y < rgba.height(); ++y)
        std::memcpy(message.data() + 12 + y * rowBytes, rgba.constScanLine(y), size_t(rowBytes));
    return message;
}

ChangeBatcher::ChangeBatcher(overlay::Renderer& renderer, const overlay::Screen& screen,
                             std::function<QJsonObject()> state, QObject* parent)
    : QObject(parent)
    , m_renderer(renderer)
    , m_screen(screen)
    , m_state(std::move(state))
{
    m_flush.setSingleShot(true);
    m_flush.setInterval(0);
    connect(&m_flush, &QTimer::timeout, this, &ChangeBatcher::flush);
}

void ChangeBatcher::addClient(QWebSocket* client)
{
    // Send what is pending to the others first, so that the newcomer's first message
    // and everyone's next patch start from the same state.
    flush();
    if (client->requestUrl().path() == QLatin1String("/events")) {
        m_sent = m_state();
        m_events.push_back(client);
        Connections::send(client, QJsonDocument(m_sent).toJson(QJsonDocument::Compact), false);
    } else {
        m_program.push_back(client);
        // Browser sources tend to come back together (a streaming tool restarted): the
        // whole picture is made once for all of them.
        if (m_wholePicture.isEmpty())
            m_wholePicture = programMessage(m_renderer, m_screen, clientRect());
        Connections::send(client, m_wholePicture, true);
    }
}

void ChangeBatcher::removeClient(QWebSocket* client)
{
    std::erase(m_events, client);
    std::erase(m_program, client);
}

QRect ChangeBatcher::clientRect() const
{
    return QRect(0, 0, m_screen.clientWidth(), m_screen.clientHeight());
}

void ChangeBatcher::elementChanged(overlay::El e, const QRect& before, bool operatorOnly)
{
    if (!operatorOnly)
        m_wholePicture.clear();
    if (m_events.empty() && m_program.empty())
        return;
    m_stateChanged = true;
    if (!m_program.empty() && !operatorOnly) {
        const QRect now = m_screen.windowRect(e);
        const QRect then(now.topLeft() - m_screen.element(e).box.topLeft() + before.topLeft(), before.size());
        m_dirty += (now | then) & clientRect();
    }
    scheduleFlush();
}

void ChangeBatcher::stateChanged()
{
    if (m_events.empty())
        return;
    m_stateChanged = true;
    scheduleFlush();
}

void ChangeBatcher::clientHeightChanged()
{
    m_wholePicture.clear();
    m_stateChanged = true;
    // the canvas takes the new size, which clears it
    m_dirty = clientRect();
    scheduleFlush();
}

void ChangeBatcher::scheduleFlush()
{
    // Changes made together go out together, after the overlay has made them all.
    if (!m_flush.isActive())
        m_flush.start();
}

void ChangeBatcher::flush()
{
    m_flush.stop();
    if (m_stateChanged && !m_events.empty()) {
        QJsonObject now = m_state();
        const QJsonObject patch = mergePatch(m_sent, now);
        m_sent = std::move(now);
        if (!patch.isEmpty()) {
            const QByteArray message = QJsonDocument(patch).toJson(QJsonDocument::Compact);
            for (QWebSocket* client : std::vector<QWebSocket*>(m_events))
                Connections::send(client, message, false);
        }
    }
    m_stateChanged = false;

    const QRegion dirty = std::exchange(m_dirty, QRegion()) & clientRect();
    if (dirty.isEmpty() || m_program.empty())
        return;
    // Many small rectangles cost the page more, a message each, than the one around them.
    std::vector<QRect> areas;
    if (dirty.rectCount() > 8)
        areas.push_back(dirty.boundingRect());
    else
        areas.assign(dirty.begin(), dirty.end());
    for (const QRect& area : areas) {
        const QByteArray message = programMessage(m_renderer, m_screen, area);
        for (QWebSocket* client : std::vector<QWebSocket*>(m_program))
            Connections::send(client, message, true);
    }
}

} // namespace quorvel::feed
