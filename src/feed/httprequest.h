#pragma once

#include <QByteArray>

namespace quorvel::feed {

// The head of a client's request, as far as the feed needs it. The feed serves only
// GET, so it never reads a body.
struct RequestHead {
    enum class Status {
        Incomplete, // the blank line that ends the head has not come yet
        Complete,
        TooLarge, // more than kMaxRequestBytes
        Malformed,
    };
    Status status = Status::Incomplete;
    qsizetype length = 0; // bytes of the head, blank line included
    QByteArray method;
    QByteArray path; // the target up to "?", still percent-encoded
    QByteArray queryToken; // ?token=..., percent-decoded
    QByteArray bearer; // Authorization: Bearer ...
    bool webSocket = false; // Upgrade: websocket
    QByteArray host; // Host, trimmed
    int hosts = 0; // how many Host lines came
    QByteArray origin; // Origin, trimmed
    int origins = 0;
};

inline constexpr qsizetype kMaxRequestBytes = 8192;

// Reads the head from the bytes received so far. A request whose head or announced body
// would pass kMaxRequestBytes is TooLarge as soon as that is known.
RequestHead parseRequestHead(const QByteArray& received);

// True when `host` (a Host header's value) names this computer by a loopback literal or
// "localhost", with or without a port: 127.0.0.1, 127.1.2.3:8765, [::1]:8765, localhost.
// A page whose own name was made to point at 127.0.0.1 still sends its own name.
bool isLoopbackHost(QByteArrayView host);

// True when `origin` (an Origin header's value) is a page served from `host`, the Host the
// request came in on: the same name and port, a missing port being the scheme's own.
bool originIsHost(QByteArrayView origin, QByteArrayView host);

// Compares a token in a time that does not depend on where the first difference is.
bool tokenMatches(const QByteArray& given, const QByteArray& expected);

} // namespace quorvel::feed
