#include "race/integertext.h"

#include "base/failure.h"

namespace quorvel::race {

qint32 integerValue(const Text& text)
{
    const auto invalid = [&] { return Failure("'" + text + "' is not a valid integer value"); };
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        throw invalid();
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            throw invalid();
        value = value * 10 + (c - '0');
        if (value > qint64(1) << 31)
            throw invalid();
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        throw invalid();
    return static_cast<qint32>(value);
}

} // namespace quorvel::race
