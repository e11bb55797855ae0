#include "feed/statedocument.h"

#include "base/cp1252.h"
#include "overlay/boardrows.h"
#include "overlay/laneelements.h"
#include "overlay/screen.h"

#include <QJsonArray>

#include <algorithm>
#include <iterator>
#include <optional>

namespace quorvel::feed {

using overlay::BoardRow;
using overlay::El;
using overlay::Indication;
using overlay::kBoardRows;
using overlay::Screen;
using overlay::Side;
using overlay::sideElements;

namespace {

QString text(const Screen& screen, El e)
{
    return fromCp1252(screen.text(e));
}

// A time the strip does not show is no time.
QString shownText(const Screen& screen, El e)
{
    return screen.visible(e) ? text(screen, e) : QString();
}

Side ownSide(Lane lane)
{
    return lane == Lane::A ? Side::A : Side::B;
}

// The side on which the lane's indication shows now, if it shows at all.
std::optional<Side> shownOn(const Screen& screen, const RaceState& race, Lane lane, Indication what)
{
    for (Side side : {ownSide(lane), ownSide(lane) == Side::A ? Side::B : Side::A})
        if (race.owner(side, what) == lane && screen.visible(sideElements(side).element(what)))
            return side;
    return std::nullopt;
}

QJsonObject laneDocument(const Screen& screen, const RaceState& race, Lane lane)
{
    const overlay::SideElements& own = sideElements(ownSide(lane));
    const RaceState::Header& header = race.header(lane);
    const auto lit = [&](Indication what) { return shownOn(screen, race, lane, what).has_value(); };

    const std::optional<Side> reaction = shownOn(screen, race, lane, Indication::Reaction);
    // The row of the lamps and reaction time it shows; with none shown, where the next go.
    std::optional<Side> row = reaction;
    for (Indication lamp : {Indication::PreStage, Indication::Stage, Indication::Green, Indication::Foul})
        if (!row)
            row = shownOn(screen, race, lane, lamp);
    if (!row)
        row = screen.checked(El::ckCameraPos) == (lane == Lane::A) ? Side::B : Side::A;

    QString outcome;
    if (screen.visible(own.disqualified))
        outcome = QStringLiteral("disqualified");
    else if (screen.visible(own.winner))
        outcome = QStringLiteral("winner");
    return QJsonObject{
        {QStringLiteral("row"), *row == Side::A ? QStringLiteral("top") : QStringLiteral("bottom")},
        {QStringLiteral("pilot"), fromCp1252(header.pilot)},
        {QStringLiteral("nickname"), fromCp1252(header.nickname)},
        {QStringLiteral("number"), fromCp1252(header.number)},
        {QStringLiteral("vehicle"), fromCp1252(header.car)},
        {QStringLiteral("category"), fromCp1252(header.category)},
        {QStringLiteral("heat"), fromCp1252(header.heat)},
        {QStringLiteral("lamps"),
         QJsonObject{{QStringLiteral("preStage"), lit(Indication::PreStage)},
                     {QStringLiteral("stage"), lit(Indication::Stage)},
                     {QStringLiteral("green"), lit(Indication::Green)},
                     {QStringLiteral("foul"), lit(Indication::Foul)}}},
        {QStringLiteral("times"),
         QJsonObject{
             {QStringLiteral("reaction"), reaction ? text(screen, sideElements(*reaction).reaction.label) : QString()},
             {QStringLiteral("sixtyFeet"), shownText(screen, own.sixtyFeet.label)},
             {QStringLiteral("hundredMetres"), shownText(screen, own.hundredMetres.label)},
             {QStringLiteral("track"), shownText(screen, own.track.label)},
             {QStringLiteral("speed"), shownText(screen, own.speed.label)},
             {QStringLiteral("total"), shownText(screen, own.total.label)}}},
        {QStringLiteral("outcome"), outcome},
        {QStringLiteral("status"), text(screen, own.status)},
        {QStringLiteral("position"), text(screen, own.position)},
    };
}

// The rows of the board's page; none, and no category, before it has read one: the labels
// then hold the layout's own texts.
QJsonObject boardDocument(const Screen& screen, const RaceState& race)
{
    QJsonArray rows;
    const int count = std::clamp(race.boardRows, 0, int(std::size(kBoardRows)));
    for (int i = 0; i < count; ++i) {
        const BoardRow& row = kBoardRows[i];
        rows.append(QJsonObject{{QStringLiteral("number"), text(screen, row.number)},
                                {QStringLiteral("pilot"), text(screen, row.pilot)},
                                {QStringLiteral("time"), text(screen, row.time)}});
    }
    return QJsonObject{{QStringLiteral("category"), count > 0 ? text(screen, El::lblClassCat) : QString()},
                       {QStringLiteral("rows"), rows}};
}

QString linkName(LinkStatus::Link link)
{
    switch (link) {
    case LinkStatus::Link::Down: break;
    case LinkStatus::Link::Connecting: return QStringLiteral("connecting");
    case LinkStatus::Link::Connected: return QStringLiteral("connected");
    }
    return QStringLiteral("down");
}

} // namespace

QJsonObject stateDocument(const Screen& screen, const LinkStatus& status, const RaceState& race)
{
    QJsonArray log;
    for (const Text& line : screen.lastLines(El::mLog, kStateLogLines))
        log.append(fromCp1252(line));

    return QJsonObject{
        {QStringLiteral("lanes"),
         QJsonObject{{QStringLiteral("A"), laneDocument(screen, race, Lane::A)},
                     {QStringLiteral("B"), laneDocument(screen, race, Lane::B)}}},
        {QStringLiteral("cameraSwap"), screen.checked(El::ckCameraPos)},
        {QStringLiteral("mode"), screen.isShowing(El::pnlClass) ? QStringLiteral("board") : QStringLiteral("strip")},
        {QStringLiteral("timesCovered"), screen.visible(El::pnlEscondeA)},
        {QStringLiteral("height"), screen.clientHeight()},
        {QStringLiteral("board"), boardDocument(screen, race)},
        {QStringLiteral("log"), log},
        {QStringLiteral("link"),
         QJsonObject{{QStringLiteral("state"), linkName(status.link)}, {QStringLiteral("server"), status.server}}},
        {QStringLiteral("database"),
         QJsonObject{
             {QStringLiteral("state"), status.database ? QStringLiteral("connected") : QStringLiteral("disconnected")},
             {QStringLiteral("server"), status.databaseServer}}},
        {QStringLiteral("journal"),
         QJsonObject{{QStringLiteral("state"), status.journal},
                     {QStringLiteral("todayBytes"), static_cast<double>(status.journalTodayBytes)}}},
    };
}

QJsonObject mergePatch(const QJsonObject& from, const QJsonObject& to)
{
    QJsonObject patch;
    for (auto it = from.constBegin(); it != from.constEnd(); ++it)
        if (!to.contains(it.key()))
            patch.insert(it.key(), QJsonValue::Null);
    for (auto it = to.constBegin(); it != to.constEnd(); ++it) {
        const QJsonValue before = from.value(it.key());
        const QJsonValue after = it.value();
        if (before.isObject() && after.isObject()) {
            const QJsonObject inner = mergePatch(before.toObject(), after.toObject());
            if (!inner.isEmpty())
                patch.insert(it.key(), inner);
        } else if (before != after || !from.contains(it.key())) {
            patch.insert(it.key(), after);
        }
    }
    return patch;
}

QJsonObject applyMergePatch(const QJsonObject& target, const QJsonObject& patch)
{
    QJsonObject result = target;
    for (auto it = patch.constBegin(); it != patch.constEnd(); ++it) {
        if (it.value().isNull())
            result.remove(it.key());
        else if (it.value().isObject())
            result.insert(it.key(), applyMergePatch(result.value(it.key()).toObject(), it.value().toObject()));
        else
            result.insert(it.key(), it.value());
    }
    return result;
}

} // namespace quorvel::feed
