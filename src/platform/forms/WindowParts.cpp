#include "platform/forms/WindowParts.h"

#include "platform/forms/Controls.h"
#include "platform/forms/Geometry.h"

#include <QByteArray>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>

#include <algorithm>
#include <utility>

namespace tv::forms {

void greenStrip(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, QColor(192, 255, 192));
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    pal.setColor(QPalette::ButtonText, QColor(0, 0, 255));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QLabel* caption(QWidget* parent, const char* name, const QString& text, int left, int top, int width) {
    auto* l = make<QLabel>(parent, name);
    l->setText(text);
    place(l, left, top, width, 300);
    return l;
}

void makeButtons(QWidget* parent, std::initializer_list<ButtonDef> table, int width, int height) {
    for (const ButtonDef& b : table) {
        auto* button = make<QPushButton>(parent, b.name);
        button->setText(QString::fromUtf8(b.text));
        if (b.tip)
            button->setToolTip(QString::fromUtf8(b.tip));
        setTwips(button, b.left, b.top, width, height);
        *b.slot = button;
    }
}

QComboBox* listBox(QWidget* parent, const char* name, bool editable) {
    auto* c = make<QComboBox>(parent, name);
    c->setEditable(editable);
    if (editable) {
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);
    }
    return c;
}

void fillList(QComboBox* c, const QStringList& items) {
    c->clear();
    c->addItems(items);
    c->setCurrentIndex(-1);
}

namespace {

// A trial width: what a box keeps of it for its text tells its frame and margins.
constexpr int kTrialWidth = 400;

// A line box draws its text two pixels in from either side, with the cursor after it.
int lineTextWidth(const QFontMetrics& fm, const QString& text) { return fm.horizontalAdvance(text) + 1 + 2 * 2; }

int widestItem(const QComboBox* list) {
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = std::max(widest, list->fontMetrics().horizontalAdvance(list->itemText(i)));
    return widest;
}

}  // namespace

void wideEnoughFor(QLineEdit* box, const QString& longest) {
    QStyleOptionFrame frame;
    frame.initFrom(box);
    frame.rect.setWidth(kTrialWidth);
    frame.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box) : 0;
    const int text = box->style()
                         ->subElementRect(QStyle::SE_LineEditContents, &frame, box)
                         .marginsRemoved(box->textMargins())
                         .width();
    box->setMinimumWidth(lineTextWidth(box->fontMetrics(), longest) + kTrialWidth - text);
}

void wideEnoughForItems(QComboBox* list) {
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.rect.setWidth(kTrialWidth);
    option.editable = list->isEditable();
    const int field =
        list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list).width();
    // An edit line draws like a line box; a chosen item a pixel inside the field.
    const int widest = widestItem(list);
    const int text = list->isEditable() ? widest + 1 + 2 * 2 : widest + 2;
    list->setMinimumWidth(text + kTrialWidth - field);
}

namespace {

std::vector<int> columnWidths(const QFont& font, const std::vector<GridColumn>& columns, const WidthSample& sample) {
    const QFontMetrics fm(font);
    const int padding = fm.horizontalAdvance(QChar(0x4E2D));
    std::vector<int> widths;
    widths.reserve(columns.size());
    for (const GridColumn& c : columns) {
        const QString head = c.caption.size() <= 4 ? c.caption : c.caption.left((c.caption.size() + 1) / 2);
        widths.push_back(std::max(fm.horizontalAdvance(sample(c)), fm.horizontalAdvance(head)) + padding);
    }
    return widths;
}

// The widths of a grid's columns, measured once for the grid's font.
class FittedColumns {
public:
    FittedColumns(DataGrid* grid, std::vector<GridColumn> columns, WidthSample sample)
        : grid_(grid), columns_(std::move(columns)), sample_(std::move(sample)) {}
    void operator()() {
        if (grid_->model()->columnCount() == 0)
            return;  // no rows read yet: no column to size
        if (widths_.empty() || font_ != grid_->font()) {
            font_ = grid_->font();
            widths_ = columnWidths(font_, columns_, sample_);
        }
        for (int i = 0; i < static_cast<int>(widths_.size()); ++i)
            grid_->setColumnWidth(i, widths_[static_cast<size_t>(i)]);
    }

private:
    DataGrid* grid_;
    std::vector<GridColumn> columns_;
    WidthSample sample_;
    QFont font_;
    std::vector<int> widths_;
};

}  // namespace

DataGrid* captionedGrid(QWidget* root, const char* name, const QString& title, DataControl* data,
                        const std::vector<GridColumn>& columns, const WidthSample& sample, QLabel** strip) {
    *strip = make<QLabel>(root, (QByteArray(name) + "Caption").constData());
    (*strip)->setText(title);
    (*strip)->setAlignment(Qt::AlignCenter);
    (*strip)->setFont(songTi(10.5));
    greenStrip(*strip);
    auto* g = make<DataGrid>(root, name);
    g->setFont(songTi(9));
    g->setTabKeyNavigation(false);
    g->setDataSource(data);
    QObject::connect(g->model(), &QAbstractItemModel::modelReset, g, FittedColumns(g, columns, sample));
    g->setColumns(columns);
    return g;
}

QString positionCaption(const QString& title, DataControl* source, int& count) {
    const int position = source->isOpen() ? source->recordset().absolutePosition() + 1 : 0;
    count = std::max(0, count + source->takeCountChange());
    return title + QStringLiteral(" (#Record：") + QString::number(position) + QStringLiteral(" / ") +
           QString::number(count) + QStringLiteral(")");
}

QSize roomBeyondDesign(const QWidget* window, QSize design, double scale) {
    const DesignScale designScale(scale);
    const QSize shown = pixels(design);
    const double twipsPerPixel = 15 / scale;
    return {static_cast<int>(std::max(0, window->width() - shown.width()) * twipsPerPixel),
            static_cast<int>(std::max(0, window->height() - shown.height()) * twipsPerPixel)};
}

namespace {

class ResizeHook : public QObject {
public:
    ResizeHook(QWidget* watched, std::function<void()> handler) : QObject(watched), handler_(std::move(handler)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            handler_();
        return false;
    }

private:
    std::function<void()> handler_;
};

}  // namespace

void onResize(QWidget* w, std::function<void()> handler) { new ResizeHook(w, std::move(handler)); }

}  // namespace tv::forms
