#pragma once

#include "overlay/screen.h"
#include "overlay/widgetpainting.h"

#include <QClipboard>
#include <QTimer>
#include <QWidget>

namespace quorvel::overlay {

// A memo of the window. It draws the model's lines that fit rather than holding every
// line itself, so a memo that has logged a whole day of traffic costs no more to show than
// a fresh one. Scrolled to its end it follows new lines; the installer may scroll back
// (wheel, arrows, page keys), select with the mouse and copy (Ctrl+C, and the X primary
// selection), and it then stays where it is until brought back to the end (scrolling
// there, Ctrl+End). The operator may type into it, as into any memo; nothing reads what is
// typed, so it stays here and is shown after the log.
class MemoWidget : public QWidget {
public:
    MemoWidget(const Screen& screen, El memo, QWidget* parent);

    const Text& typed() const { return m_typed; }
    // The selected text, lines joined by line feeds as text is pasted here; empty without
    // a selection.
    Text selectedText() const;
    // Following the end: new lines scroll into view.
    bool following() const { return m_end < 0; }
    // The model's lines changed: repainted within kMemoRepaintMs, once for all the lines
    // that come until then.
    void linesChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // A place in the text: a line by its number since the memo began (lines dropped by
    // the cap keep their numbers), then a character of it.
    struct Place {
        qint64 line = 0;
        qsizetype ch = 0;
        bool operator<(const Place& o) const { return line < o.line || (line == o.line && ch < o.ch); }
        bool operator==(const Place& o) const = default;
    };

    qint64 firstLine() const; // the number of the first line still held
    qint64 endLine() const; // one past the last line, typed lines included
    TextList linesBefore(qint64 end, qsizetype count) const;
    void scrollBy(qint64 lines);
    void scrollToEnd();
    Place placeAt(QPoint at) const;
    void copySelection(QClipboard::Mode mode) const;

    const Screen& m_screen;
    El m_memo;
    QTimer m_repaint;
    Text m_typed;
    qint64 m_end = -1; // one past the last line shown while scrolled back; -1: following
    Place m_anchor; // where the selection began
    Place m_caret; // where it ends
    bool m_selecting = false;
    bool m_followingAtPress = false; // whether the memo followed when the button went down
    // what the last paint drew, for placing presses
    MemoRows m_rows;
    qint64 m_rowsFirstLine = 0; // the number of the first line that paint was given
};

} // namespace quorvel::overlay
