#pragma once
// What the windows build alike: the light-green caption strips, labels,
// tables of buttons and lists, a grid with its caption strip and columns as
// wide as their values, and a handler run after every resize of a window.

#include "platform/forms/DataGrid.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tv::forms {

// The light-green strip with blue text of the data sources and grid
// captions; a data source's arrows are blue too.
void greenStrip(QWidget* w);

// A label showing `text` on the twip box (left, top, width), one line high.
QLabel* caption(QWidget* parent, const char* name, const QString& text, int left, int top, int width);

// One button of a window's table of buttons: the member it is kept in, its
// control name, text and tooltip (none when null), its place in twips.
struct ButtonDef {
    QPushButton** slot;
    const char* name;
    const char* text;
    const char* tip;
    int left, top;
};
// Makes the buttons of `table` in its order (the order Tab walks them), each
// `width` by `height` twips.
void makeButtons(QWidget* parent, std::initializer_list<ButtonDef> table, int width, int height);

// A list; an editable one never takes typed text in as an item and never
// completes it: typed text stays exactly as typed.
QComboBox* listBox(QWidget* parent, const char* name, bool editable);
// Fills a list with nothing chosen.
void fillList(QComboBox* c, const QStringList& items);

// A box never narrower than it must be to show `longest` whole (the longest
// value a keeper types into it): a layout gives it that much first.
void wideEnoughFor(QLineEdit* box, const QString& longest);
// A list never narrower than its widest item (call it once the list is
// filled). Its drop-down grows to its items by itself.
void wideEnoughForItems(QComboBox* list);

// The text as wide as the usual values of a column (the window knows its
// fields: ID numbers are long, names middling).
using WidthSample = std::function<QString(const GridColumn&)>;

// A grid of the windows' look over `data` with its caption strip above it
// (named after the grid, "DBGrid1Caption", kept in `*strip`). Whenever the
// grid reads its rows anew, each column is made as wide as its sample or its
// caption, whichever is wider (a caption stays on one line up to four
// characters and takes two beyond). Tab leaves the grid, the arrows move in it.
DataGrid* captionedGrid(QWidget* root, const char* name, const QString& title, DataControl* data,
                        const std::vector<GridColumn>& columns, const WidthSample& sample, QLabel** strip);

// "租金水电费 (#Record：3 / 10)": the title, the source's current row (0
// without one, or when it is not open) and `count`, the window's count of its
// rows, changed first by the rows another program deleted or added that the
// source has followed since (DataControl::takeCountChange()).
QString positionCaption(const QString& title, DataControl* source, int& count);

// The room, in twips, that a window larger than its design (maximised on a
// large screen) has beyond it, across and down; none where it is smaller.
// `design` is the window's design size in twips, `scale` its scale.
QSize roomBeyondDesign(const QWidget* window, QSize design, double scale);

// Runs `handler` after every resize of `w`, for as long as `w` lives.
void onResize(QWidget* w, std::function<void()> handler);

}  // namespace tv::forms
