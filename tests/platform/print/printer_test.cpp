// The printer: layout in columns and lines, page breaks, pictures, the trace,
// PDF output, failures that abort the job, and how box lines and Chinese are
// drawn.

#include "platform/print/Printer.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/print/Backends.h"
#include "platform/print/Layout.h"
#include "platform/values/OwnFiles.h"
#include "support/FullDisk.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QPrinterInfo>
#include <QTemporaryDir>

using namespace tv::print;

namespace {

class PrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        tv::dlg::script::begin();
        Printer::useFiles(QString(), QString());
    }
    void TearDown() override {
        Printer::reset();
        EXPECT_EQ(tv::dlg::script::pending(), 0);
        tv::dlg::script::end();
    }
    Printer& dev() { return Printer::device(); }
    // Prints one line as a document: what the job failed with ("" when it did not).
    QString printOneLine() {
        try {
            dev().printLine({text("租金")});
            dev().endDoc();
        } catch (const PrintError& e) {
            return e.text();
        }
        return QString();
    }
};

QStringList readLines(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
}

}  // namespace

// The text of the lines that a line of items gives, as the trace shows them.
static QStringList shown(const std::vector<Placed>& lines) {
    QStringList out;
    for (const Placed& p : lines) out << traceLine(p).section('|', 1, -2);
    return out;
}

TEST(PrintLayout, ColumnsAreHalfAnEmLinesOneEmAndAValueFitsItsCell) {
    Layout layout(100000);
    layout.setFontSize(18);
    EXPECT_EQ(layout.printLine({at(20, "房屋租赁使用费收据")}).at(0).text, QString(19, ' ') + "房屋租赁使用费收据");
    layout.setFontSize(10);
    EXPECT_EQ(layout.printLine({})[0].y, 360);  // below an 18-point line
    const QString sp16(16, ' ');
    const struct {
        std::vector<Item> items;
        QStringList lines;
    } cases[] = {
        // Columns 17-24 hold eight columns at full width; a narrowed text
        // leaves half a column free: ten columns at 75%, sixteen at 46%,
        // twenty not even at 40%: the eight characters that fit there with
        // "…" after them to tell the reader that the text goes on.
        {{at(1, "│"), at(17, "一二三四"), at(25, "│")}, {"│" + QString(14, ' ') + "一二三四│"}},
        {{at(17, "一二三四五"), at(25, "│")}, {sp16 + "{75%:一二三四五}│"}},
        {{at(17, "一二三四五六七八"), at(25, "│"), at(27, "租金")}, {sp16 + "{46%:一二三四五六七八}│租金"}},
        {{at(17, "一二三四五六七八九十"), at(25, "│")}, {sp16 + "{41%:一二三四五六七八…}│"}},
        // An item and the text items after it share the cell.
        {{at(3, "子女数:"), text(" 1 "), text("男"), at(12, "│")}, {"  {70%:子女数: 1 男}│"}},
        // The last item has no limit; an item past its column goes on the next line.
        {{at(1, "│"), at(3, "一二三四五六七八")}, {"│一二三四五六七八"}},
        {{at(5, "abcdef"), at(3, "x")}, {"    abcdef", "  x"}},
        // A cell too small for even a character: "…" alone, as small as it must be.
        {{at(1, "中"), at(2, "│")}, {"{25%:…}│"}},
    };
    for (const auto& c : cases) EXPECT_EQ(shown(layout.printLine(c.items)), c.lines) << c.lines.join('/').toStdString();
}

