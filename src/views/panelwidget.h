#pragma once

#include "overlay/renderer.h"

#include <QWidget>

#include <functional>

namespace quorvel::overlay {

// A panel of the window: fills its rectangle and paints its labels, pictures and shapes
// from the model. Its windowed children are child widgets of it, so Qt clips them to it.
class PanelWidget : public QWidget {
public:
    PanelWidget(const Screen& screen, Renderer& renderer, El panel, QWidget* parent);

    El panel() const { return m_panel; }
    std::function<void()> onPainted;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Screen& m_screen;
    Renderer& m_renderer;
    El m_panel;
};

} // namespace quorvel::overlay
