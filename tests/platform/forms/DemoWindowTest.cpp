// The data control, the grid and the bound controls, driven in the demo
// window as a user drives a window.
#include "Fixtures.h"
#include "support/PrintTo.h"

#include <QBuffer>
#include <QClipboard>
#include <QHeaderView>

using namespace tv::forms;

namespace {

class DemoWindow : public tv::test::DemoTest {
protected:
    void SetUp() override {
        DemoTest::SetUp();
        demo.show();
        QApplication::setActiveWindow(demo.widget());
    }
    // Types `text` into the control that has the focus and ends it with Enter.
    static void typeAndEnter(const QString& text) {
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(ch), {});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();  // the cell editor ends Enter by a queued call
    }
};

}  // namespace

TEST_F(DemoWindow, BrowsingMovesTheGridTheBoxesAndTheCaptionTheArrowsNeverLeaveTheRows) {
    EXPECT_EQ(caption() + ' ' + model()->index(0, 2).data().toString(), "#1 / 3 2.00");  // the column's format
    watch();
    clickRow(2);
    EXPECT_EQ(shown() + caption(), QStringLiteral("Ann/3/已婚#3 / 3"));
    // "+" and "-" are code moves past the last or before the first row (a search that found nothing).
    for (const char* step : {"MoveNext", "+", "MovePrevious", "MoveFirst", "MovePrevious", "-", "MoveNext"})
        step[0] == '+' ? rs().moveNext() : step[0] == '-' ? rs().movePrevious() : arrow(step);
    EXPECT_EQ(seen, std::vector<int>({2, -1, 2, 0, -1, 0}));  // no move at all at the ends
    // The combo box selects the item, not only its text.
    EXPECT_EQ(shown() + QString::number(ui().Cmbyh->currentIndex()), QStringLiteral("张三/2/已婚0"));
    rs().moveLast();
    rs().moveNext();  // no current row: the boxes and the grid show none
    EXPECT_EQ(shown() + QString::number(ui().DBGrid1->currentIndex().row()), "//-1");
}

TEST_F(DemoWindow, OnlyConfirmWritesAndAFailedConfirmKeepsTheTypedRowToBeCorrected) {
    ui().Txtxm->setText(QStringLiteral("改了"));  // typed while browsing and moved away: not written
    rs().moveNext();
    EXPECT_EQ(shown() + row("101"), QStringLiteral("李四/1/未婚张三/已婚/integer2"));
    ui().Data1->edit();
    ui().Txtxm->setText(QStringLiteral("李四四"));
    ui().Data1->cancelUpdate();  // the shown values come back, nothing written
    EXPECT_EQ(shown() + row("102"), QStringLiteral("李四/1/未婚李四/未婚/integer1"));
    ui().Data1->edit();
    ui().Txtxm->setText(QStringLiteral("李思"));
    ui().Cmbyh->setEditText(QStringLiteral("离异"));  // stored as typed, never made an item
    click("CmdQr");
    EXPECT_EQ(row("102") + QString::number(ui().Cmbyh->count()), QStringLiteral("李思/离异/integer12"));

    ui().Data1->addNew();  // an empty row
    EXPECT_EQ(shown(), "//");
    ui().Txtjzrs->setText(QStringLiteral("很多"));
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    click("CmdQr");  // told; the typed row stays pending
    EXPECT_EQ(QString::number(boxes().size()) + shown(), QStringLiteral("1/很多/"));
    ui().Txtxm->setText(QStringLiteral("Bob"));
    ui().Txtjzrs->setText(QStringLiteral("4"));
    click("CmdQr");  // written, and the new row is the current one
    EXPECT_EQ(ask(QStringLiteral("select group_concat(xm || jzrs) from zfdj")) + caption(),
              QStringLiteral("张三2,李思1,Ann3,Bob4#4 / 4"));
}

TEST_F(DemoWindow, SourcesWithParametersReadOnlyOrBad) {
    DataControl* data = ui().Data1;
    const QString byState = QStringLiteral("select * from [zfdj] where [ysno]=?");
    data->setRecordSource(byState, {tv::Value(QStringLiteral("在住"))});
    data->setReadOnly(true);
    data->refresh();
    EXPECT_EQ(rs().recordCount(), 2);
    EXPECT_THROW(data->addNew(), tv::DbError);
    EXPECT_THROW(data->remove(), tv::DbError);
    data->setRecordSource(byState, {tv::Value(QStringLiteral("退房"))});
    data->refresh();
    EXPECT_EQ(shown(), QStringLiteral("李四/1/未婚"));

    // A missing table or file raises; the old rows are not shown as if they were the new ones.
    data->setRecordSource(QStringLiteral("nosuchtable"));
    EXPECT_THROW(data->refresh(), tv::DbError);
    EXPECT_THROW(data->recordset(), tv::DbError);
    data->setDatabaseName(dir.path() + QStringLiteral("/missing.mdb"));
    data->setRecordSource(QStringLiteral("zfdj"));
    EXPECT_THROW(data->refresh(), tv::DbError);
    EXPECT_FALSE(QFile::exists(dir.path() + QStringLiteral("/missing.mdb")));

    // The arrows of a source never opened, or of an empty one, do nothing and tell nothing.
    for (const char* a : {"MoveFirst", "MovePrevious", "MoveNext", "MoveLast"}) arrow(a);
    data->setDatabaseName(file);
    data->setRecordSource(QStringLiteral("select * from zfdj where 0"));
    data->refresh();
    for (const char* a : {"MoveFirst", "MovePrevious", "MoveNext", "MoveLast"}) arrow(a);
    EXPECT_TRUE(rs().bof() && rs().eof());
}

