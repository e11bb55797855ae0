#include "base/scripttext.h"

namespace quorvel {

Text escapeScriptText(const Text& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    Text out;
    out.reserve(bytes.size() + 8);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const auto b = static_cast<unsigned char>(c);
        const bool leadingBang = i == 0 && c == '!';
        const bool trailingBlank = i == bytes.size() - 1 && c == ' ';
        if (c == '\\')
            out.append("\\\\");
        else if (b >= 0x20 && b < 0x7F && !leadingBang && !trailingBlank)
            out.append(c);
        else
            out.append("\\x").append(digits[b >> 4]).append(digits[b & 15]);
    }
    return out;
}

} // namespace quorvel
