#include "base/cp1252.h"

namespace quorvel {
namespace {

constexpr char16_t kHighHalf[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

QString fromCp1252(const Text& bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *dst++ = (b >= 0x80 && b < 0xA0) ? QChar(kHighHalf[b - 0x80]) : QChar(char16_t(b));
    }
    return out;
}

Text toCp1252(const QString& text)
{
    Text out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(static_cast<char>(u));
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i) {
            if (kHighHalf[i] == u) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        }
        out.append(mapped);
    }
    return out;
}

} // namespace quorvel
