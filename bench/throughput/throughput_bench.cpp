// How many timing messages a second the race display takes: the effects alone, the whole
// read path (framing, per-item steps, diagnostics, effects), and the resident memory after a
// million messages. Keys that reach the database or the photo files are left out.
// Run: bench_throughput (offscreen; a QApplication, as in the program).

#include "base/timer.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"
#include "race/readhandler.h"
#include "race/lanevehicles.h"
#include "race/racedisplay.h"

#include "residentmemory.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

using namespace quorvel;
using overlay::El;
using race::Lane;
using race::RaceMessage;

namespace {

// Every key whose effect stays in the lanes and on the screen, each with a value in the
// form the timing server sends.
const std::vector<RaceMessage>& raceMessages()
{
    static const std::vector<RaceMessage> messages = [] {
        std::vector<RaceMessage> m;
        const char* simple[] = {"Nova", "Largada", "GanhaA", "GanhaB", "DesclassA", "DesclassB",
                                "mostraTempo", "escondeTempo", "APS-HIGH", "APS-LOW", "e_AA-HIGH",
                                "e_AA-LOW", "e_AB-HIGH", "e_AB-LOW", "BPS-HIGH", "BPS-LOW",
                                "e_BA-HIGH", "e_BA-LOW", "e_BB-HIGH", "e_BB-LOW", "sA_Verde", "sB_Verde"};
        for (const char* key : simple)
            m.push_back({key, "0"});
        for (const char* lane : {"A", "B"}) {
            const QByteArray l(lane);
            m.push_back({"num_piloto" + l, "123"});
            m.push_back({"cat" + l, "DIANTEIRA ATE 2.0"});
            m.push_back({"car" + l, "GOL GTI"});
            m.push_back({"Bat" + l, "3"});
            m.push_back({"pil" + l, "JOAO CARLOS DA SILVA"});
            m.push_back({"apelido" + l, "FOGUETE"});
            m.push_back({"R" + l, "0.412"});
            m.push_back({"status" + l, "VENCEDOR"});
            m.push_back({"P" + l, "1.623"});
            m.push_back({"C" + l, "5.418"});
            m.push_back({"V" + l, "187.4"});
            m.push_back({"TP" + l, "7.845"});
            m.push_back({"F" + l, "8.257"});
            m.push_back({"posAnt" + l, "2"});
            m.push_back({"pos" + l, "1"});
        }
        return m;
    }();
    return messages;
}

// The same messages as a timing server's text, `count` items.
Text chunkOf(int count)
{
    const auto& messages = raceMessages();
    Text chunk;
    for (int i = 0; i < count; ++i) {
        const RaceMessage& m = messages[size_t(i) % messages.size()];
        if (i)
            chunk += '@';
        chunk += m.key + ':' + m.value;
    }
    return chunk;
}

// No database: these keys never ask for it.
class NoVehicles : public race::LaneVehicles {
public:
    void closeVehicle(Lane) override { }
    void openVehicle(Lane, qint32) override { }
    void preparePhotoFolder() override { }
    void storePhoto(Lane) override { }
    void loadPhoto(Lane, El) override { }
};

struct Display {
    overlay::Screen screen;
    Timer tmrResult {"tmrResult", 5000};
    Timer tmrIntervalo {"tmrIntervalo", 60000};
    NoVehicles vehicles;
    race::RaceDisplay race {screen, tmrIntervalo, vehicles};
    race::ReadHandler framing {screen, tmrResult, tmrIntervalo};
    Display()
    {
        screen.setTextMeasure(overlay::rendererTextMeasure());
        framing.setApplyRaceMessage([this](const RaceMessage& m) { race.ApplyRaceMessage(m); });
    }
};

void BM_ApplyRaceMessage(benchmark::State& state)
{
    Display display;
    const auto& messages = raceMessages();
    size_t i = 0;
    for (auto _ : state) {
        display.race.ApplyRaceMessage(messages[i]);
        if (++i == messages.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["keys"] = double(messages.size());
}
BENCHMARK(BM_ApplyRaceMessage)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_ReadPath(benchmark::State& state)
{
    Display display;
    const int count = int(state.range(0));
    const Text chunk = chunkOf(count);
    for (auto _ : state)
        display.framing.S_ClienteRead(chunk);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ReadPath)->Arg(1)->Arg(10)->Arg(1000)->Repetitions(3)->ReportAggregatesOnly(true);

// A million messages in 100,000 chunks of ten: resident memory at the end, and how much it
// grew over the second half.
void BM_MillionMessagesMemory(benchmark::State& state)
{
    Display display;
    const Text chunk = chunkOf(10);
    const int chunks = 100000;
    double half = 0;
    double end = 0;
    double peak = 0;
    for (auto _ : state) {
        for (int c = 0; c < chunks; ++c) {
            display.framing.S_ClienteRead(chunk);
            if (c == chunks / 2)
                half = double(residentBytes());
            if ((c & 1023) == 0)
                peak = std::max(peak, double(residentBytes()));
        }
        end = double(residentBytes());
    }
    state.SetItemsProcessed(state.iterations() * chunks * 10);
    state.counters["rss_end_MB"] = end / 1e6;
    state.counters["rss_peak_MB"] = std::max(peak, end) / 1e6;
    state.counters["second_half_growth_MB"] = (end - half) / 1e6;
}
BENCHMARK(BM_MillionMessagesMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