// A value in a cell between two bars: its columns, and the cell as printed.
// Text and numbers narrow to 40%; past that text is cut and ends with "…",
// while a number (an amount, a reading, a date, a count, a room or phone
// number) fills its cell with "#": it never prints as another number.
TEST(PrintLayout, ANumberNarrowsFurtherThanTextAndIsNeverCutIntoAnotherNumber) {
    const struct {
        std::vector<Item> cell;
        int columns;
        QString printed;
    } cases[] = {
        // The 6-column money cells of a receipt (水费, 电费, 其它费用, 单价).
        {{number("2886582.27")}, 6, "{55%:2886582.27}"},
        {{text("2886582.27")}, 6, "{55%:2886582.27}"},
        {{text("深圳市南山区科技园有限公司")}, 6, "{45%:深圳市南山…}"},
        {{number("-99999999.99")}, 6, "{45%:-99999999.99}"},
        {{number("123456789.00")}, 6, "{45%:123456789.00}"},
        {{number("1234567890.00")}, 6, "{42%:1234567890.00}"},
        {{number("12345678901.00")}, 6, "######"},
        {{number("6.30")}, 6, "6.30  "},
        // The 8-column cells: room numbers, readings, the total.
        {{number("A栋1208号")}, 8, "{83%:A栋1208号}"},
        {{number(" 1234567 ")}, 8, "{83%: 1234567 }"},
        {{number("922337203685477.58")}, 8, "{41%:922337203685477.58}"},
        {{number("-922337203685477.58")}, 8, "########"},
        {{number("欧阳司马上官诸葛长孙1208号")}, 8, "########"},
        {{text("欧阳司马上官诸葛长孙1208号")}, 8, "{41%:欧阳司马上官诸葛…}"},
        // A caption stays whole before a number that gives way to "#"; the
        // numbers of one cell share its columns.
        {{text("入住日期:"), number("2021-01-20（2021-01-18交定金500元）")},
         24,
         "{53%:入住日期:2021-01-20（2021-01-18交定金500元）}"},
        {{text("入住日期:"), number(QString(50, '9'))}, 24, "入住日期:###############"},
        {{text("子女数:"), number(" 1 "), text("男"), number(" 2 "), text("女")}, 12, "{67%:子女数: 1 男 2 女}"},
        {{text("子女数:"), number(QString(30, '1')), text("男"), number(QString(30, '2')), text("女")},
         24,
         "子女数:#######男######女"},
        // A cell too small for its caption and a column per number: "#" whole;
        // a cell too small for narrowing to gain anything.
        {{text("出生年月:"), number("1950年3月15日")}, 8, "########"},
        {{number("12")}, 1, "#"},
        {{text("中")}, 1, "{25%:…}"},
    };
    for (const auto& c : cases) {
        Layout layout(100000);
        std::vector<Item> items{at(1, "│")};
        items.insert(items.end(), c.cell.begin(), c.cell.end());
        items[1].column = 3;
        items.push_back(at(3 + c.columns, "│"));
        QString value;
        for (const Item& i : c.cell) value += i.text;
        EXPECT_EQ(shown(layout.printLine(items)), QStringList{"│" + c.printed + "│"})
            << value.toStdString() << " in " << c.columns;
    }
}

TEST(PrintLayout, PagesBreakBeforeALineThatDoesNotFit) {
    Layout layout(1000);  // five lines of 10 points
    std::vector<Placed> all;
    for (int i = 0; i < 6; ++i)
        for (const Placed& p : layout.printLine({text(QString::number(i))})) all.push_back(p);
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(std::pair(all[4].page, all[4].y), std::pair(1, 800.0));
    EXPECT_EQ(all[5].kind, Placed::Kind::NewPage);
    EXPECT_EQ(std::pair(all[6].page, all[6].y), std::pair(2, 0.0));
    // A bigger font on the last room of a page breaks earlier.
    Layout big(1000);
    for (int i = 0; i < 3; ++i) big.printLine({});  // y = 600
    big.setFontSize(18);                            // 360 high: 960 fits
    EXPECT_EQ(big.printLine({})[0].page, 1);
    big.setFontSize(10);  // y = 960: 1160 does not fit
    EXPECT_EQ(big.printLine({}).back().page, 2);
}

