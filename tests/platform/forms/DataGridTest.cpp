#include "DataFixture.h"

#include "platform/forms/DataGrid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

using namespace tv::forms;

namespace {

class GridTest : public tv::test::DataTest {
protected:
    void SetUp() override {
        DataTest::SetUp();
        threeTenants();
        root.resize(700, 300);
        data = new DataControl(&root);
        data->setDatabaseName(file);
        data->setRecordSource(QStringLiteral("zfdj"));
        grid = new DataGrid(&root);
        grid->setGeometry(0, 30, 700, 270);
        grid->setDataSource(data);
        grid->setColumns({{QStringLiteral("fjh"), QStringLiteral("房间编号"), QString()},
                          {QStringLiteral("xm"), QStringLiteral("承租人姓名"), QString()}});
        data->refresh();
        root.show();
    }
    QPoint cell(int row, int col) { return grid->visualRect(grid->model()->index(row, col)).center(); }
    void clickRow(int row) { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(row, 1)); }
    tv::Recordset& rs() { return data->recordset(); }
    QLineEdit* openEditor() {
        for (auto* e : grid->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) return e;
        return nullptr;
    }
    QWidget root;
    DataControl* data = nullptr;
    DataGrid* grid = nullptr;
};

}  // namespace

TEST(GridFormat, CurrencyAndNumberAndDateFormats) {
    using tv::Value;
    EXPECT_EQ(formatGridValue(Value(tv::Money::fromUnits(12345000)), "Currency"), QStringLiteral("¥1,234.50"));
    EXPECT_EQ(formatGridValue(Value(tv::Money::fromUnits(1234567891)), "Currency"), QStringLiteral("¥123,456.79"));
    EXPECT_EQ(formatGridValue(Value(tv::Money::fromInt(800)), "Currency"), QStringLiteral("¥800.00"));
    EXPECT_EQ(formatGridValue(Value(tv::Money::fromUnits(-12345000)), "Currency"), QStringLiteral("¥-1,234.50"));
    EXPECT_EQ(formatGridValue(Value(0.5), "Currency"), QStringLiteral("¥0.50"));
    EXPECT_EQ(formatGridValue(Value(), "Currency"), QString());
    EXPECT_EQ(formatGridValue(Value(3.5f * 34.5f), "0.00"), QStringLiteral("120.75"));
    EXPECT_EQ(formatGridValue(Value(QDate(2021, 2, 3)), "yyyy-MM-dd"), QStringLiteral("2021-02-03"));
    EXPECT_EQ(formatGridValue(Value(34.5f), ""), QStringLiteral("34.5"));
}

TEST_F(GridTest, ColumnsCaptionsAndTheLook) {
    EXPECT_EQ(grid->model()->columnCount(), 2);
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("承租人姓名"));
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(grid->model()->index(2, 1).data().toString(), QStringLiteral("王五"));
    EXPECT_EQ(grid->palette().color(QPalette::Base), QColor(192, 255, 192));
    EXPECT_EQ(grid->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_TRUE(grid->verticalHeader()->isVisible());  // record selectors
    EXPECT_GE(grid->horizontalHeader()->height(), 2 * grid->horizontalHeader()->fontMetrics().lineSpacing());
    EXPECT_EQ(grid->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("▶"));

    // No column list: every field, captioned with its name.
    grid->setColumns({});
    EXPECT_EQ(grid->model()->columnCount(), 32);
    EXPECT_EQ(grid->model()->headerData(31, Qt::Horizontal).toString(), "xp");
}

