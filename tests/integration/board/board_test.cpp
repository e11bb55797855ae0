#include "race/board.h"

#include "base/failure.h"
#include "base/timer.h"
#include "db/datamodule.h"
#include "overlay/screen.h"
#include "race/racedisplay.h"

#include "../../unit/race/fakevehicles.h"
#include "mariadb_server.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quorvel;
using namespace quorvel::race;
using overlay::El;

namespace {

const El kNumbers[] = {El::lblClassNum01, El::lblClassNum02, El::lblClassNum03, El::lblClassNum04, El::lblClassNum05,
                       El::lblClassNum06, El::lblClassNum07, El::lblClassNum08, El::lblClassNum09, El::lblClassNum10};
const El kPilots[] = {El::lblClassPil01, El::lblClassPil02, El::lblClassPil03, El::lblClassPil04, El::lblClassPil05,
                      El::lblClassPil06, El::lblClassPil07, El::lblClassPil08, El::lblClassPil09, El::lblClassPil10};
const El kTimes[] = {El::lblClassTempo01, El::lblClassTempo02, El::lblClassTempo03, El::lblClassTempo04,
                     El::lblClassTempo05, El::lblClassTempo06, El::lblClassTempo07, El::lblClassTempo08,
                     El::lblClassTempo09, El::lblClassTempo10};

// A championship (1) whose open event (10) has the categories a test asks for.
class BoardFixture : public ::testing::Test {
protected:
    test::MariaDbServer& server = test::MariaDbServer::shared();
    Config config;
    overlay::Screen screen;
    Timer tmrIntervalo{"tmrIntervalo", 60000};
    Timer tmrResult{"tmrResult", 100};
    FakeVehicles vehicles;
    RaceDisplay race{screen, tmrIntervalo, vehicles};
    std::unique_ptr<db::DataModule> dm;
    std::unique_ptr<Board> board;
    int nextVehicle = 1;

    void SetUp() override
    {
        server.pointClientLibraryHere();
        server.resetRaceDatabase();
        server.execute(
            "USE vyd;"
            "INSERT INTO campeonato (codigo, campeonato) VALUES (1, 'Copa'), (2, 'Outra');"
            "INSERT INTO evento (codigo, cod_campeonato, evento, data) VALUES (10, 1, 'Etapa', '2026-12-01');"
            "INSERT INTO ORGANIZADOR (COD_EVENTO_ABERTO) VALUES (10);");
    }

    void TearDown() override { tmrResult.stop(); }

    // A category of championship 1 with vehicles whose best valid times are the given ones.
    int addCategory(const QByteArray& name, const QList<double>& bestTimes, const QByteArray& flags = "'N','N','N'")
    {
        server.execute("INSERT INTO vyd.categoria (CATEGORIA, COD_CAMPEONATO, LISTA, MATA_MATA, SHARKTANK) VALUES ('" +
                       name + "', 1, " + flags + ")");
        const int category = server.select("SELECT MAX(CODIGO) FROM vyd.categoria")[0][0].toInt();
        for (double best : bestTimes) {
            const QByteArray v = QByteArray::number(nextVehicle++);
            server.execute(
                "USE vyd; INSERT INTO veiculo (CODIGO, PLACA, PILOTO) VALUES (" + v + ", 'P" + v + "', 'Piloto" + v +
                " de Tal " + v +
                "');"
                "INSERT INTO RESULTADOS (COD_EVENTO, COD_CATEGORIA, COD_VEICULO, BATERIA, tfinal, status) VALUES "
                "(10, " +
                QByteArray::number(category) + ", " + v + ", '1', " + QByteArray::number(best, 'f', 3) +
                ", 'Valido'),"
                // slower, qualifying, invalid and zero results that the standings leave out
                "(10, " +
                QByteArray::number(category) + ", " + v + ", '2', " + QByteArray::number(best + 1, 'f', 3) +
                ", 'Valido'),"
                "(10, " +
                QByteArray::number(category) + ", " + v +
                ", 'T', 1.0, 'Valido'),"
                "(10, " +
                QByteArray::number(category) + ", " + v +
                ", '3', 1.0, 'Queimou'),"
                "(10, " +
                QByteArray::number(category) + ", " + v + ", '4', 0, 'Valido')");
        }
        return category;
    }

