#include "base/config.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QPainter>
#include <benchmark/benchmark.h>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

// The strip as on air during a run: lamps lit, every label filled.
void fillLikeARun(Screen& screen)
{
    screen.setTextMeasure(rendererTextMeasure());
    screen.setText(El::lblPilotoA, "JOAO DA SILVA");
    screen.setText(El::lblPilotoB, "MARIA SOUZA");
    screen.setText(El::lblCategA, "DIANTEIRA ATE 2.0");
    screen.setText(El::lblCategB, "DIANTEIRA ATE 2.0 |  12");
    screen.setText(El::lblReaA, "0.412");
    screen.setText(El::lblReaB, "0.398");
    screen.setText(El::lblHora, "09/12/25 | 14:05");
    for (El e : {El::imgDesclaA, El::imgQueA, El::imgGanhouA, El::imgDesclaB, El::imgGanhouB, El::imgQueB})
        screen.hide(e);
}

void render(benchmark::State& state, QRect area)
{
    Screen screen;
    fillLikeARun(screen);
    Renderer renderer;
    QImage image(area.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.translate(-area.topLeft());
        renderer.paintWindow(painter, screen, area);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_RenderStrip(benchmark::State& state)
{
    render(state, QRect(0, 0, kClientWidth, kStripHeight));
}

void BM_RenderWindow(benchmark::State& state)
{
    render(state, QRect(0, 0, kClientWidth, kClientHeight));
}

// What a timing message costs on screen: one label's text changes, and its boxes are
// painted again into the window's picture.
void BM_LabelChangeAndRepaint(benchmark::State& state)
{
    Screen screen;
    fillLikeARun(screen);
    Renderer renderer;
    QImage image(kClientWidth, kClientHeight, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        renderer.paintWindow(painter, screen, image.rect());
    }
    int n = 0;
    for (auto _ : state) {
        const QRect before = screen.windowRect(El::lbl60A);
        screen.setText(El::lbl60A, QByteArray::number(1.0 + (n++ % 1000) / 1000.0, 'f', 3));
        const QRect dirty = before | screen.windowRect(El::lbl60A);
        QPainter painter(&image);
        painter.setClipRect(dirty);
        renderer.paintWindow(painter, screen, dirty);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

} // namespace

BENCHMARK(BM_RenderStrip)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RenderWindow)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LabelChangeAndRepaint)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
