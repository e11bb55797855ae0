// Clients for the feed's benchmarks, each ready once it has what READY asks for.
//   bench_feed_clients [--window] URL N READY
//     one Chromium with N tabs on URL, each ready once the JavaScript expression READY
//     holds in it; headless, or with --window in a window filling the X display's screen
//     (--kiosk: no frame, no tabs, the page at the window's top-left corner).
//   bench_feed_clients --sockets URL N
//     N plain WebSockets on URL (ws://...) that read what they are sent and do nothing
//     with it, each ready once it has had a message: the overlay's side of N clients
//     without the browsers' work on the same processors.
// Prints "ready" once every client is, and keeps them until its input closes.
#include "chromium.h"
#include "wait.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// Runs the event loop (the clients keep reading) until the input closes.
int keepUntilInputCloses(QGuiApplication& app)
{
    std::cout << "ready" << std::endl;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    const QString mode = args.size() > 1 && args[1].startsWith(QLatin1String("--")) ? args.takeAt(1) : QString();
    if (mode == QLatin1String("--sockets") && args.size() == 3) {
        std::vector<std::unique_ptr<QWebSocket>> sockets;
        std::vector<int> received;
        for (int n = 0; n < args[2].toInt(); ++n) {
            sockets.push_back(std::make_unique<QWebSocket>());
            received.push_back(0);
            QObject::connect(sockets.back().get(), &QWebSocket::binaryMessageReceived,
                             [&received, n](const QByteArray&) { ++received[size_t(n)]; });
            sockets.back()->open(QUrl(args[1]));
        }
        if (!waitUntil([&] { return std::ranges::all_of(received, [](int r) { return r > 0; }); }, Chromium::kWaitMs)) {
            std::fprintf(stderr, "bench_feed_clients: not every WebSocket had a message\n");
            return 1;
        }
        return keepUntilInputCloses(app);
    }
    const bool window = mode == QLatin1String("--window");
    if (args.size() != 4 || !(mode.isEmpty() || window)) {
        std::fprintf(stderr, "usage: bench_feed_clients [--window] URL N READY | bench_feed_clients --sockets URL N\n");
        return 2;
    }
    // In a window, frames follow changes at once rather than the display's 60 Hz, which
    // would add up to 16.7 ms to every figure, the same to the feed's and the hand-written.
    Chromium chromium(!window,
                      window ? QStringList{QStringLiteral("--kiosk"), QStringLiteral("--disable-gpu-vsync"),
                                           QStringLiteral("--disable-frame-rate-limit")}
                             : QStringList{});
    for (int n = 0; n < args[2].toInt(); ++n) {
        if (!chromium.open(args[1], window ? QSize() : QSize(1629, 551))) {
            std::fprintf(stderr, "bench_feed_clients: tab %d did not open\n", n + 1);
            return 1;
        }
        if (!waitUntil([&] { return chromium.evaluate(args[3]).toBool(); }, Chromium::kWaitMs)) {
            std::fprintf(stderr, "bench_feed_clients: tab %d never got ready\n", n + 1);
            return 1;
        }
    }
    return keepUntilInputCloses(app);
}
