#pragma once

#include "base/text.h"
#include "race/lanerecord.h"

#include <optional>

namespace quorvel::race {

// Every key of the timing server's protocol that has an effect, in the order of the
// protocol's table. Keys are compared byte by byte, case-sensitive, blanks included.
// Kept as laid out by hand: a row a group of the protocol's keys.
// clang-format off
enum class Key {
    Alinhar, Nova, Largada,
    cod_pilotoA, num_pilotoA, catA, carA, BatA, pilA, apelidoA, RA, statusA,
    PA, CA, VA, TPA, FA, posAntA, posA,
    cod_pilotoB, num_pilotoB, catB, carB, BatB, pilB, apelidoB, RB, statusB,
    PB, CB, VB, TPB, FB, posAntB, posB,
    GanhaA, GanhaB, DesclassA, DesclassB, mostraTempo, escondeTempo,
    APS_HIGH, APS_LOW, e_AA_HIGH, e_AA_LOW, e_AB_HIGH, e_AB_LOW,
    BPS_HIGH, BPS_LOW, e_BA_HIGH, e_BA_LOW, e_BB_HIGH, e_BB_LOW,
    sA_Verde, sB_Verde, DesligouLampadas,
};
// clang-format on

inline constexpr int kKeyCount = static_cast<int>(Key::DesligouLampadas) + 1;

// What a key does. The lane-less actions ignore the lane.
enum class Action {
    Reset,
    NextPair,
    Start,
    LookUpVehicle,
    Number,
    Category,
    Car,
    Heat,
    Pilot,
    Nickname,
    Reaction,
    Status,
    SixtyFeet,
    HundredMetres,
    Speed,
    TrackTime,
    Total,
    Position,
    Win,
    Disqualify,
    ShowTimes,
    HideTimes,
    LampOn,
    LampOff,
    LightsOff,
};

// The start tree's lamps that the timing server switches one by one.
enum class Lamp { PreStage, Stage, Foul, Green };

struct KeyEffect {
    Action action;
    Lane lane = Lane::A;
    Lamp lamp = Lamp::PreStage; // only for LampOn and LampOff
};

// The key's text as the timing server sends it ("APS-HIGH" for Key::APS_HIGH).
const char* keyText(Key key);

// The key a text names, or nothing ("LA", "alinhar" and " Alinhar" name none).
std::optional<Key> keyOf(const Text& text);

// The action and lane of a key ("PB": the 60-foot time of lane B).
KeyEffect effectOf(Key key);

} // namespace quorvel::race