TEST(PrintLayout, PicturesKeepTheirSizeOrShrinkToTheCellAndFontsMapToInstalledOnes) {
    // 96 dpi: 15 twips a pixel
    EXPECT_EQ(pictureSize(QSize(100, 80), 5000, 3300), QSizeF(1500, 1200));
    EXPECT_EQ(pictureSize(QSize(1000, 500), 5000, 3300), QSizeF(5000, 2500));  // width limits
    EXPECT_EQ(pictureSize(QSize(400, 400), 5000, 3300), QSizeF(3300, 3300));   // height limits
    EXPECT_EQ(pictureSize(QSize(1000, 500), 0, 0), QSizeF(15000, 7500));       // no limit
    EXPECT_EQ(fontFamilyFor("宋体"), "AR PL UMing CN");
    EXPECT_EQ(fontFamilyFor("Arial"), "Arial");
}

TEST_F(PrinterTest, TraceRecordsTheDocumentAndTheFontStartsAfreshEachDocument) {
    dev().printLine({});  // opens the document
    dev().setFontSize(18);
    dev().setFontName("宋体");
    dev().printLine({at(11, "标题")});
    QImage photo(100, 50, QImage::Format_RGB32);
    photo.fill(Qt::gray);
    dev().drawPicture(photo, 650, 4390, 5000, 3300);
    dev().drawPicture(QImage(), 0, 0);  // nothing
    dev().newPage();
    dev().printLine({text("x")});
    dev().endDoc();
    dev().endDoc();  // nothing open: nothing happens
    dev().printLine({text("y")});
    dev().endDoc();
    EXPECT_EQ(Printer::traceLines(), QStringList({"begin", "line page=1 y=0 size=10 font=宋体 ||",
                                                  "line page=1 y=200 size=18 font=宋体 |          标题|",
                                                  "picture page=1 x=650 y=4390 w=1500 h=750", "page 2",
                                                  "line page=2 y=0 size=18 font=宋体 |x|", "end", "begin",
                                                  "line page=1 y=0 size=10 font=宋体 |y|", "end"}));
}

TEST_F(PrinterTest, FilesAreWrittenWholeOrNotAtAllWhereTheEnvironmentSays) {
    // A file that cannot be written raises, and the job is dropped at once.
    QTemporaryDir dir;
    Printer::useFiles(dir.filePath("no/such/folder/x.pdf"), QString());
    try {
        dev().printLine({text("a")});
        ADD_FAILURE() << "no error";
    } catch (const PrintError& e) {
        EXPECT_TRUE(e.text().contains("无法写入打印文件")) << e.text().toStdString();
    }
    EXPECT_FALSE(dev().isOpen());
    EXPECT_EQ(Printer::traceLines().last(), "abort");

    // A running program prints to the PDF and trace files the environment names.
    const QString pdf = dir.filePath("收据.pdf"), trace = dir.filePath("out.trace");
    QFile stale(trace);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly) && stale.write("from an earlier run\n") > 0);
    stale.close();
    Printer::reset();
    qputenv("TENVORA_PRINT_PDF", pdf.toLocal8Bit());
    qputenv("TENVORA_PRINT_TRACE", trace.toLocal8Bit());
    dev().printLine({at(3, "一")});
    EXPECT_FALSE(QFile::exists(pdf));  // nothing before the end
    dev().endDoc();
    QFile f(pdf);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-");
    // An aborted job leaves the earlier file as it was, and no temporary.
    const qint64 size = QFileInfo(pdf).size();
    dev().setFontSize(12);
    dev().printLine({text("half")});
    dev().abort();
    EXPECT_EQ(QFileInfo(pdf).size(), size);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    dev().printLine({at(3, "二")});  // a new job, in the start font
    dev().endDoc();
    qunsetenv("TENVORA_PRINT_PDF");
    qunsetenv("TENVORA_PRINT_TRACE");
    // The trace of the whole run, without what an earlier run left.
    EXPECT_EQ(readLines(trace), QStringList({"begin", "line page=1 y=0 size=10 font=宋体 |  一|", "end", "begin",
                                             "line page=1 y=0 size=12 font=宋体 |half|", "abort", "begin",
                                             "line page=1 y=0 size=10 font=宋体 |  二|", "end"}));
    EXPECT_TRUE(Printer::traceLines().isEmpty());  // memory is for tests routed by useFiles
}