TEST_F(DemoWindow, FindFirstMakesTheFirstRowWhoseFieldsEqualTheKeysCurrent) {
    struct Case {
        std::vector<std::pair<QString, QString>> keys;
        int found;              // the row made current; -1 none (past the last row); -2 raises DbError
        std::vector<int> seen;  // the rows the Reposition handler saw current (-1: past the end)
    };
    const std::vector<Case> cases = {
        {{{"fjh", "101"}}, 0, {0}},
        {{{"yh", "未婚"}, {"fjh", "102"}}, 1, {0, 1}},
        {{{"yh", "已婚"}, {"fjh", "102"}}, -1, {0, 2, -1}},
        {{{"dh", ""}}, -1, {0, 2, -1}},  // a Null field equals nothing, not even ""
        {{{"fjh", "102 "}}, -1, {0, 2, -1}},
        {{{"xm", "ann"}}, -1, {0, 2, -1}},
        {{{"xm", "Ann"}}, 2, {0, 2}},
        {{{"jzrs", "01"}}, -1, {0, 2, -1}},
        {{{"jzrs", "1"}}, 1, {0, 1}},
        {{{"fjh", "101"}, {"nosuch", "1"}}, -2, {0}},
        {{{"fjh", ""}}, -2, {}},  // on an empty source (below) the first move raises
    };
    watch();
    for (const Case& c : cases) {
        const QString what = c.keys.back().first + QLatin1Char('=') + c.keys.back().second;
        if (&c == &cases.back())
            ui().Data1->setRecordSource(QStringLiteral("select * from zfdj where 0"));
        ui().Data1->refresh();
        ui().Data1->moveLast();  // the scan starts from the first row wherever the source stands
        seen.clear();
        if (c.found == -2) {
            EXPECT_THROW(ui().Data1->findFirst(c.keys), tv::DbError) << qPrintable(what);
        } else {
            EXPECT_EQ(ui().Data1->findFirst(c.keys), c.found >= 0) << qPrintable(what);
            EXPECT_EQ(rs().absolutePosition(), c.found) << qPrintable(what);
            EXPECT_EQ(rs().eof(), c.found == -1) << qPrintable(what);
        }
        EXPECT_EQ(seen, c.seen) << qPrintable(what);
    }
}

TEST_F(DemoWindow, ThePictureIsStoredAsItsVeryBytesShownStretchedAndKeptWhenOtherFieldsChange) {
    QByteArray png;
    QBuffer buf(&png);
    ASSERT_TRUE(buf.open(QIODevice::WriteOnly) && QImage(300, 40, QImage::Format_RGB32).save(&buf, "PNG"));
    ui().Data1->edit();
    ASSERT_TRUE(ui().Imgxp->setBytes(png));
    click("CmdQr");
    EXPECT_EQ(ui().Imgxp->pixmap().size(), QSize(120, 80));  // stretched over its box
    ui().Data1->edit();
    ui().Txtxm->setText(QStringLiteral("张叁"));
    click("CmdQr");
    EXPECT_EQ(row("101", "hex(xp)"), QString::fromLatin1(png.toHex().toUpper()));
    rs().moveNext();  // a row without one shows none
    EXPECT_TRUE(ui().Imgxp->bytes().isEmpty());
}

TEST_F(DemoWindow, TheGridsCurrentRowFollowsTheSourceBothWaysWithoutEchoes) {
    DataGrid* grid = ui().DBGrid1;
    watch();
    rs().moveLast();
    EXPECT_EQ(grid->currentIndex().row(), 2);
    clickRow(1);
    clickRow(1);                                // the same row again: no move
    EXPECT_EQ(seen, std::vector<int>({2, 1}));  // one move for each change of row, no echo
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(rs().absolutePosition(), 2);
}

