#include "feed/feedserver.h"

#include "feed/statedocument.h"
#include "overlay/layout.h"

namespace quorvel::feed {

using overlay::El;

FeedServer::FeedServer(overlay::Screen& screen, QObject* parent)
    : QObject(parent)
    , m_screen(screen)
{
    connect(&m_connections, &Connections::requestArrived, &m_router, &RequestRouter::route);
    connect(&m_connections, &Connections::webSocketOpened, &m_changes, &ChangeBatcher::addClient);
    connect(&m_connections, &Connections::webSocketClosed, &m_changes, &ChangeBatcher::removeClient);
    m_screen.addObserver(this);
}

FeedServer::~FeedServer()
{
    m_screen.removeObserver(this);
}

bool FeedServer::listen(const FeedSettings& settings)
{
    m_router.setSettings(settings);
    return m_connections.listen(settings.address, settings.port);
}

void FeedServer::setTiming(const Timing& timing)
{
    m_connections.setTiming(timing);
    m_router.setTiming(timing);
}

void FeedServer::elementChanged(El e, const QRect& before)
{
    const bool operatorOnly = overlay::isOperatorWidget(m_screen.element(e).kind);
    m_pictures.changed(operatorOnly);
    m_changes.elementChanged(e, before, operatorOnly);
}

void FeedServer::clientHeightChanged(int)
{
    m_pictures.changed(false);
    m_changes.clientHeightChanged();
}

QJsonObject FeedServer::state() const
{
    return stateDocument(m_screen, m_status ? m_status() : LinkStatus{}, m_race ? m_race() : RaceState{});
}

} // namespace quorvel::feed
