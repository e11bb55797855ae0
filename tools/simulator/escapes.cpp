#include "escapes.h"

namespace quorvel::sim {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

Text escapeBytes(const Text& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    Text out;
    out.reserve(bytes.size() + 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out.append('\\').append(c);
        } else if (b >= 0x20 && b < 0x7F) {
            out.append(c);
        } else {
            out.append("\\x").append(digits[b >> 4]).append(digits[b & 15]);
        }
    }
    return out;
}

Text unescapeBytes(const Text& written)
{
    Text out;
    out.reserve(written.size());
    for (qsizetype i = 0; i < written.size(); ++i) {
        const char c = written[i];
        if (c != '\\' || i + 1 >= written.size()) {
            out.append(c);
            continue;
        }
        const char next = written[i + 1];
        if (next == '\\' || next == '"') {
            out.append(next);
            ++i;
        } else if (next == 'n') {
            out.append('\n');
            ++i;
        } else if (next == 'r') {
            out.append('\r');
            ++i;
        } else if (next == 't') {
            out.append('\t');
            ++i;
        } else if (next == 'x' && i + 3 < written.size() && hexValue(written[i + 2]) >= 0 &&
                   hexValue(written[i + 3]) >= 0) {
            out.append(static_cast<char>(hexValue(written[i + 2]) * 16 + hexValue(written[i + 3])));
            i += 3;
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace quorvel::sim