    // What a discovery with an answer does to the event queries.
    void openEventQueries(const Text& decimalSeparator = ".")
    {
        dm = std::make_unique<db::DataModule>(config);
        dm->qryOrganizador().open();
        dm->qryEvento().setParam("cod_evento", dm->qryOrganizador().asInteger("COD_EVENTO_ABERTO"));
        dm->qryEvento().open();
        dm->qryCateg().setParam("COD_CAMPEONATO", dm->qryEvento().asInteger("COD_CAMPEONATO"));
        dm->qryCateg().open();
        board = std::make_unique<Board>(screen, *dm, race, tmrResult, config, decimalSeparator);
    }

    Text page()
    {
        board->tmrResultTimer();
        return screen.text(El::lblClassCat);
    }
};

} // namespace

TEST(BestTime, HasThreeDecimalsAndTheLocaleSeparator)
{
    const struct {
        double seconds;
        Text separator;
        Text expected;
    } cases[] = {{6.5, ".", "6.500"},      {6.5, ",", "6,500"},       {0.1234, ".", "0.123"},
                 {12.3456, ".", "12.346"}, {1234.5, ".", "1234.500"}, {0.0, ",", "0,000"}};
    for (const auto& c : cases)
        EXPECT_EQ(formatBestTime(c.seconds, c.separator), c.expected);

    setenv("LC_ALL", "pt_BR.UTF-8", 1);
    EXPECT_EQ(decimalSeparatorFromLocale(), ",");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(decimalSeparatorFromLocale(), ".");
    unsetenv("LC_ALL");
}

TEST_F(BoardFixture, StartingHidesTheStripAndPagesFromTheFirstCategoryShowingTheLastOneTwice)
{
    addCategory("Alfa", {7.1});
    addCategory("Bravo", {7.2});
    addCategory("Charlie", {7.3});
    addCategory("Delta lista", {7.4}, "'S','N','N'"); // not on the board
    openEventQueries();
    board->tmrIntervaloTimer();
    EXPECT_FALSE(screen.visible(El::pnlTempos));
    EXPECT_TRUE(screen.visible(El::pnlClass));
    EXPECT_TRUE(tmrResult.enabled());
    EXPECT_EQ(tmrResult.interval(), 100);
    QList<Text> pages;
    for (int i = 0; i < 5; ++i)
        pages << page();
    EXPECT_EQ(pages, QList<Text>({"Alfa", "Bravo", "Charlie", "Charlie", "Alfa"}));
    EXPECT_TRUE(tmrResult.enabled());
    EXPECT_EQ(tmrResult.interval(), 5000);
}

TEST_F(BoardFixture, RowsHoldTheTenBestFirstWordsAboveRowNineAndWholeNamesBelow)
{
    QList<double> fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen << 9.0 - i * 0.25; // the last added is the fastest
    addCategory("Quinze", fifteen);
    addCategory("Tres", {6.5, 7.25, 8.0});
    openEventQueries();
    board->tmrIntervaloTimer();

    EXPECT_EQ(page(), "Quinze");
    // Vehicle v's best time is 9.0 - (v - 1) * 0.25 s; the rows hold vehicles 15 down to 6.
    const Text bestTimes[10] = {"5.500", "5.750", "6.000", "6.250", "6.500",
                                "6.750", "7.000", "7.250", "7.500", "7.750"};
    for (int row = 0; row < 10; ++row) {
        const int vehicle = 15 - row; // fastest first
        const Text number = "P" + Text::number(vehicle);
        const Text fullName = "Piloto" + Text::number(vehicle) + " de Tal " + Text::number(vehicle);
        EXPECT_EQ(screen.text(kNumbers[row]), number) << "row " << row + 1;
        EXPECT_EQ(screen.text(kPilots[row]), row < 8 ? "Piloto" + Text::number(vehicle) : fullName)
            << "row " << row + 1;
        EXPECT_EQ(screen.text(kTimes[row]), bestTimes[row]) << "row " << row + 1;
    }

    EXPECT_EQ(page(), "Tres");
    EXPECT_EQ(screen.text(kTimes[0]), "6.500");
    EXPECT_EQ(screen.text(kTimes[2]), "8.000");
    for (int row = 3; row < 10; ++row) {
        EXPECT_EQ(screen.text(kNumbers[row]), "") << "row " << row + 1;
        EXPECT_EQ(screen.text(kPilots[row]), "");
        EXPECT_EQ(screen.text(kTimes[row]), "");
    }
}

