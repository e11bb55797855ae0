#include "race/racedisplay.h"

#include "base/timer.h"
#include "overlay/screen.h"
#include "race/photofailure.h"

#include "fakevehicles.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::race;
using overlay::El;

namespace {

struct RunReset : ::testing::Test {
    overlay::Screen screen;
    Timer tmrIntervalo{"tmrIntervalo", 60000};
    FakeVehicles vehicles;
    RaceDisplay display{screen, tmrIntervalo, vehicles};
    QList<Text> reported;

    void SetUp() override
    {
        display.setReportFailure([this](const std::exception& e) { reported << messageOf(e); });
    }
    void apply(const char* key, const Text& value = Text()) { display.ApplyRaceMessage({key, value}); }

    void announcePilots()
    {
        apply("num_pilotoA", "12");
        apply("pilA", "Jo\xE3o Carlos da Silva");
        apply("apelidoA", "Foguete");
        apply("carA", "Opala");
        apply("catA", "Pro Street");
        apply("BatA", "2");
        apply("num_pilotoB", "7");
        apply("pilB", "Ana Souza");
        apply("carB", "Chevette");
        apply("catB", "Turbo");
    }

    void runARun()
    {
        for (const char* key : {"APS-HIGH", "BPS-HIGH", "e_AA-HIGH", "e_BA-HIGH", "sA_Verde", "sB_Verde", "GanhaA",
                                "DesclassB", "statusA"})
            apply(key, "Queimou");
        for (const char* key :
             {"RA", "PA", "CA", "TPA", "VA", "FA", "RB", "PB", "CB", "TPB", "VB", "FB", "posA", "posB"})
            apply(key, "1.234");
        screen.setPicture(El::fotoPilotoA, QImage(10, 10, QImage::Format_RGB32));
    }
};

const El kTimes[] = {El::lblReaA, El::lbl60A, El::lbl100A, El::lblTPistaA, El::lblVelA, El::lblTTotalA,
                     El::lblReaB, El::lbl60B, El::lbl100B, El::lblTPistaB, El::lblVelB, El::lblTTotalB};
const El kCaptions[] = {El::lblERT, El::lblE60Pes, El::lblEParc02, El::lblEPista, El::lblEkm, El::lblEFim,
                        El::lblDRT, El::lblD60pes, El::lblDParc02, El::lblDPista, El::lblDKm, El::lblDFim};
const El kLamps[] = {El::imgPreA, El::imgStageA, El::imgQueA, El::imgStartA, El::imgGanhouA, El::imgDesclaA,
                     El::imgPreB, El::imgStageB, El::imgQueB, El::imgStartB, El::imgGanhouB, El::imgDesclaB};

void expectCleared(const overlay::Screen& screen)
{
    for (El e : kLamps)
        EXPECT_FALSE(screen.visible(e)) << overlay::elementName(e);
    for (El e : kTimes) {
        EXPECT_FALSE(screen.visible(e)) << overlay::elementName(e);
        EXPECT_EQ(screen.text(e), "") << overlay::elementName(e);
    }
    for (El e : kCaptions)
        EXPECT_FALSE(screen.visible(e)) << overlay::elementName(e);
    for (El e : {El::lblStatusA, El::lblStatusB, El::lblPosA, El::lblPosB})
        EXPECT_EQ(screen.text(e), "") << overlay::elementName(e);
    EXPECT_TRUE(screen.element(El::fotoPilotoA).picture.isNull());
    EXPECT_TRUE(screen.element(El::fotoPilotoB).picture.isNull());
}

} // namespace

TEST_F(RunReset, ClearsThePreviousRunAndWritesTheNewHeaders)
{
    announcePilots();
    runARun();
    vehicles.calls.clear();
    apply("Alinhar");
    expectCleared(screen);
    EXPECT_EQ(display.lane(Lane::A).reactionTime, "");
    EXPECT_EQ(screen.text(El::lblPilotoA), "Jo\xE3o Silva (Foguete)");
    EXPECT_EQ(screen.text(El::lblVeiculoA), "#12 | Opala");
    EXPECT_EQ(screen.text(El::lblCategA), "Pro Street | B: 2");
    EXPECT_EQ(screen.text(El::lblPilotoB), "Ana Souza");
    EXPECT_EQ(screen.text(El::lblVeiculoB), "#7 | Chevette");
    EXPECT_EQ(screen.text(El::lblCategB), "Turbo");
    EXPECT_EQ(vehicles.calls,
              QStringList({QStringLiteral("prepare"), QStringLiteral("store A"), QStringLiteral("store B")}));
    EXPECT_FALSE(screen.visible(El::lblVeiculoA)) << "the reset never shows lane A's vehicle line";
}

