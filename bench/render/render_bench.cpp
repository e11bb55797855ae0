#include "base/config.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"
#include "screenlikearun.h"

#include <QPainter>
#include <benchmark/benchmark.h>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

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
