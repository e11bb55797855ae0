#pragma once

#include <QByteArray>

namespace quorvel::feed {

// The head of a client's request, as far as the feed needs it. The feed serves only
// GET, so it never reads a body.
struct RequestHead {
    enum class Status {
        Incomplete, // the blank line that ends the head has not come yet
        Complete,
        TooLarge,   // more than kMaxRequestBytes
        Malformed,
    };
    Status status = Status::Incomplete;
    qsizetype length = 0; // bytes of the head, blank line included
    QByteArray method;
    QByteArray path;      // the target up to "?", still percent-encoded
    QByteArray queryToken; // ?token=..., percent-decoded
    QByteArray bearer;    // Authorization: Bearer ...
    bool webSocket = false; // Upgrade: websocket
};

inline constexpr qsizetype kMaxRequestBytes = 8192;

// Reads the head from the bytes received so far. A request whose head or announced body
// would pass kMaxRequestBytes is TooLarge as soon as that is known.
RequestHead parseRequestHead(const QByteArray& received);

// Compares a token in a time that does not depend on where the first difference is.
bool tokenMatches(const QByteArray& given, const QByteArray& expected);

} // namespace quorvel::feed
