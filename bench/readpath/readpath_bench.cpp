// How fast received text is cut and stepped through, and what a flood of it costs in memory.
// Run: bench_readpath (offscreen; a QApplication, as in the program, so processEvents before
// each item costs what it costs there).

#include "base/timer.h"
#include "link/linkevents.h"
#include "link/tcpclient.h"
#include "overlay/screen.h"
#include "race/readhandler.h"

#include "residentmemory.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <benchmark/benchmark.h>

#include <algorithm>

using quorvel::Text;
using quorvel::Timer;
using quorvel::overlay::Screen;
using quorvel::race::RaceMessage;
using quorvel::race::ReadHandler;

namespace {

// A chunk of `count` messages of twenty bytes each, separator included, as a timing server sends them.
Text messages(int count)
{
    Text chunk;
    chunk.reserve(count * 20);
    for (int i = 0; i < count; ++i) {
        if (i)
            chunk += '@';
        chunk += i % 2 ? "TPA:" + QByteArray::number(i).rightJustified(15, '0')
                       : "RB:" + QByteArray::number(i).rightJustified(16, '0');
    }
    return chunk;
}

struct ReadPath {
    Screen screen;
    Timer tmrResult{"tmrResult", 5000};
    Timer tmrIntervalo{"tmrIntervalo", 60000};
    ReadHandler framing{screen, tmrResult, tmrIntervalo};
    qint64 applied = 0;
    ReadPath()
    {
        framing.setApplyRaceMessage([this](const RaceMessage&) { ++applied; });
    }
};

// The 1 MB chunk of 50,000 messages: its time, and the resident memory it takes beyond itself
// at its peak (sampled every 128 messages) and once it is done. First, so
// that memory left resident by other runs does not hide it.
void BM_MegabyteChunk(benchmark::State& state)
{
    ReadPath path;
    const Text chunk = messages(50000);
    size_t base = 0;
    size_t peak = 0;
    path.framing.setApplyRaceMessage([&](const RaceMessage&) {
        if ((++path.applied & 127) == 0)
            peak = std::max(peak, residentBytes());
    });
    double peakExtra = 0;
    double keptExtra = 0;
    for (auto _ : state) {
        base = residentBytes();
        peak = base;
        path.framing.S_ClienteRead(chunk);
        peakExtra = std::max(peakExtra, static_cast<double>(peak) - static_cast<double>(base));
        keptExtra = std::max(keptExtra, static_cast<double>(residentBytes()) - static_cast<double>(base));
    }
    state.SetItemsProcessed(state.iterations() * 50000);
    state.counters["chunk_MB"] = chunk.size() / 1e6;
    state.counters["peak_extra_MB"] = peakExtra / 1e6;
    state.counters["kept_extra_MB"] = keptExtra / 1e6;
}
BENCHMARK(BM_MegabyteChunk)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FramingChunk(benchmark::State& state)
{
    ReadPath path;
    const Text chunk = messages(static_cast<int>(state.range(0)));
    for (auto _ : state)
        path.framing.S_ClienteRead(chunk);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * chunk.size());
}
BENCHMARK(BM_FramingChunk)->Arg(1)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The whole path from the socket: a loopback server writes the messages, the link reads
// what is waiting at each read event and the framing applies it.
class Recorder : public quorvel::link::LinkEvents {
public:
    explicit Recorder(ReadHandler& framing)
        : m_framing(framing)
    {
    }
    void onConnect() override { }
    void onDisconnect() override { }
    void onError(int) override { }
    void onRead(const Text& chunk) override { m_framing.S_ClienteRead(chunk); }
    void onFailure(const Text& message) override { qFatal("link failure: %s", message.constData()); }

private:
    ReadHandler& m_framing;
};

void BM_LoopbackReadPath(benchmark::State& state)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    ReadPath path;
    Recorder events(path.framing);
    quorvel::link::TcpClient client(events, "127.0.0.1", server.serverPort());
    path.framing.setPauseReads([&](bool paused) { client.setReadPaused(paused); });
    client.requestConnect();
    while (!server.hasPendingConnections() || client.state() != quorvel::link::LinkState::Connected)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTcpSocket* peer = server.nextPendingConnection();

    const int count = static_cast<int>(state.range(0));
    const Text text = messages(count) + '@'; // each write ends an item, as a server's would
    for (auto _ : state) {
        const qint64 target = path.applied + count;
        peer->write(text);
        while (path.applied < target)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LoopbackReadPath)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
