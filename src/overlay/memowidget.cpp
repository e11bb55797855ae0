#include "overlay/memowidget.h"

#include "overlay/widgetpainting.h"

namespace quorvel::overlay {

MemoWidget::MemoWidget(const Screen& screen, El memo, QWidget* parent)
    : QWidget(parent)
    , m_screen(screen)
    , m_memo(memo)
{
    setObjectName(QLatin1String(elementName(memo)));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::IBeamCursor);
    setGeometry(screen.element(memo).box);
    setVisible(screen.element(memo).visible);
}

void MemoWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintMemo(painter, rect(), m_screen, m_memo);
}

} // namespace quorvel::overlay
