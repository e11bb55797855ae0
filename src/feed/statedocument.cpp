#include "feed/statedocument.h"

#include "base/cp1252.h"
#include "overlay/boardrows.h"
#include "overlay/screen.h"

#include <QJsonArray>

namespace quorvel::feed {

using overlay::El;
using overlay::BoardRow;
using overlay::kBoardRows;
using overlay::Screen;

namespace {

// The elements of one row of the strip.
struct Row {
    El pilot, vehicle, category;
    El preStage, stage, green, foul;
    El reaction;
};

constexpr Row kTopRow{El::lblPilotoA, El::lblVeiculoA, El::lblCategA, El::imgPreA,
                      El::imgStageA,  El::imgStartA,   El::imgQueA,   El::lblReaA};
constexpr Row kBottomRow{El::lblPilotoB, El::lblVeiculoB, El::lblCategB, El::imgPreB,
                         El::imgStageB,  El::imgStartB,   El::imgQueB,   El::lblReaB};

// What stays with the lane whatever the camera box says.
struct LaneElements {
    El sixtyFeet, hundredMetres, track, speed, total;
    El winner, disqualified, status, position;
};

constexpr LaneElements kLaneA{El::lbl60A,     El::lbl100A,    El::lblTPistaA, El::lblVelA, El::lblTTotalA,
                              El::imgGanhouA, El::imgDesclaA, El::lblStatusA, El::lblPosA};
constexpr LaneElements kLaneB{El::lbl60B,     El::lbl100B,    El::lblTPistaB, El::lblVelB, El::lblTTotalB,
                              El::imgGanhouB, El::imgDesclaB, El::lblStatusB, El::lblPosB};

QString text(const Screen& screen, El e)
{
    return fromCp1252(screen.text(e));
}

// A time the strip does not show is no time.
QString shownText(const Screen& screen, El e)
{
    return screen.visible(e) ? text(screen, e) : QString();
}

QJsonObject laneDocument(const Screen& screen, const Row& row, const Row& headerRow, const LaneElements& lane,
                         const char* rowName)
{
    const PilotHeader pilot = splitPilotHeader(text(screen, headerRow.pilot));
    const VehicleHeader vehicle = splitVehicleHeader(text(screen, headerRow.vehicle));
    const CategoryHeader category = splitCategoryHeader(text(screen, headerRow.category));
    QString outcome;
    if (screen.visible(lane.disqualified))
        outcome = QStringLiteral("disqualified");
    else if (screen.visible(lane.winner))
        outcome = QStringLiteral("winner");
    return QJsonObject{
        {QStringLiteral("row"), QLatin1String(rowName)},
        {QStringLiteral("pilot"), pilot.pilot},
        {QStringLiteral("nickname"), pilot.nickname},
        {QStringLiteral("number"), vehicle.number},
        {QStringLiteral("vehicle"), vehicle.vehicle},
        {QStringLiteral("category"), category.category},
        {QStringLiteral("heat"), category.heat},
        {QStringLiteral("lamps"),
         QJsonObject{{QStringLiteral("preStage"), screen.visible(row.preStage)},
                     {QStringLiteral("stage"), screen.visible(row.stage)},
                     {QStringLiteral("green"), screen.visible(row.green)},
                     {QStringLiteral("foul"), screen.visible(row.foul)}}},
        {QStringLiteral("times"),
         QJsonObject{{QStringLiteral("reaction"), shownText(screen, row.reaction)},
                     {QStringLiteral("sixtyFeet"), shownText(screen, lane.sixtyFeet)},
                     {QStringLiteral("hundredMetres"), shownText(screen, lane.hundredMetres)},
                     {QStringLiteral("track"), shownText(screen, lane.track)},
                     {QStringLiteral("speed"), shownText(screen, lane.speed)},
                     {QStringLiteral("total"), shownText(screen, lane.total)}}},
        {QStringLiteral("outcome"), outcome},
        {QStringLiteral("status"), text(screen, lane.status)},
        {QStringLiteral("position"), text(screen, lane.position)},
    };
}

QJsonObject boardDocument(const Screen& screen)
{
    QJsonArray rows;
    for (const BoardRow& row : kBoardRows) {
        if (screen.text(row.number).isEmpty() && screen.text(row.pilot).isEmpty() && screen.text(row.time).isEmpty())
            continue;
        rows.append(QJsonObject{{QStringLiteral("number"), text(screen, row.number)},
                                {QStringLiteral("pilot"), text(screen, row.pilot)},
                                {QStringLiteral("time"), text(screen, row.time)}});
    }
    return QJsonObject{{QStringLiteral("category"), text(screen, El::lblClassCat)}, {QStringLiteral("rows"), rows}};
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

QJsonObject stateDocument(const Screen& screen, const LinkStatus& status)
{
    // The camera box puts lane A's lamps and reaction time on the bottom row, and lane B's
    // on the top one.
    const bool swapped = screen.checked(El::ckCameraPos);
    const Row& rowA = swapped ? kBottomRow : kTopRow;
    const Row& rowB = swapped ? kTopRow : kBottomRow;
    const bool headersSwapped = swapped && !splitVehicleHeader(text(screen, El::lblVeiculoA)).lightsOff;
    const Row& headerA = headersSwapped ? kBottomRow : kTopRow;
    const Row& headerB = headersSwapped ? kTopRow : kBottomRow;

    QJsonArray log;
    for (const Text& line : screen.lastLines(El::mLog, kStateLogLines))
        log.append(fromCp1252(line));

    return QJsonObject{
        {QStringLiteral("lanes"),
         QJsonObject{{QStringLiteral("A"), laneDocument(screen, rowA, headerA, kLaneA, swapped ? "bottom" : "top")},
                     {QStringLiteral("B"), laneDocument(screen, rowB, headerB, kLaneB, swapped ? "top" : "bottom")}}},
        {QStringLiteral("cameraSwap"), swapped},
        {QStringLiteral("mode"), screen.isShowing(El::pnlClass) ? QStringLiteral("board") : QStringLiteral("strip")},
        {QStringLiteral("timesCovered"), screen.visible(El::pnlEscondeA)},
        {QStringLiteral("height"), screen.clientHeight()},
        {QStringLiteral("board"), boardDocument(screen)},
        {QStringLiteral("log"), log},
        {QStringLiteral("link"),
         QJsonObject{{QStringLiteral("state"), linkName(status.link)}, {QStringLiteral("server"), status.server}}},
        {QStringLiteral("database"),
         QJsonObject{{QStringLiteral("state"), status.database ? QStringLiteral("connected") : QStringLiteral("disconnected")},
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

PilotHeader splitPilotHeader(const QString& text)
{
    // the nickname is the last bracketed part; a name may hold brackets of its own
    if (text.endsWith(u')')) {
        const qsizetype open = text.lastIndexOf(QStringLiteral(" ("));
        if (open >= 0)
            return {text.left(open), text.mid(open + 2, text.size() - open - 3)};
    }
    return {text, {}};
}

VehicleHeader splitVehicleHeader(const QString& text)
{
    const QString header = text.startsWith(u'#') ? text.mid(1) : text;
    qsizetype separator = header.indexOf(QStringLiteral(" | "));
    if (separator >= 0)
        return {header.left(separator), header.mid(separator + 3), false};
    separator = header.indexOf(QStringLiteral(" - "));
    if (separator >= 0)
        return {header.left(separator), header.mid(separator + 3), true};
    return {header, {}, false};
}

CategoryHeader splitCategoryHeader(const QString& text)
{
    const qsizetype separator = text.lastIndexOf(QStringLiteral(" | B: "));
    if (separator < 0)
        return {text, {}};
    return {text.left(separator), text.mid(separator + 6)};
}

} // namespace quorvel::feed
