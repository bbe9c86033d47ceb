// The data control, the bound controls and the grid over three registrations.
#include "Fixtures.h"

#include "platform/forms/BoundControls.h"
#include "platform/forms/DataGrid.h"

#include <QBuffer>
#include <QHeaderView>
#include <QLineEdit>

using namespace tv::forms;

namespace {

class Rows : public tv::test::DataTest {
protected:
    void SetUp() override {
        DataTest::SetUp();
        threeTenants();
        root.resize(700, 300);
        root.show();
    }
    // The text box, combo and picture of the bound tests (opens the source first).
    void bindControls() {
        open(*data);
        marriage->addItems({QStringLiteral("已婚"), QStringLiteral("未婚")});
        photo->resize(120, 80);
        name->bind(data, QStringLiteral("xm"));
        count->bind(data, QStringLiteral("jzrs"));
        marriage->bind(data, QStringLiteral("yh"));
        photo->bind(data, QStringLiteral("xp"));
    }
    // The grid of the grid tests: room and name.
    void makeGrid() {
        grid = new DataGrid(&root);
        grid->setGeometry(0, 30, 700, 270);
        grid->setDataSource(data);
        grid->setColumns({{QStringLiteral("fjh"), QStringLiteral("房间编号"), QString()},
                          {QStringLiteral("xm"), QStringLiteral("承租人姓名"), QString()}});
        open(*data);
        grid->show();
    }
    tv::Recordset& rs() { return data->recordset(); }
    QString row(const char* room, const char* what = "xm || '/' || yh || '/' || typeof(jzrs) || jzrs") {
        return ask(QStringLiteral("select %1 from zfdj where fjh='%2'").arg(QLatin1String(what), QLatin1String(room)));
    }
    QAbstractItemModel* model() { return grid->model(); }
    QPoint cell(int r, int c) { return grid->visualRect(model()->index(r, c)).center(); }
    void clickRow(int r) { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(r, 1)); }
    QLineEdit* openEditor() {
        for (auto* e : grid->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible())
                return e;
        return nullptr;
    }
    QWidget root;
    DataControl* data = new DataControl(&root);
    BoundTextBox* name = new BoundTextBox(&root);
    BoundTextBox* count = new BoundTextBox(&root);
    BoundCombo* marriage = new BoundCombo(&root);
    BoundImage* photo = new BoundImage(&root);
    DataGrid* grid = nullptr;
};

}  // namespace

TEST_F(Rows, SourcesWithParametersReadOnlyEmptyOrBad) {
    data->setDatabaseName(file);
    data->setRecordSource(QStringLiteral("select * from [zfdj] where [ysno]=?"), {tv::Value(QStringLiteral("在住"))});
    data->setReadOnly(true);
    data->refresh();
    EXPECT_EQ(rs().recordCount(), 2);
    EXPECT_THROW(data->addNew(), tv::DbError);
    EXPECT_THROW(data->remove(), tv::DbError);
    EXPECT_EQ(ask(QStringLiteral("select count(*) from zfdj")), "3");
    data->setRecordSource(QStringLiteral("select * from [zfdj] where [ysno]=?"), {tv::Value(QStringLiteral("退房"))});
    data->refresh();
    EXPECT_EQ(rs().field(QStringLiteral("fjh")).toText(), "102");

    // A missing file or table raises; the old rows are not shown as if they were the new ones.
    data->setRecordSource(QStringLiteral("nosuchtable"));
    EXPECT_THROW(data->refresh(), tv::DbError);
    EXPECT_FALSE(data->isOpen());
    EXPECT_THROW(data->recordset(), tv::DbError);
    data->setDatabaseName(dir.path() + QStringLiteral("/missing.mdb"));
    data->setRecordSource(QStringLiteral("zfdj"));
    EXPECT_THROW(data->refresh(), tv::DbError);
    EXPECT_FALSE(QFile::exists(dir.path() + QStringLiteral("/missing.mdb")));

    // The arrows of a source never opened, or of an empty one, do nothing and tell nothing.
    DataControl empty;
    empty.show();
    arrow(empty, "MoveNext");
    open(empty, QStringLiteral("qtfy"));
    for (const char* a : {"MoveFirst", "MovePrevious", "MoveNext", "MoveLast"}) arrow(empty, a);
    EXPECT_TRUE(empty.recordset().bof() && empty.recordset().eof());
}