TEST_F(GridTest, TheCurrentRowFollowsBothWaysWithoutLoops) {
    int moves = 0;
    int clickedAt = -2;
    QObject::connect(data, &DataControl::reposition, [&] { ++moves; });
    QObject::connect(grid, &DataGrid::rowClicked, [&] { clickedAt = rs().absolutePosition(); });

    rs().moveLast();
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_EQ(moves, 1);

    clickRow(1);
    EXPECT_EQ(rs().absolutePosition(), 1);
    EXPECT_EQ(clickedAt, 1);  // the click handler sees the row already current
    EXPECT_EQ(moves, 2);      // one move for one click
    clickRow(1);              // the same row again: a click, no move
    EXPECT_EQ(moves, 2);
    EXPECT_EQ(grid->model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("▶"));

    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(rs().absolutePosition(), 2);

    rs().moveNext();  // past the end: no row is current in the grid either
    EXPECT_FALSE(grid->currentIndex().isValid());
}

TEST_F(GridTest, ADoubleClickNeverEditsTypingEditsWhereAllowed) {
    grid->setAllowUpdate(true);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell(0, 1));
    EXPECT_EQ(openEditor(), nullptr);

    // Typing in a cell edits it; the row is stored when the editor closes.
    clickRow(0);
    QTest::keyClick(grid, Qt::Key_F2);
    QLineEdit* editor = openEditor();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "Tom");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits by a queued call
    EXPECT_EQ(ask(QStringLiteral("select xm from zfdj where fjh='101'")), "Tom");
    EXPECT_EQ(grid->model()->index(0, 1).data().toString(), "Tom");

    // A read-only source: no cell is editable.
    data->setReadOnly(true);
    grid->reload();
    EXPECT_FALSE(grid->model()->flags(grid->model()->index(0, 1)) & Qt::ItemIsEditable);
}

TEST_F(GridTest, AddAndDeleteRowsWhereAllowed) {
    grid->setAllowDelete(false);
    clickRow(1);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(ask(QStringLiteral("select count(*) from zfdj")), "3");

    grid->setAllowDelete(true);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(ask(QStringLiteral("select group_concat(fjh) from zfdj")), "101,103");
    EXPECT_EQ(grid->model()->rowCount(), 2);

    grid->setAllowAddNew(true);
    EXPECT_EQ(grid->model()->rowCount(), 3);  // the new-row line
    EXPECT_EQ(grid->model()->headerData(2, Qt::Vertical).toString(), "*");
    EXPECT_TRUE(grid->model()->setData(grid->model()->index(2, 0), QStringLiteral("104")));
    EXPECT_EQ(ask(QStringLiteral("select group_concat(fjh) from zfdj")), "101,103,104");
    EXPECT_EQ(grid->model()->rowCount(), 4);
}

TEST_F(GridTest, ABadValueInACellIsToldAndNothingIsStored) {
    grid->setColumns({{QStringLiteral("jzrs"), QStringLiteral("居住人数"), QString()}});
    grid->setAllowUpdate(true);
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    EXPECT_FALSE(grid->model()->setData(grid->model()->index(0, 0), QStringLiteral("abc")));
    ASSERT_EQ(tv::dlg::script::calls().size(), 1u);
    EXPECT_EQ(tv::dlg::script::calls()[0].title, QStringLiteral("提示！"));
    EXPECT_EQ(ask(QStringLiteral("select jzrs from zfdj where fjh='101'")), "2");
    EXPECT_EQ(rs().editState(), tv::Recordset::EditState::None);
}

TEST_F(GridTest, RowsAddedThroughTheSourceShowAtOnce) {
    data->addNew();
    rs().setField(QStringLiteral("fjh"), tv::Value(QStringLiteral("201")));
    data->update();
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(grid->currentIndex().row(), 3);
    // Also when code calls the recordset directly.
    rs().addNew();
    rs().setField(QStringLiteral("fjh"), tv::Value(QStringLiteral("202")));
    rs().update();
    EXPECT_EQ(grid->model()->rowCount(), 5);
    EXPECT_EQ(grid->model()->index(4, 0).data().toString(), "202");
    rs().moveFirst();
    rs().remove();
    EXPECT_EQ(grid->model()->rowCount(), 4);
}