// Rows typed as a user types them. A step is a key (Tab, Backtab, Return, Esc,
// Up, Down), "@r,c" (a click on a cell; row 3 is the new-row line), ">" (the
// data control's MoveNext arrow), "box" (a click in another control), "hide"
// (the window hidden and shown again), "store" (the window stores the typed
// row: true unless refused), or text. After the steps: the rows in
// the file | the record selectors | the grid's current row as shown.
TEST_F(DemoWindow, ARowTypedInTheGridIsStoredWholeWhenLeftKeptWhenRefusedDroppedOnEsc) {
    struct Case {
        const char* steps;
        int boxes;  // refused stores told
        const char* after;
    };
    const Case cases[] = {
        {"@3,0 104 Tab Bob Tab 4 Return", 0, "101张三2 102李四1 103Ann3 104Bob4 | ,,,▶,* | 104/Bob/4.00"},
        {"@3,0 104 Tab Bob Backtab 105 Return", 0, "101张三2 102李四1 103Ann3 105Bob | ,,,▶,* | 105/Bob/"},
        {"@3,0 104 Tab Bob Esc", 0, "101张三2 102李四1 103Ann3 | ▶,,,* | //"},
        {"@3,0 104 Tab Bob Up", 0, "101张三2 102李四1 103Ann3 104Bob | ,,▶,,* | 103/Ann/3.00"},
        {"@3,0 104 @1,1", 0, "101张三2 102李四1 103Ann3 104 | ,▶,,,* | 102/李四/1.00"},
        {"@3,0 104 >", 0, "101张三2 102李四1 103Ann3 104 | ,▶,,,* | 102/李四/1.00"},
        {"@3,0 104 Tab Bob box", 0, "101张三2 102李四1 103Ann3 104Bob | ,,,▶,* | 104/Bob/"},
        {"@3,0 104 hide", 0, "101张三2 102李四1 103Ann3 104 | ,,,▶,* | 104//"},
        {"@0,1 Tom Tab 5 Down", 0, "101Tom5 102李四1 103Ann3 | ,▶,,* | 102/李四/1.00"},
        {"@0,1 Tom >", 0, "101Tom2 102李四1 103Ann3 | ,▶,,* | 102/李四/1.00"},
        {"@0,1 Tom store", 0, "101Tom2 102李四1 103Ann3 | ▶,,,* | 101/Tom/2.00"},
        {"store @3,0 104 Tab Bob store", 0, "101张三2 102李四1 103Ann3 104Bob | ,,,▶,* | 104/Bob/"},
        // Refused: nothing of the row is written, the grid stays on it with what was typed.
        {"@0,2 x @0,1 Tom Return", 1, "101张三2 102李四1 103Ann3 | ✎,,,* | 101/Tom/x"},
        {"@0,2 abc Down", 1, "101张三2 102李四1 103Ann3 | ✎,,,* | 101/张三/abc"},
        {"@0,2 abc >", 1, "101张三2 102李四1 103Ann3 | ✎,,,* | 101/张三/abc"},
        {"@3,2 abc Backtab Backtab 104 Up", 1, "101张三2 102李四1 103Ann3 | ▶,,,✎ | 104//abc"},
        {"@0,2 abc Return 7 Return", 1, "101张三7 102李四1 103Ann3 | ▶,,,* | 101/张三/7.00"},
        {"@0,2 abc Return Esc", 1, "101张三2 102李四1 103Ann3 | ▶,,,* | 101/张三/2.00"},
        {"@0,2 abc store", 1, "101张三2 102李四1 103Ann3 | ✎,,,* | 101/张三/abc"},
    };
    DataGrid* grid = ui().DBGrid1;
    grid->setAllowAddNew(true);
    grid->setAllowUpdate(true);
    for (const Case& c : cases) {
        tv::test::execSql(file,
                          "delete from zfdj; insert into zfdj (fjh, jzrs, xm) values ('101', 2, '张三'), "
                          "('102', 1, '李四'), ('103', 3, 'Ann');");
        ui().Data1->refresh();
        tv::dlg::script::clearCalls();
        for (int i = 0; i < c.boxes; ++i) tv::dlg::script::answerMsgBox(tv::dlg::Ok);
        for (const QString& step : QString::fromUtf8(c.steps).split(' ')) {
            if (step.startsWith('@'))
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                  cell(step[1].digitValue(), step[3].digitValue()));
            else if (step == ">")
                arrow("MoveNext");
            else if (step == "box")
                QTest::mouseClick(ui().Txtxm, Qt::LeftButton);
            else if (step == "store")
                EXPECT_EQ(grid->commitPendingRow(), c.boxes == 0) << c.steps;
            else if (step == "hide")
                demo.hide(), demo.show(), QApplication::setActiveWindow(demo.widget());
            else if (QStringList{"Tab", "Backtab", "Return", "Esc", "Up", "Down"}.contains(step))
                QTest::keySequence(QApplication::focusWidget(), QKeySequence(step));  // to the grid or its editor
            else
                for (const QChar ch : step)
                    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(ch), {});
            QCoreApplication::processEvents();  // the cell editor ends Enter by a queued call
        }
        QStringList marks, shown;
        for (int r = 0; r < model()->rowCount(); ++r) marks << model()->headerData(r, Qt::Vertical).toString();
        for (int col = 0; col < 3; ++col) shown << model()->index(grid->currentIndex().row(), col).data().toString();
        EXPECT_EQ((ask("select group_concat(fjh || coalesce(xm, '') || coalesce(jzrs, ''), ' ') from zfdj") + " | " +
                   marks.join(',') + " | " + shown.join('/'))
                      .toStdString(),
                  c.after)
            << c.steps;
        EXPECT_EQ(boxes().size(), c.boxes) << c.steps;
        QTest::keyClick(grid, Qt::Key_Escape);  // a row left pending is dropped
    }
    // A double-click never edits; a read-only source has no editable cell.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the closed editors go
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell(0, 1));
    EXPECT_EQ(grid->viewport()->findChild<QLineEdit*>(), nullptr);
    ui().Data1->setReadOnly(true);
    grid->reload();
    EXPECT_FALSE(model()->flags(model()->index(0, 0)) & Qt::ItemIsEditable);
}

