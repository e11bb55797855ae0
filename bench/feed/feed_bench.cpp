#include "feed/changebatcher.h"
#include "feed/pngpictures.h"
#include "feed/statedocument.h"

#include "overlay/renderer.h"
#include "overlay/screen.h"
#include "screenlikearun.h"

#include <QJsonDocument>
#include <benchmark/benchmark.h>

using namespace quorvel;
using namespace quorvel::feed;
using overlay::El;

namespace {

// The screen as on air during a run, with a day's worth of mLog behind it.
void fillLikeARunWithItsLog(overlay::Screen& screen)
{
    fillLikeARun(screen);
    for (int i = 0; i < 10000; ++i)
        screen.appendLine(El::mLog, "14:05:12 Mensagem recebida do servidor de cronometragem " + QByteArray::number(i));
}

// An /events change: the state read again, the patch against what the clients have, as text.
void BM_StatePatchForALamp(benchmark::State& state)
{
    overlay::Screen screen;
    fillLikeARunWithItsLog(screen);
    QJsonObject sent = stateDocument(screen);
    bool lit = false;
    for (auto _ : state) {
        screen.setVisible(El::imgPreA, lit = !lit);
        QJsonObject now = stateDocument(screen);
        const QByteArray message = QJsonDocument(mergePatch(sent, now)).toJson(QJsonDocument::Compact);
        sent = std::move(now);
        benchmark::DoNotOptimize(message.constData());
    }
}

// A /program change: a reaction time's box drawn with alpha, as the message that carries it.
void BM_ChangedRectangleMessage(benchmark::State& state)
{
    overlay::Screen screen;
    fillLikeARunWithItsLog(screen);
    overlay::Renderer renderer;
    int n = 0;
    for (auto _ : state) {
        screen.setText(El::lblReaA, QByteArray::number(0.4 + (n++ % 100) / 1000.0, 'f', 3));
        const QByteArray message = programMessage(renderer, screen, screen.windowRect(El::lblReaA));
        benchmark::DoNotOptimize(message.constData());
        state.counters["message_kB"] = message.size() / 1000.0;
    }
}

// What a client's first /program message costs: the whole picture.
void BM_WholeProgramPng(benchmark::State& state)
{
    overlay::Screen screen;
    fillLikeARunWithItsLog(screen);
    overlay::Renderer renderer;
    const QRect area(0, 0, screen.clientWidth(), screen.clientHeight());
    for (auto _ : state) {
        const QByteArray png = pngBytes(programPicture(renderer, screen, area));
        benchmark::DoNotOptimize(png.constData());
        state.counters["png_kB"] = png.size() / 1000.0;
    }
}

} // namespace

BENCHMARK(BM_StatePatchForALamp)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ChangedRectangleMessage)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WholeProgramPng)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
