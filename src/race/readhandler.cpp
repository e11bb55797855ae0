#include "race/readhandler.h"

#include "base/timer.h"
#include "overlay/screen.h"

#include <QCoreApplication>
#include <QScopeGuard>

namespace quorvel::race {

using overlay::El;

ReadHandler::ReadHandler(overlay::Screen& screen, Timer& tmrResult, Timer& tmrIntervalo)
    : m_screen(screen)
    , m_tmrResult(tmrResult)
    , m_tmrIntervalo(tmrIntervalo)
{
}

void ReadHandler::S_ClienteRead(const Text& chunk)
{
    // The items are kept here, never read back from ListBox1: events that run before each
    // item may replace what the list shows.
    const TextList items = SplitText(chunk, QByteArrayLiteral("@"));
    m_screen.replaceItems(El::ListBox1, items);

    // Reads wait while this chunk is applied (also when an item fails), so a flood of data
    // cannot nest read handlers without bound.
    if (m_depth++ == 0 && m_pause)
        m_pause(true);
    const auto resumeReads = qScopeGuard([this] {
        if (--m_depth == 0 && m_pause)
            m_pause(false);
    });

    for (const Text& item : items)
        applyItem(chunk, item);
}

void ReadHandler::applyItem(const Text& chunk, const Text& item)
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
    const RaceMessage message{fields[0], fields[1]};
    // The same chunk each time: Memo1 shares its bytes instead of copying them per message.
    m_screen.appendLine(El::Memo1, chunk);
    if (m_apply)
        m_apply(message);
}

} // namespace quorvel::race