// Each column's cells: L at the left, R at the right (numbers), on row 0 and
// on the cell editor opened in it.
TEST_F(DemoWindow, NumbersStandAtTheRightOfTheirCellsAndEditors) {
    const struct {
        const char* source;
        std::vector<GridColumn> columns;
        const char* aligned;
    } cases[] = {
        {"zfdj",
         {{"fjh", "", ""}, {"xm", "", ""}, {"jzrs", "", ""}, {"jzrs", "", "0.00"}, {"fjh", "", "Currency"}},
         "LLRRR"},
        {"select fjh, jzrs * 1.5 as n, xm || jzrs as t, jzrs from zfdj", {}, "LRLR"},  // expressions by their values
    };
    DataGrid* grid = ui().DBGrid1;
    grid->setAllowUpdate(true);
    for (const auto& c : cases) {
        ui().Data1->setRecordSource(QString::fromUtf8(c.source));
        ui().Data1->refresh();
        grid->setColumns(c.columns);
        QString cells, editors;
        for (int col = 0; col < model()->columnCount(); ++col) {
            const bool right =
                model()->index(0, col).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight;
            cells += right ? 'R' : 'L';
            grid->setCurrentIndex(model()->index(0, col));
            QTest::keyClick(grid, Qt::Key_F2);
            const auto* editor = grid->viewport()->findChild<QLineEdit*>();
            editors += !editor || !editor->isVisible() ? '-' : editor->alignment() & Qt::AlignRight ? 'R' : 'L';
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        EXPECT_EQ(cells, c.aligned) << c.source;
        EXPECT_EQ(editors, c.aligned) << c.source;
    }
}

TEST_F(DemoWindow, GridRowsAddedOrDeletedByTheSourceShowAtOnceTheDeleteKeyOnlyAsks) {
    DataGrid* grid = ui().DBGrid1;
    int asked = 0;
    QObject::connect(grid, &DataGrid::deleteRequested, [&] { ++asked; });
    clickRow(1);
    QTest::keyClick(grid, Qt::Key_Delete);  // not allowed: not even asked
    grid->setAllowDelete(true);
    QTest::keyClick(grid, Qt::Key_Delete);  // asked; the window deletes, or not
    EXPECT_EQ(QString::number(asked) + ask(QStringLiteral("select group_concat(fjh) from zfdj")), "1101,102,103");

    rs().addNew();
    rs().setField(QStringLiteral("fjh"), tv::Value(QStringLiteral("202")));
    rs().update();
    EXPECT_EQ(model()->index(3, 0).data().toString(), "202");
    EXPECT_EQ(grid->currentIndex().row(), 3);
    rs().moveFirst();
    rs().remove();
    EXPECT_EQ(model()->rowCount(), 3);
}

// The grid shows the rows of every change at once: a refresh of the same
// source over rows another program added or deleted, a narrowed source, an
// empty one, one that fails, and rows added and deleted through the data
// source. A step is SQL run by another program and the source refreshed, or
// a word. After it: the rooms shown | the current row | the row selectors
// (. for none) | for a refresh, how often the grid read its rows.
TEST_F(DemoWindow, TheGridShowsTheRowsOfEveryRefreshAddAndDeleteAndReadsThemOncePerRefresh) {
    const struct {
        const char* step;
        const char* shown;
    } cases[] = {
        {"insert into zfdj (fjh, xm) values ('104', 'Bob'), ('105', 'Cy')", "101,102,103,104,105 | 0 | ▶.... | 1"},
        {"delete from zfdj where fjh in ('102', '105')", "101,103,104 | 0 | ▶.. | 1"},
        {"update zfdj set xm = 'Ann2' where fjh = '103'", "101,103,104 | 0 | ▶.. | 1"},
        {"narrowed", "101,103 | 0 | ▶. | 1"},
        {"last", "101,103 | 1 | .▶ | 0"},
        {"none", " | -1 |  | 1"},
        {"broken", " | -1 |  | 1"},
        {"all", "101,103,104 | 0 | ▶.. | 1"},
        {"add", "101,103,104,106 | 3 | ...▶"},
        {"delete", "101,104,106 | -1 | ..."},  // no current row until the window moves on
    };
    DataGrid* grid = ui().DBGrid1;
    int reads = 0;
    QObject::connect(model(), &QAbstractItemModel::modelReset, [&] { ++reads; });
    for (const auto& c : cases) {
        const QString step = QString::fromUtf8(c.step);
        reads = 0;
        bool refresh = true;
        if (step == QLatin1String("narrowed")) {
            ui().Data1->setRecordSource(QStringLiteral("select * from zfdj where ysno = ?"),
                                        {tv::Value(QStringLiteral("在住"))});
        } else if (step == QLatin1String("none")) {
            ui().Data1->setRecordSource(QStringLiteral("select * from zfdj where fjh = ?"),
                                        {tv::Value(QStringLiteral("999"))});
        } else if (step == QLatin1String("broken")) {
            ui().Data1->setRecordSource(QStringLiteral("select * from no_such_table"));
        } else if (step == QLatin1String("all")) {
            ui().Data1->setRecordSource(QStringLiteral("zfdj"));
        } else if (step == QLatin1String("last")) {
            rs().moveLast();
            refresh = false;
        } else if (step == QLatin1String("add")) {
            ui().Data1->addNew();
            rs().setField(QStringLiteral("fjh"), tv::Value(QStringLiteral("106")));
            ui().Data1->update();
            refresh = false;
        } else if (step == QLatin1String("delete")) {
            rs().moveTo(1);
            ui().Data1->remove();
            refresh = false;
        } else {
            tv::test::execSql(file, step);
        }
        if (step == QLatin1String("broken")) {
            EXPECT_THROW(ui().Data1->refresh(), tv::DbError);
        } else if (refresh) {
            ui().Data1->refresh();
        }
        QStringList rooms;
        QString selectors;
        for (int r = 0; r < model()->rowCount(); ++r) {
            rooms << model()->index(r, 0).data().toString();
            const QString mark = model()->headerData(r, Qt::Vertical).toString();
            selectors += mark.isEmpty() ? QStringLiteral(".") : mark;
        }
        QString seenNow = rooms.join(',') + " | " + QString::number(grid->currentIndex().row()) + " | " + selectors;
        if (refresh || step == QLatin1String("last"))
            seenNow += " | " + QString::number(reads);
        EXPECT_EQ(seenNow, QString::fromUtf8(c.shown)) << c.step;
    }
    EXPECT_TRUE(boxes().isEmpty());
}

// The header measures a caption once for its font: a caption another grid
// shows, a new caption, a larger font and a new alignment are sized as a
// header that measures every time sizes them.
TEST_F(DemoWindow, TheHeadersSizeTheirCaptionsAsEveryMeasureWouldForEachFontAndCaption) {
    DataGrid* grid = ui().DBGrid1;
    QHeaderView plain(Qt::Horizontal);
    plain.setModel(model());
    auto sizes = [&](QHeaderView* h) {
        QStringList out;
        for (int i = 0; i < model()->columnCount(); ++i) {
            out << QString::number(h->sectionSizeHint(i));
        }
        return out.join(',') + '/' + QString::number(h->sizeHint().height());
    };
    const auto same = [&](const char* when) {
        plain.setFont(grid->horizontalHeader()->font());
        plain.setDefaultAlignment(grid->horizontalHeader()->defaultAlignment());
        EXPECT_EQ(sizes(grid->horizontalHeader()), sizes(&plain)) << when;
        return sizes(&plain);
    };
    const QString first = same("first");
    ui().Data1->refresh();
    EXPECT_EQ(same("read again"), first);
    grid->setColumns({{"fjh", "房间编号", ""}, {"xm", "承租人姓名及其随行人员", ""}, {"jzrs", "人数", "0.00"}});
    EXPECT_NE(same("a longer caption"), first);
    QFont larger = grid->font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    grid->setFont(larger);
    same("a larger font");
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
    same("another alignment");
}

// A cell shows a number whole, however narrow its column was made: an amount,
// a reading, a date, an ID number; text is elided. Columns widen only for the
// values painted: a wide value far down widens its column once scrolled to.
TEST_F(DemoWindow, NumbersAreNeverElidedTheirColumnsWidenForWhatIsPaintedTextIsElided) {
    tv::test::execSql(file, QStringLiteral("insert into fzsdjs (jfrq, fjh, xm, sfzhm, zj, sfsd1, bysb, sdj, hj) values "
                                           "('2024-03-01', 'A栋1208号', '欧阳司马上官诸葛长孙', '44010119900101123X', "
                                           "800, '2024-3-1', 12.39999, 2886582.27, 922337203685.47);"
                                           "with recursive c(i) as (select 1 union all select i + 1 from c where i < "
                                           "200) insert into fzsdjs (fjh, zj) select 'B' || i, i from c;"
                                           "update fzsdjs set zj = 123456789012.34 where rowid = 201;"));
    const struct {
        GridColumn column;
        const char* shown;  // in the first row
        bool whole;
    } cases[] = {
        {{"bysb", "读数", ""}, "12.39999", true},
        {{"sdj", "单价", "Currency"}, "¥2,886,582.27", true},
        {{"hj", "合计", "0.00"}, "922337203685.47", true},
        {{"zj", "租金", "0.00"}, "800.00", true},  // 123456789012.34 on the last row
        {{"sfzhm", "身份证", ""}, "44010119900101123X", true},
        {{"jfrq", "日期", "yyyy-MM-dd"}, "2024-03-01", true},
        {{"sfsd1", "起", ""}, "2024-3-1", true},
        {{"xm", "姓名", ""}, "欧阳司马上官诸葛长孙", false},
        {{"fjh", "房号", ""}, "A栋1208号", false},
    };
    DataGrid* grid = ui().DBGrid1;
    std::vector<GridColumn> columns;
    for (const auto& c : cases) columns.push_back(c.column);
    ui().Data1->setRecordSource(QStringLiteral("fzsdjs"));
    ui().Data1->refresh();
    rs().moveFirst();
    grid->setColumns(columns);
    for (int col = 0; col < model()->columnCount(); ++col) grid->setColumnWidth(col, 24);
    const auto paint = [grid] {
        grid->grab();
        QCoreApplication::processEvents();
        grid->grab();
    };
    // What the style draws in a cell: elided when wider than the cell less its margins.
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const auto whole = [&](int row, int col) {
        const QString text = model()->index(row, col).data().toString();
        const int room = grid->visualRect(model()->index(row, col)).width() - 2 * margin;
        return grid->fontMetrics().elidedText(text, Qt::ElideRight, room) == text;
    };
    paint();
    for (int col = 0; col < model()->columnCount(); ++col) {
        const auto& c = cases[col];
        EXPECT_EQ(model()->index(0, col).data().toString(), c.shown);
        EXPECT_EQ(whole(0, col), c.whole) << c.shown;
    }
    // The last row was not painted yet: its wider amount did not size the column.
    const int rent = 3, last = model()->rowCount() - 1;
    EXPECT_FALSE(whole(last, rent));
    grid->scrollToBottom();
    paint();
    EXPECT_TRUE(whole(last, rent)) << model()->index(last, rent).data().toString().toStdString();
}

TEST_F(DemoWindow, ARowAnotherProgramDeletedShowsEmptyAndASearchPassesIt) {
    // 200 more rooms, 201 to 400: rows 3 to 202. The rows further on than the
    // first ones shown are read when the grid or a move asks for them.
    tv::test::execSql(file,
                      QStringLiteral("with recursive n(i) as (select 201 union all select i + 1 from n where i < 400) "
                                     "insert into zfdj (fjh, xm) select i, 'x' || i from n"));
    ui().Data1->refresh();
    tv::test::execSql(file, QStringLiteral("delete from zfdj where fjh = '290'"));  // row 92, by another program
    auto cells = [&](int r) {
        return model()->index(r, 0).data().toString() + '/' + model()->index(r, 1).data().toString();
    };
    EXPECT_EQ(cells(91) + ' ' + cells(92) + ' ' + cells(93), "289/x289 / 291/x291");
    rs().moveTo(92);  // current, its boxes empty, nothing asked
    EXPECT_EQ(shown() + caption(), "//#93 / 203");
    EXPECT_FALSE(ui().Data1->findFirst({{"fjh", "290"}}));
    EXPECT_TRUE(rs().eof());
    EXPECT_TRUE(ui().Data1->findFirst({{"xm", "x291"}}));
    EXPECT_EQ(rs().absolutePosition(), 93);
    EXPECT_TRUE(boxes().isEmpty());
}

// Another program rebuilt the registrations (the rowids reused), changed or
// deleted room 101 while it was shown. A name typed over it in the grid (and
// Enter) or in its box (and confirm) is not written: the keeper is told, and
// the grid and the boxes show the file as it is now (the next row for one
// deleted). After: the file | the
// grid's rows, the current one marked * | the boxes.
TEST_F(DemoWindow, ANameTypedOverARowAnotherProgramChangedIsNotWrittenAndTheRowShowsAsItIsNow) {
    const char* const rebuilt =
        "delete from zfdj; insert into zfdj (rowid, fjh, jzrs, xm, yh) values (1, '102', 1, '李四', '未婚'), "
        "(2, '103', 3, 'Ann', '已婚'), (3, '101', 2, '张三', '已婚')";
    const struct {
        const char *other, *where, *after;
    } cases[] = {
        {rebuilt, "grid", "102李四 103Ann 101张三 | *102/李四 103/Ann 101/张三 | 李四/1/未婚"},
        {rebuilt, "boxes", "102李四 103Ann 101张三 | *102/李四 103/Ann 101/张三 | 李四/1/未婚"},
        {"update zfdj set jzrs = 5 where fjh = '101'", "grid",
         "101张三 102李四 103Ann | *101/张三 102/李四 103/Ann | 张三/5/已婚"},
        {"update zfdj set jzrs = 5 where fjh = '101'", "boxes",
         "101张三 102李四 103Ann | *101/张三 102/李四 103/Ann | 张三/5/已婚"},
        // Deleted: the row after it is current.
        {"delete from zfdj where fjh = '101'", "grid", "102李四 103Ann | *102/李四 103/Ann | 李四/1/未婚"},
        {"delete from zfdj where fjh = '101'", "boxes", "102李四 103Ann | *102/李四 103/Ann | 李四/1/未婚"},
    };
    DataGrid* grid = ui().DBGrid1;
    grid->setAllowUpdate(true);
    for (const auto& c : cases) {
        tv::test::execSql(file,
                          "delete from zfdj; insert into zfdj (rowid, fjh, jzrs, xm, yh) values (1, '101', 2, "
                          "'张三', '已婚'), (2, '102', 1, '李四', '未婚'), (3, '103', 3, 'Ann', '已婚')");
        ui().Data1->refresh();
        tv::test::execSql(file, c.other);
        tv::dlg::script::clearCalls();
        tv::dlg::script::answerMsgBox(tv::dlg::Ok);
        if (c.where == std::string("grid")) {
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(0, 1));
            typeAndEnter(QStringLiteral("Tom"));
        } else {
            ui().Data1->edit();
            ui().Txtxm->setText(QStringLiteral("Tom"));
            click("CmdQr");
        }
        QStringList rows;
        for (int r = 0; r < model()->rowCount(); ++r)
            rows << (r == grid->currentIndex().row() ? "*" : "") + model()->index(r, 0).data().toString() + '/' +
                        model()->index(r, 1).data().toString();
        EXPECT_EQ((ask("select group_concat(fjh || xm, ' ') from zfdj") + " | " + rows.join(' ') + " | " + shown())
                      .toStdString(),
                  c.after)
            << c.other << ' ' << c.where;
        EXPECT_EQ(boxes(), QStringList{QStringLiteral("该记录已被其他程序修改或删除，数据没有改变。|提示！|64")})
            << c.other << ' ' << c.where;
    }
}

