#include "fees/FeeWidgets.h"

#include <QHBoxLayout>

namespace tv::fees {

using forms::GridColumn;

std::vector<GridColumn> billColumns(bool shortNames) {
    const QString money = QStringLiteral("Currency"), price = QStringLiteral("CurrencyExact");
    const QString month = shortNames ? QString() : QStringLiteral("本月");
    return {{"jfrq", QStringLiteral("计费日期"), ""},      {"fjh", QStringLiteral("房间编号"), ""},
            {"xm", QStringLiteral("租客姓名"), ""},        {"sfzhm", QStringLiteral("身份证号码"), ""},
            {"zj", QStringLiteral("租金"), money},         {"sfsd1", QStringLiteral("收费时段(起)"), ""},
            {"sfsd2", QStringLiteral("收费时段(止)"), ""}, {"bysb", QStringLiteral("本月水表读数"), ""},
            {"sysb", QStringLiteral("上月水表读数"), ""},  {"ysl", month + QStringLiteral("用水量"), ""},
            {"sdj", QStringLiteral("市水单价"), price},    {"sf", month + QStringLiteral("水费"), money},
            {"bydb", QStringLiteral("本月电表读数"), ""},  {"sydb", QStringLiteral("上月电表读数"), ""},
            {"ydl", month + QStringLiteral("用电量"), ""}, {"ddj", QStringLiteral("市电单价"), price},
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

namespace {

// The values of a fee grid's columns: ID numbers, names, the rest ten digits.
QString widthSample(const GridColumn& c) {
    return c.field == QLatin1String("sfzhm") ? QString(18, QLatin1Char('0'))
           : c.field == QLatin1String("xm")  ? QString(4, QChar(0x4E2D))
                                             : QString(10, QLatin1Char('0'));
}

}  // namespace

forms::DataGrid* feeGrid(QWidget* root, const char* name, const QString& title, forms::DataControl* data,
                         const std::vector<GridColumn>& columns, QLabel** strip) {
    QHash<QString, QString> captions;  // a refused value is told by its column's caption
    for (const GridColumn& c : columns) captions.insert(c.field, c.caption);
    data->setFieldCaptions(captions);
    forms::DataGrid* g = forms::captionedGrid(root, name, title, data, columns, widthSample, strip);
    g->setToolTip(title);
    return g;
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
