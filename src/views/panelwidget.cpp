#include "views/panelwidget.h"

#include <QPaintEvent>

namespace quorvel::overlay {

PanelWidget::PanelWidget(const Screen& screen, Renderer& renderer, El panel, QWidget* parent)
    : QWidget(parent)
    , m_screen(screen)
    , m_renderer(renderer)
    , m_panel(panel)
{
    setObjectName(QLatin1String(elementName(panel)));
    // every pixel is painted here, so Qt need not clear the background first
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(screen.element(panel).box);
    setVisible(screen.element(panel).visible);
}

void PanelWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    m_renderer.paintPanel(painter, m_screen, m_panel, event->rect(), false);
    if (onPainted)
        onPainted();
}

} // namespace quorvel::overlay
