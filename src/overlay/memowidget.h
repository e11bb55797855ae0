#pragma once

#include "overlay/screen.h"

#include <QWidget>

namespace quorvel::overlay {

// A memo of the window. It draws the model's last lines that fit, scrolled to the end,
// rather than holding every line itself, so a memo that has logged a whole day of
// traffic costs no more to show than a fresh one. The operator may type into it, as into
// any memo; nothing reads what is typed, so it stays here and is shown after the log.
class MemoWidget : public QWidget {
public:
    MemoWidget(const Screen& screen, El memo, QWidget* parent);

    const Text& typed() const { return m_typed; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const Screen& m_screen;
    El m_memo;
    Text m_typed;
};

} // namespace quorvel::overlay
