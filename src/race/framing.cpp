#include "race/framing.h"

#include "base/timer.h"
#include "overlay/screen.h"

#include <QCoreApplication>

namespace quorvel::race {

using overlay::El;

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

MessageFraming::MessageFraming(overlay::Screen& screen, Timer& tmrResult, Timer& tmrIntervalo)
    : m_screen(screen)
    , m_tmrResult(tmrResult)
    , m_tmrIntervalo(tmrIntervalo)
{
}

void MessageFraming::S_ClienteRead(const Text& chunk)
{
    // The items are kept here, never read back from ListBox1: events that run before each
    // item may replace what the list shows.
    const TextList items = SplitText(chunk, QByteArrayLiteral("@"));
    m_screen.replaceItems(El::ListBox1, items);

    // Reads wait while this chunk is applied (also when an item fails), so a flood of data
    // cannot nest read handlers without bound.
    struct ReadPause {
        MessageFraming& framing;
        explicit ReadPause(MessageFraming& f)
            : framing(f)
        {
            if (framing.m_depth++ == 0 && framing.m_pause)
                framing.m_pause(true);
        }
        ~ReadPause()
        {
            if (--framing.m_depth == 0 && framing.m_pause)
                framing.m_pause(false);
        }
    } pause(*this);

    for (const Text& item : items)
        applyItem(chunk, item);
}

void MessageFraming::applyItem(const Text& chunk, const Text& item)
{
    QCoreApplication::processEvents();
    m_screen.hide(El::pnlClass);
    m_screen.show(El::pnlTempos);
    m_tmrResult.stop();
    m_tmrIntervalo.restart();
    const TextList fields = SplitText(item, QByteArrayLiteral(":"));
    m_screen.replaceItems(El::ListBox2, fields);
    if (fields.size() < 2)
        return;
    const RaceMessage message {fields[0], fields[1]};
    // The same chunk each time: Memo1 shares its bytes instead of copying them per message.
    m_screen.appendLine(El::Memo1, chunk);
    if (m_apply)
        m_apply(message);
}

} // namespace quorvel::race
