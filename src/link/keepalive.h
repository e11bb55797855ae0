#pragma once

namespace quorvel::link {

// Switches TCP keep-alive on for a socket (idle, interval and probe count from base/config.h),
// so that a server that dies without a close or reset is noticed as a link error instead of
// leaving the link Connected for ever. Returns 0, or the errno of the call that failed.
int switchKeepAliveOn(int fd);

} // namespace quorvel::link