// Another program deleted room 102 and the keeper clicks its cell and types: the grid reads its rows again, the row
// after it is current, and what is typed goes into the column clicked, never into another field. After: the file.
TEST_F(DemoWindow, AClickOnARowAnotherProgramDeletedKeepsTheColumnClicked) {
    const struct {
        int column;
        const char *typed, *after;
    } cases[] = {{1, "Tom", "101张三 103Tom"}, {0, "104", "101张三 104Ann"}};
    DataGrid* grid = ui().DBGrid1;
    grid->setAllowUpdate(true);
    for (const auto& c : cases) {
        tv::test::execSql(file,
                          "delete from zfdj; insert into zfdj (fjh, jzrs, xm, yh) values ('101', 2, '张三', '已婚'), "
                          "('102', 1, '李四', '未婚'), ('103', 3, 'Ann', '已婚')");
        ui().Data1->refresh();
        tv::test::execSql(file, "delete from zfdj where fjh = '102'");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(1, c.column));
        EXPECT_EQ(grid->currentIndex().column(), c.column);
        typeAndEnter(QString::fromUtf8(c.typed));
        EXPECT_EQ(ask("select group_concat(fjh || xm, ' ') from zfdj").toStdString(), c.after) << c.column;
        EXPECT_TRUE(boxes().isEmpty());
    }
}

