#pragma once

#include "overlay/screen.h"

#include <QEvent>
#include <QWidget>

#include <functional>
#include <memory>

namespace quorvel::overlay {

// The overlay window: a Qt view of the Screen model. Panels paint their graphic children
// from the model with the one renderer; memos, lists and the check box are real widgets
// kept in step with the model (operator input writes back into it). A change repaints
// only the changed element's rectangle.
//
// Title "VYD - Quorvel V3", a dialog frame with only a close box, not resizable, client
// area from the model (1629 x 551, or 104 high once shrunk), magenta background.
class View : public QWidget, private ScreenObserver {
public:
    explicit View(Screen& screen, QWidget* parent = nullptr);
    ~View() override;

    Screen& screen() { return m_screen; }

    // Centres the window by its outer size on the primary screen, halves truncated.
    void centerOnPrimaryScreen();

    // Called once, after the window has been painted for the first time.
    std::function<void()> onFirstPaint;
    // Called when the operator closes the window (its close box or the system's close).
    std::function<void()> onClose;
    // A click (pressed on an element and released inside its rectangle) and a double
    // click, on the topmost visible label or picture of the strip under the pointer.
    std::function<void(El)> onClick;
    std::function<void(El)> onDoubleClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // mouse input on the panels, which paint the labels and pictures that take clicks
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void elementChanged(El e, const QRect& before) override;
    void clientHeightChanged(int height) override;
    void createWidgets(El parent, QWidget* parentWidget);
    QWidget* widgetOf(El e) const;
    void notePainted();
    void handleMouse(QEvent::Type type, Qt::MouseButton button, QPoint at);

    struct Private;
    Screen& m_screen;
    std::unique_ptr<Private> d;
};

} // namespace quorvel::overlay
