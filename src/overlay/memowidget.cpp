#include "overlay/memowidget.h"

#include "base/cp1252.h"
#include "overlay/memolines.h"
#include "overlay/widgetpainting.h"

#include <QKeyEvent>

namespace quorvel::overlay {
namespace {

// The operator's typing is kept only as far back as a memo could ever show.
constexpr qsizetype kTypedKept = 64 * 1024;

} // namespace

MemoWidget::MemoWidget(const Screen& screen, El memo, QWidget* parent)
    : QWidget(parent)
    , m_screen(screen)
    , m_memo(memo)
{
    setObjectName(QLatin1String(elementName(memo)));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::IBeamCursor);
    setGeometry(screen.element(memo).box);
    setVisible(screen.element(memo).visible);
}

void MemoWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const ResolvedFont& font = resolvedFont(m_screen.element(m_memo).font);
    const QRect inside = paintSunkenBox(painter, rect());
    const qsizetype rows = memoRowCapacity(inside, font);
    TextList lines = m_screen.lastLines(m_memo, rows);
    if (!m_typed.isEmpty()) {
        MemoLines typed;
        appendToMemo(typed, m_typed);
        lines += lastShownLines(typed, rows);
    }
    paintMemoText(painter, inside, lines, font);
}

void MemoWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Backspace)
        m_typed.chop(1);
    else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        m_typed += "\r\n";
    else if (!event->text().isEmpty() && event->text().at(0).isPrint())
        m_typed += toCp1252(event->text());
    else
        return QWidget::keyPressEvent(event);
    if (m_typed.size() > kTypedKept)
        m_typed = m_typed.right(kTypedKept);
    update();
}

} // namespace quorvel::overlay