TEST_F(Rows, RepositionRedisplaysTheBoundControlsOnEveryRowChangeOnlyUpdateWrites) {
    std::vector<int> seen;
    QObject::connect(data, &DataControl::reposition, [&] { seen.push_back(rs().absolutePosition()); });
    bindControls();
    EXPECT_EQ(name->text() + count->text() + marriage->currentText(), QStringLiteral("张三2已婚"));
    name->setText(QStringLiteral("改了"));  // typed while browsing and moved away: not written
    rs().moveNext();
    EXPECT_EQ(name->text(), QStringLiteral("李四"));
    EXPECT_EQ(marriage->currentIndex(), 1);
    EXPECT_EQ(row("101"), QStringLiteral("张三/已婚/integer2"));

    data->edit();
    name->setText(QStringLiteral("李四四"));
    data->cancelUpdate();  // the shown values come back, nothing written
    EXPECT_EQ(name->text(), QStringLiteral("李四"));
    EXPECT_EQ(row("102"), QStringLiteral("李四/未婚/integer1"));

    data->edit();
    name->setText(QStringLiteral("李思"));
    marriage->setEditText(QStringLiteral("离异"));  // stored as typed, never made an item
    data->update();
    EXPECT_EQ(row("102"), QStringLiteral("李思/离异/integer1"));
    EXPECT_EQ(marriage->count(), 2);
    EXPECT_EQ(marriage->currentText(), QStringLiteral("离异"));
    data->addNew();  // an empty row, until CancelUpdate brings the current one back
    EXPECT_EQ(name->text() + count->text() + marriage->currentText(), QString());
    data->cancelUpdate();
    EXPECT_EQ(name->text() + count->text() + marriage->currentText(), QStringLiteral("李思1离异"));
    rs().moveLast();
    rs().moveNext();  // no current row: empty
    EXPECT_EQ(name->text() + count->text() + marriage->currentText(), QString());
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, -1}));  // refresh, the moves, onto EOF
}

TEST_F(Rows, ThePictureKeepsItsBytesAndIsShownStretched) {
    bindControls();
    QByteArray png;
    QBuffer buf(&png);
    QImage blue(300, 40, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(buf.open(QIODevice::WriteOnly) && blue.save(&buf, "PNG"));
    data->edit();
    ASSERT_TRUE(photo->setBytes(png));
    data->update();
    rs().moveNext();
    EXPECT_TRUE(photo->bytes().isEmpty() && photo->image().isNull());
    rs().moveFirst();
    EXPECT_EQ(photo->bytes(), png);  // the very bytes, not a re-encoding
    EXPECT_EQ(photo->image().size(), QSize(300, 40));
    photo->resize(60, 60);
    EXPECT_EQ(photo->pixmap().size(), QSize(60, 60));

    // Not a picture, or no file: refused, nothing changes.
    const QString junk = dir.path() + QStringLiteral("/junk.jpg");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("not a picture") > 0);
    f.close();
    EXPECT_FALSE(photo->loadFile(junk));
    EXPECT_FALSE(photo->loadFile(dir.path() + QStringLiteral("/none.png")));
    EXPECT_EQ(photo->bytes(), png);

    // Editing another field writes the photo back untouched; clearing it stores Null.
    data->edit();
    name->setText(QStringLiteral("张叁"));
    data->update();
    EXPECT_EQ(row("101", "length(xp)"), QString::number(png.size()));
    data->edit();
    photo->clearPicture();
    data->update();
    EXPECT_EQ(row("101", "typeof(xp)"), "null");
}

TEST(GridFormat, CurrencyRoundsToCentsAndNullShowsNothing) {
    EXPECT_EQ(formatGridValue(tv::Value(tv::Money::fromUnits(1234567891)), "Currency"), QStringLiteral("¥123,456.79"));
    EXPECT_EQ(formatGridValue(tv::Value(tv::Money::fromUnits(-12345000)), "Currency"), QStringLiteral("¥-1,234.50"));
    EXPECT_EQ(formatGridValue(tv::Value(), "Currency"), QString());
    EXPECT_EQ(formatGridValue(tv::Value(3.5f * 34.5f), "0.00"), QStringLiteral("120.75"));
}

