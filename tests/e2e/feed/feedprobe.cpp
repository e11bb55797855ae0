// The feed's clients for the end-to-end scenarios, each on the real overlay's feed:
//   feed-probe events URL FILE
//     records what the WebSocket at URL sends, one JSON document a line, until it closes;
//     it connects again until the feed answers, for up to a minute.
//   feed-probe browser URL WIDTH HEIGHT
//     opens URL in headless Chromium, in a tab of that size on a transparent background,
//     then takes commands from its input, one a line, and answers each with one line:
//       match WINDOW.png PAGE.png
//         once the page has drawn a picture, saves what it shows to PAGE.png and prints
//         how it stands against the operator's window in WINDOW.png:
//         "opaque N transparent N widget N wrong N" (see keying.h); with wrong pixels,
//         PAGE-wrong.png shows them in red.
#include "chromium.h"
#include "keying.h"
#include "overlay/layout.h"
#include "overlay/screen.h"
#include "wait.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QWebSocket>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

constexpr int kConnectMs = 60000;

int recordEvents(const QString& url, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "feed-probe: cannot write %s\n", qPrintable(path));
        return 1;
    }
    QWebSocket socket;
    bool closed = false;
    QObject::connect(&socket, &QWebSocket::textMessageReceived, [&](const QString& message) {
        // one line a document, whatever the feed's own spacing
        file.write(QJsonDocument::fromJson(message.toUtf8()).toJson(QJsonDocument::Compact) + '\n');
        file.flush();
    });
    QObject::connect(&socket, &QWebSocket::disconnected, [&] { closed = true; });
    const bool connected = waitUntil(
        [&] {
            if (socket.state() == QAbstractSocket::ConnectedState)
                return true;
            if (socket.state() == QAbstractSocket::UnconnectedState) {
                closed = false;
                socket.open(QUrl(url));
            }
            return false;
        },
        kConnectMs);
    if (!connected) {
        std::fprintf(stderr, "feed-probe: no WebSocket at %s\n", qPrintable(url));
        return 1;
    }
    closed = false;
    // until the feed closes it, or the scenario ends this process
    while (!closed)
        waitUntil([&] { return closed; }, 1000);
    return 0;
}

// Where the operator's widgets (memos, lists, check boxes) lie in the window, shown or not.
QRegion widgetBoxes()
{
    const quorvel::overlay::Screen screen;
    QRegion boxes;
    for (int i = 0; i < quorvel::overlay::kElementCount; ++i) {
        const auto e = static_cast<quorvel::overlay::El>(i);
        if (quorvel::overlay::isOperatorWidget(screen.element(e).kind))
            boxes += screen.windowRect(e);
    }
    return boxes;
}

// The wrong pixels in red over a faded copy of the page, for a person to look at.
void saveWrongPixels(const QImage& page, const QImage& window, const QRegion& widgets, const QString& path)
{
    QImage marked(page.size(), QImage::Format_RGB32);
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QRgb p = page.pixel(x, y);
            const bool inWindow = x < window.width() && y < window.height();
            const bool wrong = inWindow
                ? keyedPixel(p, window.pixel(x, y), widgets.contains(QPoint(x, y))) == KeyedPixel::Wrong
                : qAlpha(p) != 0;
            const int faded = 255 - qAlpha(p) / 3;
            marked.setPixel(x, y, wrong ? qRgb(255, 0, 0) : qRgb(faded, faded, faded));
        }
    marked.save(path);
}

int browse(const QString& url, const QSize& size)
{
    Chromium chromium;
    if (!chromium.open(url, size)) {
        std::fprintf(stderr, "feed-probe: Chromium did not open %s\n", qPrintable(url));
        return 1;
    }
    const QRegion widgets = widgetBoxes();
    std::string line;
    while (std::getline(std::cin, line)) {
        const QStringList words = QString::fromStdString(line).split(u' ', Qt::SkipEmptyParts);
        if (words.size() == 3 && words[0] == QLatin1String("match")) {
            const bool drawn =
                waitUntil([&] { return chromium.evaluate(QStringLiteral("window.quorvelMessages || 0")).toInt() >= 1; },
                          Chromium::kWaitMs);
            const QImage window(words[1]);
            const QImage page = chromium.screenshot();
            if (!drawn || window.isNull() || page.isNull()) {
                std::cout << "error " << (drawn ? "no picture" : "the page never drew") << std::endl;
                continue;
            }
            page.save(words[2]);
            const Keying k = compareKeyed(page, window, widgets);
            QString wrongPath = words[2];
            wrongPath.replace(QStringLiteral(".png"), QStringLiteral("-wrong.png"));
            if (k.wrong)
                saveWrongPixels(page, window, widgets, wrongPath);
            else
                QFile::remove(wrongPath);
            std::cout << "opaque " << k.opaque << " transparent " << k.transparent << " widget " << k.widget
                      << " wrong " << k.wrong << " partial " << k.partial << std::endl;
        } else {
            std::cout << "error unknown command" << std::endl;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Chromium's screenshots are decoded here, and nothing is shown
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("events"))
        return recordEvents(args[2], args[3]);
    if (args.size() == 5 && args[1] == QLatin1String("browser"))
        return browse(args[2], QSize(args[3].toInt(), args[4].toInt()));
    std::fprintf(stderr, "usage: feed-probe events URL FILE | feed-probe browser URL WIDTH HEIGHT\n");
    return 2;
}
