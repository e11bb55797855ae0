#include "views/memowidget.h"

#include "base/config.h"
#include "base/cp1252.h"
#include "overlay/memolines.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

namespace quorvel::overlay {
namespace {

// The operator's typing is kept only as far back as a memo could ever show.
constexpr qsizetype kTypedKept = 64 * 1024;
// Lines a wheel notch and an arrow key move.
constexpr int kWheelLines = 3;

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
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(kMemoRepaintMs);
    connect(&m_repaint, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void MemoWidget::linesChanged()
{
    // not restarted: a steady flow of lines must not put the repaint off for ever
    if (!m_repaint.isActive())
        m_repaint.start();
}

qint64 MemoWidget::firstLine() const
{
    return m_screen.memo(m_memo).dropped;
}

qint64 MemoWidget::endLine() const
{
    const MemoLines& memo = m_screen.memo(m_memo);
    return memo.dropped + memo.lineCount + (m_typed.isEmpty() ? 0 : shownLineCount(m_typed));
}

TextList MemoWidget::linesBefore(qint64 end, qsizetype count) const
{
    const MemoLines& memo = m_screen.memo(m_memo);
    const qint64 logEnd = memo.dropped + memo.lineCount;
    TextList lines;
    if (end > logEnd) {
        // typed lines come after the log's
        MemoLines typed;
        appendToMemo(typed, m_typed);
        lines = shownLinesBefore(typed, qsizetype(end - logEnd), count);
        end = logEnd;
    }
    if (lines.size() < count)
        lines = shownLinesBefore(memo, qsizetype(end - memo.dropped), count - lines.size()) + lines;
    return lines;
}

void MemoWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const ResolvedFont& font = resolvedFont(m_screen.element(m_memo).font);
    const QRect inside = paintSunkenBox(painter, rect());
    const qsizetype rows = memoRowCapacity(inside, font);
    // lines scrolled back to may have been dropped by the cap since
    if (m_end >= 0)
        m_end = std::clamp(m_end, std::min(firstLine() + 1, endLine()), endLine());
    const qint64 end = following() ? endLine() : m_end;
    const TextList lines = linesBefore(end, rows);
    m_rowsFirstLine = end - lines.size();

    MemoSelection selection;
    const Place from = std::min(m_anchor, m_caret);
    const Place to = std::max(m_anchor, m_caret);
    selection.fromLine = qsizetype(from.line - m_rowsFirstLine);
    selection.fromChar = from.ch;
    selection.toLine = qsizetype(to.line - m_rowsFirstLine);
    selection.toChar = to.ch;
    paintMemoText(painter, inside, lines, font, from == to ? nullptr : &selection, &m_rows);
}

void MemoWidget::scrollBy(qint64 lines)
{
    const qint64 end = following() ? endLine() : m_end;
    const qint64 target = std::clamp(end + lines, std::min(firstLine() + 1, endLine()), endLine());
    // back at the end, it follows again
    m_end = target >= endLine() ? -1 : target;
    update();
}

void MemoWidget::scrollToEnd()
{
    m_end = -1;
    update();
}

MemoWidget::Place MemoWidget::placeAt(QPoint at) const
{
    if (m_rows.rows.isEmpty())
        return {m_rowsFirstLine, 0};
    // above the first row the text's start, below the last its end
    const MemoRows::Row* row = &m_rows.rows.front();
    if (at.y() < row->y)
        return {m_rowsFirstLine + row->line, row->text.textStart()};
    for (const MemoRows::Row& r : m_rows.rows)
        if (at.y() >= r.y)
            row = &r;
    const MemoRows::Row& last = m_rows.rows.back();
    if (row == &last && at.y() >= last.y + m_rows.lineHeight)
        return {m_rowsFirstLine + last.line, last.text.textStart() + last.text.textLength()};
    const qsizetype ch = row->text.xToCursor(at.x() - m_rows.left);
    return {m_rowsFirstLine + row->line, ch + m_rows.cuts[size_t(row->line)]};
}

Text MemoWidget::selectedText() const
{
    const Place from = std::min(m_anchor, m_caret);
    const Place to = std::max(m_anchor, m_caret);
    if (from == to)
        return {};
    const TextList lines = linesBefore(to.line + 1, qsizetype(to.line - from.line + 1));
    Text out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qint64 number = to.line + 1 - lines.size() + i;
        const Text& line = lines[i];
        const qsizetype start = number == from.line ? std::min(from.ch, line.size()) : 0;
        const qsizetype stop = number == to.line ? std::min(to.ch, line.size()) : line.size();
        if (i > 0)
            out += '\n';
        out += line.mid(start, stop - start);
    }
    return out;
}

void MemoWidget::copySelection(QClipboard::Mode mode) const
{
    const Text text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(fromCp1252(text), mode);
}

void MemoWidget::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches != 0)
        scrollBy(qint64(-notches) * kWheelLines);
    event->accept();
}

void MemoWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // a memo being selected in holds still while new lines arrive
    m_followingAtPress = following();
    if (m_followingAtPress)
        m_end = endLine();
    m_anchor = m_caret = placeAt(event->position().toPoint());
    m_selecting = true;
    update();
}

void MemoWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_selecting)
        return QWidget::mouseMoveEvent(event);
    m_caret = placeAt(event->position().toPoint());
    update();
}

void MemoWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_selecting || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    m_caret = placeAt(event->position().toPoint());
    m_selecting = false;
    if (m_anchor == m_caret) {
        // a plain click selects nothing: a memo that was following, or is at the end, follows
        // again, whatever lines came while the button was down
        if (m_followingAtPress || m_end >= endLine())
            m_end = -1;
    } else {
        copySelection(QClipboard::Selection);
    }
    update();
}

void MemoWidget::keyPressEvent(QKeyEvent* event)
{
    const ResolvedFont& font = resolvedFont(m_screen.element(m_memo).font);
    const int page = std::max(1, memoRowCapacity(rect().adjusted(2, 2, -2, -2), font) - 2);
    if (event->matches(QKeySequence::Copy)) {
        copySelection(QClipboard::Clipboard);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up: return scrollBy(-1);
    case Qt::Key_Down: return scrollBy(1);
    case Qt::Key_PageUp: return scrollBy(-page);
    case Qt::Key_PageDown: return scrollBy(page);
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier)
            return scrollToEnd();
        break;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier)
            return scrollBy(firstLine() - endLine());
        break;
    default: break;
    }
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
    // typing goes in at the end, which comes into view
    scrollToEnd();
}

} // namespace quorvel::overlay
