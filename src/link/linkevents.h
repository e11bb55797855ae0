#pragma once

#include "base/text.h"

namespace quorvel::link {

// What the TCP link tells its owner, the form. Every call comes from the event loop on the
// UI thread. A handler may raise: its message goes to onFailure, as the failure route would
// take it, and the link goes on.
class LinkEvents {
public:
    virtual ~LinkEvents() = default;

    // S_ClienteConnect: the connection is up and "Quorvel:Conectado" has been sent.
    virtual void onConnect() = 0;
    // S_ClienteDisconnect: the server closed the connection. The state is already Down;
    // "VurazeZO:Desconectou" goes out on the closing connection after this returns.
    virtual void onDisconnect() = 0;
    // S_ClienteError: an attempt failed or the connection broke. Called before the socket
    // is closed; onFailure follows with the failure's text once the link is Down.
    virtual void onError(int errorCode) = 0;
    // S_ClienteRead: every byte that was waiting at one read event, unchanged.
    virtual void onRead(const Text& chunk) = 0;
    // The failure route (ManipulaExcecoes): a link failure's text, or the message of a
    // failure one of the handlers above raised.
    virtual void onFailure(const Text& message) = 0;
};

} // namespace quorvel::link
