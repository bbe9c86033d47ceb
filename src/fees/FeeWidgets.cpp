#include "fees/FeeWidgets.h"

#include "platform/db/Recordset.h"
#include "platform/forms/Geometry.h"

#include <QFontMetrics>
#include <QHBoxLayout>

namespace tv::fees {

using forms::GridColumn;

void greenStrip(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, QColor(192, 255, 192));
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    pal.setColor(QPalette::ButtonText, QColor(0, 0, 255));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QLabel* caption(QWidget* parent, const char* name, const QString& text, int left, int top, int width) {
    auto* l = forms::make<QLabel>(parent, name);
    l->setText(text);
    forms::place(l, left, top, width, 300);
    return l;
}

QComboBox* listBox(QWidget* parent, const char* name, bool editable) {
    auto* c = forms::make<QComboBox>(parent, name);
    c->setEditable(editable);
    if (editable) {
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);  // typed text stays exactly as typed
    }
    return c;
}

void fillList(QComboBox* c, const QStringList& items) {
    c->clear();
    c->addItems(items);
    c->setCurrentIndex(-1);
}

std::vector<GridColumn> billColumns(bool shortNames) {
    const QString money = QStringLiteral("Currency");
    const QString month = shortNames ? QString() : QStringLiteral("本月");
    return {{"jfrq", QStringLiteral("计费日期"), ""},      {"fjh", QStringLiteral("房间编号"), ""},
            {"xm", QStringLiteral("租客姓名"), ""},        {"sfzhm", QStringLiteral("身份证号码"), ""},
            {"zj", QStringLiteral("租金"), money},         {"sfsd1", QStringLiteral("收费时段(起)"), ""},
            {"sfsd2", QStringLiteral("收费时段(止)"), ""}, {"bysb", QStringLiteral("本月水表读数"), ""},
            {"sysb", QStringLiteral("上月水表读数"), ""},  {"ysl", month + QStringLiteral("用水量"), ""},
            {"sdj", QStringLiteral("市水单价"), money},    {"sf", month + QStringLiteral("水费"), money},
            {"bydb", QStringLiteral("本月电表读数"), ""},  {"sydb", QStringLiteral("上月电表读数"), ""},
            {"ydl", month + QStringLiteral("用电量"), ""}, {"ddj", QStringLiteral("市电单价"), money},
            {"df", month + QStringLiteral("电费"), money}, {"zf", QStringLiteral("其它费用"), money},
            {"hj", QStringLiteral("合计"), money}};
}

std::vector<GridColumn> otherFeeColumns() {
    const QString money = QStringLiteral("Currency");
    return {{"jfrq", QStringLiteral("计费日期"), ""},     {"fjh", QStringLiteral("房间编号"), ""},
            {"sfzhm", QStringLiteral("身份证号码"), ""},  {"kdf", QStringLiteral("宽带费用"), money},
            {"dtf", QStringLiteral("电梯维护费"), money}, {"wsf", QStringLiteral("垃圾费"), money},
            {"zaf", QStringLiteral("治安费"), money},     {"wgf", QStringLiteral("物业管理费"), money},
            {"qtf", QStringLiteral("其它杂费"), money},   {"hj", QStringLiteral("合计"), money}};
}

void fitColumns(forms::DataGrid* grid, const std::vector<GridColumn>& columns) {
    const QFontMetrics fm(grid->font());
    const int padding = fm.horizontalAdvance(QChar(0x4E2D));
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const GridColumn& c = columns[static_cast<size_t>(i)];
        const QString head = c.caption.size() <= 4 ? c.caption : c.caption.left((c.caption.size() + 1) / 2);
        const QString sample = c.field == QLatin1String("sfzhm") ? QString(18, QLatin1Char('0'))
                               : c.field == QLatin1String("xm")  ? QString(4, QChar(0x4E2D))
                                                                 : QString(10, QLatin1Char('0'));
        grid->setColumnWidth(i, std::max(fm.horizontalAdvance(sample), fm.horizontalAdvance(head)) + padding);
    }
}

forms::DataGrid* feeGrid(QWidget* root, const char* name, const QString& title, forms::DataControl* data,
                         const std::vector<GridColumn>& columns, QLabel** strip) {
    *strip = forms::make<QLabel>(root, (QByteArray(name) + "Caption").constData());
    (*strip)->setText(title);
    (*strip)->setAlignment(Qt::AlignCenter);
    (*strip)->setFont(forms::songTi(10.5));
    greenStrip(*strip);
    auto* g = forms::make<forms::DataGrid>(root, name);
    g->setToolTip(title);
    g->setFont(forms::songTi(9));
    g->setTabKeyNavigation(false);  // Tab goes on to the next control; the arrows move in the grid
    g->setDataSource(data);
    QObject::connect(g->model(), &QAbstractItemModel::modelReset, g, [g, columns] { fitColumns(g, columns); });
    g->setColumns(columns);
    return g;
}

QString positionCaption(const QString& title, forms::DataControl* source, int count) {
    const int position = source->isOpen() ? source->recordset().absolutePosition() + 1 : 0;
    return title + QStringLiteral(" (#Record：") + QString::number(position) + QStringLiteral(" / ") +
           QString::number(count) + QStringLiteral(")");
}

QFrame* boxedFrame(QWidget* parent, const char* name) {
    auto* frame = forms::make<QFrame>(parent, name);
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, Qt::black);
    frame->setPalette(pal);
    frame->setAutoFillBackground(true);
    auto* grid = new QGridLayout(frame);
    grid->setSpacing(1);
    grid->setContentsMargins(1, 1, 1, 1);
    for (int c = 0; c < 10; ++c) grid->setColumnStretch(c, 1);
    return frame;
}

QLayout* receiptFooter(QWidget* parent) {
    auto* row = new QHBoxLayout;
    for (const char* text : {"主管：", "经手人：", "收款人：", "(盖章)"})
        row->addWidget(new QLabel(QString::fromUtf8(text), parent), 1);
    return row;
}

}  // namespace tv::fees
