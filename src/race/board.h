#pragma once

#include "base/config.h"
#include "base/text.h"

namespace quorvel {
class Timer;
}
namespace quorvel::overlay {
class Screen;
}
namespace quorvel::db {
class DataModule;
}

namespace quorvel::race {

class RaceDisplay;

// The decimal separator of the process's number format (LC_NUMERIC, LC_ALL or LANG):
// a comma where the locale says so.
Text decimalSeparatorFromLocale();

// A best time with the pattern "0.000": three decimals, at least one digit before the
// separator, no grouping.
Text formatBestTime(double seconds, const Text& decimalSeparator);

// The classification board. After a minute without a message it hides the strip, shows
// its own panel and pages through the championship's categories, ten best vehicles each,
// until the next message. Its labels stay hidden, so on air only the key colour remains.
// The page position is the current row of qryCateg: the board keeps no state of its own.
class Board {
public:
    Board(overlay::Screen& screen, db::DataModule& dm, RaceDisplay& race, Timer& tmrResult, const Config& config,
          Text decimalSeparator);

    // Empties the 31 labels and both lanes' reaction times.
    void limpadadosClass();
    // The idle tick: starts the board over from the first category.
    void tmrIntervaloTimer();
    // Draws one page.
    void tmrResultTimer();

    // The rows the current page holds, best first: 0 before the first page, and from the
    // moment the labels are emptied for the next one. Until then the labels hold what the
    // layout gave them, which is no page at all.
    int rowsShown() const { return m_rowsShown; }

private:
    void fillRow(int row);

    overlay::Screen& m_screen;
    db::DataModule& m_dm;
    RaceDisplay& m_race;
    Timer& m_tmrResult;
    int m_firstPageMs;
    int m_pageMs;
    Text m_decimalSeparator;
    int m_rowsShown = 0;
};

} // namespace quorvel::race
