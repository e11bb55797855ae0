#include "feed/picturecache.h"

#include "base/config.h"
#include "feed/pngpictures.h"
#include "overlay/layout.h"
#include "overlay/screen.h"

#include <QtConcurrent/QtConcurrentRun>

namespace quorvel::feed {

PictureCache::PictureCache(overlay::Renderer& renderer, const overlay::Screen& screen, QObject* parent)
    : QObject(parent)
    , m_renderer(renderer)
    , m_screen(screen)
{
}

PictureCache::~PictureCache()
{
    // An encoding still running finishes on its own; nobody waits for it any more.
    for (const std::shared_ptr<Job>& job : m_jobs)
        job->watcher.disconnect(this);
}

void PictureCache::request(Kind kind, QObject* context, std::function<void(const QByteArray&)> done)
{
    Entry& entry = m_entries[size_t(kind)];
    if (!entry.png.isEmpty()) {
        done(entry.png);
        return;
    }
    if (!entry.job) {
        const QRect client(0, 0, m_screen.clientWidth(), m_screen.clientHeight());
        QImage image;
        switch (kind) {
        case Kind::Program: image = programPicture(m_renderer, m_screen, client); break;
        case Kind::Strip:
            image = programPicture(m_renderer, m_screen, client & QRect(0, 0, client.width(), kStripHeight));
            break;
        case Kind::Window: image = windowPicture(m_renderer, m_screen); break;
        }
        auto job = std::make_shared<Job>();
        entry.job = job;
        m_jobs.push_back(job);
        connect(&job->watcher, &QFutureWatcher<QByteArray>::finished, this, [this, kind, job] { finished(kind, job); });
        job->watcher.setFuture(QtConcurrent::run([image] { return pngBytes(image); }));
        ++m_encoded;
    }
    entry.job->waiting.push_back({context, std::move(done)});
}

void PictureCache::finished(Kind kind, const std::shared_ptr<Job>& job)
{
    std::erase(m_jobs, job);
    const QByteArray png = job->watcher.result();
    Entry& entry = m_entries[size_t(kind)];
    // kept only when nothing changed while it was encoded
    if (entry.job == job) {
        entry.job.reset();
        entry.png = png;
    }
    for (Waiter& waiter : std::exchange(job->waiting, {}))
        if (waiter.context)
            waiter.done(png);
}

void PictureCache::changed(bool operatorOnly)
{
    for (Kind kind : {Kind::Program, Kind::Strip, Kind::Window}) {
        if (operatorOnly && kind != Kind::Window)
            continue;
        Entry& entry = m_entries[size_t(kind)];
        entry.png.clear();
        // who asked before the change still gets the picture it asked for
        entry.job.reset();
    }
}

} // namespace quorvel::feed
