#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel::test {

// An IPv4 address whose packets vanish, as a powered-off computer or a pulled cable makes
// them: routed through a tun device that nobody reads, so every SYN is dropped without an
// answer and a connect waits until its own time-out. Made once per process, and only inside
// a private network namespace (the caller must run under tests/support/in-private-network
// or unshare -n): the host's network is never touched. On failure, returns an empty address
// and says why in *why.
QByteArray blackHoleAddress(QString* why);

} // namespace quorvel::test