TEST_F(RunReset, WithEmptyRecordsTheVehicleLinesHoldOnlyTheSeparator)
{
    display.limpadados();
    EXPECT_EQ(screen.text(El::lblPilotoA), "");
    EXPECT_EQ(screen.text(El::lblVeiculoA), "# | ");
    EXPECT_EQ(screen.text(El::lblVeiculoB), "# | ");
    EXPECT_EQ(screen.text(El::lblCategB), "");
}

TEST_F(RunReset, TickedBoxPutsEachLaneOnTheOtherSide)
{
    announcePilots();
    screen.setChecked(El::ckCameraPos, true);
    apply("Alinhar");
    EXPECT_EQ(screen.text(El::lblPilotoA), "Ana Souza");
    EXPECT_EQ(screen.text(El::lblPilotoB), "Jo\xE3o Silva (Foguete)");
    EXPECT_EQ(screen.text(El::lblVeiculoA), "#7 | Chevette");
}

TEST_F(RunReset, TwoResetsLeaveTheSameScreenAsOne)
{
    announcePilots();
    runARun();
    apply("Alinhar");
    const Text headers = screen.text(El::lblPilotoA) + screen.text(El::lblVeiculoB) + screen.text(El::lblCategA);
    apply("Alinhar");
    expectCleared(screen);
    EXPECT_EQ(screen.text(El::lblPilotoA) + screen.text(El::lblVeiculoB) + screen.text(El::lblCategA), headers);
}

TEST_F(RunReset, APhotoThatCannotBeStoredNoLongerStopsTheReset)
{
    announcePilots();
    runARun();
    vehicles.onStore = [](Lane lane) {
        if (lane == Lane::A)
            throw PhotoFailure("Cannot create file \"/x/fotopilotos/a.jpg\". Permission denied");
    };
    apply("Alinhar");
    EXPECT_EQ(reported, QList<Text>({"Cannot create file \"/x/fotopilotos/a.jpg\". Permission denied"}));
    EXPECT_TRUE(vehicles.calls.contains(QStringLiteral("store B")));
    expectCleared(screen);
    EXPECT_EQ(screen.text(El::lblPilotoA), "Jo\xE3o Silva (Foguete)");
}

TEST_F(RunReset, ADatabaseFailureWhileAPhotoIsReadStillStopsIt)
{
    announcePilots();
    runARun();
    vehicles.onStore = [](Lane) { throw Failure("SQL Error: Lost connection to server during query"); };
    EXPECT_THROW(apply("Alinhar"), Failure);
    EXPECT_FALSE(vehicles.calls.contains(QStringLiteral("store B")));
    EXPECT_TRUE(screen.visible(El::imgPreA)) << "steps after the photos did not run";
    EXPECT_EQ(screen.text(El::lblPilotoA), "") << "headers emptied by the first step";
    EXPECT_TRUE(reported.isEmpty());
}

TEST_F(RunReset, LightsOffViewShowsEachLaneOnItsOwnSideWithPhotos)
{
    announcePilots();
    screen.setChecked(El::ckCameraPos, true);
    apply("Alinhar");
    apply("RA", "0.101");
    apply("RB", "0.202");
    EXPECT_EQ(screen.text(El::lblReaB), "0.101") << "lane A's reaction on the B side while ticked";
    apply("APS-HIGH");
    vehicles.calls.clear();
    apply("DesligouLampadas");
    EXPECT_EQ(screen.text(El::lblPilotoA), "Jo\xE3o Silva (Foguete)");
    EXPECT_EQ(screen.text(El::lblVeiculoA), "#12 - Opala");
    EXPECT_EQ(screen.text(El::lblVeiculoB), "#7 - Chevette");
    EXPECT_EQ(screen.text(El::lblReaA), "0.101");
    EXPECT_EQ(screen.text(El::lblReaB), "0.202");
    EXPECT_TRUE(screen.visible(El::lblERT));
    EXPECT_TRUE(screen.visible(El::lblDRT));
    EXPECT_EQ(vehicles.calls, QStringList({QStringLiteral("load A"), QStringLiteral("load B")}));
    for (El lamp : kLamps)
        EXPECT_FALSE(screen.visible(lamp));
}

