// The browser source in a real browser: headless Chromium opens /program from the feed and
// what it shows must be the overlay's graphics, transparent where the window is magenta.
#include "feed/feedserver.h"

#include "chromium.h"
#include "keying.h"
#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "rendergraphics.h"
#include "wait.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace quorvel;
using namespace quorvel::feed;
using overlay::El;

namespace {

constexpr int kWaitMs = Chromium::kWaitMs;

// What a PNG encoder does, written out here so that the page's own reading of stored
// pictures is held against pixels it did not make.
quint32 pngCrc(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xedb88320u : crc >> 1;
    }
    return ~crc;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    const QByteArray typed = QByteArray(type) + data;
    QByteArray length(4, Qt::Uninitialized), crc(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(data.size()), length.data());
    qToBigEndian<quint32>(pngCrc(typed), crc.data());
    return length + typed + crc;
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// RGBA rows, each with FILTER in front, as a PNG encoder filters them
QByteArray filteredRows(const std::vector<quint8>& pixels, int width, int height, int filter)
{
    const int stride = width * 4;
    QByteArray rows;
    for (int y = 0; y < height; ++y) {
        rows += char(filter);
        for (int x = 0; x < stride; ++x) {
            const int a = x >= 4 ? pixels[size_t(y * stride + x - 4)] : 0;
            const int b = y > 0 ? pixels[size_t((y - 1) * stride + x)] : 0;
            const int c = x >= 4 && y > 0 ? pixels[size_t((y - 1) * stride + x - 4)] : 0;
            const int predicted = filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2 : filter == 4 ? paeth(a, b, c) : 0;
            rows += char((pixels[size_t(y * stride + x)] - predicted) & 0xff);
        }
    }
    return rows;
}

// An 8-bit RGBA PNG, its zlib stream at LEVEL (0: stored blocks) cut into IDAT chunks of
// at most 1000 bytes, so that blocks run across chunks as they may in any PNG.
QByteArray rgbaPng(const std::vector<quint8>& pixels, int width, int height, int filter, int level)
{
    QByteArray head(13, 0);
    qToBigEndian<quint32>(quint32(width), head.data());
    qToBigEndian<quint32>(quint32(height), head.data() + 4);
    head[8] = 8; // bits a channel
    head[9] = 6; // RGBA
    QByteArray png = QByteArray::fromHex("89504e470d0a1a0a") + pngChunk("IHDR", head);
    const QByteArray stream = qCompress(filteredRows(pixels, width, height, filter), level).mid(4);
    for (qsizetype at = 0; at < stream.size(); at += 1000)
        png += pngChunk("IDAT", stream.mid(at, 1000));
    return png + pngChunk("IEND", {});
}

} // namespace

// The page decodes the pictures with ImageDecoder where the browser offers it (a secure
// context: a feed on loopback), and through a Blob where it does not (a feed on the LAN,
// here the fixed server address, which the private network puts on loopback).
class BrowserSourceAt : public testing::TestWithParam<const char*> {};

INSTANTIATE_TEST_SUITE_P(Addresses, BrowserSourceAt, testing::Values("127.0.0.1", "192.168.0.100"));

TEST_P(BrowserSourceAt, ChromiumDrawsTheGraphicsWithAlphaWhereTheWindowIsMagentaAndKeepsThemCurrent)
{
    if (!Chromium::installed())
        GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
    overlay::Screen screen;
    screen.setTextMeasure(overlay::rendererTextMeasure());
    screen.setText(El::lblPilotoA, "JOAO");
    screen.appendLine(El::mLog, "a widget's line, never on air");
    FeedServer feed(screen);
    FeedSettings settings;
    settings.address = QHostAddress(QLatin1String(GetParam()));
    settings.port = 0;
    settings.token = "s3cret";
    ASSERT_TRUE(feed.listen(settings)) << feed.errorString().toStdString();

    Chromium chromium;
    ASSERT_TRUE(chromium.open(
        QStringLiteral("http://%1:%2/program?token=s3cret").arg(QLatin1String(GetParam())).arg(feed.port()),
        QSize(screen.clientWidth(), screen.clientHeight())));
    const auto drawn = [&] { return chromium.evaluate(QStringLiteral("window.quorvelMessages || 0")).toInt(); };
    ASSERT_TRUE(waitUntil([&] { return drawn() >= 1; }, kWaitMs));
    EXPECT_EQ(chromium.evaluate(QStringLiteral("typeof ImageDecoder === 'function'")).toBool(),
              settings.address.isLoopback());
    Keying keying = compareKeyed(chromium.screenshot(), test::rendererGraphics(screen));
    EXPECT_GT(keying.transparent, 1000);
    EXPECT_GT(keying.opaque, 1000);
    EXPECT_EQ(keying.wrong, 0);

    // a change on air reaches the page as a rectangle drawn over what it has
    const int before = drawn();
    screen.setText(El::lblPilotoA, "MARIA");
    screen.setText(El::lblReaA, "0.321");
    screen.show(El::lblReaA);
    screen.show(El::lblERT);
    ASSERT_TRUE(waitUntil([&] { return drawn() > before; }, kWaitMs));
    // the change may come as several rectangles
    const QImage reference = test::rendererGraphics(screen);
    EXPECT_TRUE(waitUntil([&] { return (keying = compareKeyed(chromium.screenshot(), reference)).wrong == 0; }, kWaitMs))
        << keying.wrong << " pixels differ";
    EXPECT_GT(keying.opaque, 1000);
}

