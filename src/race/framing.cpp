#include "race/framing.h"

namespace quorvel::race {

TextList SplitText(const Text& text, const Text& separator)
{
    TextList pieces;
    if (separator.isEmpty()) {
        pieces.append(text);
        return pieces;
    }
    pieces.reserve(text.count(separator) + 1);
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(separator, from); at >= 0; at = text.indexOf(separator, from)) {
        pieces.append(text.sliced(from, at - from));
        from = at + separator.size();
    }
    pieces.append(text.sliced(from));
    return pieces;
}

} // namespace quorvel::race
