// How many timing messages a second the race display takes: the effects alone, the whole
// read path (framing, per-item steps, diagnostics, effects), and the resident memory after a
// million messages. Keys that reach the database or the photo files are left out.
// Run: bench_throughput (offscreen; a QApplication, as in the program).

#include "base/timer.h"
#include "novehicles.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"
#include "race/lanevehicles.h"
#include "race/racedisplay.h"
#include "race/readhandler.h"

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
const std::vector<RaceMessage>& baseMessages()
{
    static const std::vector<RaceMessage> messages = [] {
        std::vector<RaceMessage> m;
        const char* simple[] = {"Nova",        "Largada",      "GanhaA",   "GanhaB",  "DesclassA", "DesclassB",
                                "mostraTempo", "escondeTempo", "APS-HIGH", "APS-LOW", "e_AA-HIGH", "e_AA-LOW",
                                "e_AB-HIGH",   "e_AB-LOW",     "BPS-HIGH", "BPS-LOW", "e_BA-HIGH", "e_BA-LOW",
                                "e_BB-HIGH",   "e_BB-LOW",     "sA_Verde", "sB_Verde"};
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

// The message's value for pass `n`, another in every pass: a label given the text it
// already shows returns at once, so replaying the same values would time next to nothing.
Text valueInPass(const RaceMessage& m, int n)
{
    const Text& v = m.value;
    if (v == "0") // a key without a value of its own: its effect is the same each time
        return v;
    const qsizetype point = v.indexOf('.');
    if (point >= 0 && v.at(0) >= '0' && v.at(0) <= '9') // a time or a speed: new decimals
        return v.left(point + 1) + Text::number(n % 1000).rightJustified(3, '0');
    bool number = false;
    v.toInt(&number);
    if (number) // a pilot number, a heat, a position
        return Text::number(1 + n % 997);
    return v + ' ' + Text::number(n); // a name, a category, a car, a status
}

constexpr int kPasses = 1000;

// kPasses passes over every key, each pass with values of its own: from one message to
// the next of the same key the value always changes, also when the list starts over.
const std::vector<RaceMessage>& raceMessages()
{
    static const std::vector<RaceMessage> messages = [] {
        std::vector<RaceMessage> m;
        for (int n = 0; n < kPasses; ++n)
            for (const RaceMessage& base : baseMessages())
                m.push_back({base.key, valueInPass(base, n)});
        return m;
    }();
    return messages;
}

// `count` items as a timing server's text, from message `first` of raceMessages() on.
Text chunkOf(int count, size_t first = 0)
{
    const auto& messages = raceMessages();
    Text chunk;
    for (int i = 0; i < count; ++i) {
        const RaceMessage& m = messages[(first + size_t(i)) % messages.size()];
        if (i)
            chunk += '@';
        chunk += m.key + ':' + m.value;
    }
    return chunk;
}

struct Display {
    overlay::Screen screen;
    Timer tmrResult{"tmrResult", 5000};
    Timer tmrIntervalo{"tmrIntervalo", 60000};
    bench::NoVehicles vehicles;
    race::RaceDisplay race{screen, tmrIntervalo, vehicles};
    race::ReadHandler framing{screen, tmrResult, tmrIntervalo};
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
    state.counters["keys"] = double(baseMessages().size());
}
BENCHMARK(BM_ApplyRaceMessage)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_ReadPath(benchmark::State& state)
{
    Display display;
    const int count = int(state.range(0));
    // Chunks made beforehand, following each other through the messages, so that every
    // item changes what it shows.
    std::vector<Text> chunks;
    const size_t total = raceMessages().size();
    for (size_t first = 0; chunks.empty() || first % total != 0; first += size_t(count))
        chunks.push_back(chunkOf(count, first));
    size_t c = 0;
    for (auto _ : state) {
        display.framing.S_ClienteRead(chunks[c]);
        if (++c == chunks.size())
            c = 0;
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ReadPath)->Arg(1)->Arg(10)->Arg(1000)->Repetitions(3)->ReportAggregatesOnly(true);

// A million messages in 100,000 chunks of ten: resident memory at the end, and how much it
// grew over the second half. Each chunk is a buffer of its own, as each read from the
// socket is: what the memos keep of a chunk is not shared with the next one.
void BM_MillionMessagesMemory(benchmark::State& state)
{
    Display display;
    const int chunks = 100000;
    double half = 0;
    double end = 0;
    double peak = 0;
    for (auto _ : state) {
        for (int c = 0; c < chunks; ++c) {
            display.framing.S_ClienteRead(chunkOf(10, size_t(c) * 10));
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
