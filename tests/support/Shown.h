#pragma once
// Whether a box shows a text whole: the text fits inside the box's frame and
// margins as the box draws it (a line box with room for its cursor after the
// text; a list box in the field beside its arrow).

#include <QString>

class QComboBox;
class QLineEdit;

namespace tv::test {

bool showsWhole(const QLineEdit* box, const QString& text);
// An editable list box by its edit line, another by the field its chosen item is drawn in.
bool showsWhole(const QComboBox* box, const QString& text);

}  // namespace tv::test
