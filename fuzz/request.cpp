// A feed client's request head: the bytes come from whoever reaches the port, before any
// token is checked. Whatever they are, the parse stays within them and within its bound,
// and a head it takes is whole.
#include "feed/httprequest.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const quorvel::feed::RequestHead head = quorvel::feed::parseRequestHead(bytes);
    if (head.status == quorvel::feed::RequestHead::Status::Complete) {
        if (head.length > quorvel::feed::kMaxRequestBytes || head.length > bytes.size() || !head.path.startsWith('/'))
            abort();
    }
    // the same token, whole or cut, only ever matches itself
    const qsizetype cut = size == 0 ? 0 : qsizetype(data[0]) % (bytes.size() + 1);
    const QByteArray token = bytes.left(cut);
    if (!token.isEmpty() && !quorvel::feed::tokenMatches(token, token))
        abort();
    if (quorvel::feed::tokenMatches(bytes, token) != (!token.isEmpty() && bytes == token))
        abort();
    return 0;
}
