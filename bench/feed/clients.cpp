// Browser clients for the feed's benchmarks: one Chromium with N tabs on URL, each ready
// once the JavaScript expression READY holds in it.
//   bench_feed_clients [--window] URL N READY
// Headless, or with --window a window filling the X display's screen (--kiosk: no frame,
// no tabs, the page at the window's top-left corner). Prints "ready" once every tab is,
// and keeps them until its input closes.
#include "chromium.h"
#include "wait.h"

#include <QGuiApplication>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool window = args.size() > 1 && args[1] == QLatin1String("--window");
    if (window)
        args.removeAt(1);
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: bench_feed_clients [--window] URL N READY\n");
        return 2;
    }
    // In a window, frames follow changes at once rather than the display's 60 Hz, which
    // would add up to 16.7 ms to every figure, the same to the feed's and the hand-written.
    Chromium chromium(!window, window ? QStringList{QStringLiteral("--kiosk"), QStringLiteral("--disable-gpu-vsync"),
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
    std::cout << "ready" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