// Room 101's name holds 40,000 characters: its cell and its box show the
// first 1,000 with a tip that says so, and confirming another field, in the
// boxes or in the grid, leaves the name whole in the file.
TEST_F(DemoWindow, ALongNameShowsCutWithATipAndStaysWholeWhenAnotherFieldIsStored) {
    tv::test::execSql(file, "update zfdj set xm = replace(hex(zeroblob(40000)), '00', '张') where fjh = '101'");
    ui().Data1->refresh();
    const QModelIndex name = model()->index(0, 1), other = model()->index(1, 1);
    // Compared by their length and their first character: a failure prints no 40,000 characters.
    const auto cut = [](const QString& t) { return QString::number(t.size()) + t.left(1); };
    EXPECT_EQ(cut(name.data().toString()), QStringLiteral("1000张"));
    EXPECT_EQ(name.data(Qt::ToolTipRole).toString(), cutValueTip());
    EXPECT_FALSE(other.data(Qt::ToolTipRole).isValid());
    EXPECT_EQ(cut(ui().Txtxm->text()), QStringLiteral("1000张"));
    EXPECT_EQ(ui().Txtxm->toolTip(), cutValueTip());
    rs().moveNext();
    EXPECT_EQ(ui().Txtxm->text() + ui().Txtxm->toolTip(), QStringLiteral("李四"));
    rs().moveFirst();

    ui().Data1->edit();
    ui().Txtjzrs->setText(QStringLiteral("5"));
    click("CmdQr");
    EXPECT_EQ(row("101", "length(xm) || '/' || jzrs"), "40000/5");
    DataGrid* grid = ui().DBGrid1;
    grid->setAllowUpdate(true);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(0, 2));
    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QStringLiteral("6"), {});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(row("101", "length(xm) || '/' || jzrs"), "40000/6");
    EXPECT_TRUE(boxes().isEmpty());
}

