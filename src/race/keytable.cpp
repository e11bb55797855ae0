#include "race/keytable.h"

#include <QHash>

namespace quorvel::race {
namespace {

struct KeyRow {
    const char* text;
    KeyEffect effect;
};

constexpr KeyEffect laneAction(Action action, Lane lane)
{
    return {action, lane};
}
constexpr KeyEffect lamp(Action onOrOff, Lane lane, Lamp which)
{
    return {onOrOff, lane, which};
}

// One row a key, in the order of the Key enumeration.
constexpr KeyRow kKeys[kKeyCount] = {
    {"Alinhar", {Action::Reset}},
    {"Nova", {Action::NextPair}},
    {"Largada", {Action::Start}},

    {"cod_pilotoA", laneAction(Action::LookUpVehicle, Lane::A)},
    {"num_pilotoA", laneAction(Action::Number, Lane::A)},
    {"catA", laneAction(Action::Category, Lane::A)},
    {"carA", laneAction(Action::Car, Lane::A)},
    {"BatA", laneAction(Action::Heat, Lane::A)},
    {"pilA", laneAction(Action::Pilot, Lane::A)},
    {"apelidoA", laneAction(Action::Nickname, Lane::A)},
    {"RA", laneAction(Action::Reaction, Lane::A)},
    {"statusA", laneAction(Action::Status, Lane::A)},
    {"PA", laneAction(Action::SixtyFeet, Lane::A)},
    {"CA", laneAction(Action::HundredMetres, Lane::A)},
    {"VA", laneAction(Action::Speed, Lane::A)},
    {"TPA", laneAction(Action::TrackTime, Lane::A)},
    {"FA", laneAction(Action::Total, Lane::A)},
    {"posAntA", laneAction(Action::Position, Lane::A)},
    {"posA", laneAction(Action::Position, Lane::A)},

    {"cod_pilotoB", laneAction(Action::LookUpVehicle, Lane::B)},
    {"num_pilotoB", laneAction(Action::Number, Lane::B)},
    {"catB", laneAction(Action::Category, Lane::B)},
    {"carB", laneAction(Action::Car, Lane::B)},
    {"BatB", laneAction(Action::Heat, Lane::B)},
    {"pilB", laneAction(Action::Pilot, Lane::B)},
    {"apelidoB", laneAction(Action::Nickname, Lane::B)},
    {"RB", laneAction(Action::Reaction, Lane::B)},
    {"statusB", laneAction(Action::Status, Lane::B)},
    {"PB", laneAction(Action::SixtyFeet, Lane::B)},
    {"CB", laneAction(Action::HundredMetres, Lane::B)},
    {"VB", laneAction(Action::Speed, Lane::B)},
    {"TPB", laneAction(Action::TrackTime, Lane::B)},
    {"FB", laneAction(Action::Total, Lane::B)},
    {"posAntB", laneAction(Action::Position, Lane::B)},
    {"posB", laneAction(Action::Position, Lane::B)},

    {"GanhaA", laneAction(Action::Win, Lane::A)},
    {"GanhaB", laneAction(Action::Win, Lane::B)},
    {"DesclassA", laneAction(Action::Disqualify, Lane::A)},
    {"DesclassB", laneAction(Action::Disqualify, Lane::B)},
    {"mostraTempo", {Action::ShowTimes}},
    {"escondeTempo", {Action::HideTimes}},

    {"APS-HIGH", lamp(Action::LampOn, Lane::A, Lamp::PreStage)},
    {"APS-LOW", lamp(Action::LampOff, Lane::A, Lamp::PreStage)},
    {"e_AA-HIGH", lamp(Action::LampOn, Lane::A, Lamp::Stage)},
    {"e_AA-LOW", lamp(Action::LampOff, Lane::A, Lamp::Stage)},
    {"e_AB-HIGH", lamp(Action::LampOn, Lane::A, Lamp::Foul)},
    {"e_AB-LOW", lamp(Action::LampOff, Lane::A, Lamp::Foul)},
    {"BPS-HIGH", lamp(Action::LampOn, Lane::B, Lamp::PreStage)},
    {"BPS-LOW", lamp(Action::LampOff, Lane::B, Lamp::PreStage)},
    {"e_BA-HIGH", lamp(Action::LampOn, Lane::B, Lamp::Stage)},
    {"e_BA-LOW", lamp(Action::LampOff, Lane::B, Lamp::Stage)},
    {"e_BB-HIGH", lamp(Action::LampOn, Lane::B, Lamp::Foul)},
    {"e_BB-LOW", lamp(Action::LampOff, Lane::B, Lamp::Foul)},
    {"sA_Verde", lamp(Action::LampOn, Lane::A, Lamp::Green)},
    {"sB_Verde", lamp(Action::LampOn, Lane::B, Lamp::Green)},
    {"DesligouLampadas", {Action::LightsOff}},
};

const QHash<QByteArray, Key>& keysByText()
{
    static const QHash<QByteArray, Key> keys = [] {
        QHash<QByteArray, Key> map;
        for (int i = 0; i < kKeyCount; ++i)
            map.insert(QByteArray(kKeys[i].text), static_cast<Key>(i));
        return map;
    }();
    return keys;
}

} // namespace

const char* keyText(Key key)
{
    return kKeys[static_cast<int>(key)].text;
}

std::optional<Key> keyOf(const Text& text)
{
    const auto& keys = keysByText();
    const auto it = keys.constFind(text);
    if (it == keys.constEnd())
        return std::nullopt;
    return *it;
}

KeyEffect effectOf(Key key)
{
    return kKeys[static_cast<int>(key)].effect;
}

} // namespace quorvel::race
