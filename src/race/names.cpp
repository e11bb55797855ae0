#include "race/names.h"

namespace quorvel::race {

Text FirstWord(const Text& text)
{
    const qsizetype blank = text.indexOf(' ');
    const Text word = blank < 0 ? text : text.left(blank);
    qsizetype begin = 0;
    qsizetype end = word.size();
    while (begin < end && static_cast<unsigned char>(word[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(word[end - 1]) <= 32)
        --end;
    return word.mid(begin, end - begin);
}

Text LastWord(const Text& text)
{
    const qsizetype blank = text.lastIndexOf(' ');
    return blank < 0 ? text : text.mid(blank + 1);
}

Text ShortPilotName(const Text& text)
{
    const Text first = FirstWord(text);
    const Text last = LastWord(text);
    if (first == last)
        return first;
    return first + ' ' + last;
}

} // namespace quorvel::race
