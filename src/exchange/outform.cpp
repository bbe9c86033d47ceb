#include "exchange/outform.h"

#include "exchange/Connections.h"
#include "exchange/Exnac.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/Progress.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/shell/Shell.h"
#include "platform/values/WholeFile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

namespace tv::exchange {

namespace {

QPushButton* picker(QWidget* root, const char* name, const QString& tip) {
    auto* b = tv::forms::make<QPushButton>(root, name);
    b->setIcon(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    b->setToolTip(tip);
    return b;
}

QLabel* caption(QWidget* root, const char* name, const QString& text, int top) {
    auto* l = tv::forms::make<QLabel>(root, name);
    l->setText(text);
    tv::forms::place(l, 240, top, 1300, 285);
    return l;
}

}  // namespace

outform::outform() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

void outform::build(QWidget* root) {
    using tv::forms::make;
    using tv::forms::setTwips;
    outformUi& u = ui();
    root->setWindowTitle(QStringLiteral("Access导出到excel表"));
    root->setFixedSize(tv::forms::pixels(designSize()));

    caption(root, "Label1", QStringLiteral("Access数据库"), 300);
    u.accesstxt = make<QLineEdit>(root, "accesstxt");
    u.accesstxt->setReadOnly(true);
    setTwips(u.accesstxt, 1620, 270, 5400, 345);
    u.Img2 = picker(root, "Img2", QStringLiteral("打开Access文件"));
    setTwips(u.Img2, 7140, 255, 480, 375);

    caption(root, "Label2", QStringLiteral("Access数据表"), 800);
    u.Combo1 = make<QComboBox>(root, "Combo1");
    setTwips(u.Combo1, 1620, 770, 3000, 345);

    caption(root, "Label3", QStringLiteral("导出Excel名称"), 1300);
    u.Txtmc = make<QLineEdit>(root, "Txtmc");
    u.Txtmc->setReadOnly(true);
    setTwips(u.Txtmc, 1620, 1270, 5400, 345);
    u.Img1 = picker(root, "Img1", QStringLiteral("导出Excel文件"));
    setTwips(u.Img1, 7140, 1255, 480, 375);

    caption(root, "Label4", QStringLiteral("选择导出的字段"), 1800);
    u.Text1 = make<QLineEdit>(root, "Text1");
    setTwips(u.Text1, 1620, 1770, 6000, 345);
    u.List1 = make<QListWidget>(root, "List1");
    setTwips(u.List1, 1620, 2250, 6000, 3300);

    u.cmdout = make<QPushButton>(root, "cmdout");
    u.cmdout->setText(QStringLiteral("导出(&R)"));
    u.cmdout->setEnabled(false);
    tv::forms::place(u.cmdout, 4560, 5820, 1455, 495);
    u.CmdTc = make<QPushButton>(root, "CmdTc");
    u.CmdTc->setText(QStringLiteral("返回(&X)"));
    tv::forms::place(u.CmdTc, 6165, 5820, 1455, 495);

    tv::forms::onClick(u.Img2, [this] { Img2_Click(); });
    tv::forms::on(u.Combo1, &QComboBox::activated, [this] { Combo1_Click(); });
    QObject::connect(u.List1, &QListWidget::itemChanged, root,
                     [this](QListWidgetItem* item) { tv::forms::guard([&] { List1_ItemCheck(item); }); });
    tv::forms::onClick(u.Img1, [this] { Img1_Click(); });
    tv::forms::onClick(u.cmdout, [this] { cmdout_Click(); });
    tv::forms::onClick(u.CmdTc, [this] { CmdTc_Click(); });
    setExitButton(u.CmdTc);
    tv::forms::centerOnScreen(root);
}

void outform::Img2_Click() {
    outformUi& u = ui();
    const QString path = tv::dlg::openFile(QStringLiteral("打开Access文件"),
                                           QStringLiteral("Access文件(*.mdb)|*.mdb|所有文件(*.*)|*.*"));
    if (path.isEmpty()) {
        tv::dlg::msgBox(QStringLiteral("请重新选择Access文件!"), tv::dlg::OkOnly, tv::dlg::kKindTitle);
        return;
    }
    connections().AccessFilePath = path;
    u.accesstxt->setText(path);
    // A new file: nothing of the old one stays.
    u.Combo1->clear();
    u.List1->clear();
    u.Text1->clear();
    u.cmdout->setEnabled(false);
    try {
        OpenAccessConnection();
        u.Combo1->addItems(tableNames(*connections().access));
        u.Combo1->setCurrentIndex(-1);
    } catch (const tv::DbError& e) {
        notice(e.text(), tv::dlg::Exclamation);
        return;
    }
    tv::dlg::followChosenFile(path);
}

void outform::Combo1_Click() {
    outformUi& u = ui();
    u.List1->clear();
    try {
        if (!connections().access)
            OpenAccessConnection();
        const QSignalBlocker quiet(u.List1);
        for (const tv::Column& c : connections().access->columns(u.Combo1->currentText())) {
            auto* item = new QListWidgetItem(c.name, u.List1);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    } catch (const tv::DbError& e) {
        notice(e.text(), tv::dlg::Exclamation);
    }
}

void outform::List1_ItemCheck(QListWidgetItem* item) {
    outformUi& u = ui();
    const QString name = item->text();
    if (item->checkState() == Qt::Checked) {
        u.Text1->setText(u.Text1->text() + name + QLatin1Char(','));
    } else {
        QStringList kept;
        for (const QString& n : fieldList(u.Text1->text()))
            if (n != name)
                kept << n + QLatin1Char(',');
        u.Text1->setText(kept.join(QString()));
    }
    u.cmdout->setEnabled(true);
}

void outform::Img1_Click() {
    QString path =
        pickNewFile(QStringLiteral("打开Excel文件"), QStringLiteral("Excel文件(*.xlsx)|*.xlsx|所有文件(*.*)|*.*"));
    if (path.isEmpty()) {
        tv::dlg::msgBox(QStringLiteral("请重新命名Excel文件名!"), tv::dlg::OkOnly, tv::dlg::kKindTitle);
        return;
    }
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xlsx");
    ui().Txtmc->setText(path);
}

void outform::cmdout_Click() {
    outformUi& u = ui();
    const QStringList fields = fieldList(u.Text1->text());
    if (fields.isEmpty()) {
        notice(QStringLiteral("请选择导出的字段"), tv::dlg::Exclamation);
        return;
    }
    const QString path = u.Txtmc->text();
    if (path.isEmpty()) {
        tv::dlg::msgBox(QStringLiteral("请重新命名Excel文件名!"), tv::dlg::OkOnly, tv::dlg::kKindTitle);
        return;
    }
    // Refused before the user is asked to replace it.
    if (const QString no = tv::saveRefusal(path); !no.isEmpty()) {
        notice(QStringLiteral("无法替换“%1”：%2。").arg(path, no), tv::dlg::Exclamation);
        return;
    }
    // The rows are those of the file picked, not of one that has since
    // taken its name.
    try {
        if (!connections().access)
            OpenAccessConnection();
        connections().access->checkNotMoved();
    } catch (const tv::DbError& e) {
        notice(e.text() + QStringLiteral("\n没有保存Excel文件。"), tv::dlg::Exclamation);
        return;
    }
    if (QFileInfo::exists(path) &&
        tv::dlg::msgBox(path + QStringLiteral(" 已存在。\n要替换它吗？"), tv::dlg::YesNo | tv::dlg::Question,
                        tv::dlg::kKindTitle) != tv::dlg::Yes)
        return;
    try {
        exportTo(path, fields);
    } catch (const tv::DbError& e) {
        notice(e.text(), tv::dlg::Exclamation);
        return;
    } catch (const tv::workbook::WorkbookError& e) {
        notice(e.text(), tv::dlg::Exclamation);
        return;
    } catch (const tv::dlg::Cancelled&) {
        notice(QStringLiteral("导出已取消，没有保存Excel文件。"), tv::dlg::Info);
        return;
    }
    tv::dlg::followChosenFile(path);
    const bool opened = tv::shell::openDocument(path);
    if (!opened || CutCells)
        notice(QStringLiteral("Excel文件已保存在：") + path +
                   (CutCells
                        ? QStringLiteral("\n其中%1个单元格的文字超过Excel的上限（32767个字符），已截断。").arg(CutCells)
                        : QString()),
               tv::dlg::Info);
}

void outform::exportTo(const QString& path, const QStringList& fields) {
    // The connection stays open between exports (opened above when it was not).
    tv::Database& db = *connections().access;
    const QString table = ui().Combo1->currentText();
    // Written under a temporary name: a cancel leaves no half file, and a
    // file that was there stays as it was.
    tv::dlg::Progress progress(
        QStringLiteral("导出Excel"),
        QStringLiteral("正在把数据表“%1”导出到\n“%2”").arg(table, QDir::toNativeSeparators(path)), rowCount(db, table),
        tv::dlg::Progress::Unit::Rows);
    CutCells = 0;
    ExportedRows = exportTable(db, table, fields, path, &progress, &CutCells);
}

void outform::CmdTc_Click() {
    unload();
    tv::forms::the<Exnac>().show();
}

}  // namespace tv::exchange
