#pragma once

#include <QByteArray>
#include <QFutureWatcher>
#include <QObject>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace quorvel::overlay {
class Renderer;
class Screen;
} // namespace quorvel::overlay

namespace quorvel::feed {

// The feed's pictures as PNG, each made once per change of the screen and kept until the
// next one. The picture is drawn on the window's thread, which owns the model; the PNG is
// encoded on another, so that clients asking for pictures in a loop do not hold up the air.
class PictureCache : public QObject {
    Q_OBJECT
public:
    enum class Kind { Program, Strip, Window };

    PictureCache(overlay::Renderer& renderer, const overlay::Screen& screen, QObject* parent = nullptr);
    ~PictureCache() override;

    // Calls `done` with the picture's PNG once there is one, unless `context` is gone by
    // then: at once when it was made since the last change, else once it is encoded.
    void request(Kind kind, QObject* context, std::function<void(const QByteArray&)> done);
    // What was shown changed; `operatorOnly` when it was only the operator's widgets, which
    // the program's pictures leave out.
    void changed(bool operatorOnly);
    // How many pictures were encoded so far.
    int encoded() const { return m_encoded; }

private:
    struct Waiter {
        QPointer<QObject> context;
        std::function<void(const QByteArray&)> done;
    };
    struct Job {
        QFutureWatcher<QByteArray> watcher;
        std::vector<Waiter> waiting;
    };
    struct Entry {
        QByteArray png; // empty: not made since the last change
        std::shared_ptr<Job> job; // being encoded, as the screen is now
    };

    void finished(Kind kind, const std::shared_ptr<Job>& job);

    overlay::Renderer& m_renderer;
    const overlay::Screen& m_screen;
    std::array<Entry, 3> m_entries;
    std::vector<std::shared_ptr<Job>> m_jobs; // running, current or not
    int m_encoded = 0;
};

} // namespace quorvel::feed
