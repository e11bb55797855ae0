#pragma once

#include "base/text.h"
#include "feed/racestate.h"

#include <QJsonObject>
#include <QString>

namespace quorvel::overlay {
class Screen;
}

namespace quorvel::feed {

// What the overlay's two links are doing. The feed reads only the screen model; the
// program, which owns the links, tells it this.
struct LinkStatus {
    enum class Link { Down, Connecting, Connected };
    Link link = Link::Down;
    QString server; // the timing server the TCP link goes to
    bool database = false; // the race database is connected
    QString databaseServer; // empty: the database server of this computer
    // The race day's journal: "off" without one, "recording", or "stopped" after a write
    // failed (until the next day); and the size of today's file.
    QString journal = QStringLiteral("off");
    qint64 journalTodayBytes = 0;
};

// What is on air: both lanes as the timing server names them, with the lamps, times and
// outcome the strip shows of each, the strip or the board, the board's page, the last lines
// of mLog, and the links' state. The screen model tells what is shown, the race whose it
// is (`race`: without one, each side shows its own lane, with empty headers and no board).
// Texts are UTF-8, converted from Windows-1252.
QJsonObject stateDocument(const overlay::Screen& screen, const LinkStatus& status = {}, const RaceState& race = {});

// The JSON merge patch (RFC 7396) that turns `from` into `to`; empty when they are equal.
// Arrays are replaced whole, keys gone from `to` become null.
QJsonObject mergePatch(const QJsonObject& from, const QJsonObject& to);

// `patch` applied to `target` (RFC 7396).
QJsonObject applyMergePatch(const QJsonObject& target, const QJsonObject& patch);

inline constexpr int kStateLogLines = 50;

} // namespace quorvel::feed
