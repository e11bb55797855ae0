#include "feed/statedocument.h"

#include "overlay/screen.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::feed;
using overlay::El;

namespace {

QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

QJsonObject lane(const QJsonObject& state, const char* name)
{
    return state[QStringLiteral("lanes")][QLatin1String(name)].toObject();
}

QString field(const QJsonObject& object, const char* key)
{
    return object[QLatin1String(key)].toString();
}

// The lamps and outcome pictures as a run starts: the layout shows them all.
void darkenLamps(overlay::Screen& screen)
{
    for (El e : {El::imgPreA, El::imgStageA, El::imgStartA, El::imgQueA, El::imgGanhouA, El::imgDesclaA, El::imgPreB,
                 El::imgStageB, El::imgStartB, El::imgQueB, El::imgGanhouB, El::imgDesclaB})
        screen.hide(e);
}

} // namespace

QT_BEGIN_NAMESPACE
inline void PrintTo(const QJsonObject& object, std::ostream* out)
{
    *out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
QT_END_NAMESPACE

TEST(StateDocument, LaneHeadersComeFromTheRaceTimesLampsAndOutcomeFromTheElements)
{
    overlay::Screen screen;
    darkenLamps(screen);
    RaceState race;
    race.headers[0] = {"JO\xc3O SILVA", "FERA", "123", "OPALA | V8 \x80", "TURBO", "2"}; // Windows-1252
    race.headers[1] = {"ANA", "", "7", "", "ORIGINAL", ""};
    screen.show(El::imgPreA);
    screen.show(El::imgStageB);
    screen.hide(El::imgStartA);
    screen.setText(El::lblReaA, "0.123");
    screen.show(El::lblReaA);
    screen.setText(El::lbl60A, "1.456");
    screen.show(El::lbl60A);
    screen.setText(El::lbl100B, "5.000");
    screen.hide(El::lbl100B); // a time the strip hides is no time
    screen.hide(El::imgDesclaA);
    screen.show(El::imgGanhouA);
    screen.hide(El::imgGanhouB);
    screen.show(El::imgDesclaB);
    screen.setText(El::lblPosB, "3");

    const QJsonObject state = stateDocument(screen, {}, race);
    const QJsonObject a = lane(state, "A");
    const QJsonObject b = lane(state, "B");
    EXPECT_EQ(field(a, "row"), QStringLiteral("top"));
    EXPECT_EQ(field(a, "pilot"), QStringLiteral("JO\u00c3O SILVA"));
    EXPECT_EQ(field(a, "nickname"), QStringLiteral("FERA"));
    EXPECT_EQ(field(a, "number"), QStringLiteral("123"));
    EXPECT_EQ(field(a, "vehicle"), QStringLiteral("OPALA | V8 \u20ac"));
    EXPECT_EQ(field(a, "category"), QStringLiteral("TURBO"));
    EXPECT_EQ(field(a, "heat"), QStringLiteral("2"));
    EXPECT_EQ(a[QStringLiteral("lamps")].toObject(),
              json(R"({"preStage":true,"stage":false,"green":false,"foul":false})"));
    EXPECT_EQ(field(a[QStringLiteral("times")].toObject(), "reaction"), QStringLiteral("0.123"));
    EXPECT_EQ(field(a[QStringLiteral("times")].toObject(), "sixtyFeet"), QStringLiteral("1.456"));
    EXPECT_EQ(field(a, "outcome"), QStringLiteral("winner"));

    EXPECT_EQ(field(b, "row"), QStringLiteral("bottom"));
    EXPECT_EQ(field(b, "pilot"), QStringLiteral("ANA"));
    EXPECT_EQ(field(b, "nickname"), QString());
    EXPECT_EQ(field(b, "number"), QStringLiteral("7"));
    EXPECT_EQ(field(b, "category"), QStringLiteral("ORIGINAL"));
    EXPECT_TRUE(b[QStringLiteral("lamps")][QStringLiteral("stage")].toBool());
    EXPECT_EQ(field(b[QStringLiteral("times")].toObject(), "hundredMetres"), QString());
    EXPECT_EQ(field(b, "outcome"), QStringLiteral("disqualified"));
    EXPECT_EQ(field(b, "position"), QStringLiteral("3"));
}

TEST(StateDocument, LampsAndReactionTimesGoToTheLaneWhoseMessageShowedThem)
{
    overlay::Screen screen;
    darkenLamps(screen);
    screen.setChecked(El::ckCameraPos, true);
    RaceState race;
    // lane A's pre-stage lamp and reaction time, shown on the bottom row while the box was ticked
    race.shownBy[1][size_t(overlay::Indication::PreStage)] = Lane::A;
    race.shownBy[1][size_t(overlay::Indication::Reaction)] = Lane::A;
    screen.hide(El::lblReaA); // the layout's placeholder
    screen.show(El::imgPreB);
    screen.setText(El::lblReaB, "0.050");
    screen.show(El::lblReaB);
    // lane B's stage lamp, on its own row: lit before the box was ticked
    screen.show(El::imgStageB);

    QJsonObject state = stateDocument(screen, {}, race);
    EXPECT_TRUE(state[QStringLiteral("cameraSwap")].toBool());
    EXPECT_EQ(field(lane(state, "A"), "row"), QStringLiteral("bottom"));
    EXPECT_EQ(lane(state, "A")[QStringLiteral("lamps")].toObject(),
              json(R"({"preStage":true,"stage":false,"green":false,"foul":false})"));
    EXPECT_EQ(lane(state, "B")[QStringLiteral("lamps")].toObject(),
              json(R"({"preStage":false,"stage":true,"green":false,"foul":false})"));
    EXPECT_EQ(lane(state, "A")[QStringLiteral("times")][QStringLiteral("reaction")].toString(),
              QStringLiteral("0.050"));
    EXPECT_EQ(lane(state, "B")[QStringLiteral("times")][QStringLiteral("reaction")].toString(), QString());
    EXPECT_EQ(field(lane(state, "B"), "row"), QStringLiteral("bottom")) << "its lit lamp's row";

    // with nothing of its own shown, a lane's row is where the box sends what comes next
    screen.hide(El::imgStageB);
    state = stateDocument(screen, {}, race);
    EXPECT_EQ(field(lane(state, "B"), "row"), QStringLiteral("top"));
}

TEST(StateDocument, ModeBoardAndTheLastFiftyLinesOfMLog)
{
    overlay::Screen screen;
    for (int i = 1; i <= 60; ++i)
        screen.appendLine(El::mLog, "line " + QByteArray::number(i));
    screen.hide(El::pnlTempos);
    screen.show(El::pnlClass);
    screen.setText(El::lblClassCat, "TURBO");
    screen.setText(El::lblClassNum01, "12");
    screen.setText(El::lblClassPil01, "JOAO");
    screen.setText(El::lblClassTempo01, "9,876");
    screen.setClientHeight(104);
    RaceState race;
    race.boardRows = 1;

    const QJsonObject state = stateDocument(screen, {}, race);
    EXPECT_EQ(field(state, "mode"), QStringLiteral("board"));
    EXPECT_EQ(state[QStringLiteral("height")].toInt(), 104);
    const QJsonArray log = state[QStringLiteral("log")].toArray();
    ASSERT_EQ(log.size(), kStateLogLines);
    EXPECT_EQ(log.first().toString(), QStringLiteral("line 11"));
    EXPECT_EQ(log.last().toString(), QStringLiteral("line 60"));
    const QJsonObject board = state[QStringLiteral("board")].toObject();
    EXPECT_EQ(field(board, "category"), QStringLiteral("TURBO"));
    const QJsonArray rows = board[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().toObject(), json(R"({"number":"12","pilot":"JOAO","time":"9,876"})"));

    // the layout's own texts are no page
    EXPECT_EQ(stateDocument(overlay::Screen{})[QStringLiteral("board")].toObject(),
              json(R"({"category":"","rows":[]})"));
}

TEST(MergePatch, TurnsOneDocumentIntoTheOther)
{
    struct Case {
        const char* from;
        const char* to;
        const char* patch;
    };
    const Case cases[] = {
        {R"({"a":1})", R"({"a":1})", R"({})"},
        {R"({"a":1})", R"({"a":2})", R"({"a":2})"},
        {R"({"a":1,"b":2})", R"({"b":2})", R"({"a":null})"},
        {R"({})", R"({"a":{"b":1}})", R"({"a":{"b":1}})"},
        {R"({"a":{"b":1,"c":2}})", R"({"a":{"b":1,"c":3}})", R"({"a":{"c":3}})"},
        {R"({"a":[1,2]})", R"({"a":[1,2,3]})", R"({"a":[1,2,3]})"},
        {R"({"a":{"b":1}})", R"({"a":5})", R"({"a":5})"},
        {R"({"a":5})", R"({"a":{"b":1}})", R"({"a":{"b":1}})"},
        {R"({"a":""})", R"({"a":false})", R"({"a":false})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        const QJsonObject patch = mergePatch(json(c.from), json(c.to));
        EXPECT_EQ(patch, json(c.patch));
        EXPECT_EQ(applyMergePatch(json(c.from), patch), json(c.to));
    }
}

TEST(StateDocument, TheLinksStateIsWhatTheProgramSays)
{
    overlay::Screen screen;
    const struct {
        LinkStatus status;
        const char* link;
        const char* database;
    } cases[] = {
        {{}, "down", "disconnected"},
        {{LinkStatus::Link::Connecting, QStringLiteral("192.168.0.100"), true, QString()}, "connecting", "connected"},
        {{LinkStatus::Link::Connected, QStringLiteral("10.0.0.5"), true, QStringLiteral("10.0.0.5")},
         "connected",
         "connected"},
    };
    for (const auto& c : cases) {
        const QJsonObject state = stateDocument(screen, c.status);
        const QJsonObject link = state[QStringLiteral("link")].toObject();
        const QJsonObject database = state[QStringLiteral("database")].toObject();
        EXPECT_EQ(field(link, "state"), QLatin1String(c.link));
        EXPECT_EQ(field(link, "server"), c.status.server);
        EXPECT_EQ(field(database, "state"), QLatin1String(c.database));
        EXPECT_EQ(field(database, "server"), c.status.databaseServer);
    }
}

TEST(StateDocument, TheJournalsStateIsWhatTheProgramSays)
{
    overlay::Screen screen;
    const QJsonObject off = stateDocument(screen, {})[QStringLiteral("journal")].toObject();
    EXPECT_EQ(field(off, "state"), QLatin1String("off"));
    LinkStatus status;
    status.journal = QStringLiteral("stopped");
    status.journalTodayBytes = 5'000'000'000;
    const QJsonObject stopped = stateDocument(screen, status)[QStringLiteral("journal")].toObject();
    EXPECT_EQ(field(stopped, "state"), QLatin1String("stopped"));
    EXPECT_EQ(stopped[QStringLiteral("todayBytes")].toInteger(), 5'000'000'000);
}
