#include "exchange/faccess.h"

#include "exchange/Connections.h"
#include "exchange/Exnac.h"
#include "exchange/fexcel.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/Progress.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>

namespace tv::exchange {

namespace {

// The field's data type number and size as the old provider reported them.
std::pair<int, int> typeAndSize(tv::ColumnKind kind) {
    switch (kind) {
        case tv::ColumnKind::Text:
            return {202, 255};
        case tv::ColumnKind::SmallInt:
            return {2, 2};
        case tv::ColumnKind::Integer:
            return {3, 4};
        case tv::ColumnKind::Single:
            return {4, 4};
        case tv::ColumnKind::Double:
            return {5, 8};
        case tv::ColumnKind::Currency:
            return {6, 8};
        case tv::ColumnKind::DateTime:
            return {7, 8};
        case tv::ColumnKind::Blob:
            return {205, 2147483647};
    }
    return {0, 0};
}

}  // namespace

faccess::faccess() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

void faccess::build(QWidget* root) {
    using tv::forms::make;
    using tv::forms::setTwips;
    faccessUi& u = ui();
    root->setWindowTitle(QStringLiteral("打开Access文件"));
    root->setFixedSize(tv::forms::pixels(designSize()));

    auto* l1 = make<QLabel>(root, "Label1");
    l1->setText(QStringLiteral("Access文件"));
    tv::forms::place(l1, 240, 300, 1100, 285);
    u.Text1 = make<QLineEdit>(root, "Text1");
    u.Text1->setReadOnly(true);
    setTwips(u.Text1, 1440, 270, 5820, 345);
    u.Img2 = make<QPushButton>(root, "Img2");
    u.Img2->setIcon(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    u.Img2->setToolTip(QStringLiteral("打开Access文件"));
    setTwips(u.Img2, 7380, 255, 480, 375);

    auto* l2 = make<QLabel>(root, "Label2");
    l2->setText(QStringLiteral("Access表"));
    tv::forms::place(l2, 240, 800, 1100, 285);
    u.Com1 = make<QComboBox>(root, "Com1");
    setTwips(u.Com1, 1440, 770, 3000, 345);
    u.Label3 = make<QLabel>(root, "Label3");
    tv::forms::place(u.Label3, 4800, 800, 2400, 285);

    u.msg1 = make<QTableWidget>(root, "msg1");
    u.msg1->horizontalHeader()->hide();
    u.msg1->verticalHeader()->hide();
    u.msg1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    u.msg1->setColumnCount(4);
    u.msg1->setRowCount(1);
    u.msg1->verticalHeader()->setDefaultSectionSize(tv::forms::px(300));
    setTwips(u.msg1, 240, 1320, 7920, 5000);

    u.cmd1 = make<QPushButton>(root, "cmd1");
    u.cmd1->setText(QStringLiteral("导入(&R)"));
    u.cmd1->setEnabled(false);
    tv::forms::place(u.cmd1, 3540, 6480, 1455, 495);
    u.Cmd3 = make<QPushButton>(root, "Cmd3");
    u.Cmd3->setText(QStringLiteral("上一步(&B)"));
    tv::forms::place(u.Cmd3, 5100, 6480, 1455, 495);
    u.cmd2 = make<QPushButton>(root, "cmd2");
    u.cmd2->setText(QStringLiteral("返回(&X)"));
    tv::forms::place(u.cmd2, 6705, 6480, 1455, 495);

    tv::forms::onClick(u.Img2, [this] { Img2_Click(); });
    tv::forms::on(u.Com1, &QComboBox::activated, [this] { Com1_Click(); });
    tv::forms::onClick(u.cmd1, [this] { cmd1_Click(); });
    tv::forms::onClick(u.Cmd3, [this] { Cmd3_Click(); });
    tv::forms::onClick(u.cmd2, [this] { cmd2_Click(); });
    setExitButton(u.cmd2);
    tv::forms::centerOnScreen(root);
}

void faccess::Img2_Click() {
    faccessUi& u = ui();
    const QString path = tv::dlg::openFile(QStringLiteral("打开Access文件"),
                                           QStringLiteral("Access文件(*.mdb)|*.mdb|所有文件(*.*)|*.*"));
    if (path.isEmpty()) {
        notice(QStringLiteral("请重新选择Access文件! "), tv::dlg::OkOnly);
        return;
    }
    connections().AccessFilePath = path;
    u.Text1->setText(path);
    // A new file: nothing of the old one stays.
    u.Com1->clear();
    u.msg1->setRowCount(1);
    u.msg1->clearContents();
    u.Label3->clear();
    u.cmd1->setEnabled(false);
    connections().accessFieldCount = 0;
    try {
        OpenAccessConnection();
        u.Com1->addItems(tableNames(*connections().access));
        u.Com1->setCurrentIndex(-1);
    } catch (const tv::DbError& e) {
        notice(e.text(), tv::dlg::Exclamation);
        return;
    }
    tv::dlg::followChosenFile(path);
}

void faccess::Com1_Click() {
    faccessUi& u = ui();
    u.cmd1->setEnabled(false);
    std::vector<tv::Column> columns;
    try {
        if (!connections().access)
            OpenAccessConnection();
        columns = connections().access->columns(u.Com1->currentText());
    } catch (const tv::DbError& e) {
        notice(e.text(), tv::dlg::Exclamation);
        return;
    }
    const int count = static_cast<int>(columns.size());
    u.Label3->setText(QStringLiteral("共有%1个字段").arg(count));
    u.Label3->show();
    connections().accessFieldCount = count;
    u.msg1->clearContents();
    u.msg1->setRowCount(count + 1);
    for (int i = 1; i <= count; ++i) {
        const tv::Column& c = columns[static_cast<size_t>(i - 1)];
        const auto [type, size] = typeAndSize(c.kind);
        const QString cells[] = {QString::number(i), c.name, QString::number(type), QString::number(size)};
        for (int j = 0; j < 4; ++j) u.msg1->setItem(i, j, new QTableWidgetItem(cells[j]));
    }
    fitColumns(u.msg1, tv::forms::px(1500), tv::forms::px(4500));
    u.cmd1->setEnabled(true);
}

void faccess::cmd1_Click() {
    faccessUi& u = ui();
    Connections& c = connections();
    if (c.excelFieldCount > c.accessFieldCount) {
        notice(QStringLiteral("Excel表数据字段数大于Access表数据字段数!"), tv::dlg::Exclamation);
        return;
    }
    tv::workbook::SheetFile* sheet = chosenSheet();
    const QString table = u.Com1->currentText();
    if (!sheet || table.isEmpty())
        return;
    try {
        if (!c.access)
            OpenAccessConnection();
        checkWritable(*c.access);
        const bool hasRows = !c.access->query(QStringLiteral("select 1 from %1 limit 1").arg(quoted(table))).empty();
        tv::dlg::msgBox(hasRows ? QStringLiteral("数据表内有记录，现在开始导入新数据")
                                : QStringLiteral("数据表没有记录，现在开始导入新数据"),
                        tv::dlg::Exclamation, tv::dlg::kHintTitle);
        if (sheet->rowCount() > 0)
            widget()->setWindowTitle(QStringLiteral("数据正在导入，请稍候.．．"));
        // The sheet read anew, as it is now, its rows stored as they come;
        // all of them land or none.
        const QString& book = connections().ExcelFilePath;
        tv::dlg::Progress progress(QStringLiteral("导入数据"),
                                   QStringLiteral("正在把“%1”的工作表“%2”\n导入到数据表“%3”")
                                       .arg(QDir::toNativeSeparators(book), sheet->sheet().name, table),
                                   sheet->rowCount(), tv::dlg::Progress::Unit::Rows);
        LastImport = importSheet(*c.access, table, book, c.sheet, c.excelFieldCount, &progress);
    } catch (const tv::DbError& e) {
        return failed(nothingImported(e), tv::dlg::Exclamation);
    } catch (const tv::workbook::WorkbookError& e) {
        return failed(e.text(), tv::dlg::Exclamation);
    } catch (const tv::dlg::Cancelled&) {
        return failed(QStringLiteral("导入已取消，数据表没有改变，没有导入任何记录。"), tv::dlg::Info);
    }
    if (sheet->rowCount() > 0) {
        widget()->setWindowTitle(QStringLiteral("数据导入完毕!"));
        QString text = QStringLiteral("已成功导入%1条记录!").arg(LastImport.stored);
        if (LastImport.failedRows || LastImport.failedCells)
            text += QStringLiteral("\n其中%1行导入失败，%2个单元格无法转换，已取默认值")
                        .arg(LastImport.failedRows)
                        .arg(LastImport.failedCells);
        if (LastImport.doubtfulDigits)
            text += QStringLiteral("\n其中%1个数字单元格超过15位有效数字（如身份证号码），末几位可能不准确，请核对")
                        .arg(LastImport.doubtfulDigits);
        notice(text, tv::dlg::OkOnly);
        u.cmd2->setText(QStringLiteral("关闭"));
    }
    u.cmd1->setEnabled(false);
}

// An import that stored nothing: the caption as before, and why.
void faccess::failed(const QString& why, tv::dlg::Style style) {
    widget()->setWindowTitle(QStringLiteral("打开Access文件"));
    notice(why, style);
}

void faccess::Cmd3_Click() {
    tv::forms::the<fexcel>().show();
    unload();
}

void faccess::cmd2_Click() {
    unload();
    if (tv::forms::Form* f = tv::forms::Registry::loaded(QString::fromLatin1(fexcel::kName)))
        f->unload();
    tv::forms::the<Exnac>().show();
}

}  // namespace tv::exchange
