#pragma once
// The status box of a window (its "提示：" line): a read-only box that says
// what the last action did. Every text shows from its start, whatever the
// box held before; beside its caption the box takes the room that the short
// caption leaves on its row.

class QLabel;
class QLineEdit;

namespace tv::forms {

// Makes `box` a status box. With `caption`, the label placed to its left on
// the same row, the caption shrinks to its text and the box reaches left to
// just after it, its right edge kept: call it once both are placed.
QLineEdit* statusBox(QLineEdit* box, QLabel* caption = nullptr);

}  // namespace tv::forms
