// Run: bench_photo (offscreen). The lights-off view loads two photos and the window then
// paints them into their boxes; with 12-megapixel camera photos this must stay within
// 150 ms. The last benchmark shows why libjpeg's scaled decoding is not used: its pixels
// are block averages, not the placement rule's samples of the full picture.

#include "base/config.h"
#include "picturebuilders.h"
#include "overlay/pictureplacement.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"
#include "race/photo/decoders.h"
#include "race/photo/photocache.h"
#include "race/photo/screenpicture.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <jpeglib.h>

using namespace quorvel;
using namespace quorvel::race;

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Smooth shading with fine texture, as a face against a background, 4:2:0 as cameras
// write it.
QByteArray cameraJpeg(int seed)
{
    std::vector<uchar> rgb(size_t(kWidth) * kHeight * 3);
    quint32 noise = 12345u + quint32(seed);
    for (int y = 0; y < kHeight; ++y) {
        uchar* row = rgb.data() + size_t(y) * kWidth * 3;
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 28);
            row[x * 3] = uchar((x * 200 / kWidth + n + seed * 20) & 0xFF);
            row[x * 3 + 1] = uchar((y * 180 / kHeight + n) & 0xFF);
            row[x * 3 + 2] = uchar(((x ^ y) >> 4) + n);
        }
    }
    return photo_test::compressJpeg(
        kWidth, kHeight, 3, JCS_RGB, [&](int y) { return rgb.data() + size_t(y) * kWidth * 3; }, 90, true);
}

const QByteArray& photo(int lane)
{
    static const QByteArray photos[2] = {cameraJpeg(0), cameraJpeg(1)};
    return photos[lane];
}

void BM_DecodeJpeg12Megapixels(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeJpeg(photo(0)).constBits());
    state.counters["megapixels_per_s"] =
        benchmark::Counter(double(kWidth) * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

class Row : public PhotoRow {
public:
    explicit Row(const Text& name)
        : m_name(name)
    {
    }
    bool hasPhoto() const override { return true; }
    Text fileName() const override { return m_name; }
    QByteArray photoBytes() const override { return {}; }

private:
    Text m_name;
};

// Both lanes' photos read from the folder into fotoPilotoA and fotoPilotoB, then the
// window's rectangle around the two boxes painted by the overlay's renderer.
void BM_LightsOffTwoPhotos(benchmark::State& state)
{
    QTemporaryDir dir;
    Config config;
    config.photoFolder = dir.filePath(QStringLiteral("fotopilotos")).toLatin1();
    PhotoCache cache(config);
    cache.PreparePhotoFolder();
    for (int lane = 0; lane < 2; ++lane) {
        QFile file(cache.photoFilePath(lane ? "b.jpg" : "a.jpg"));
        file.open(QIODevice::WriteOnly);
        file.write(photo(lane));
    }
    overlay::Screen screen;
    overlay::Renderer renderer;
    ScreenPicture fotoPilotoA(screen, overlay::El::fotoPilotoA);
    ScreenPicture fotoPilotoB(screen, overlay::El::fotoPilotoB);
    const QRect area = screen.windowRect(overlay::El::fotoPilotoA) | screen.windowRect(overlay::El::fotoPilotoB);
    QImage window(area.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        cache.LoadPilotPhoto(Row("a.jpg"), fotoPilotoA);
        cache.LoadPilotPhoto(Row("b.jpg"), fotoPilotoB);
        QPainter painter(&window);
        painter.translate(-area.topLeft());
        renderer.paintWindow(painter, screen, area);
        painter.end();
        benchmark::DoNotOptimize(window.constBits());
    }
    // what the screen model keeps of the two photos while they are shown
    state.counters["held_MB"] = double(screen.element(overlay::El::fotoPilotoA).picture.sizeInBytes()
                                       + screen.element(overlay::El::fotoPilotoB).picture.sizeInBytes())
        / 1e6;
}

// libjpeg's 1/8 scaled decoding for the 89 x 96 box, against the placement rule's
// sampling of the fully decoded picture: the share of drawn pixels that come out equal.
void BM_ScaledDecodeComparedWithSampling(benchmark::State& state)
{
    const QImage full = decodeJpeg(photo(0));
    const QRect placed = overlay::placePicture(full.size(), QSize(89, 96), true, true);
    const QImage sampled = overlay::preparePicture(full, placed.size(), false);
    QImage scaled;
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const uchar*>(photo(0).constData()), photo(0).size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.scale_num = 1;
        cinfo.scale_denom = 8;
        cinfo.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&cinfo);
        scaled = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = scaled.scanLine(int(cinfo.output_scanline));
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
    }
    const QImage fromScaled = overlay::preparePicture(scaled, placed.size(), false);
    qint64 equal = 0;
    for (int y = 0; y < sampled.height(); ++y)
        for (int x = 0; x < sampled.width(); ++x)
            equal += fromScaled.pixel(x, y) == sampled.pixel(x, y);
    state.counters["equal_share"] = double(equal) / (double(sampled.width()) * sampled.height());
}

} // namespace

BENCHMARK(BM_DecodeJpeg12Megapixels)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LightsOffTwoPhotos)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ScaledDecodeComparedWithSampling)->Unit(benchmark::kMillisecond)->Iterations(5);
