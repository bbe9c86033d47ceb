#include "support/Shown.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>

namespace tv::test {

bool showsWhole(const QLineEdit* box, const QString& text) {
    QStyleOptionFrame frame;
    frame.initFrom(box);
    frame.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box) : 0;
    const QRect contents =
        box->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box).marginsRemoved(box->textMargins());
    // A line box keeps two pixels either side of its text, and the cursor takes one.
    return box->fontMetrics().horizontalAdvance(text) + 1 <= contents.width() - 2 * 2;
}

bool showsWhole(const QComboBox* box, const QString& text) {
    if (box->isEditable())
        return showsWhole(box->lineEdit(), text);
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = false;
    option.currentText = text;
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
    // The item is drawn a pixel inside the field on either side.
    return box->fontMetrics().horizontalAdvance(text) <= field.width() - 2;
}

}  // namespace tv::test
