#include "link/socketerror.h"

#include "base/failure.h"

namespace quorvel::link {

Text asyncSocketError(int code)
{
    return format("Asynchronous socket error %d", code);
}

Text socketCallError(int code, const char* api)
{
    return socketCallError(systemReason(code), code, api);
}

Text socketCallError(const Text& reason, int code, const char* api)
{
    return format("Windows socket error: %s (%d), on API '%s'", reason.constData(), code, api);
}

} // namespace quorvel::link
