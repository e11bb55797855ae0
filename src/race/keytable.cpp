#include "race/keytable.h"

#include <QHash>

namespace quorvel::race {
namespace {

constexpr const char* kKeyTexts[kKeyCount] = {
    "Alinhar", "Nova", "Largada",
    "cod_pilotoA", "num_pilotoA", "catA", "carA", "BatA", "pilA", "apelidoA", "RA", "statusA",
    "PA", "CA", "VA", "TPA", "FA", "posAntA", "posA",
    "cod_pilotoB", "num_pilotoB", "catB", "carB", "BatB", "pilB", "apelidoB", "RB", "statusB",
    "PB", "CB", "VB", "TPB", "FB", "posAntB", "posB",
    "GanhaA", "GanhaB", "DesclassA", "DesclassB", "mostraTempo", "escondeTempo",
    "APS-HIGH", "APS-LOW", "e_AA-HIGH", "e_AA-LOW", "e_AB-HIGH", "e_AB-LOW",
    "BPS-HIGH", "BPS-LOW", "e_BA-HIGH", "e_BA-LOW", "e_BB-HIGH", "e_BB-LOW",
    "sA_Verde", "sB_Verde", "DesligouLampadas",
};

const QHash<QByteArray, Key>& keysByText()
{
    static const QHash<QByteArray, Key> keys = [] {
        QHash<QByteArray, Key> map;
        for (int i = 0; i < kKeyCount; ++i)
            map.insert(QByteArray(kKeyTexts[i]), static_cast<Key>(i));
        return map;
    }();
    return keys;
}

} // namespace

const char* keyText(Key key)
{
    return kKeyTexts[static_cast<int>(key)];
}

std::optional<Key> keyOf(const Text& text)
{
    const auto& keys = keysByText();
    const auto it = keys.constFind(text);
    if (it == keys.constEnd())
        return std::nullopt;
    return *it;
}

} // namespace quorvel::race