// A value shown cut takes no typing, in its box and in its cell, so that
// nothing cut is ever written back; a text pasted or typed past what a box or
// cell holds is refused naming its field (the grid: its column's caption) and
// the box keeps what it held. Room 101's name holds 40,000 characters.
TEST_F(DemoWindow, ACutValueTakesNoTypingAndATextLongerThanABoxHoldsIsRefusedNamingItsField) {
    tv::test::execSql(file, "update zfdj set xm = replace(hex(zeroblob(40000)), '00', '张') where fjh = '101'");
    ui().Data1->refresh();
    DataGrid* grid = ui().DBGrid1;
    grid->setAllowUpdate(true);
    const QString tooLong = QString(kBoxChars + 1, QLatin1Char('a'));
    // Types `text` where the focus is, or pastes it (Ctrl+V) over what the box holds when it starts with "paste:".
    const auto type = [](const QString& text) {
        QWidget* at = QApplication::focusWidget();
        if (text.startsWith("paste:")) {
            QApplication::clipboard()->setText(text.mid(6));
            QTest::keyClick(at, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(at, Qt::Key_V, Qt::ControlModifier);
            return;
        }
        for (const QChar ch : text) QTest::sendKeyEvent(QTest::Click, at, Qt::Key_unknown, QString(ch), {});
    };
    // where: "box" (修改, typed, 确认) or "grid" (the name's cell clicked, typed, Enter) | the row | what is typed |
    // afterwards: the names' lengths in the file, the messages
    const struct {
        const char* where;
        int row;
        QString typed;
        const char* after;
    } cases[] = {
        {"box", 0, "y", "40000 2 3 | "},
        {"grid", 0, "y", "40000 2 3 | "},
        {"box", 1, "paste:" + tooLong,
         "40000 2 3 | “xm”最多能输入 32767 个字，粘贴或输入的内容太长，没有放进去。|提示！|64"},
        {"grid", 2, "paste:" + tooLong,
         "40000 2 1 | “承租人姓名”最多能输入 32767 个字，粘贴或输入的内容太长，没有放进去。|提示！|64"},
        // as much as a box holds, then one more character typed
        {"box", 1, "paste:" + tooLong.left(kBoxChars) + ";z",
         "40000 32767 3 | “xm”最多能输入 32767 个字，粘贴或输入的内容太长，没有放进去。|提示！|64"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.where) + ' ' + std::to_string(c.row) + ' ' + c.typed.left(12).toStdString());
        tv::test::execSql(file, "update zfdj set xm = iif(fjh = '101', xm, iif(fjh = '102', '李四', 'Ann'))");
        ui().Data1->refresh();
        rs().moveTo(c.row);
        tv::dlg::script::clearCalls();
        if (c.typed.startsWith("paste:"))
            tv::dlg::script::answerMsgBox(tv::dlg::Ok);
        if (c.where == std::string("box")) {
            ui().Data1->edit();
            ui().Txtxm->setFocus();
            ui().Txtxm->end(false);
        } else {
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(c.row, 1));
            if (c.row > 0)  // opens the editor
                QTest::sendKeyEvent(QTest::Click, grid, Qt::Key_unknown, QStringLiteral("a"), {});
        }
        // The cut name in its box or cell takes no key: the text shown, its tip.
        const QString shown = QApplication::focusWidget()->property("text").toString();
        for (const QString& part : c.typed.split(';')) type(part);
        if (c.row == 0) {
            const QString now = QApplication::focusWidget()->property("text").toString();
            EXPECT_TRUE(now.isNull() || now == shown) << now.size();
            EXPECT_EQ((c.where == std::string("box") ? ui().Txtxm->toolTip()
                                                     : model()->index(0, 1).data(Qt::ToolTipRole).toString()),
                      cutValueTip());
        }
        if (c.where == std::string("box")) {
            click("CmdQr");
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCoreApplication::processEvents();  // the cell editor ends Enter by a queued call
        }
        EXPECT_EQ((ask("select group_concat(length(xm), ' ') from zfdj") + " | " + boxes().join(';')).toStdString(),
                  c.after);
    }
}
