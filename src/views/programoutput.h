#pragma once

#include "base/config.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>

class QScreen;

namespace quorvel::overlay {

// The program output: a clean picture for the vision mixer on a screen of its own. A
// second view of the screen model, drawn by the same renderer at the same moment as the
// operator's window: every graphic of the client area at its current height, none of the
// windowed widgets, and the key colour wherever the window shows magenta and everywhere
// else on that screen. A borderless window covering the whole screen for as long as the
// program runs, on top, without a cursor, never taking the focus, listed by no taskbar or
// pager, and refusing a window manager's close request: it ends with the operator's window.
//
// The picture's place is worked out once, when the screen is first there: Left and Top, or
// where the client area is when the window is laid out centred on that screen. It never
// follows the operator's window. A picture that no longer fits there (a screen that came
// back smaller) is drawn clipped, never hidden: the mixer must never get a bare screen.
//
// The screen may be missing at start-up or unplugged during the programme: the output
// then waits for it, says so once, and comes back when the screen does.
class ProgramOutput : public QWidget, private ScreenObserver {
public:
    ProgramOutput(Screen& screen, const ProgramOutputConfig& config);
    ~ProgramOutput() override;

    // Starts following the chosen screen; the output shows whenever it is there.
    void start();

    // One line for mLog each time the output goes, comes or changes its place.
    std::function<void(const Text&)> onReport;

    // The picture's top-left corner in this window (and on its screen).
    QPoint place() const { return m_place; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // a window manager's close request (a taskbar's "Close") is refused
    void closeEvent(QCloseEvent* event) override;

private:
    void elementChanged(El e, const QRect& before) override;
    void clientHeightChanged(int height) override;
    void follow();
    void followLater();
    void screenGone(QScreen* screen);
    void showOnAir();
    void report(const QString& line);
    QRect pictureRect(int height) const;

    Screen& m_screen;
    ProgramOutputConfig m_config;
    Renderer m_renderer;
    QPointer<QScreen> m_target; // the screen the output is on
    QPoint m_place;
    bool m_placed = false; // the place has been worked out
    QString m_reported; // the last line told
    bool m_followQueued = false;
};

} // namespace quorvel::overlay
