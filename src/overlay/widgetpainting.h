#pragma once

#include "overlay/fonts.h"

#include <QPainter>

namespace quorvel::overlay {

// Simple drawings of the operator widgets, for pictures of the window rendered offscreen
// (the live window uses real widgets), and the memo's text, which the live memo shares.

// A sunken two-pixel border on the window colour; returns the area inside it.
QRect paintSunkenBox(QPainter& painter, const QRect& box);

// How many lines of the font fit in the memo's inside area at most.
int memoRowCapacity(const QRect& inside, const ResolvedFont& font);

// The last lines (oldest first), word-wrapped, filling the area from the top while they
// fit and otherwise scrolled so that the last row is the bottom one.
void paintMemoText(QPainter& painter, const QRect& inside, const TextList& lines, const ResolvedFont& font);

void paintMemo(QPainter& painter, const QRect& box, const Screen& screen, El memo);
void paintListBox(QPainter& painter, const QRect& box, const TextList& items);
void paintCheckBox(QPainter& painter, const QRect& box, const Text& caption, bool checked);

inline constexpr int kListItemHeight = 13;

} // namespace quorvel::overlay
