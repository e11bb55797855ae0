#include "db/charsetconversion.h"

#include "base/cp1252.h"

#include <QStringDecoder>

namespace quorvel::db {

namespace {

// Cuts a UTF-8 text at the limit, stepping back over continuation bytes so that no
// character is split.
Text cutUtf8(const Text& value)
{
    if (value.size() <= kMaxTextBytes)
        return value;
    qsizetype end = kMaxTextBytes;
    while (end > 0 && (uchar(value[end]) & 0xC0) == 0x80)
        --end;
    return value.left(end);
}

} // namespace

CharsetConversion::CharsetConversion(const Text& charsetName)
    : m_charsetName(charsetName.toLower())
{
    if (m_charsetName.startsWith("utf8"))
        m_source = Source::Utf8;
    // MariaDB's latin1 is Windows-1252 in all but name; ASCII is a subset of both.
    else if (m_charsetName == "latin1" || m_charsetName == "cp1252" || m_charsetName == "ascii")
        m_source = Source::SingleByte;
    else
        m_source = Source::Other;
}

Text CharsetConversion::toSystemText(const Text& value) const
{
    switch (m_source) {
    case Source::SingleByte: return value.left(kMaxTextBytes);
    case Source::Utf8: return toCp1252(QString::fromUtf8(cutUtf8(value)));
    case Source::Other: break;
    }
    QStringDecoder decoder(m_charsetName.constData());
    if (!decoder.isValid())
        return value.left(kMaxTextBytes);
    return toCp1252(decoder.decode(value)).left(kMaxTextBytes);
}

} // namespace quorvel::db
