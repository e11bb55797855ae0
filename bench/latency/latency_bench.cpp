// Message to pixels inside the process: a loopback server plays the timing server and writes
// one message at a time; the whole form (link, framing, effects, view shown offscreen) runs
// against the test MariaDB. Each message is timed from its write to the end of the paint of
// the strip panel that covers the changed element's box. Then, after "Nova", what the idle
// clock repaints.
//
// Run: bench_latency [messages] [idle seconds]   (defaults 20000 and 3)
// Prints "figure<TAB>value" lines for scripts/bench.

#include "app/application.h"
#include "app/form.h"
#include "db/datamodule.h"
#include "loopbackform.h"
#include "mariadb_server.h"
#include "views/devicescale.h"
#include "views/panelwidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace quorvel;
using overlay::El;

namespace {

// Waits on the event loop (blocking in its poll, as the program does) until done() or the
// time-out.
template <typename Done> bool pumpUntil(Done done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// Every paint of a panel or a windowed element of the view, with its rectangle in window
// coordinates, and the moment the panel's own painting ended.
class PaintRecorder : public QObject {
public:
    struct Paint {
        QWidget* widget;
        QRect rect; // window coordinates
    };

    explicit PaintRecorder(QWidget& view)
    {
        view.installEventFilter(this);
        for (QWidget* w : view.findChildren<QWidget*>())
            w->installEventFilter(this);
        for (QWidget* w : view.findChildren<QWidget*>()) {
            auto* panel = dynamic_cast<overlay::PanelWidget*>(w);
            if (!panel)
                continue;
            auto earlier = panel->onPainted;
            panel->onPainted = [this, earlier] {
                if (earlier)
                    earlier();
                if (m_pendingPanelRect.intersects(watched))
                    watchedPainted = now();
            };
        }
    }

    static qint64 now()
    {
        static QElapsedTimer clock = [] {
            QElapsedTimer c;
            c.start();
            return c;
        }();
        return clock.nsecsElapsed();
    }

    std::vector<Paint> paints;
    // The rectangle being waited for, and when a panel's paint over it last ended.
    QRect watched;
    qint64 watchedPainted = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            auto* w = static_cast<QWidget*>(watched);
            const QRect rect = static_cast<QPaintEvent*>(event)->rect();
            const QRect inWindow(w->mapTo(w->window(), rect.topLeft()), rect.size());
            paints.push_back({w, inWindow});
            if (dynamic_cast<overlay::PanelWidget*>(w))
                m_pendingPanelRect = inWindow;
        }
        return false;
    }

private:
    QRect m_pendingPanelRect;
};

// A race message that changes a strip element at every use: times and positions take a new
// value each round, lamps go on and off in turn.
struct RaceKey {
    const char* key;
    El element;
    bool lamp;
};

const RaceKey kRaceKeys[] = {
    {"RA", El::lblReaA, false},    {"PA", El::lbl60A, false},      {"CA", El::lbl100A, false},
    {"VA", El::lblVelA, false},    {"TPA", El::lblTPistaA, false}, {"FA", El::lblTTotalA, false},
    {"posA", El::lblPosA, false},  {"RB", El::lblReaB, false},     {"PB", El::lbl60B, false},
    {"CB", El::lbl100B, false},    {"VB", El::lblVelB, false},     {"TPB", El::lblTPistaB, false},
    {"FB", El::lblTTotalB, false}, {"posB", El::lblPosB, false},   {"APS", El::imgPreA, true},
    {"e_AA", El::imgStageA, true}, {"BPS", El::imgPreB, true},     {"e_BA", El::imgStageB, true},
};

QByteArray message(int n)
{
    const int keys = int(std::size(kRaceKeys));
    const RaceKey& k = kRaceKeys[n % keys];
    const int round = n / keys;
    if (k.lamp)
        return QByteArray(k.key) + (round % 2 ? "-LOW" : "-HIGH") + ":0@";
    if (k.element == El::lblPosA || k.element == El::lblPosB)
        return QByteArray(k.key) + ':' + QByteArray::number(1 + round % 2) + '@';
    return QByteArray(k.key) + ':' + QByteArray::number(1.0 + (round % 997) / 1000.0, 'f', 3) + '@';
}