// A PDF over an old one on a full disk: the job fails with the reason, the old
// file stays as it was and nothing else is left.
TEST_F(PrinterTest, APdfOnAFullDiskLeavesTheOldOneAsItWasAndSaysWhy) {
    tv::test::FullDisk disk;
    const QString pdf = disk.filePath("收据.pdf");
    QFile old(pdf);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old pdf") == 7);
    old.close();
    disk.fill();
    Printer::useFiles(pdf, QString());
    const QString told = printOneLine();
    EXPECT_EQ(told, "无法写入打印文件：" + pdf + "\n磁盘空间不足");
    EXPECT_EQ(Printer::traceLines().last(), "abort");
    EXPECT_TRUE(old.open(QIODevice::ReadOnly) && old.readAll() == "old pdf");
    EXPECT_EQ(disk.files(), QStringList{"收据.pdf"});
}

// A PDF named through a link to one of the program's own files is refused
// with the reason before anything is written; the file stays as it was.
TEST_F(PrinterTest, APdfThroughALinkToAFileOfTheProgramIsRefusedAndWritesNothing) {
    QTemporaryDir dir;
    const QString own = dir.filePath("Zjzd.txt"), link = dir.filePath("收据.pdf");
    QFile receipts(own);
    ASSERT_TRUE(receipts.open(QIODevice::WriteOnly) && receipts.write("receipts") == 8);
    receipts.close();
    ASSERT_TRUE(QFile::link(own, link));
    const int id = tv::addOwnFiles([&] { return std::vector<tv::OwnFile>{{own, "收据文件"}}; });
    Printer::useFiles(link, QString());
    const QString told = printOneLine();
    tv::removeOwnFiles(id);
    EXPECT_TRUE(told.contains("本程序自用的收据文件")) << told.toStdString();
    EXPECT_EQ(Printer::traceLines().last(), "abort");
    EXPECT_TRUE(receipts.open(QIODevice::ReadOnly) && receipts.readAll() == "receipts");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}

TEST_F(PrinterTest, WithoutAnyPrinterTheJobGoesToANewPdfInTheCurrentFolder) {
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "this machine has a printer";
    qunsetenv("TENVORA_PRINT_PDF");
    qunsetenv("TENVORA_PRINT_TRACE");
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QFile existing(dir.filePath("打印输出.pdf"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly) && existing.write("keep") == 4);
    existing.close();

    Printer::reset();
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    dev().printLine({text("中文")});
    dev().endDoc();
    QDir::setCurrent(old);
    EXPECT_TRUE(QFile::exists(dir.filePath("打印输出(2).pdf")));
    EXPECT_EQ(QFileInfo(existing).size(), 4);  // not overwritten
    ASSERT_EQ(tv::dlg::script::calls().size(), 1u);
    EXPECT_EQ(tv::dlg::script::calls()[0].title, "提示！");
    EXPECT_TRUE(tv::dlg::script::calls()[0].text.contains("打印输出(2).pdf"));
}

// --- drawing ---------------------------------------------------------------

