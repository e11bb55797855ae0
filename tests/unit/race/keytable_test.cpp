#include "race/keytable.h"
#include "race/racedisplay.h"

#include "base/failure.h"
#include "base/timer.h"
#include "overlay/screen.h"

#include "fakevehicles.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace quorvel;
using namespace quorvel::race;
using overlay::El;

namespace {

using Diff = std::set<std::string>;

struct Snapshot {
    bool visible[overlay::kElementCount];
    Text text[overlay::kElementCount];
};

Snapshot snapshot(const overlay::Screen& screen)
{
    Snapshot s;
    for (int i = 0; i < overlay::kElementCount; ++i) {
        s.visible[i] = screen.visible(static_cast<El>(i));
        s.text[i] = screen.text(static_cast<El>(i));
    }
    return s;
}

// "+name" shown, "-name" hidden, "name=text" a new text.
Diff diff(const Snapshot& before, const Snapshot& after)
{
    Diff d;
    for (int i = 0; i < overlay::kElementCount; ++i) {
        const std::string name = overlay::elementName(static_cast<El>(i));
        if (before.visible[i] != after.visible[i])
            d.insert((after.visible[i] ? "+" : "-") + name);
        if (before.text[i] != after.text[i])
            d.insert(name + "=" + after.text[i].toStdString());
    }
    return d;
}

const El kLamps[] = {El::imgPreA, El::imgStageA, El::imgQueA, El::imgStartA, El::imgGanhouA, El::imgDesclaA,
                     El::imgPreB, El::imgStageB, El::imgQueB, El::imgStartB, El::imgGanhouB, El::imgDesclaB};

struct Display : ::testing::Test {
    overlay::Screen screen;
    Timer tmrIntervalo{"tmrIntervalo", 60000};
    FakeVehicles vehicles;
    RaceDisplay display{screen, tmrIntervalo, vehicles};

    void SetUp() override { display.limpadados(); }
    void apply(const char* key, const Text& value = Text()) { display.ApplyRaceMessage({key, value}); }
};

} // namespace

TEST(KeyTable, NamesEveryKeyByItsExactText)
{
    for (int i = 0; i < kKeyCount; ++i) {
        const Key key = static_cast<Key>(i);
        EXPECT_EQ(keyOf(keyText(key)), key);
    }
    for (const Text& other : {Text("LA"), Text("LB"), Text("alinhar"), Text(" Alinhar"), Text("Alinhar "),
                              Text("APS_HIGH"), Text(""), Text("Alinhar\0", 8)})
        EXPECT_FALSE(keyOf(other).has_value()) << other.constData();
}

