#include "race/board.h"

#include "base/timer.h"
#include "base/userlocale.h"
#include "db/datamodule.h"
#include "overlay/boardrows.h"
#include "overlay/screen.h"
#include "race/names.h"
#include "race/racedisplay.h"

#include <cstdio>

namespace quorvel::race {

using overlay::BoardRow;
using overlay::El;
using overlay::kBoardRows;

Text decimalSeparatorFromLocale()
{
    const UserLocale locale(LC_NUMERIC_MASK);
    const char* radix = locale.info(RADIXCHAR);
    return radix && *radix ? Text(radix) : Text(".");
}

Text formatBestTime(double seconds, const Text& decimalSeparator)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", seconds);
    Text text(buffer);
    const qsizetype point = text.indexOf('.');
    if (point >= 0)
        text.replace(point, 1, decimalSeparator);
    return text;
}

Board::Board(overlay::Screen& screen, db::DataModule& dm, RaceDisplay& race, Timer& tmrResult, const Config& config,
             Text decimalSeparator)
    : m_screen(screen)
    , m_dm(dm)
    , m_race(race)
    , m_tmrResult(tmrResult)
    , m_firstPageMs(config.pageFirstIntervalMs)
    , m_pageMs(config.pageIntervalMs)
    , m_decimalSeparator(std::move(decimalSeparator))
{
}

void Board::limpadadosClass()
{
    m_screen.setText(El::lblClassCat, Text());
    for (const BoardRow& row : kBoardRows) {
        m_screen.setText(row.number, Text());
        m_screen.setText(row.pilot, Text());
        m_screen.setText(row.time, Text());
    }
    m_rowsShown = 0;
    m_race.lane(Lane::A).reactionTime.clear();
    m_race.lane(Lane::B).reactionTime.clear();
}

void Board::tmrIntervaloTimer()
{
    limpadadosClass();
    // The last category with its end flag set: the first page then goes to the first one.
    m_dm.qryCateg().last();
    m_screen.hide(El::pnlTempos);
    m_screen.show(El::pnlClass);
    // A change of interval restarts a running timer: the first page comes within 100 ms
    // also when the board is already paging.
    m_tmrResult.setInterval(m_firstPageMs);
    m_tmrResult.start();
}

void Board::tmrResultTimer()
{
    m_tmrResult.setInterval(m_pageMs);
    m_tmrResult.stop();

    db::Query& categ = m_dm.qryCateg();
    if (categ.eof())
        categ.first();
    else
        categ.next();
    limpadadosClass();

    db::Query& standings = m_dm.qryListaPilotos();
    standings.first();
    if (standings.recordCount() < 1) {
        // An empty page is passed over quickly and stays blank.
        m_tmrResult.setInterval(m_firstPageMs);
    } else {
        m_screen.setText(El::lblClassCat, categ.asText("CATEGORIA"));
        fillRow(0);
        standings.next();
        for (int row = 1; row < 10 && !standings.eof(); ++row) {
            fillRow(row);
            if (row < 9)
                standings.next();
        }
    }
    m_tmrResult.start();
}

void Board::fillRow(int row)
{
    const db::Query& vehicle = m_dm.qryDadosVeiculo();
    const Text pilot = vehicle.asText("PILOTO");
    m_screen.setText(kBoardRows[row].number, vehicle.asText("PLACA"));
    // Rows 9 and 10 have room for the whole name.
    m_screen.setText(kBoardRows[row].pilot, row < 8 ? FirstWord(pilot) : pilot);
    m_screen.setText(kBoardRows[row].time, formatBestTime(m_dm.qryListaPilotos().asFloat("min"), m_decimalSeparator));
    m_rowsShown = row + 1;
}

} // namespace quorvel::race
