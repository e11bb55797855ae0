#pragma once

#include "overlay/screen.h"

#include <QWidget>

namespace quorvel::overlay {

// A memo of the window. It draws the model's last lines that fit, scrolled to the end,
// rather than holding every line itself, so a memo that has logged a whole day of
// traffic costs no more to show than a fresh one.
class MemoWidget : public QWidget {
public:
    MemoWidget(const Screen& screen, El memo, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Screen& m_screen;
    El m_memo;
};

} // namespace quorvel::overlay