TEST_F(Display, EveryKeyChangesExactlyItsElements)
{
    const struct {
        const char* key;
        Text value;
        bool ticked;
        bool lampsOn; // start with all twelve lamp and mark images shown
        Diff expected;
    } cases[] = {
        {"RA", "0.123", false, false, {"lblReaA=0.123", "+lblReaA", "+lblERT"}},
        {"RA", "0.123", true, false, {"lblReaB=0.123", "+lblReaB", "+lblDRT"}},
        {"RB", "0.456", false, false, {"lblReaB=0.456", "+lblReaB", "+lblDRT"}},
        {"RB", "0.456", true, false, {"lblReaA=0.456", "+lblReaA", "+lblERT"}},
        {"statusA", "Queimou", false, false, {"+imgQueA"}},
        {"statusA", "Queimou", true, false, {"+imgQueB"}},
        {"statusA", "Valido", false, false, {}},
        {"statusB", "Queimou", false, false, {"+imgQueB"}},
        {"statusB", "Queimou", true, false, {"+imgQueA"}},
        {"PA", "1.100", true, false, {"lbl60A=1.100", "+lbl60A", "+lblE60Pes"}},
        {"CA", "4.200", true, false, {"lbl100A=4.200", "+lbl100A", "+lblEParc02"}},
        {"VA", "250.1", true, false, {"lblVelA=250.1", "+lblVelA", "+lblEkm"}},
        {"TPA", "6.500", true, false, {"lblTPistaA=6.500", "+lblTPistaA", "+lblEPista"}},
        {"FA", "7.000", true, false, {"lblTTotalA=7.000", "+lblTTotalA", "+lblEFim"}},
        {"PB", "1.200", true, false, {"lbl60B=1.200", "+lbl60B", "+lblD60pes"}},
        {"CB", "4.300", false, false, {"lbl100B=4.300", "+lbl100B", "+lblDParc02"}},
        {"VB", "249.9", false, false, {"lblVelB=249.9", "+lblVelB", "+lblDKm"}},
        {"TPB", "6.600", false, false, {"lblTPistaB=6.600", "+lblTPistaB", "+lblDPista"}},
        {"FB", "7.100", true, false, {"lblTTotalB=7.100", "+lblTTotalB", "+lblDFim"}},
        {"posAntA", "2\xBA", true, false, {"lblPosA=2\xBA"}},
        {"posA", "1\xBA", false, false, {"lblPosA=1\xBA"}},
        {"posAntB", "3\xBA", false, false, {"lblPosB=3\xBA"}},
        {"posB", "4\xBA", true, false, {"lblPosB=4\xBA"}},
        {"GanhaA", "", true, false, {"+imgGanhouA", "lblStatusA=VENCEU"}},
        {"GanhaB", "x", false, false, {"+imgGanhouB", "lblStatusB=VENCEU"}},
        {"DesclassA", "", false, false, {"+imgDesclaA", "lblStatusA=Desclass"}},
        {"DesclassB", "", true, false, {"+imgDesclaB", "lblStatusB=Desclass"}},
        {"APS-HIGH", "", false, false, {"+imgPreA"}},
        {"APS-HIGH", "", true, false, {"+imgPreB"}},
        {"APS-LOW", "", false, true, {"-imgPreA"}},
        {"APS-LOW", "", true, true, {"-imgPreB"}},
        {"e_AA-HIGH", "", false, false, {"+imgStageA"}},
        {"e_AA-HIGH", "", true, false, {"+imgStageB"}},
        {"e_AA-LOW", "", false, true, {"-imgStageA"}},
        {"e_AA-LOW", "", true, true, {"-imgStageB"}},
        {"e_AB-HIGH", "", false, false, {"+imgQueA"}},
        {"e_AB-HIGH", "", true, false, {"+imgQueB"}},
        {"e_AB-LOW", "", false, true, {"-imgQueA"}},
        {"e_AB-LOW", "", true, true, {"-imgQueB"}},
        {"BPS-HIGH", "", false, false, {"+imgPreB"}},
        {"BPS-HIGH", "", true, false, {"+imgPreA"}},
        {"BPS-LOW", "", false, true, {"-imgPreB"}},
        {"BPS-LOW", "", true, true, {"-imgPreA"}},
        {"e_BA-HIGH", "", false, false, {"+imgStageB"}},
        {"e_BA-HIGH", "", true, false, {"+imgStageA"}},
        {"e_BA-LOW", "", false, true, {"-imgStageB"}},
        {"e_BA-LOW", "", true, true, {"-imgStageA"}},
        {"e_BB-HIGH", "", false, false, {"+imgQueB"}},
        {"e_BB-HIGH", "", true, false, {"+imgQueA"}},
        {"e_BB-LOW", "", false, true, {"-imgQueB"}},
        {"e_BB-LOW", "", true, true, {"-imgQueA"}},
        {"sA_Verde", "", false, false, {"+imgStartA"}},
        {"sA_Verde", "", true, false, {"+imgStartB"}},
        {"sB_Verde", "", false, false, {"+imgStartB"}},
        {"sB_Verde", "", true, false, {"+imgStartA"}},
        {"DesligouLampadas",
         "",
         false,
         true,
         {"-imgPreA", "-imgStageA", "-imgQueA", "-imgStartA", "-imgGanhouA", "-imgDesclaA", "-imgPreB", "-imgStageB",
          "-imgQueB", "-imgStartB", "-imgGanhouB", "-imgDesclaB"}},
        {"mostraTempo", "", false, false, {}},
        {"escondeTempo", "", false, false, {}},
        {"num_pilotoA", "12", true, false, {}},
        {"pilA", "Ana Souza", true, false, {}},
        {"LA", "1", false, false, {}},
        {"LB", "1", false, false, {}},
        {"alinhar", "", false, true, {}},
        {" Alinhar", "", false, true, {}},
    };
    for (const auto& c : cases) {
        display.limpadados();
        screen.setChecked(El::ckCameraPos, c.ticked);
        if (c.lampsOn)
            for (El lamp : kLamps)
                screen.show(lamp);
        const Snapshot before = snapshot(screen);
        apply(c.key, c.value);
        EXPECT_EQ(diff(before, snapshot(screen)), c.expected)
            << c.key << " " << c.value.constData() << (c.ticked ? " (ticked)" : "");
    }
}

