// Run: bench_photo (offscreen). The lights-off view loads two photos and the window then
// paints them into their boxes; with 12-megapixel camera photos this must stay within
// 100 ms, with two 45-megapixel camera photos within 400 ms, with two of 100 megapixels
// within 900 ms, with the two heaviest metafiles the limits let through within 300 ms,
// and a photo the limits refuse must be refused within 50 ms however it is built. The
// last benchmark measures what libjpeg's scaled decoding changes in the drawn pixels:
// they are block averages, not the placement rule's samples of the full picture.

#include "base/config.h"
#include "overlay/pictureplacement.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"
#include "picturebuilders.h"
#include "race/photo/decoders.h"
#include "race/photo/photofilebytes.h"
#include "race/photo/picturelimits.h"
#include "race/photo/pilotphotofiles.h"
#include "race/photo/screenpicture.h"
#include "race/photofailure.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <jpeglib.h>
#include <unistd.h>

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

// The largest picture of the limits with the given sides' ratio of 4:3.
QSize largestPicture()
{
    const int height = int(std::sqrt(double(kMaxPicturePixels) * 3 / 4));
    return QSize(int(kMaxPicturePixels / height), height);
}

// A camera-like JPEG of any size: noise over gradients, 4:2:0, quality 90.
QByteArray noiseJpeg(QSize size, int seed)
{
    std::vector<uchar> row(size_t(size.width()) * 3);
    quint32 noise = 777u + quint32(seed);
    return photo_test::compressJpeg(
        size.width(), size.height(), 3, JCS_RGB,
        [&](int y) {
            for (int x = 0; x < size.width(); ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int n = int(noise >> 28);
                row[size_t(x) * 3] = uchar((x * 200 / size.width() + n + seed * 20) & 0xFF);
                row[size_t(x) * 3 + 1] = uchar((y * 180 / size.height() + n) & 0xFF);
                row[size_t(x) * 3 + 2] = uchar(((x ^ y) >> 4) + n);
            }
            return row.data();
        },
        90, true);
}

// A progressive JPEG of a small picture whose frame header claims `size`: libjpeg plans
// (and the limits judge) the claimed picture. Grey in `scans` scans, or full colour in
// libjpeg's own ten when `scans` is 0.
QByteArray claimingProgressiveJpeg(QSize size, int scans)
{
    const bool colour = scans == 0;
    const std::vector<uchar> row(64 * 3, 128);
    QByteArray bytes = photo_test::compressJpeg(
        64, 64, colour ? 3 : 1, colour ? JCS_RGB : JCS_GRAYSCALE, [&](int) { return row.data(); }, 75, false, scans);
    const qsizetype at = bytes.indexOf(QByteArray("\xFF\xC2", 2)) + 5;
    bytes[at] = char(size.height() >> 8);
    bytes[at + 1] = char(size.height());
    bytes[at + 2] = char(size.width() >> 8);
    bytes[at + 3] = char(size.width());
    return bytes;
}

// An RLE bitmap of the given size whose rows are two end codes: the cheapest bytes for
// the most pixels.
photo_test::DibSpec emptyRleBitmap(QSize size)
{
    photo_test::DibSpec spec = photo_test::paletteSpec(8, size.width(), size.height());
    spec.compression = 1;
    spec.rle = QByteArray::fromHex("00000001");
    return spec;
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
    PilotPhotoFiles cache(config);
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
    state.counters["held_MB"] = double(screen.element(overlay::El::fotoPilotoA).picture.sizeInBytes() +
                                       screen.element(overlay::El::fotoPilotoB).picture.sizeInBytes()) /
        1e6;
}

