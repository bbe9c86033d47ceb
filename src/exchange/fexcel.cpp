#include "exchange/fexcel.h"

#include "exchange/Connections.h"
#include "exchange/Exnac.h"
#include "exchange/faccess.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/Progress.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <climits>

namespace tv::exchange {

// The preview: the rows of a sheet under the headings F1 ... Fn, each read
// back from the sheet's file when the grid shows it.
class SheetModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void show(tv::workbook::SheetFile* sheet) {
        beginResetModel();
        sheet_ = sheet;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() || !sheet_ ? 0 : static_cast<int>(std::min<qint64>(sheet_->rowCount(), INT_MAX));
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() || !sheet_ ? 0 : sheet_->sheet().columns;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !sheet_)
            return {};
        try {
            return sheet_->row(index.row()).textAt(index.column());
        } catch (const tv::workbook::WorkbookError&) {
            return {};  // the temporary file can no longer be read: an empty cell
        }
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        return o == Qt::Horizontal ? QStringLiteral("F%1").arg(section + 1) : QString::number(section + 1);
    }

private:
    tv::workbook::SheetFile* sheet_ = nullptr;
};

fexcel::fexcel() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

void fexcel::build(QWidget* root) {
    using tv::forms::make;
    using tv::forms::setTwips;
    fexcelUi& u = ui();
    root->setWindowTitle(QStringLiteral("打开Excel文件"));
    root->setFixedSize(tv::forms::pixels(designSize()));

    auto* l1 = make<QLabel>(root, "Label1");
    l1->setText(QStringLiteral("Excel文件"));
    tv::forms::place(l1, 240, 300, 1100, 285);
    u.Text1 = make<QLineEdit>(root, "Text1");
    u.Text1->setReadOnly(true);
    setTwips(u.Text1, 1440, 270, 7020, 345);
    u.Img2 = make<QPushButton>(root, "Img2");
    u.Img2->setIcon(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    u.Img2->setToolTip(QStringLiteral("打开Excel文件"));
    setTwips(u.Img2, 8580, 255, 480, 375);

    auto* l2 = make<QLabel>(root, "Label2");
    l2->setText(QStringLiteral("Excel表"));
    tv::forms::place(l2, 240, 800, 1100, 285);
    u.Com1 = make<QComboBox>(root, "Com1");
    setTwips(u.Com1, 1440, 770, 3000, 345);
    u.Label3 = make<QLabel>(root, "Label3");
    tv::forms::place(u.Label3, 4800, 800, 2000, 285);
    u.Label4 = make<QLabel>(root, "Label4");
    tv::forms::place(u.Label4, 6900, 800, 2000, 285);

    u.dg1 = make<QTableView>(root, "dg1");
    u.model = new SheetModel(u.dg1);
    u.dg1->setModel(u.model);
    u.dg1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    u.dg1->verticalHeader()->setDefaultSectionSize(tv::forms::px(300));
    setTwips(u.dg1, 240, 1320, 9120, 5000);

    u.cmd1 = make<QPushButton>(root, "cmd1");
    u.cmd1->setText(QStringLiteral("下一步(&A)"));
    u.cmd1->setEnabled(false);
    tv::forms::place(u.cmd1, 6240, 6480, 1455, 495);
    u.cmd2 = make<QPushButton>(root, "cmd2");
    u.cmd2->setText(QStringLiteral("返回(&X)"));
    tv::forms::place(u.cmd2, 7905, 6480, 1455, 495);

    tv::forms::onClick(u.Img2, [this] { Img2_Click(); });
    tv::forms::on(u.Com1, &QComboBox::activated, [this] { Com1_Click(); });
    tv::forms::onClick(u.cmd1, [this] { cmd1_Click(); });
    tv::forms::onClick(u.cmd2, [this] { cmd2_Click(); });
    setExitButton(u.cmd2);
    tv::forms::centerOnScreen(root);
}

void fexcel::onLoad() { ui().Label3->hide(); }

void fexcel::clearSheet() {
    fexcelUi& u = ui();
    u.model->show(nullptr);
    u.Label3->hide();
    u.Label3->clear();
    u.Label4->clear();
    u.cmd1->setEnabled(false);
    chooseSheet(-1);
    connections().excelFieldCount = 0;
}

void fexcel::Img2_Click() {
    fexcelUi& u = ui();
    u.Label3->hide();
    const QString path =
        tv::dlg::openFile(QStringLiteral("打开Excel文件"),
                          QStringLiteral("Excel文件(*.xls;*.xlsx;*.ods)|*.xls;*.xlsx;*.ods|所有文件(*.*)|*.*"));
    if (path.isEmpty()) {
        notice(QStringLiteral("请重新选择Excel文件!"), tv::dlg::OkOnly);
        return;
    }
    connections().ExcelFilePath = path;
    u.Text1->setText(path);
    // A new file: nothing of the old one stays.
    u.Com1->clear();
    clearSheet();
    connections().sheets.clear();
    try {
        tv::dlg::Progress progress(QStringLiteral("打开Excel文件"),
                                   QStringLiteral("正在读取“%1”").arg(QDir::toNativeSeparators(path)), 0);
        OpenExcelConnection(&progress);
    } catch (const tv::workbook::WorkbookError& e) {
        notice(e.text(), tv::dlg::Exclamation);
        return;
    } catch (const tv::dlg::Cancelled&) {
        // Nothing was read: nothing is picked.
        connections().ExcelFilePath.clear();
        u.Text1->clear();
        return;
    }
    tv::dlg::followChosenFile(path);
    u.Com1->addItems(connections().sheets);
    u.Com1->setCurrentIndex(-1);
}

void fexcel::Com1_Click() {
    fexcelUi& u = ui();
    clearSheet();
    try {
        tv::dlg::Progress progress(QStringLiteral("打开Excel文件"),
                                   QStringLiteral("正在读取工作表“%1”").arg(u.Com1->currentText()), 0,
                                   tv::dlg::Progress::Unit::Rows);
        chooseSheet(u.Com1->currentIndex(), &progress);
    } catch (const tv::workbook::WorkbookError& e) {
        notice(e.text(), tv::dlg::Exclamation);
    } catch (const tv::dlg::Cancelled&) {
    }
    tv::workbook::SheetFile* sheet = chosenSheet();
    if (!sheet) {
        u.Com1->setCurrentIndex(-1);  // none chosen
        return;
    }
    const tv::workbook::Sheet& counts = sheet->sheet();
    if (sheet->rowCount() == 0 && counts.held > 0) {
        // Cells that give nothing (formulas without a kept result, errors):
        // not an empty sheet to import.
        notice(QStringLiteral("工作表“%1”中有%2个单元格，但没有读出任何一行数据"
                              "（公式没有保存计算结果，或单元格是错误值）。")
                   .arg(counts.name)
                   .arg(counts.held),
               tv::dlg::Exclamation);
        return;
    }
    u.Label3->show();
    u.Label4->show();
    connections().excelFieldCount = counts.columns;
    u.Label3->setText(QStringLiteral("共有%1条记录").arg(sheet->rowCount()));
    u.Label4->setText(QStringLiteral("共有%1个字段").arg(counts.columns));
    u.model->show(sheet);
    fitColumns(u.dg1, tv::forms::px(900), tv::forms::px(4500));
    u.cmd1->setEnabled(true);
}

void fexcel::cmd1_Click() {
    tv::forms::the<faccess>().show();
    hide();
}

void fexcel::cmd2_Click() {
    unload();
    tv::forms::the<Exnac>().show();
}

}  // namespace tv::exchange