TEST_F(Display, RecordKeysStoreTheirTextsAndShowNothing)
{
    apply("num_pilotoA", "12");
    apply("catA", "Pro Street");
    apply("carA", "Opala");
    apply("BatA", "2");
    apply("pilA", "Jo\xE3o Carlos da Silva");
    apply("apelidoA", "Foguete");
    apply("num_pilotoB", "7");
    apply("pilB", "Lima Lima");
    const LaneRecord& a = display.lane(Lane::A);
    EXPECT_EQ(a.number, "12");
    EXPECT_EQ(a.category, "Pro Street");
    EXPECT_EQ(a.car, "Opala");
    EXPECT_EQ(a.heat, "2");
    EXPECT_EQ(a.pilot, "Jo\xE3o Silva");
    EXPECT_EQ(a.nickname, "Foguete");
    EXPECT_EQ(display.lane(Lane::B).number, "7");
    EXPECT_EQ(display.lane(Lane::B).pilot, "Lima");
    EXPECT_EQ(screen.text(El::lblPilotoA), "") << "a record alone changes nothing on screen";
}

TEST_F(Display, CoverPanelsFollowTheTimesMode)
{
    struct Step {
        const char* key;
        bool coversBefore;
        bool coversAfter;
    };
    const struct {
        const char* mode; // key that sets the mode first, or nullptr for an empty mode
        Step step;
    } cases[] = {
        {nullptr, {"TPA", true, false}},
        {nullptr, {"FA", true, true}},
        {nullptr, {"Nova", true, true}},
        {nullptr, {"Largada", false, false}},
        {"mostraTempo", {"TPB", true, false}},
        {"mostraTempo", {"FB", true, true}},
        {"mostraTempo", {"Largada", true, false}},
        {"mostraTempo", {"Nova", true, false}},
        {"escondeTempo", {"TPA", false, true}},
        {"escondeTempo", {"FA", false, true}},
        {"escondeTempo", {"Largada", false, true}},
        {"escondeTempo", {"Alinhar", false, true}},
    };
    for (const auto& c : cases) {
        RaceDisplay fresh(screen, tmrIntervalo, vehicles);
        if (c.mode)
            fresh.ApplyRaceMessage({c.mode, ""});
        screen.setVisible(El::pnlEscondeA, c.step.coversBefore);
        screen.setVisible(El::pnlEscondeB, c.step.coversBefore);
        fresh.ApplyRaceMessage({c.step.key, "1.000"});
        EXPECT_EQ(screen.visible(El::pnlEscondeA), c.step.coversAfter) << (c.mode ? c.mode : "-") << " " << c.step.key;
        EXPECT_EQ(screen.visible(El::pnlEscondeB), c.step.coversAfter) << (c.mode ? c.mode : "-") << " " << c.step.key;
    }
}

TEST_F(Display, NovaStopsTheIdleCountdownAndKeepsNumberAndHeat)
{
    tmrIntervalo.start();
    apply("num_pilotoA", "12");
    apply("BatA", "3");
    apply("carA", "Opala");
    apply("pilA", "Ana");
    apply("Nova");
    EXPECT_FALSE(tmrIntervalo.enabled());
    apply("Alinhar");
    EXPECT_EQ(screen.text(El::lblVeiculoA), "#12 | ");
    EXPECT_EQ(screen.text(El::lblCategA), " | B: 3");
    EXPECT_EQ(screen.text(El::lblPilotoA), "");
}

TEST_F(Display, AVehicleCodeIsLookedUpAndABadOneLeavesTheLaneClosed)
{
    vehicles.calls.clear();
    apply("cod_pilotoA", " 42");
    apply("cod_pilotoB", "-7");
    EXPECT_EQ(vehicles.calls,
              QStringList({QStringLiteral("close A"), QStringLiteral("open A 42"), QStringLiteral("close B"),
                           QStringLiteral("open B -7")}));
    vehicles.calls.clear();
    try {
        apply("cod_pilotoA", "12a");
        ADD_FAILURE() << "a bad code was accepted";
    } catch (const Failure& e) {
        EXPECT_EQ(e.message(), "'12a' is not a valid integer value");
    }
    EXPECT_EQ(vehicles.calls, QStringList({QStringLiteral("close A")}));
}

TEST_F(Display, LampKeysFollowTheBoxAtTheMomentTheyArrive)
{
    screen.setChecked(El::ckCameraPos, true);
    apply("APS-HIGH");
    screen.setChecked(El::ckCameraPos, false);
    apply("APS-LOW");
    EXPECT_TRUE(screen.visible(El::imgPreB)) << "lit while ticked, stays lit";
    EXPECT_FALSE(screen.visible(El::imgPreA));
}
