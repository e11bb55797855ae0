#pragma once

#include "base/text.h"

namespace quorvel::db {

// A text value is taken whole up to this many bytes, as the server sends it.
inline constexpr qsizetype kMaxTextBytes = 8192;

// Turns text values read in the connection's character set into the program's
// Windows-1252 bytes.
class CharsetConversion {
public:
    explicit CharsetConversion(const Text& charsetName = "utf8mb4");

    const Text& charsetName() const { return m_charsetName; }

    // Characters that Windows-1252 lacks become "?". Beyond kMaxTextBytes the value is
    // cut, never inside a character.
    Text toSystemText(const Text& value) const;

private:
    enum class Source { Utf8, SingleByte, Other };

    Text m_charsetName;
    Source m_source;
};

} // namespace quorvel::db
