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
// else on that screen. A borderless window covering the screen, on top, without a cursor.
//
// The screen may be missing at start-up or unplugged during the programme: the output
// then waits for it, says so once, and comes back when the screen does.
class ProgramOutput : public QWidget, private ScreenObserver {
public:
    ProgramOutput(Screen& screen, QWidget& operatorWindow, const ProgramOutputConfig& config);
    ~ProgramOutput() override;

    // Starts following the chosen screen; the output shows whenever it is there.
    void start();

    // One line for mLog each time the output goes or comes.
    std::function<void(const Text&)> onReport;

    // The picture's top-left corner in this window (and on its screen).
    QPoint place() const { return m_place; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // the operator's window moved: by default the picture follows its client area
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class State { Idle, Shown, Missing, TooSmall };

    void elementChanged(El e, const QRect& before) override;
    void clientHeightChanged(int height) override;
    void follow();
    void followLater();
    void screenGone(QScreen* screen);
    void report(State state, const QString& line);
    QPoint defaultPlace() const;
    QRect pictureRect(int height) const;

    Screen& m_screen;
    QWidget& m_operator;
    ProgramOutputConfig m_config;
    Renderer m_renderer;
    QPointer<QScreen> m_target;  // the screen the output is on
    QPointer<QScreen> m_watched; // the screen of that name or index, fitting or not
    QPoint m_place;
    State m_state = State::Idle;
    bool m_followQueued = false;
    QImage m_buffer; // for a key colour other than magenta
};

} // namespace quorvel::overlay
