#include "overlay/memolines.h"

#include <algorithm>
#include <cstring>

namespace quorvel::overlay {
namespace {

// Where the line ending at or before `end` starts (just after the previous break), and
// where that break itself starts: scanning backwards, CR LF is one break.
struct LineBounds {
    qsizetype start; // first byte of the line
    qsizetype breakFrom; // first byte of the break before it, or -1 when it is the first line
};

LineBounds lineEndingAt(const char* data, qsizetype end)
{
    // memrchr twice rather than a byte loop: a flood of text without line breaks arrives as
    // one entry of megabytes, scanned at every paint of the memo.
    const char* lf = static_cast<const char*>(::memrchr(data, '\n', size_t(end)));
    const char* afterLf = lf ? lf + 1 : data;
    const char* cr = static_cast<const char*>(::memrchr(afterLf, '\r', size_t(data + end - afterLf)));
    const char* lastBreak = cr ? cr : lf;
    if (!lastBreak)
        return {0, -1};
    const qsizetype i = lastBreak - data + 1;
    qsizetype breakFrom = i - 1;
    if (data[breakFrom] == '\n' && breakFrom > 0 && data[breakFrom - 1] == '\r')
        --breakFrom;
    return {i, breakFrom};
}

MemoLines::Entry keptEntry(const Text& text)
{
    const qsizetype lines = shownLineCount(text);
    if (lines <= MemoLines::kMaxLines && text.size() <= MemoLines::kMaxBytes)
        return {text, lines};
    const Text tail = tailOf(text, MemoLines::kMaxLines, MemoLines::kMaxBytes);
    return {tail, shownLineCount(tail)};
}

} // namespace

qsizetype shownLineCount(const Text& text)
{
    const char* p = text.constData();
    const char* end = p + text.size();
    qsizetype breaks = 0;
    while (p < end) {
        // memchr twice is far quicker than a byte loop over a megabyte of text
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t((lf ? lf : end) - p)));
        const char* next = cr ? cr : lf;
        if (!next)
            break;
        ++breaks;
        p = next + 1;
        if (*next == '\r' && p < end && *p == '\n')
            ++p;
    }
    return breaks + 1;
}

Text tailOf(const Text& text, qsizetype maxLines, qsizetype maxBytes)
{
    const char* data = text.constData();
    qsizetype start = text.size();
    qsizetype end = text.size();
    for (qsizetype line = 0; line < maxLines; ++line) {
        const LineBounds bounds = lineEndingAt(data, end);
        start = bounds.start;
        if (bounds.breakFrom < 0 || text.size() - start >= maxBytes)
            break;
        end = bounds.breakFrom;
    }
    start = std::max(start, text.size() - maxBytes);
    return start == 0 ? text : text.sliced(start);
}

void appendToMemo(MemoLines& memo, const Text& text)
{
    MemoLines::Counted& counted = memo.counted;
    const bool same =
        counted.text.constData() == text.constData() && counted.text.size() == text.size() && !counted.text.isNull();
    if (!same)
        counted = {text, keptEntry(text)};

    memo.entries.push_back(counted.kept);
    memo.lineCount += counted.kept.lines;
    memo.byteCount += counted.kept.text.size();
    ++memo.appended;

    while (memo.entries.size() > 1 &&
           (memo.lineCount > MemoLines::kMaxLines || memo.byteCount > MemoLines::kMaxBytes)) {
        memo.lineCount -= memo.entries.front().lines;
        memo.dropped += memo.entries.front().lines;
        memo.byteCount -= memo.entries.front().text.size();
        memo.entries.pop_front();
    }
}

TextList lastShownLines(const MemoLines& memo, qsizetype count)
{
    return shownLinesBefore(memo, memo.lineCount, count);
}

TextList shownLinesBefore(const MemoLines& memo, qsizetype end, qsizetype count)
{
    TextList lines;
    // whole entries after the end are passed over by their line counts, not scanned
    qsizetype skip = memo.lineCount - std::clamp<qsizetype>(end, 0, memo.lineCount);
    for (auto entry = memo.entries.rbegin(); entry != memo.entries.rend() && lines.size() < count; ++entry) {
        if (entry->lines <= skip) {
            skip -= entry->lines;
            continue;
        }
        const Text& text = entry->text;
        qsizetype stop = text.size();
        while (lines.size() < count) {
            const LineBounds bounds = lineEndingAt(text.constData(), stop);
            if (skip > 0)
                --skip;
            else if (bounds.start == 0 && stop == text.size())
                lines.append(text); // the whole entry is one line: share it
            else
                lines.append(text.sliced(bounds.start, stop - bounds.start));
            if (bounds.breakFrom < 0)
                break;
            stop = bounds.breakFrom;
        }
    }
    std::reverse(lines.begin(), lines.end());
    return lines;
}

} // namespace quorvel::overlay
