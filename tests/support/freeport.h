#pragma once

#include <QtGlobal>

namespace quorvel::test {

// A port of 127.0.0.1 that nothing uses now, as the system picks one; 0 when it has none
// to give. Another program may take it before the caller binds it: callers that start a
// server on it try again on a failure.
quint16 freeTcpPort();
quint16 freeUdpPort();

} // namespace quorvel::test