// A change's small picture comes stored, and the page reads its pixels itself rather than
// wait for the browser's decoder; anything else it must leave to the decoder.
TEST(BrowserSource, ThePageReadsStoredPicturesUnderEveryFilterAndLeavesOthersToTheDecoder)
{
    if (!Chromium::installed())
        GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
    overlay::Screen screen;
    FeedServer feed(screen);
    FeedSettings settings;
    settings.port = 0;
    ASSERT_TRUE(feed.listen(settings));
    Chromium chromium;
    ASSERT_TRUE(chromium.open(QStringLiteral("http://127.0.0.1:%1/program").arg(feed.port()), QSize(400, 300)));
    ASSERT_TRUE(waitUntil([&] { return chromium.evaluate(QStringLiteral("window.quorvelMessages || 0")).toInt() >= 1; }, kWaitMs));

    // 100 x 50: over 20 kB of rows, more than one stored block in more than twenty chunks
    constexpr int kWidth = 100, kHeight = 50;
    std::vector<quint8> pixels(size_t(kWidth * kHeight * 4));
    QStringList expected;
    for (size_t i = 0; i < pixels.size(); ++i) {
        const int x = int(i / 4) % kWidth, y = int(i / 4) / kWidth, channel = int(i % 4);
        pixels[i] = quint8(x * 37 + y * 91 + channel * 53 + (x * y) % 17);
        expected << QString::number(pixels[i]);
    }
    const auto readByPage = [&](const QByteArray& png) {
        return chromium.evaluate(QStringLiteral("(() => { const bytes = Uint8Array.from(atob('%1'), (c) => c.charCodeAt(0));"
                                                " const read = storedPixels(bytes);"
                                                " return read ? Array.from(read.data).join(',') : 'left to the decoder'; })()")
                                     .arg(QLatin1String(png.toBase64())))
            .toString();
    };

    const struct {
        const char* name;
        int filter;
        int level;
        int cut; // bytes taken off the end
        bool read;
    } cases[] = {
        {"stored, no filter", 0, 0, 0, true},
        {"stored, Sub", 1, 0, 0, true},
        {"stored, Up", 2, 0, 0, true},
        {"stored, Average", 3, 0, 0, true},
        {"stored, Paeth", 4, 0, 0, true},
        {"deflated", 4, 6, 0, false},
        {"stored, cut short inside its data", 2, 0, 3000, false},
    };
    for (const auto& c : cases) {
        QByteArray png = rgbaPng(pixels, kWidth, kHeight, c.filter, c.level);
        png.chop(c.cut);
        EXPECT_EQ(readByPage(png), c.read ? expected.join(QLatin1Char(',')) : QStringLiteral("left to the decoder")) << c.name;
    }
}

TEST(BrowserSource, TheStatusPageShowsTheStateItIsSent)
{
    if (!Chromium::installed())
        GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
    overlay::Screen screen;
    RaceState race;
    race.headers[1].pilot = "ANA";
    race.headers[1].nickname = "FLECHA";
    screen.setText(El::lblPosB, "7");
    screen.appendLine(El::mLog, "Conectado ao servidor");
    FeedServer feed(screen);
    LinkStatus status;
    status.link = LinkStatus::Link::Connected;
    status.server = QStringLiteral("192.168.0.100");
    feed.setStatusSource([&status] { return status; });
    feed.setRaceSource([&race] { return race; });
    FeedSettings settings;
    settings.port = 0;
    ASSERT_TRUE(feed.listen(settings));

    Chromium chromium;
    ASSERT_TRUE(chromium.open(QStringLiteral("http://127.0.0.1:%1/").arg(feed.port()), QSize(1700, 1200)));
    const auto page = [&] { return chromium.evaluate(QStringLiteral("document.body.innerText")).toString(); };
    ASSERT_TRUE(waitUntil([&] { return page().contains(QStringLiteral("live")); }, kWaitMs)) << page().toStdString();
    const QString text = page();
    EXPECT_TRUE(text.contains(QStringLiteral("ANA"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("FLECHA")));
    EXPECT_TRUE(text.contains(QStringLiteral("Conectado ao servidor")));
    EXPECT_TRUE(text.contains(QStringLiteral("Timing server: connected (192.168.0.100); database: disconnected (this computer)")))
        << text.toStdString();

    // a change comes as a patch and the page shows it
    screen.setText(El::lblPosB, "4");
    screen.appendLine(El::mLog, "Nova bateria");
    EXPECT_TRUE(waitUntil([&] { return page().contains(QStringLiteral("Nova bateria")); }, kWaitMs));

    // the links' state is pushed on its own
    status.link = LinkStatus::Link::Down;
    status.database = true;
    feed.statusChanged();
    EXPECT_TRUE(waitUntil(
        [&] { return page().contains(QStringLiteral("Timing server: down (192.168.0.100); database: connected")); },
        kWaitMs))
        << page().toStdString();
}
