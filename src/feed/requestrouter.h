#pragma once

#include "feed/connections.h"
#include "feed/feedsettings.h"
#include "feed/picturecache.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>

#include <deque>
#include <functional>
#include <map>

class QTcpSocket;

namespace quorvel::feed {

struct RequestHead;

// What a whole request is answered with: refused for its Host, its token, its method, its
// path or its Origin, else the page, the state document or a picture it names, or the
// upgrade to a WebSocket. Each address's picture requests are answered one at a time.
class RequestRouter : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxFailedTokens = 10;

    RequestRouter(Connections& connections, PictureCache& pictures, std::function<QJsonObject()> state,
                  QObject* parent = nullptr);

    void setSettings(const FeedSettings& settings) { m_settings = settings; }
    void setTiming(const FeedTiming& timing) { m_timing = timing; }

    void route(QTcpSocket* socket, const RequestHead& head);

private:
    void servePicture(QTcpSocket* socket, PictureCache::Kind kind);
    void nextPicture(const QString& peer, QObject* gone);
    bool tokenBlocked(const QString& peer);
    void tokenFailed(const QString& peer);

    Connections& m_connections;
    PictureCache& m_pictures;
    std::function<QJsonObject()> m_state;
    FeedSettings m_settings;
    FeedTiming m_timing;
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
    QElapsedTimer m_clock;
};

} // namespace quorvel::feed
