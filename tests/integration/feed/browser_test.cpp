// The browser source in a real browser: headless Chromium opens /program from the feed and
// its screenshot must be the overlay's graphics, transparent where the window is magenta.
#include "feed/feedserver.h"

#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "wait.h"

#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::feed;
using overlay::El;

namespace {

// Runs headless Chromium on a page to its end (bounded) and returns what it printed.
QByteArray runChromium(const QTemporaryDir& dir, const QStringList& arguments, QByteArray* log)
{
    QProcess chromium;
    QByteArray out;
    chromium.start(QStringLiteral("chromium"),
                   QStringList{QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                               QStringLiteral("--disable-gpu"), QStringLiteral("--hide-scrollbars"),
                               QStringLiteral("--force-device-scale-factor=1"),
                               QStringLiteral("--user-data-dir=") + dir.filePath(QStringLiteral("profile")),
                               // time for the WebSocket's first message to be shown
                               QStringLiteral("--virtual-time-budget=5000")}
                       + arguments);
    waitUntil(
        [&] {
            out += chromium.readAllStandardOutput();
            *log += chromium.readAllStandardError();
            return chromium.state() == QProcess::NotRunning;
        },
        120000);
    if (chromium.state() != QProcess::NotRunning) {
        chromium.kill();
        chromium.waitForFinished();
    }
    return out + chromium.readAllStandardOutput();
}

// Headless Chromium's screenshot of a page, with a transparent page background.
QImage screenshot(const QString& url, const QSize& size, QByteArray* log)
{
    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("shot.png"));
    runChromium(dir,
                {QStringLiteral("--default-background-color=00000000"),
                 QStringLiteral("--window-size=%1,%2").arg(size.width()).arg(size.height()),
                 QStringLiteral("--screenshot=") + shot, url},
                log);
    return QImage(shot).convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST(BrowserSource, ChromiumDrawsTheGraphicsWithAlphaWhereTheWindowIsMagenta)
{
    if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
        GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
    overlay::Screen screen;
    screen.setTextMeasure(overlay::rendererTextMeasure());
    screen.setText(El::lblPilotoA, "JOAO");
    screen.appendLine(El::mLog, "a widget's line, never on air");
    FeedServer feed(screen);
    FeedSettings settings;
    settings.port = 0;
    settings.token = "s3cret";
    ASSERT_TRUE(feed.listen(settings));

    overlay::Renderer renderer;
    QImage reference(screen.clientWidth(), screen.clientHeight(), QImage::Format_RGB32);
    {
        QPainter painter(&reference);
        renderer.paintGraphics(painter, screen, reference.rect());
    }

    QByteArray log;
    const QImage shot = screenshot(QStringLiteral("http://127.0.0.1:%1/program?token=s3cret").arg(feed.port()),
                                   reference.size(), &log);
    ASSERT_FALSE(shot.isNull()) << log.toStdString();
    ASSERT_GE(shot.width(), reference.width());
    ASSERT_GE(shot.height(), reference.height());
    int transparent = 0, opaque = 0, wrong = 0;
    for (int y = 0; y < reference.height(); ++y)
        for (int x = 0; x < reference.width(); ++x) {
            const QRgb s = shot.pixel(x, y);
            const QRgb r = reference.pixel(x, y);
            if (r == overlay::kMagenta) {
                ++transparent;
                wrong += qAlpha(s) != 0;
            } else {
                ++opaque;
                wrong += qAlpha(s) != 255 || qAbs(qRed(s) - qRed(r)) > 3 || qAbs(qGreen(s) - qGreen(r)) > 3
                         || qAbs(qBlue(s) - qBlue(r)) > 3;
            }
        }
    EXPECT_GT(transparent, 1000);
    EXPECT_GT(opaque, 1000);
    EXPECT_EQ(wrong, 0) << log.toStdString();
}

TEST(BrowserSource, TheStatusPageShowsTheStateItIsSent)
{
    if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
        GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
    overlay::Screen screen;
    screen.setText(El::lblPilotoB, "ANA (FLECHA)");
    screen.setText(El::lblPosB, "7");
    screen.appendLine(El::mLog, "Conectado ao servidor");
    FeedServer feed(screen);
    FeedSettings settings;
    settings.port = 0;
    ASSERT_TRUE(feed.listen(settings));

    QTemporaryDir dir;
    QByteArray log;
    const QByteArray dom =
        runChromium(dir, {QStringLiteral("--dump-dom"), QStringLiteral("http://127.0.0.1:%1/").arg(feed.port())}, &log);
    EXPECT_TRUE(dom.contains("<td>ANA</td>")) << dom.toStdString() << log.toStdString();
    EXPECT_TRUE(dom.contains("<td>FLECHA</td>"));
    EXPECT_TRUE(dom.contains("<td>7</td>"));
    EXPECT_TRUE(dom.contains("Conectado ao servidor"));
    EXPECT_TRUE(dom.contains(">live<"));
}