namespace {

// Lines of 10 points drawn at 144 dpi: a column is 10 px, a line 20 px.
QImage draw(const QStringList& lines, const std::vector<Narrow>& narrowFirst = {}) {
    QImage image(400, 20 * lines.size() + 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(qRound(144 / 0.0254));
    image.setDotsPerMeterY(qRound(144 / 0.0254));
    std::vector<Placed> steps;
    for (int i = 0; i < lines.size(); ++i)
        steps.push_back({.y = 200.0 * i, .fontSize = 10, .fontName = "宋体", .text = lines[i]});
    steps.at(0).narrow = narrowFirst;
    renderLines(image, steps);
    return image;
}

bool dark(const QImage& img, int x, int y) { return qGray(img.pixel(x, y)) < 128; }

// The box around the ink inside `area`.
QRect inked(const QImage& img, const QRect& area) {
    QRect r;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (dark(img, x, y))
                r |= QRect(x, y, 1, 1);
    return r;
}

}  // namespace

TEST(PrintDrawing, BoxLinesJoinAcrossCellsAndLines) {
    // Full-width box characters take two columns (20 px): centres at 10, 30, 50.
    QImage img = draw({"┌─┬─┐", "│中│a │", "└─┴─┘"});
    // The top rule, row 10, runs unbroken from the corner to the far corner.
    for (int x = 10; x <= 90; ++x) EXPECT_TRUE(dark(img, x, 10)) << "top rule broken at x=" << x;
    // The bars at x = 10, 50, 90 run unbroken from the top rule to the bottom rule.
    for (int x : {10, 50, 90})
        for (int y = 10; y <= 50; ++y) EXPECT_TRUE(dark(img, x, y)) << "bar broken at x=" << x << " y=" << y;
    // Nothing above the top rule or left of the left bar.
    for (int x = 0; x < 100; ++x) EXPECT_FALSE(dark(img, x, 3)) << x;
    for (int y = 0; y < 60; ++y) EXPECT_FALSE(dark(img, 2, y)) << y;
}

TEST(PrintDrawing, ChineseSitsInItsTwoColumnCellANarrowTextInItsCell) {
    // "中" on columns 3-4 of the second line: x 20..40, y 20..40.
    QImage img = draw({QString(), "  中"});
    const QRect glyph = inked(img, img.rect());
    ASSERT_FALSE(glyph.isNull()) << "nothing drawn: is a CJK font installed?";
    EXPECT_TRUE(QRect(20, 20, 20, 20).contains(glyph));
    EXPECT_GT(glyph.width(), 10);  // a glyph, not a dot
    // Six columns at 66% in the cell of columns 3-6 (x 20..60), the bar of
    // columns 7-8 at x = 70 untouched.
    img = draw({QString(6, ' ') + "│"}, {{3, 4, 66, "中文中"}});
    const QRect squeezed = inked(img, QRect(0, 0, 65, 20));
    EXPECT_TRUE(QRect(20, 0, 40, 20).contains(squeezed));
    EXPECT_GT(squeezed.right(), 52);  // the third character, squeezed, not dropped
    for (int x = 60; x < 68; ++x) EXPECT_FALSE(dark(img, x, 10)) << x;
    EXPECT_TRUE(dark(img, 70, 10));
}

TEST(PrintDrawing, TheMarkOfACutTextIsThreeDotsOnTheBaselineOfItsCell) {
    // "…" on columns 3-4: x 20..40; drawn as the box lines are, font or not.
    for (const std::vector<Narrow>& narrow : {std::vector<Narrow>{}, std::vector<Narrow>{{3, 2, 50, "…"}}}) {
        const QImage img = draw({narrow.empty() ? "  …" : "  "}, narrow);
        const QRect ink = inked(img, img.rect());
        ASSERT_FALSE(ink.isNull());
        EXPECT_TRUE(QRect(20, 10, narrow.empty() ? 20 : 10, 10).contains(ink)) << ink.x() << ' ' << ink.y();
        int dots = 0;
        const int y = ink.center().y();
        for (int x = ink.left(); x <= ink.right(); ++x) dots += dark(img, x, y) && !dark(img, x - 1, y) ? 1 : 0;
        EXPECT_EQ(dots, 3);
    }
}
