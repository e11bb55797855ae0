#pragma once

#include "feed/changebatcher.h"
#include "feed/connections.h"
#include "feed/feedsettings.h"
#include "feed/picturecache.h"
#include "feed/requestrouter.h"
#include "feed/statedocument.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QJsonObject>
#include <QObject>

#include <functional>

namespace quorvel::feed {

// The read-only feed: what the overlay shows, over HTTP and WebSocket, to browser sources
// and remote eyes. It reads the screen model and draws with its own renderer; nothing a
// client sends reaches the model. Everything but the encoding of the /*.png pictures runs
// on the main thread, so every client has bounds (request size, time, queued bytes) and is
// dropped at them: the air never waits.
//
// Three parts do the work: Connections keeps each connection from its accept to its drop,
// RequestRouter answers each whole request, and ChangeBatcher sends the changes of each
// turn to the WebSocket clients.
class FeedServer : public QObject, private overlay::ScreenObserver {
    Q_OBJECT
public:
    static constexpr int kMaxClients = Connections::kMaxClients;
    static constexpr int kMaxWaitingPerAddress = Connections::kMaxWaitingPerAddress;
    static constexpr int kMaxFailedTokens = RequestRouter::kMaxFailedTokens;
    using Timing = FeedTiming;

    explicit FeedServer(overlay::Screen& screen, QObject* parent = nullptr);
    ~FeedServer() override;

    // False, with errorString(), when the address cannot be listened on.
    bool listen(const FeedSettings& settings);
    void setTiming(const Timing& timing);
    quint16 port() const { return m_connections.port(); }
    QString errorString() const { return m_connections.errorString(); }
    // Clients answered: requests being answered, and WebSockets. Connections whose request
    // is being read or refused are not among them.
    int clientCount() const { return m_connections.clientCount(); }

    // Where the links' state is read, each time the state document is made; without one
    // both links are down.
    void setStatusSource(std::function<LinkStatus()> source) { m_status = std::move(source); }
    // The program says the links' state changed: it goes out as a patch, after the
    // overlay's own changes of the same turn.
    void statusChanged() { m_changes.stateChanged(); }
    // Where the race's side of the lanes and the board is read, with the links' state.
    void setRaceSource(std::function<RaceState()> source) { m_race = std::move(source); }
    // How many pictures were encoded for the /*.png requests so far.
    int picturesEncoded() const { return m_pictures.encoded(); }

private:
    void elementChanged(overlay::El e, const QRect& before) override;
    void clientHeightChanged(int height) override;

    QJsonObject state() const;

    overlay::Screen& m_screen;
    overlay::Renderer m_renderer;
    PictureCache m_pictures{m_renderer, m_screen};
    Connections m_connections;
    RequestRouter m_router{m_connections, m_pictures, [this] { return state(); }};
    ChangeBatcher m_changes{m_renderer, m_screen, [this] { return state(); }};
    std::function<LinkStatus()> m_status;
    std::function<RaceState()> m_race;
};

} // namespace quorvel::feed
