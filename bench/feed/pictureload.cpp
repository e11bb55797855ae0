// What clients asking for pictures in a loop cost the air: the time from a change of the
// screen to its /events patch, and the longest the window's thread went without running
// its event loop, first with no such clients, then with CLIENTS of them each asking for
// /window.png again as soon as it has the last one.
//   bench_feed_pictures [CHANGES [CLIENTS]]
// Prints "figure<TAB>value" lines: <phase>_patch_median_ms, <phase>_patch_p99_ms,
// <phase>_stall_ms and <phase>_pictures, the phases being "alone" and "pictures".
// Listens on loopback: run it in a private network namespace.
#include "feed/feedserver.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

using namespace quorvel;
using overlay::El;

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The clients, on a thread of their own as they would be in other processes: one /events
// WebSocket that notes when each patch comes, and the picture clients.
class Clients : public QObject {
public:
    std::atomic<qint64> lastPatchNs{0};
    std::atomic<int> patches{0};
    std::atomic<int> pictures{0};
    std::atomic<bool> asking{false};

    void start(quint16 port, int pictureClients)
    {
        m_port = port;
        m_events = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
        connect(m_events, &QWebSocket::textMessageReceived, this, [this] {
            lastPatchNs = nowNs();
            ++patches;
        });
        m_events->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/events").arg(port)));
        for (int i = 0; i < pictureClients; ++i)
            ask();
    }

private:
    void ask()
    {
        auto* socket = new QTcpSocket(this);
        auto* answer = new QByteArray;
        connect(socket, &QTcpSocket::readyRead, this, [socket, answer] { *answer += socket->readAll(); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, answer] {
            *answer += socket->readAll();
            if (answer->startsWith("HTTP/1.1 200"))
                ++pictures;
            delete answer;
            socket->deleteLater();
            if (asking)
                ask();
        });
        socket->connectToHost(QHostAddress::LocalHost, m_port);
        socket->write("GET /window.png HTTP/1.1\r\nHost: localhost\r\n\r\n");
    }

    quint16 m_port = 0;
    QWebSocket* m_events = nullptr;
};

struct Figures {
    double medianMs = 0;
    double p99Ms = 0;
    double stallMs = 0;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// CHANGES changes of a time's box, each waited for on /events, a few milliseconds apart
// while the window's thread runs its event loop as on air.
Figures measure(overlay::Screen& screen, Clients& clients, int changes)
{
    qint64 longestGap = 0;
    qint64 lastTick = nowNs();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = nowNs();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    const auto runFor = [](int ms) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    };
    runFor(500); // the clients under way
    lastTick = nowNs();
    tick.start();
    std::vector<double> delays;
    for (int i = 0; i < changes; ++i) {
        const int before = clients.patches;
        const qint64 sent = nowNs();
        screen.setText(El::lbl60A, QByteArray::number(1000 + i));
        QElapsedTimer waited;
        waited.start();
        while (clients.patches == before && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (clients.patches != before)
            delays.push_back(double(clients.lastPatchNs - sent) / 1e6);
        runFor(5);
    }
    tick.stop();
    // the timer's own millisecond is no stall
    return {percentile(delays, 0.5), percentile(delays, 0.99), std::max(0.0, double(longestGap) / 1e6 - 1)};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int changes = argc > 1 ? std::max(10, atoi(argv[1])) : 500;
    const int pictureClients = argc > 2 ? std::max(1, atoi(argv[2])) : 8;

    overlay::Screen screen;
    screen.setTextMeasure(overlay::rendererTextMeasure());
    screen.setText(El::lblPilotoA, "JOAO DA SILVA (FERA)");
    screen.setText(El::lblVeiculoA, "#123 | OPALA");
    for (int i = 0; i < 50; ++i)
        screen.appendLine(El::mLog, "14:05:12 Mensagem recebida do servidor de cronometragem " + QByteArray::number(i));
    feed::FeedServer server(screen);
    feed::FeedSettings settings;
    if (!server.listen(settings)) {
        std::fprintf(stderr, "bench_feed_pictures: cannot listen: %s\n", qPrintable(server.errorString()));
        return 1;
    }

    const auto phase = [&](const char* name, int clientCount) {
        QThread thread;
        auto* clients = new Clients;
        clients->moveToThread(&thread);
        thread.start();
        clients->asking = true;
        QMetaObject::invokeMethod(clients, [&] { clients->start(server.port(), clientCount); });
        QElapsedTimer waited;
        waited.start();
        while (clients->patches == 0 && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const int picturesBefore = clients->pictures;
        const Figures f = measure(screen, *clients, changes);
        std::printf("%s_patch_median_ms\t%.3f\n%s_patch_p99_ms\t%.3f\n%s_stall_ms\t%.3f\n%s_pictures\t%d\n", name,
                    f.medianMs, name, f.p99Ms, name, f.stallMs, name, clients->pictures - picturesBefore);
        std::fflush(stdout);
        clients->asking = false;
        QMetaObject::invokeMethod(
            clients, [clients] { delete clients; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    };
    phase("alone", 0);
    phase("pictures", pictureClients);
    return 0;
}