TEST_F(Rows, GridColumnsCaptionsAndTheLook) {
    makeGrid();
    EXPECT_EQ(model()->columnCount(), 2);
    EXPECT_EQ(model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("承租人姓名"));
    EXPECT_EQ(grid->palette().color(QPalette::Base), QColor(192, 255, 192));
    EXPECT_EQ(grid->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_TRUE(grid->verticalHeader()->isVisible());  // record selectors
    EXPECT_GE(grid->horizontalHeader()->height(), 2 * grid->horizontalHeader()->fontMetrics().lineSpacing());
    EXPECT_EQ(model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("▶"));
    grid->setColumns({});  // no column list: every field, captioned with its name
    EXPECT_EQ(model()->columnCount(), 32);
    EXPECT_EQ(model()->headerData(31, Qt::Horizontal).toString(), "xp");
}

TEST_F(Rows, TheGridsCurrentRowFollowsBothWaysWithoutLoops) {
    makeGrid();
    int moves = 0;
    int clickedAt = -2;
    QObject::connect(data, &DataControl::reposition, [&] { ++moves; });
    QObject::connect(grid, &DataGrid::rowClicked, [&] { clickedAt = rs().absolutePosition(); });
    rs().moveLast();
    EXPECT_EQ(grid->currentIndex().row(), 2);
    clickRow(1);
    EXPECT_EQ(clickedAt, 1);  // the click handler sees the row already current
    clickRow(1);              // the same row again: a click, no move
    EXPECT_EQ(moves, 2);      // one move for each change of row, no echo
    EXPECT_EQ(model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("▶"));
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(rs().absolutePosition(), 2);
    rs().moveNext();  // past the end: no row is current in the grid either
    EXPECT_FALSE(grid->currentIndex().isValid());
}

TEST_F(Rows, ADoubleClickNeverEditsACellTypingEditsWhereAllowed) {
    makeGrid();
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
    EXPECT_EQ(row("101", "xm"), "Tom");

    // A bad value is told and nothing is stored.
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    grid->setColumns({{QStringLiteral("jzrs"), QStringLiteral("居住人数"), QString()}});
    EXPECT_FALSE(model()->setData(model()->index(0, 0), QStringLiteral("abc")));
    EXPECT_EQ(boxes().size(), 1);
    EXPECT_TRUE(boxes()[0].endsWith(QStringLiteral("|提示！|64")));
    EXPECT_EQ(row("101", "jzrs"), "2");
    EXPECT_EQ(rs().editState(), tv::Recordset::EditState::None);

    data->setReadOnly(true);  // a read-only source: no cell is editable
    grid->reload();
    EXPECT_FALSE(model()->flags(model()->index(0, 0)) & Qt::ItemIsEditable);
}

TEST_F(Rows, GridRowsAddedOrDeletedByTheGridOrTheSourceShowAtOnce) {
    makeGrid();
    auto rooms = [&] { return ask(QStringLiteral("select group_concat(fjh) from zfdj")); };
    clickRow(1);
    QTest::keyClick(grid, Qt::Key_Delete);  // deleting not allowed
    EXPECT_EQ(rooms(), "101,102,103");
    grid->setAllowDelete(true);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(rooms(), "101,103");
    EXPECT_EQ(model()->rowCount(), 2);

    grid->setAllowAddNew(true);
    EXPECT_EQ(model()->headerData(2, Qt::Vertical).toString(), "*");  // the new-row line
    EXPECT_TRUE(model()->setData(model()->index(2, 0), QStringLiteral("104")));
    EXPECT_EQ(rooms(), "101,103,104");
    EXPECT_EQ(model()->rowCount(), 4);  // and a fresh new-row line
    grid->setAllowAddNew(false);

    // Also when code calls the recordset directly.
    rs().addNew();
    rs().setField(QStringLiteral("fjh"), tv::Value(QStringLiteral("202")));
    rs().update();
    EXPECT_EQ(model()->index(3, 0).data().toString(), "202");
    EXPECT_EQ(grid->currentIndex().row(), 3);
    rs().moveFirst();
    rs().remove();
    EXPECT_EQ(model()->rowCount(), 3);
}