double percentile(std::vector<qint64> sorted, double p)
{
    std::sort(sorted.begin(), sorted.end());
    const size_t at = std::min(sorted.size() - 1, size_t(p * double(sorted.size() - 1) + 0.5));
    return double(sorted[at]) / 1e6;
}

void figure(const char* name, double value)
{
    std::printf("%s\t%.6g\n", name, value);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    overlay::pinDeviceScale();
    QApplication qapp(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 3;

    auto& db = test::MariaDbServer::shared();
    db.pointClientLibraryHere();
    db.resetRaceDatabase();

    QTemporaryDir photos;
    const Config config = test::loopbackFormConfig(photos.path());

    QTcpServer server;
    server.listen(QHostAddress::LocalHost, config.tcpPort);

    app::Application application;
    db::DataModule dm(config);
    app::Form form(application, dm, config);
    application.guarded([&] { form.FormCreate([&] { form.showWindow(); }); });

    if (!pumpUntil([&] { return server.hasPendingConnections(); }, 10000)) {
        std::fprintf(stderr, "the form never connected\n");
        return 1;
    }
    QTcpSocket* peer = server.nextPendingConnection();
    peer->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    PaintRecorder paints(form.view());
    pumpUntil([] { return false; }, 300);

    // warm-up: glyph caches, first paints of every label
    const auto sendAndWait = [&](int n, qint64* latency) {
        const RaceKey& k = kRaceKeys[n % int(std::size(kRaceKeys))];
        const QRect box = form.screen().windowRect(k.element);
        const QByteArray text = message(n);
        const qint64 start = PaintRecorder::now();
        paints.watched = box;
        paints.watchedPainted = 0;
        peer->write(text);
        peer->flush();
        const bool painted = pumpUntil([&] { return paints.watchedPainted > start; }, 1000);
        if (painted && latency)
            *latency = paints.watchedPainted - start;
        return painted;
    };
    const int warmUp = 2000;
    for (int n = 0; n < warmUp; ++n)
        sendAndWait(n, nullptr);

    std::vector<qint64> latencies;
    latencies.reserve(size_t(count));
    int missed = 0;
    for (int n = warmUp; n < warmUp + count; ++n) {
        qint64 latency = 0;
        if (sendAndWait(n, &latency))
            latencies.push_back(latency);
        else {
            ++missed;
            std::fprintf(stderr, "no paint of the changed element after %s\n", message(n).constData());
        }
    }
    if (latencies.empty()) {
        std::fprintf(stderr, "no message reached the screen\n");
        return 1;
    }
    figure("message_to_paint_messages", double(latencies.size()));
    figure("message_to_paint_missed", double(missed));
    figure("message_to_paint_median_ms", percentile(latencies, 0.5));
    figure("message_to_paint_p99_ms", percentile(latencies, 0.99));
    figure("message_to_paint_max_ms", percentile(latencies, 1.0));

    // Idle: "Nova" stops the idle countdown; from then on only the clock should paint.
    // without a separator after it: an empty item would arm the idle countdown again
    peer->write("Nova:0");
    peer->flush();
    pumpUntil([] { return false; }, 500);
    paints.paints.clear();
    pumpUntil([] { return false; }, idleSeconds * 1000);
    const QRect clockBox = form.screen().windowRect(El::lblHora);
    int clockPaints = 0;
    int otherPaints = 0;
    for (const auto& p : paints.paints) {
        if (clockBox.contains(p.rect))
            ++clockPaints;
        else {
            ++otherPaints;
            std::fprintf(stderr, "idle paint outside lblHora: %s %d,%d %dx%d\n", qPrintable(p.widget->objectName()),
                         p.rect.x(), p.rect.y(), p.rect.width(), p.rect.height());
        }
    }
    figure("idle_seconds", idleSeconds);
    figure("idle_clock_paints", clockPaints);
    figure("idle_other_paints", otherPaints);
    return 0;
}
