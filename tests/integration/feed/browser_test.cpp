// The browser source in a real browser: headless Chromium opens /program from the feed and
// what it shows must be the overlay's graphics, transparent where the window is magenta.
#include "feed/feedserver.h"

#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "wait.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebSocket>

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::feed;
using overlay::El;

namespace {

constexpr int kWaitMs = 60000;

// Headless Chromium driven over its DevTools protocol, so that a test waits for what the
// page has done (in real time, with a bound) before it looks.
class Chromium {
public:
    Chromium()
    {
        m_process.start(QStringLiteral("chromium"),
                        {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                         QStringLiteral("--hide-scrollbars"), QStringLiteral("--force-device-scale-factor=1"),
                         QStringLiteral("--remote-debugging-address=127.0.0.1"),
                         QStringLiteral("--remote-debugging-port=0"),
                         QStringLiteral("--user-data-dir=") + m_dir.path(), QStringLiteral("about:blank")});
        QObject::connect(&m_devTools, &QWebSocket::textMessageReceived, [this](const QString& message) {
            const QJsonObject reply = QJsonDocument::fromJson(message.toUtf8()).object();
            if (reply.contains(QStringLiteral("id")))
                m_replies.insert(reply[QStringLiteral("id")].toInt(), reply);
        });
    }
    ~Chromium()
    {
        m_devTools.abort();
        // asked to end first, so that it takes its helper processes with it
        m_process.terminate();
        if (!m_process.waitForFinished(20000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Opens a page in a tab of the given size with a transparent background.
    bool open(const QString& url, const QSize& size)
    {
        QFile portFile(m_dir.filePath(QStringLiteral("DevToolsActivePort")));
        if (!waitUntil([&] { return portFile.exists() && portFile.size() > 0; }, kWaitMs))
            return false;
        portFile.open(QIODevice::ReadOnly);
        const QByteArray port = portFile.readLine().trimmed();
        QNetworkAccessManager network;
        QNetworkReply* reply = network.sendCustomRequest(
            QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/json/new?about:blank")
                                     .arg(QString::fromLatin1(port)))),
            "PUT");
        if (!waitUntil([&] { return reply->isFinished(); }, kWaitMs))
            return false;
        const QString target = QJsonDocument::fromJson(reply->readAll())
                                   .object()[QStringLiteral("webSocketDebuggerUrl")]
                                   .toString();
        m_devTools.open(QUrl(target));
        if (!waitUntil([&] { return m_devTools.state() == QAbstractSocket::ConnectedState; }, kWaitMs))
            return false;
        call("Emulation.setDeviceMetricsOverride",
             {{QStringLiteral("width"), size.width()},
              {QStringLiteral("height"), size.height()},
              {QStringLiteral("deviceScaleFactor"), 1},
              {QStringLiteral("mobile"), false}});
        call("Emulation.setDefaultBackgroundColorOverride",
             {{QStringLiteral("color"),
               QJsonObject{{QStringLiteral("r"), 0}, {QStringLiteral("g"), 0}, {QStringLiteral("b"), 0},
                           {QStringLiteral("a"), 0}}}});
        return !call("Page.navigate", {{QStringLiteral("url"), url}}).isEmpty();
    }

    // A JavaScript expression's value in the page.
    QJsonValue evaluate(const QString& expression)
    {
        return call("Runtime.evaluate",
                    {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}})
            [QStringLiteral("result")][QStringLiteral("value")];
    }

    QImage screenshot()
    {
        const QJsonObject shot = call("Page.captureScreenshot", {{QStringLiteral("format"), QStringLiteral("png")}});
        return QImage::fromData(QByteArray::fromBase64(shot[QStringLiteral("data")].toString().toLatin1()), "PNG")
            .convertToFormat(QImage::Format_ARGB32);
    }

private:
    QJsonObject call(const char* method, const QJsonObject& params)
    {
        const int id = ++m_lastId;
        m_devTools.sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("id"), id},
                                      {QStringLiteral("method"), QLatin1String(method)},
                                      {QStringLiteral("params"), params}})
                .toJson(QJsonDocument::Compact)));
        waitUntil([&] { return m_replies.contains(id); }, kWaitMs);
        return m_replies.take(id)[QStringLiteral("result")].toObject();
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QWebSocket m_devTools;
    QHash<int, QJsonObject> m_replies;
    int m_lastId = 0;
};

QImage graphics(const overlay::Screen& screen)
{
    overlay::Renderer renderer;
    QImage reference(screen.clientWidth(), screen.clientHeight(), QImage::Format_RGB32);
    QPainter painter(&reference);
    renderer.paintGraphics(painter, screen, reference.rect(), overlay::kMagenta);
    return reference;
}

// How the page's pixels differ from the graphics: they must be the graphics where those
// are not magenta, within 3 units a channel, and transparent where they are.
struct Keying {
    int transparent = 0, opaque = 0, wrong = 0;
};

Keying compare(const QImage& shot, const QImage& reference)
{
    Keying k;
    if (shot.width() < reference.width() || shot.height() < reference.height()) {
        k.wrong = reference.width() * reference.height();
        return k;
    }
    for (int y = 0; y < reference.height(); ++y)
        for (int x = 0; x < reference.width(); ++x) {
            const QRgb s = shot.pixel(x, y);
            const QRgb r = reference.pixel(x, y);
            if (r == overlay::kMagenta) {
                ++k.transparent;
                k.wrong += qAlpha(s) != 0;
            } else {
                ++k.opaque;
                k.wrong += qAlpha(s) != 255 || qAbs(qRed(s) - qRed(r)) > 3 || qAbs(qGreen(s) - qGreen(r)) > 3
                           || qAbs(qBlue(s) - qBlue(r)) > 3;
            }
        }
    return k;
}

bool haveChromium()
{
    return !QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty();
}

} // namespace

TEST(BrowserSource, ChromiumDrawsTheGraphicsWithAlphaWhereTheWindowIsMagentaAndKeepsThemCurrent)
{
    if (!haveChromium())
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

    Chromium chromium;
    ASSERT_TRUE(chromium.open(QStringLiteral("http://127.0.0.1:%1/program?token=s3cret").arg(feed.port()),
                              QSize(screen.clientWidth(), screen.clientHeight())));
    const auto drawn = [&] { return chromium.evaluate(QStringLiteral("window.quorvelMessages || 0")).toInt(); };
    ASSERT_TRUE(waitUntil([&] { return drawn() >= 1; }, kWaitMs));
    Keying keying = compare(chromium.screenshot(), graphics(screen));
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
    const QImage reference = graphics(screen);
    EXPECT_TRUE(waitUntil([&] { return (keying = compare(chromium.screenshot(), reference)).wrong == 0; }, kWaitMs))
        << keying.wrong << " pixels differ";
    EXPECT_GT(keying.opaque, 1000);
}

TEST(BrowserSource, TheStatusPageShowsTheStateItIsSent)
{
    if (!haveChromium())
        GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
    overlay::Screen screen;
    screen.setText(El::lblPilotoB, "ANA (FLECHA)");
    screen.setText(El::lblPosB, "7");
    screen.appendLine(El::mLog, "Conectado ao servidor");
    FeedServer feed(screen);
    LinkStatus status;
    status.link = LinkStatus::Link::Connected;
    status.server = QStringLiteral("192.168.0.100");
    feed.setStatusSource([&status] { return status; });
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
