#pragma once

#include "feed/feedsettings.h"
#include "feed/statedocument.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocketServer>

#include <functional>
#include <vector>

class QTcpSocket;
class QWebSocket;

namespace quorvel::feed {

struct RequestHead;

// The read-only feed: what the overlay shows, over HTTP and WebSocket, to browser sources
// and remote eyes. It reads the screen model and draws with its own renderer; nothing a
// client sends reaches the model. Everything runs on the main thread, so every client has
// bounds (request size, time, queued bytes) and is dropped at them: the air never waits.
class FeedServer : public QObject, private overlay::ScreenObserver {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 32;
    static constexpr qint64 kMaxClientFrameBytes = 4096;
    static constexpr qint64 kMaxQueuedBytes = 4 * 1024 * 1024;
    static constexpr int kRequestTimeoutMs = 10000;
    static constexpr int kResponseTimeoutMs = 30000;

    explicit FeedServer(overlay::Screen& screen, QObject* parent = nullptr);
    ~FeedServer() override;

    // False, with errorString(), when the address cannot be listened on.
    bool listen(const FeedSettings& settings);
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }
    // Open connections: requests being read or answered, and WebSockets.
    int clientCount();

    // Where the links' state is read, each time the state document is made; without one
    // both links are down.
    void setStatusSource(std::function<LinkStatus()> source) { m_status = std::move(source); }
    // The program says the links' state changed: it goes out as a patch, after the
    // overlay's own changes of the same turn.
    void statusChanged();
    // Where the race's side of the lanes and the board is read, with the links' state.
    void setRaceSource(std::function<RaceState()> source) { m_race = std::move(source); }

private:
    void elementChanged(overlay::El e, const QRect& before) override;
    void clientHeightChanged(int height) override;

    void acceptConnections();
    void readRequest(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const RequestHead& head);
    void reply(QTcpSocket* socket, const char* status, const char* type = nullptr, const QByteArray& body = {},
               const char* extraHeaders = "");
    void upgrade(QTcpSocket* socket);
    void acceptWebSockets();
    void send(QWebSocket* client, const QByteArray& message, bool binary);

    void changed();
    void flush();
    QByteArray pictureMessage(const QRect& area);
    QRect clientRect() const;
    QJsonObject state() const;

    overlay::Screen& m_screen;
    overlay::Renderer m_renderer;
    FeedSettings m_settings;
    QTcpServer m_server;
    QWebSocketServer m_webSockets;
    std::vector<QPointer<QTcpSocket>> m_connections;
    std::vector<QPointer<QTcpSocket>> m_refused; // over the limit: read, then told so
    std::vector<QWebSocket*> m_events;  // /events: merge patches of the state
    std::vector<QWebSocket*> m_program; // /program: changed rectangles as PNG
    QJsonObject m_sent;                 // the state the /events clients have
    bool m_stateChanged = false;
    QRegion m_dirty;
    QByteArray m_wholePicture; // the last whole picture sent, while nothing on it changed
    QTimer m_flush;
    std::function<LinkStatus()> m_status;
    std::function<RaceState()> m_race;
};

} // namespace quorvel::feed
