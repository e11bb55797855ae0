#pragma once

#include "feed/feedsettings.h"
#include "feed/picturecache.h"
#include "feed/statedocument.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QJsonObject>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocketServer>

#include <deque>
#include <functional>
#include <map>
#include <vector>

class QTcpSocket;
class QWebSocket;

namespace quorvel::feed {

struct RequestHead;

// The read-only feed: what the overlay shows, over HTTP and WebSocket, to browser sources
// and remote eyes. It reads the screen model and draws with its own renderer; nothing a
// client sends reaches the model. Everything but the encoding of the /*.png pictures runs
// on the main thread, so every client has bounds (request size, time, queued bytes) and is
// dropped at them: the air never waits.
class FeedServer : public QObject, private overlay::ScreenObserver {
    Q_OBJECT
public:
    // Clients answered at once: requests being answered and WebSockets.
    static constexpr int kMaxClients = 32;
    // Connections whose request has not come whole yet, from one address and from all. A
    // streaming computer whose browser sources all come back at once may open as many as
    // there are places.
    static constexpr int kMaxWaitingPerAddress = kMaxClients;
    static constexpr int kMaxWaiting = 8 * kMaxClients;
    // Connections being told they are refused; past these they are closed unanswered.
    static constexpr int kMaxRefusing = 256;
    static constexpr qint64 kMaxClientFrameBytes = 4096;
    static constexpr qint64 kMaxQueuedBytes = 4 * 1024 * 1024;
    static constexpr int kResponseTimeoutMs = 30000;

    // How long a request's head may take, and how long a WebSocket may stay silent (it
    // answers the feed's pings) before it is closed. Tests shorten them.
    struct Timing {
        int requestMs = 2000;
        int pingIntervalMs = 20000;
        int silenceMs = 60000;
        // An address that gave kMaxFailedTokens wrong tokens within this time is refused
        // for as long.
        int tokenBlockMs = 60000;
    };
    static constexpr int kMaxFailedTokens = 10;

    explicit FeedServer(overlay::Screen& screen, QObject* parent = nullptr);
    ~FeedServer() override;

    // False, with errorString(), when the address cannot be listened on.
    bool listen(const FeedSettings& settings);
    void setTiming(const Timing& timing);
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }
    // Clients answered: requests being answered, and WebSockets. Connections whose request
    // is being read or refused are not among them.
    int clientCount();

    // Where the links' state is read, each time the state document is made; without one
    // both links are down.
    void setStatusSource(std::function<LinkStatus()> source) { m_status = std::move(source); }
    // The program says the links' state changed: it goes out as a patch, after the
    // overlay's own changes of the same turn.
    void statusChanged();
    // Where the race's side of the lanes and the board is read, with the links' state.
    void setRaceSource(std::function<RaceState()> source) { m_race = std::move(source); }
    // How many pictures were encoded for the /*.png requests so far.
    int picturesEncoded() const { return m_pictures.encoded(); }

private:
    void elementChanged(overlay::El e, const QRect& before) override;
    void clientHeightChanged(int height) override;

    void acceptConnections();
    void readRequest(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const RequestHead& head);
    void refuse(QTcpSocket* socket, const char* status, const char* extraHeaders = "");
    void reply(QTcpSocket* socket, const char* status, const char* type = nullptr, const QByteArray& body = {},
               const char* extraHeaders = "");
    void servePicture(QTcpSocket* socket, PictureCache::Kind kind);
    void nextPicture(const QString& peer, QObject* gone);
    void upgrade(QTcpSocket* socket);
    void acceptWebSockets();
    void send(QWebSocket* client, const QByteArray& message, bool binary);
    void dropFloodedClients();
    void pingWebSockets();
    bool tokenBlocked(const QString& peer);
    void tokenFailed(const QString& peer);

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
    Timing m_timing;
    std::vector<QPointer<QTcpSocket>> m_waiting;     // their request is being read
    std::vector<QPointer<QTcpSocket>> m_connections; // answered: the clients counted
    std::vector<QPointer<QTcpSocket>> m_refused;     // being told they are refused
    std::vector<QPointer<QTcpSocket>> m_upgraded; // under the WebSockets
    std::vector<QWebSocket*> m_events;  // /events: merge patches of the state
    std::vector<QWebSocket*> m_program; // /program: changed rectangles as PNG
    QJsonObject m_sent;                 // the state the /events clients have
    bool m_stateChanged = false;
    QRegion m_dirty;
    QByteArray m_wholePicture; // the last whole picture sent, while nothing on it changed
    PictureCache m_pictures{m_renderer, m_screen};
    struct PictureRequest {
        QTcpSocket* socket;
        PictureCache::Kind kind;
        bool started = false;
    };
    // Each address's picture requests, served one at a time: a client asking for pictures
    // in a loop over many connections waits for each.
    std::map<QString, std::deque<PictureRequest>> m_pictureQueues;
    struct TokenFailures {
        std::deque<qint64> times; // within the last tokenBlockMs
        qint64 blockedUntil = -1;
    };
    std::map<QString, TokenFailures> m_tokenFailures; // by address
    QTimer m_flush;
    QTimer m_watch; // looks at what waits to be sent to each WebSocket
    QTimer m_ping;
    QElapsedTimer m_clock;
    std::function<LinkStatus()> m_status;
    std::function<RaceState()> m_race;
};

} // namespace quorvel::feed
