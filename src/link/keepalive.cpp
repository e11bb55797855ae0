#include "link/keepalive.h"

#include "base/config.h"

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace quorvel::link {

namespace {

int setIntOption(int fd, int level, int option, int value)
{
    return ::setsockopt(fd, level, option, &value, sizeof value) == 0 ? 0 : errno;
}

} // namespace

int switchKeepAliveOn(int fd)
{
    if (int err = setIntOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1))
        return err;
    if (int err = setIntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdleS))
        return err;
    if (int err = setIntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveIntervalS))
        return err;
    return setIntOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
}

} // namespace quorvel::link
