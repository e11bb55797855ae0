// The browser source in a real browser: headless Chromium opens /program from the feed and
// what it shows must be the overlay's graphics, transparent where the window is magenta.
#include "feed/feedserver.h"

#include "chromium.h"
#include "keying.h"
#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "rendergraphics.h"
#include "wait.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::feed;
using overlay::El;

namespace {

constexpr int kWaitMs = Chromium::kWaitMs;

} // namespace

// The page decodes the whole picture with ImageDecoder where the browser offers it (a
// secure context: a feed on loopback), and through a Blob where it does not (a feed on the
// LAN, here the fixed server address, which the private network puts on loopback); a
// change's small rectangles come as pixels, which it puts on its canvases as they are.
class BrowserSourceAt : public testing::TestWithParam<const char*> { };

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
    EXPECT_TRUE(
        waitUntil([&] { return (keying = compareKeyed(chromium.screenshot(), reference)).wrong == 0; }, kWaitMs))
        << keying.wrong << " pixels differ";
    EXPECT_GT(keying.opaque, 1000);
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
    EXPECT_TRUE(text.contains(
        QStringLiteral("Timing server: connected (192.168.0.100); database: disconnected (this computer)")))
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
