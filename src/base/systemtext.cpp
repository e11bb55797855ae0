#include "base/systemtext.h"

#include "base/cp1252.h"

#include <QString>

#include <cstring>
#include <cwchar>

namespace quorvel {

Text fromLocaleText(const char* text)
{
    if (!text)
        return Text();
    // The C library decodes with the locale's own character set, whatever it is; Qt
    // would take UTF-8 for granted.
    QString decoded;
    std::mbstate_t state{};
    const char* at = text;
    size_t left = std::strlen(text);
    while (left > 0) {
        wchar_t wide = 0;
        const size_t used = std::mbrtowc(&wide, at, left, &state);
        if (used == size_t(-1) || used == size_t(-2) || used == 0) {
            decoded.append(u'?');
            state = std::mbstate_t{};
            ++at;
            --left;
            continue;
        }
        const char32_t code = char32_t(wide);
        decoded.append(QString::fromUcs4(&code, 1));
        at += used;
        left -= used;
    }
    return toCp1252(decoded);
}

Text systemReason(int error)
{
    return fromLocaleText(std::strerror(error));
}

} // namespace quorvel
