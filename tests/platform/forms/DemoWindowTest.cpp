// A small window made of the toolkit's pieces, driven as a user drives one:
// a data control and a grid over the bills of a data file, two bound text
// boxes with an Enter ring, and add / confirm / cancel / delete buttons.
#include "Fixtures.h"

#include "platform/forms/BoundControls.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Guard.h"

#include <QLabel>
#include <QPushButton>

using namespace tv::forms;

namespace {

class FrmDemo : public Form {
public:
    static constexpr const char* kName = "FrmDemo";
    FrmDemo() : Form(QString::fromLatin1(kName), Kind::MdiChild) {}
    QString dataFile;
    int count = 0;

protected:
    void build(QWidget* root) override {
        root->setWindowTitle(QStringLiteral("演示"));
        root->resize(640, 420);
        auto named = [](QWidget* w, const char* name, QRect r) {
            w->setObjectName(QString::fromLatin1(name));
            w->setGeometry(r);
        };
        named(Data1 = new DataControl(root), "Data1", {10, 10, 400, 26});
        named(DBGrid1 = new DataGrid(root), "DBGrid1", {10, 40, 620, 200});
        named(Txtfjh = new BoundTextBox(root), "Txtfjh", {10, 250, 120, 24});
        named(Txthj = new BoundTextBox(root), "Txthj", {140, 250, 120, 24});
        DBGrid1->setDataSource(Data1);
        DBGrid1->setColumns({{QStringLiteral("jfrq"), QStringLiteral("计费日期"), QStringLiteral("yyyy-MM-dd")},
                             {QStringLiteral("fjh"), QStringLiteral("房号"), QString()},
                             {QStringLiteral("hj"), QStringLiteral("合计"), QStringLiteral("Currency")}});
        Txtfjh->bind(Data1, QStringLiteral("fjh"));
        Txthj->bind(Data1, QStringLiteral("hj"));
        new EnterRing({Txtfjh, Txthj}, true, root);
        auto button = [&](const char* name, const QString& text, int x, std::function<void()> h) {
            auto* b = new QPushButton(text, root);
            named(b, name, {x, 300, 80, 28});
            onClick(b, std::move(h));
        };
        button("CmdTj", QStringLiteral("添加"), 10, [this] { Data1->addNew(); });
        button("CmdQr", QStringLiteral("确认"), 100, [this] {
            Data1->update();
            Data1->recordset().moveLast();
            count = Data1->recordset().recordCount();
        });
        button("Cmdfq", QStringLiteral("放弃"), 190, [this] { Data1->cancelUpdate(); });
        button("CmdDel", QStringLiteral("删除"), 280, [this] {
            if (tv::dlg::msgBox(QStringLiteral("您真的要删除这个记录吗?"), 68, QStringLiteral("删除记录")) !=
                tv::dlg::Yes)
                return;
            Data1->remove();
            tv::Recordset& rs = Data1->recordset();
            if (rs.eof())
                rs.moveLast();
            else
                rs.moveNext();
            count = rs.recordCount();
        });
        QObject::connect(Data1, &DataControl::reposition, root, [this] {
            Data1->setCaption(
                QStringLiteral("演示 (#Record：%1 / %2)").arg(Data1->recordset().absolutePosition() + 1).arg(count));
        });
    }
    void onLoad() override {
        Data1->setDatabaseName(dataFile);
        Data1->setRecordSource(QStringLiteral("fzsdjs"));
        Data1->refresh();
        count = Data1->recordset().recordCount();
        Data1->refresh();
    }

private:
    DataControl* Data1 = nullptr;
    DataGrid* DBGrid1 = nullptr;
    BoundTextBox* Txtfjh = nullptr;
    BoundTextBox* Txthj = nullptr;
};

class DemoWindow : public tv::test::DataTest {
protected:
    void SetUp() override {
        DataTest::SetUp();
        sql(
            QStringLiteral("insert into fzsdjs (jfrq, fjh, xm, hj) values "
                           "('2021-02-20', '101', '张三', 1022.05), ('2021-02-20', '102', '李四', 800), "
                           "('2021-03-20', '101', '张三', 12345.6);"));
        demo->dataFile = file;
        demo->show();
        QApplication::setActiveWindow(demo->widget());
        grid = ctl<DataGrid>("DBGrid1");
        data = ctl<DataControl>("Data1");
        ASSERT_TRUE(grid && data);
    }
    template <class T>
    T* ctl(const char* name) {
        T* c = demo->control<T>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QString text(const char* box) { return ctl<QLineEdit>(box)->text(); }
    void clickButton(const char* name) { QTest::mouseClick(ctl<QAbstractButton>(name), Qt::LeftButton); }
    void clickRow(int row) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(row, 1)).center());
    }
    QString caption() { return data->findChild<QLabel*>(QStringLiteral("Caption"))->text(); }
    QString cellText(int row, int col) { return grid->model()->index(row, col).data().toString(); }
    FrmDemo* demo = &the<FrmDemo>();
    DataGrid* grid = nullptr;
    DataControl* data = nullptr;
};

}  // namespace