TEST_F(RunReset, LightsOffViewGoesOnAfterAPhotoThatCannotBeLoaded)
{
    announcePilots();
    screen.setChecked(El::ckCameraPos, true);
    apply("Alinhar");
    apply("RA", "0.101");
    vehicles.onLoad = [](Lane lane) {
        if (lane == Lane::A)
            throw PhotoFailure("JPEG error #42");
    };
    apply("DesligouLampadas");
    EXPECT_EQ(reported, QList<Text>({"JPEG error #42"}));
    EXPECT_TRUE(vehicles.calls.contains(QStringLiteral("load B")));
    EXPECT_EQ(screen.text(El::lblReaA), "0.101");
    EXPECT_TRUE(screen.visible(El::lblReaA));
    EXPECT_FALSE(screen.visible(El::lblReaB)) << "no reaction time for lane B";
}

TEST_F(RunReset, WithoutTheBoxLightsOffOnlyHidesTheLamps)
{
    announcePilots();
    apply("Alinhar");
    apply("RA", "0.101");
    vehicles.calls.clear();
    apply("DesligouLampadas");
    EXPECT_TRUE(vehicles.calls.isEmpty());
    EXPECT_EQ(screen.text(El::lblVeiculoA), "#12 | Opala");
}

// What the race keeps of what it showed, for those who read the strip without reading it
// back: the records as the headers took them, and whose message lit each lamp and time.
TEST_F(RunReset, TheRaceKnowsWhoseHeaderLampAndReactionTimeEachSideShows)
{
    using overlay::Indication;
    using overlay::Side;
    announcePilots();
    display.limpadados();
    EXPECT_EQ(display.shownHeader(Lane::A).pilot, "Jo\xE3o Silva");
    EXPECT_EQ(display.shownHeader(Lane::B).car, "Chevette");

    // fields stored for the next pair change no header, and a ticked box none yet
    apply("Nova");
    apply("pilA", "Outro Piloto");
    screen.setChecked(El::ckCameraPos, true);
    EXPECT_EQ(display.shownHeader(Lane::A).pilot, "Jo\xE3o Silva");
    apply("APS-HIGH");
    apply("RB", "0.222");
    EXPECT_EQ(display.shownBy(Side::B, Indication::PreStage), Lane::A);
    EXPECT_EQ(display.shownBy(Side::A, Indication::Reaction), Lane::B);
    EXPECT_EQ(display.shownBy(Side::A, Indication::PreStage), Lane::A) << "nothing lit there since";

    // the reset's headers swapped, each record kept for its own lane; a failed reset leaves none
    display.limpadados();
    EXPECT_EQ(screen.text(El::lblPilotoB), "Outro Piloto");
    EXPECT_EQ(display.shownHeader(Lane::A).pilot, "Outro Piloto");
    EXPECT_EQ(display.shownHeader(Lane::B).pilot, "");
    vehicles.onStore = [](Lane) { throw Failure("SQL Error: Lost connection to server during query"); };
    EXPECT_THROW(apply("Alinhar"), Failure);
    EXPECT_EQ(display.shownHeader(Lane::A).pilot, "");

    // the lights-off view puts each lane's reaction time on its own side
    vehicles.onStore = nullptr;
    display.limpadados();
    apply("RA", "0.111");
    EXPECT_EQ(display.shownBy(Side::B, Indication::Reaction), Lane::A);
    apply("DesligouLampadas");
    EXPECT_EQ(display.shownBy(Side::A, Indication::Reaction), Lane::A);
    EXPECT_EQ(display.shownHeader(Lane::A).pilot, "Outro Piloto");
}