TEST_F(BoardFixture, TimesUseTheDecimalSeparatorOfTheLocale)
{
    addCategory("Alfa", {6.5});
    openEventQueries(",");
    board->tmrIntervaloTimer();
    page();
    EXPECT_EQ(screen.text(El::lblClassTempo01), "6,500");
}

TEST_F(BoardFixture, EmptyCategoriesArePassedOver100MillisecondsApartAndStayBlank)
{
    addCategory("Vazia", {});
    openEventQueries();
    board->tmrIntervaloTimer();
    for (int i = 0; i < 3; ++i) {
        page();
        EXPECT_EQ(screen.text(El::lblClassCat), "");
        EXPECT_EQ(tmrResult.interval(), 100);
        EXPECT_TRUE(tmrResult.enabled());
    }
}

TEST_F(BoardFixture, WithNoCategoryPagesComeEvery100MillisecondsWithoutEnd)
{
    openEventQueries();
    board->tmrIntervaloTimer();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(page(), "");
        EXPECT_EQ(tmrResult.interval(), 100);
    }
}

TEST_F(BoardFixture, TheBoardEmptiesBothReactionTimes)
{
    addCategory("Alfa", {6.5});
    openEventQueries();
    race.lane(Lane::A).reactionTime = "0.101";
    race.lane(Lane::B).reactionTime = "0.202";
    board->tmrIntervaloTimer();
    EXPECT_EQ(race.lane(Lane::A).reactionTime, "");
    EXPECT_EQ(race.lane(Lane::B).reactionTime, "");
    race.lane(Lane::A).reactionTime = "0.303";
    page();
    EXPECT_EQ(race.lane(Lane::A).reactionTime, "") << "every page empties them too";
}

TEST_F(BoardFixture, APageRunsNPlusThreeStatementsUpToTwelve)
{
    const QList<int> sizes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15};
    for (int n : sizes) {
        QList<double> times;
        for (int i = 0; i < n; ++i)
            times << 7.0 + i * 0.1;
        addCategory("Cat" + QByteArray::number(100 + n), times);
    }
    openEventQueries();
    board->tmrIntervaloTimer();
    for (int n : sizes) {
        server.startGeneralLog();
        page();
        const int statements = static_cast<int>(server.loggedStatements().size());
        server.stopGeneralLog();
        const int expected = n == 0 ? 2 : std::min(n, 9) + 3;
        EXPECT_EQ(statements, expected) << "a page of " << n << " vehicles";
    }
}

TEST_F(BoardFixture, WithoutTheEventQueriesTheIdleTickFailsAndTheLiveDisplayStays)
{
    dm = std::make_unique<db::DataModule>(config);
    board = std::make_unique<Board>(screen, *dm, race, tmrResult, config, ".");
    try {
        board->tmrIntervaloTimer();
        ADD_FAILURE() << "the board started without its categories";
    } catch (const Failure& e) {
        EXPECT_EQ(e.message(), "qryCateg: Cannot perform this operation on a closed dataset");
    }
    EXPECT_TRUE(screen.visible(El::pnlTempos));
    EXPECT_FALSE(screen.visible(El::pnlClass));
    EXPECT_FALSE(tmrResult.enabled());
}

TEST_F(BoardFixture, AnIdleTickWhilePagingStartsOverFromTheFirstCategory)
{
    for (const char* name : {"A1", "A2", "A3", "A4", "A5"})
        addCategory(name, {7.0});
    openEventQueries();
    board->tmrIntervaloTimer();
    for (int i = 0; i < 4; ++i)
        page();
    EXPECT_EQ(screen.text(El::lblClassCat), "A4");
    tmrResult.setInterval(5000);
    tmrResult.start();
    board->tmrIntervaloTimer();
    EXPECT_EQ(tmrResult.interval(), 100) << "the first page comes within 100 ms";
    EXPECT_EQ(page(), "A1");
}
