#pragma once
// What the fee records window and the settlement window build alike: the
// fee grids and their columns, and a panel of boxed cells drawn like the
// printed receipt. The strips, labels, lists and data source captions are
// those of every window (platform/forms/WindowParts.h).

#include "platform/forms/Controls.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/WindowParts.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QString>

#include <vector>

namespace tv::fees {

// The strips, labels and lists every window builds alike.
using forms::caption;
using forms::fillList;
using forms::greenStrip;
using forms::listBox;
using forms::positionCaption;

// The 19 columns of a fee grid; the settlement window names the usages and
// charges shorter ("用水量", "水费").
std::vector<forms::GridColumn> billColumns(bool shortNames);
std::vector<forms::GridColumn> otherFeeColumns();
// A grid with its caption strip above it, over `data`; Tab leaves the grid.
// A value its source refuses is named by its column's caption.
forms::DataGrid* feeGrid(QWidget* root, const char* name, const QString& caption, forms::DataControl* data,
                         const std::vector<forms::GridColumn>& columns, QLabel** strip);

// One cell of a boxed panel: a caption (name null), or a control of type T
// made under `name` and kept in `*slot`; `span` grid columns wide.
template <class T>
struct Cell {
    const char* text;
    const char* name = nullptr;
    T** slot = nullptr;
    int span = 1;
};

// Rows of cells in a grid of joined boxes (one-pixel lines) inside `frame`.
template <class T>
void boxedCells(QFrame* frame, int firstRow, const std::vector<std::vector<Cell<T>>>& rows) {
    auto* grid = qobject_cast<QGridLayout*>(frame->layout());
    for (size_t r = 0; r < rows.size(); ++r) {
        int column = 0;
        for (const Cell<T>& c : rows[r]) {
            QWidget* w = nullptr;
            if (c.name) {
                T* value = forms::make<T>(frame, c.name);
                if (c.slot)
                    *c.slot = value;
                w = value;
            } else {
                auto* l = new QLabel(QString::fromUtf8(c.text), frame);
                l->setAlignment(Qt::AlignCenter);
                w = l;
            }
            QPalette pal = w->palette();
            pal.setColor(QPalette::Window, Qt::white);
            w->setPalette(pal);
            w->setAutoFillBackground(true);
            w->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);  // the rows fill the panel
            grid->addWidget(w, firstRow + static_cast<int>(r), column, 1, c.span);
            column += c.span;
        }
    }
}
// The frame of such a panel: its black lines, ten columns.
QFrame* boxedFrame(QWidget* parent, const char* name);
// The footer of a receipt: 主管： 经手人： 收款人： (盖章).
QLayout* receiptFooter(QWidget* parent);

}  // namespace tv::fees