// A lights-off view's folder with two photos in it.
class TwoPhotos {
public:
    TwoPhotos(const QByteArray& a, const QByteArray& b, const char* extension)
        : m_cache([&] {
            Config config;
            config.photoFolder = m_dir.filePath(QStringLiteral("fotopilotos")).toLatin1();
            return config;
        }())
        , m_names{Text("a.") + extension, Text("b.") + extension}
    {
        m_cache.PreparePhotoFolder();
        write(m_names[0], a);
        write(m_names[1], b);
    }
    void write(const Text& name, const QByteArray& bytes)
    {
        QFile file(m_cache.photoFilePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    const PilotPhotoFiles& cache() const { return m_cache; }
    const Text& name(int lane) const { return m_names[lane]; }

private:
    QTemporaryDir m_dir;
    PilotPhotoFiles m_cache;
    Text m_names[2];
};

// The lights-off view (both loads and the paint of the two boxes) with camera photos of
// 45 and 100 megapixels, and with the heaviest metafiles the limits accept: a frame of
// the largest size, whose bitmaps hold and cover as many pixels as allowed.
void BM_LightsOffHeaviestPhotos(benchmark::State& state)
{
    const QSize largest = largestPicture();
    const QSize camera = state.range(0) == 0 ? QSize(8256, 5504) : QSize(11648, 8736);
    const bool metafile = state.range(0) == 2;
    state.SetLabel(metafile ? "metafiles" : state.range(0) == 0 ? "45-megapixel JPEGs" : "100-megapixel JPEGs");
    const TwoPhotos photos = metafile
        ? [&] {
              const QByteArray emf = photo_test::emfFile(emptyRleBitmap(largest), largest.width(), largest.height());
              return TwoPhotos(emf, emf, "emf");
          }()
        : TwoPhotos(noiseJpeg(camera, 0), noiseJpeg(camera, 1), "jpg");
    overlay::Screen screen;
    overlay::Renderer renderer;
    ScreenPicture fotoPilotoA(screen, overlay::El::fotoPilotoA);
    ScreenPicture fotoPilotoB(screen, overlay::El::fotoPilotoB);
    const QRect area = screen.windowRect(overlay::El::fotoPilotoA) | screen.windowRect(overlay::El::fotoPilotoB);
    QImage window(area.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        photos.cache().LoadPilotPhoto(Row(photos.name(0)), fotoPilotoA);
        photos.cache().LoadPilotPhoto(Row(photos.name(1)), fotoPilotoB);
        QPainter painter(&window);
        painter.translate(-area.topLeft());
        renderer.paintWindow(painter, screen, area);
        painter.end();
        benchmark::DoNotOptimize(window.constBits());
    }
    state.counters["megapixels"] =
        metafile ? double(largest.width()) * largest.height() / 1e6 : double(camera.width()) * camera.height() / 1e6;
}

// One photo that a limit refuses, from its file to the failure.
void BM_RefusedPhoto(benchmark::State& state)
{
    const QSize largest = largestPicture();
    QByteArray bytes;
    const char* extension = "bmp";
    switch (state.range(0)) {
    case 0:
        state.SetLabel("metafile: 400 RLE bitmaps of 4096 x 4096 over 640 x 480");
        bytes = photo_test::emfFile(emptyRleBitmap({4096, 4096}), 640, 480, {}, 400);
        extension = "emf";
        break;
    case 1:
        state.SetLabel("metafile at the largest size: its allowed bitmap over it, then a second");
        bytes = photo_test::emfFile(emptyRleBitmap(largest), largest.width(), largest.height(), {}, 2);
        extension = "emf";
        break;
    case 2: {
        state.SetLabel("RLE bitmap: 8.5 million deltas, then a pixel (34 MB)");
        photo_test::DibSpec spec = photo_test::paletteSpec(8, 4, 2);
        spec.compression = 1;
        spec.rle = QByteArray::fromHex("0002FF00").repeated(8'500'000) + QByteArray::fromHex("01070001");
        bytes = photo_test::bmpFile(spec);
        break;
    }
    case 3:
        state.SetLabel("progressive JPEG at the largest size in full colour (memory)");
        bytes = claimingProgressiveJpeg(largest, 0);
        extension = "jpg";
        break;
    case 4:
        state.SetLabel("progressive JPEG at the largest size in 64 scans");
        bytes = claimingProgressiveJpeg(largest, 64);
        extension = "jpg";
        break;
    case 5:
        state.SetLabel("JPEG beyond the largest size at its scale in the box");
        bytes = claimingProgressiveJpeg(QSize(16384, 12800), 10);
        extension = "jpg";
        break;
    default:
        state.SetLabel("a file beyond the size any photo may have");
        extension = "jpg";
        break;
    }
    TwoPhotos photos(bytes, bytes, extension);
    if (state.range(0) == 6) {
        const QByteArray path = QFile::encodeName(photos.cache().photoFilePath(photos.name(0)));
        if (::truncate(path.constData(), kMaxPhotoFileBytes + 1) != 0)
            state.SkipWithError("no sparse file");
    }
    overlay::Screen screen;
    ScreenPicture fotoPilotoA(screen, overlay::El::fotoPilotoA);
    int refused = 0;
    for (auto _ : state) {
        try {
            photos.cache().LoadPilotPhoto(Row(photos.name(0)), fotoPilotoA);
        } catch (const race::PhotoFailure&) {
            ++refused;
        }
    }
    state.counters["refused_share"] = double(refused) / double(state.iterations());
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
BENCHMARK(BM_RefusedPhoto)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_LightsOffHeaviestPhotos)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ScaledDecodeComparedWithSampling)->Unit(benchmark::kMillisecond)->Iterations(5);
