#pragma once
// The status box of a window (its "提示：" line): a read-only box that says
// what the last action did. Every text shows from its start, whatever the
// box held before; beside its caption the box takes the room that the short
// caption leaves on its row.

#include <QString>

class QLabel;
class QLineEdit;

namespace tv::forms {

// What a status box says after a search and a delete.
namespace tips {
inline const QString kFoundOne = QStringLiteral("为您查到一条记录");             // a scan stopped on a row
inline const QString kNotFound = QStringLiteral("没有找到符合条件的记录");       // a scan found none
inline const QString kFoundMatching = QStringLiteral("为您查到符合条件的记录");  // a narrowed selection
inline const QString kShowingAll = QStringLiteral("显示全部记录");               // the whole table again
inline const QString kDeleted = QStringLiteral("数据删除成功");
}  // namespace tips

// Makes `box` a status box. With `caption`, the label placed to its left on
// the same row, the caption shrinks to its text and the box reaches left to
// just after it, its right edge kept: call it once both are placed.
QLineEdit* statusBox(QLineEdit* box, QLabel* caption = nullptr);

}  // namespace tv::forms
