#pragma once

#include "overlay/fonts.h"

#include <QPainter>
#include <QTextLayout>

#include <memory>
#include <vector>

namespace quorvel::overlay {

// Simple drawings of the operator widgets, for pictures of the window rendered offscreen
// (the live window uses real widgets), and the memo's text, which the live memo shares.

// A sunken two-pixel border on the window colour; returns the area inside it.
QRect paintSunkenBox(QPainter& painter, const QRect& box);

// How many lines of the font fit in the memo's inside area at most.
int memoRowCapacity(const QRect& inside, const ResolvedFont& font);

// A selection in the lines a memo paints: from a character of one line up to (not
// including) a character of a later or the same line. Characters count in the text as
// laid out.
struct MemoSelection {
    qsizetype fromLine = 0;
    qsizetype fromChar = 0;
    qsizetype toLine = 0;
    qsizetype toChar = 0;
};

// The rows one paint of a memo drew, kept so that a press can be placed in that text.
struct MemoRows {
    struct Row {
        qsizetype line; // index in the lines painted
        QTextLine text;
        int y; // the row's top
    };
    std::vector<std::unique_ptr<QTextLayout>> layouts; // hold the rows' text
    QList<Row> rows;
    int left = 0; // where the rows' text starts
    int lineHeight = 1;
    std::vector<qsizetype> cuts; // per painted line: characters before a long line's laid-out tail
};

// The last lines (oldest first), word-wrapped, filling the area from the top while they
// fit and otherwise scrolled so that the last row is the bottom one; the selected part on
// the selection colours. `rows`, if given, receives what was drawn.
void paintMemoText(QPainter& painter, const QRect& inside, const TextList& lines, const ResolvedFont& font,
                   const MemoSelection* selection = nullptr, MemoRows* rows = nullptr);

void paintMemo(QPainter& painter, const QRect& box, const Screen& screen, El memo);
void paintListBox(QPainter& painter, const QRect& box, const TextList& items);
void paintCheckBox(QPainter& painter, const QRect& box, const Text& caption, bool checked);

inline constexpr int kListItemHeight = 13;

} // namespace quorvel::overlay