TEST_F(DemoWindow, BrowsingByGridAndArrows) {
    EXPECT_EQ(caption(), QStringLiteral("演示 (#Record：1 / 3)"));
    EXPECT_EQ(cellText(0, 0), "2021-02-20");
    EXPECT_EQ(cellText(0, 2), QStringLiteral("¥1,022.05"));
    EXPECT_EQ(cellText(1, 2), QStringLiteral("¥800.00"));
    EXPECT_EQ(cellText(2, 2), QStringLiteral("¥12,345.60"));

    clickRow(2);
    EXPECT_EQ(caption(), QStringLiteral("演示 (#Record：3 / 3)"));
    EXPECT_EQ(text("Txthj"), "12345.6");
    arrow(*data, "MovePrevious");
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(text("Txtfjh"), "102");
    int moves = 0;
    QObject::connect(data, &DataControl::reposition, [&] { ++moves; });
    arrow(*data, "MoveLast");
    arrow(*data, "MoveNext");  // the arrows never leave the rows
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(caption(), QStringLiteral("演示 (#Record：3 / 3)"));
    // From past the end or the start (a search that found nothing) they come back.
    data->recordset().moveNext();
    arrow(*data, "MovePrevious");
    EXPECT_EQ(text("Txtfjh"), "101");
    arrow(*data, "MoveFirst");
    arrow(*data, "MovePrevious");  // stays on the first row
    EXPECT_EQ(grid->currentIndex().row(), 0);
    data->recordset().movePrevious();
    arrow(*data, "MoveNext");
    EXPECT_EQ(grid->currentIndex().row(), 0);
}

TEST_F(DemoWindow, AddingConfirmingCancellingAndDeletingRows) {
    clickButton("CmdTj");
    ctl<QLineEdit>("Txtfjh")->setText(QStringLiteral("302"));
    ctl<QLineEdit>("Txthj")->setText(QStringLiteral("很多"));
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    clickButton("CmdQr");
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_TRUE(boxes()[0].endsWith(QStringLiteral("|提示！|64")));
    EXPECT_EQ(text("Txtfjh"), "302");  // still pending, as typed
    clickButton("Cmdfq");
    EXPECT_EQ(text("Txtfjh"), "101");
    EXPECT_EQ(ask(QStringLiteral("select count(*) from fzsdjs")), "3");

    clickButton("CmdTj");
    auto* fjh = ctl<QLineEdit>("Txtfjh");
    EXPECT_EQ(fjh->text(), QString());
    fjh->setFocus();
    QTest::keyClicks(fjh, "301");
    QTest::keyClick(fjh, Qt::Key_Return);
    ASSERT_EQ(QApplication::focusWidget(), ctl<QLineEdit>("Txthj"));
    QTest::keyClicks(QApplication::focusWidget(), "1234.5");
    clickButton("CmdQr");
    EXPECT_EQ(ask(QStringLiteral("select group_concat(fjh || '=' || hj) from fzsdjs")),
              "101=1022.05,102=800,101=12345.6,301=1234.5");
    EXPECT_EQ(grid->currentIndex().row(), 3);
    EXPECT_EQ(cellText(3, 2), QStringLiteral("¥1,234.50"));
    EXPECT_EQ(caption(), QStringLiteral("演示 (#Record：4 / 3)"));  // counted after the move

    // Deleting asks first.
    clickRow(1);
    tv::dlg::script::answerMsgBox(tv::dlg::No);
    clickButton("CmdDel");
    tv::dlg::script::answerMsgBox(tv::dlg::Yes);
    clickButton("CmdDel");
    EXPECT_EQ(ask(QStringLiteral("select group_concat(fjh || '/' || hj) from fzsdjs")),
              "101/1022.05,101/12345.6,301/1234.5");
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(grid->currentIndex().row(), 1);  // the row after the deleted one
    EXPECT_EQ(text("Txthj"), "12345.6");
    EXPECT_EQ(boxes().mid(1), (QStringList{QStringLiteral("您真的要删除这个记录吗?|删除记录|68"),
                                           QStringLiteral("您真的要删除这个记录吗?|删除记录|68")}));
}
