// The printed documents, read back from the printer's trace: the fee receipt,
// the batch receipt, the settlement sheet and the registration form (alone and
// as a pair), against the golden traces in tests/fixtures, and the prompts,
// photos, check boxes and failures around them.
//
// TV_UPDATE_GOLDEN=1 rewrites the golden traces; TV_PRINT_PDF_DIR=<folder>
// also writes every document as a PDF there, to be looked at.

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/BoundControls.h"
#include "platform/forms/Form.h"
#include "platform/print/Printer.h"
#include "platform/text/Gbk.h"
#include "shared/PrintRoutines.h"
#include "shared/RMBChinese.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

// Failed comparisons show the text itself.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace tv;
using tv::print::Printer;

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }
Money money(double v) { return toMoney(v); }

// Stand-ins for the windows whose photos are printed; the tenant records
// window counts the resets of its print choice boxes.
class PhotoWindow : public forms::Form {
public:
    explicit PhotoWindow(const char* name) : Form(u(name), Kind::TopLevel) {}
    QImage photos[2];

protected:
    void build(QWidget*) override {}
};
struct CheckInStandIn : PhotoWindow, windows::CheckInWindow {
    CheckInStandIn() : PhotoWindow("FrmRzdj") {}
    QImage regPhoto() const override { return photos[0]; }
};
struct RecordsStandIn : PhotoWindow, windows::RecordsWindow {
    RecordsStandIn() : PhotoWindow("Tenvora") {}
    int resets = 0;
    QImage regPhoto() const override { return photos[0]; }
    void resetPrintChoice() override { ++resets; }
    void enableSingleChoice() override {}
};
struct PairStandIn : PhotoWindow, windows::PairPrintWindow {
    PairStandIn() : PhotoWindow("FrmDyjl") {}
    QImage pairPhoto(int which) const override { return photos[which - 1]; }
};

// A photo of w x h pixels, as PNG bytes.
QByteArray photo(int w, int h, QColor color) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QPainter(&img).drawRect(1, 1, w - 3, h - 3);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

PhotoWindow& window(const char* name) {
    forms::Form* w = forms::Registry::instance(u(name));
    w->load();
    return *static_cast<PhotoWindow*>(w);
}
int& recordsResets() { return static_cast<RecordsStandIn&>(window("Tenvora")).resets; }
void setPhoto(const char* windowName, int which, const QByteArray& bytes) {
    window(windowName).photos[which - 1] = QImage::fromData(bytes);
}

// --- trace reading -----------------------------------------------------------

struct TraceLine {
    int page = 0;
    double y = 0;
    QString text;
};

std::vector<TraceLine> printedLines() {
    static const QRegularExpression re(u(R"(^line page=(\d+) y=([\d.]+) size=[\d.]+ font=\S+ \|(.*)\|$)"));
    std::vector<TraceLine> out;
    for (const QString& l : Printer::traceLines())
        if (auto m = re.match(l); m.hasMatch())
            out.push_back({m.captured(1).toInt(), m.captured(2).toDouble(), m.captured(3)});
    return out;
}

// The n-th printed line that contains `part` (an empty line at y -1 when none).
TraceLine lineWith(const QString& part, int nth = 1) {
    for (const TraceLine& l : printedLines())
        if (l.text.contains(part) && --nth == 0)
            return l;
    return {0, -1, {}};
}

// The pictures placed, each as "page=.. x=.. y=.. w=.. h=.." in twips.
QStringList pictures() {
    return Printer::traceLines().filter(QRegularExpression(u("^picture "))).replaceInStrings(u("picture "), QString());
}

// The photo cell of the form whose first grid line is at `gridTop` (twips):
// left part of the grid from the middle of its 13th line to the middle of
// its 33rd, between the bars of columns 1 and 57.
void expectInPhotoCell(const QString& picture, double gridTop) {
    static const QRegularExpression re(u(R"(x=([-\d.]+) y=([-\d.]+) w=([\d.]+) h=([\d.]+))"));
    const auto m = re.match(picture);
    const double x = m.captured(1).toDouble(), y = m.captured(2).toDouble();
    EXPECT_GT(x, 100);
    EXPECT_LT(x + m.captured(3).toDouble(), 5700);
    EXPECT_GT(y, gridTop + 12 * 200 + 100);
    EXPECT_LT(y + m.captured(4).toDouble(), gridTop + 32 * 200 + 100);
}

// The character at a column (1-based) of a laid-out line, 0 when none starts there.
char32_t charAt(const QString& text, int column) {
    int c = 1;
    for (char32_t ch : text.toUcs4()) {
        if (c == column)
            return ch;
        if ((c += tv::text::charWidth(ch)) > column)
            return 0;
    }
    return 0;
}

// Every stroke that leaves a line downwards meets one coming up from the line
// below, and the other way round: the box lines join.
void expectBoxLinesJoin() {
    auto down = [](char32_t c) { return QStringView(u"│┌┬┐├┼┤").contains(QChar(c)); };
    auto up = [](char32_t c) { return QStringView(u"│├┼┤└┴┘").contains(QChar(c)); };
    const auto lines = printedLines();
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const TraceLine &a = lines[i], &b = lines[i + 1];
        for (int col = 1; col <= 120 && a.page == b.page; ++col)
            EXPECT_EQ(down(charAt(a.text, col)), up(charAt(b.text, col))) << "column " << col << " between\n"
                                                                          << a.text.toStdString() << "\n"
                                                                          << b.text.toStdString();
    }
}

void expectGolden(const char* name) {
    QFile f(QStringLiteral(TV_FIXTURES_DIR "/%1.trace").arg(u(name)));
    const QStringList actual = Printer::traceLines();
    if (qEnvironmentVariableIsSet("TV_UPDATE_GOLDEN")) {
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write((actual.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        return;
    }
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    const QStringList expected = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 0; i < std::min(expected.size(), actual.size()); ++i)
        ASSERT_EQ(actual[i], expected[i]) << "line " << i + 1 << " of " << name;
    EXPECT_EQ(actual.size(), expected.size());
}

// --- the fixture -------------------------------------------------------------

const QString kPaperPrompt = u("msgBox|请调整好纸宽后：按(确认)后继续！|提示！|0");
const QString kNoChoice = u("msgBox|请选择打印单记录还是打印双记录！|提示|64");

class PrintRoutines : public ::testing::Test {
protected:
    void SetUp() override {
        resetState();
        dlg::script::begin();
        route("unnamed");
        forms::Registry::add(u("FrmRzdj"), [] { return new CheckInStandIn; });
        forms::Registry::add(u("Tenvora"), [] { return new RecordsStandIn; });
        forms::Registry::add(u("FrmDyjl"), [] { return new PairStandIn; });
    }
    void TearDown() override {
        EXPECT_FALSE(Printer::device().isOpen());
        Printer::reset();
        forms::Registry::clear();
        EXPECT_EQ(dlg::script::pending(), 0);
        dlg::script::end();
        resetState();
    }

    // The trace in memory, and a PDF of the document when asked for.
    static void route(const char* name) {
        const QString dir = qEnvironmentVariable("TV_PRINT_PDF_DIR");
        Printer::useFiles(dir.isEmpty() ? QString() : dir + QLatin1Char('/') + u(name) + u(".pdf"), QString());
    }

    // The dialogs shown so far, each as "kind|text|title|style".
    static QStringList dialogs() {
        QStringList out;
        for (const dlg::Call& c : dlg::script::calls())
            out << QStringList({c.kind, c.text, c.title, QString::number(c.style)}).join(QLatin1Char('|'));
        return out;
    }

    // Runs a print routine with the paper prompt answered.
    static void printAnswering(void (*routine)()) {
        dlg::script::answerMsgBox(dlg::Ok);
        routine();
    }

    static void fillBill() {
        state().CurrentBill = {.jfrq = u("2021-02-20"),
                               .fjh = u("101"),
                               .xm = u("王小明"),
                               .sfzhm = u("440101199001011234"),
                               .zj = money(800),
                               .sfsd1 = u("2021-01-20"),
                               .sfsd2 = u("2021-02-20"),
                               .bysb = 1234.5f,
                               .sysb = 1200,
                               .ysl = 34.5f,
                               .sdj = money(3.5),
                               .sf = money(120.75),
                               .bydb = 5678,
                               .sydb = 5600,
                               .ydl = 78,
                               .ddj = money(0.85),
                               .df = money(66.3),
                               .zf = money(35),
                               .hj = money(1022.05)};
        state().AmountInWords = RMBChinese(1022.05);
    }

    // A registration form to print: the choice, the window that loaded last
    // and a record with two elders and two children.
    static void prepareForm(const char* choice, const char* activeForm) {
        state().EditMode = u(choice);
        state().ActiveFormCode = u(activeForm);
        state().CurrentCheckIn = {.fjh = u("101"),
                                  .jzrs = 5,
                                  .xm = u("王小明"),
                                  .dw = u("华南机械厂"),
                                  .dh = u("13800138000"),
                                  .yh = u("已婚"),
                                  .wh = u("技工"),
                                  .n1 = 1,
                                  .n2 = 1,
                                  .rzrq = u("2021-01-20"),
                                  .lkrq = u("2021-12-31"),
                                  .sfzhm = u("440101199001011234"),
                                  .fq = u("王大山"),
                                  .xb1 = u("男"),
                                  .cxny1 = u("1950-03"),
                                  .mq = u("李秀英"),
                                  .xb2 = u("女"),
                                  .cxny2 = u("1952-07"),
                                  .xm1 = u("王小虎"),
                                  .xb3 = u("男"),
                                  .cxny3 = u("2012-05"),
                                  .xm2 = u("王小花"),
                                  .xb4 = u("女"),
                                  .cxny4 = u("2015-09"),
                                  .ysno = u("在住")};
    }
};

}  // namespace

// --- fee receipt, batch receipt, settlement sheet ----------------------------

TEST_F(PrintRoutines, ReceiptAndSettlementSheetPrintTheBillAfterThePaperPrompt) {
    route("receipt");
    fillBill();
    printAnswering(PrintReceipt);
    EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});
    expectGolden("receipt");
    expectBoxLinesJoin();

    // The settlement sheet of the same bill carries deposit and arrears.
    route("settlement");
    dlg::script::clearCalls();
    state().SettleDeposit = money(1000);
    state().SettleArrears = Money();
    printAnswering(PrintSettlement);
    EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});
    expectGolden("settlement");
    expectBoxLinesJoin();
}

TEST_F(PrintRoutines, ReceiptRoundsInPlaceAndPrintsTheNumberForms) {
    fillBill();
    BillRecord& b = state().CurrentBill;
    b.zf = Money::fromUnits(123456);  // 12.3456: printed 12.35, kept
    b.zj = Money::fromUnits(100050);  // 10.005 -> 10 (ties to even)
    b.sdj = Money::fromUnits(28350);  // 2.835 -> 2.84
    b.ysl = 0.25f;
    b.ydl = -3.456f;
    b.bysb = 0;
    state().AmountInWords = RMBChinese(1.0e12);  // the over-long text goes through unchanged
    printAnswering(PrintReceipt);

    EXPECT_EQ(b.zf, Money::fromUnits(123456));
    EXPECT_EQ(b.zj, Money::fromInt(10));
    EXPECT_EQ(b.sdj, Money::fromUnits(28400));
    EXPECT_FLOAT_EQ(b.ydl, -3.46f);
    EXPECT_EQ(lineWith(u("今收到")).text,
              u("│今收到      │101     │租金(元)    │10.00   │其它费用  │12.35 │                              │"));
    for (const char* cell : {"│本月水表    │ 0      │", "│ .25  │", "│2.84  │"})
        EXPECT_TRUE(lineWith(u("本月水表")).text.contains(u(cell))) << cell;
    EXPECT_TRUE(lineWith(u("本月电表")).text.contains(u("│-3.46 │")));
    EXPECT_TRUE(lineWith(u("人民币大写")).text.contains(u("需转换的金额整数长度超过了12位！")));
}

TEST_F(PrintRoutines, BatchReceiptsRunOnInOneDocumentThreeToAPage) {
    route("batch");
    fillBill();
    for (int i = 0; i < 4; ++i) {
        state().CurrentBill.fjh = QString::number(101 + i);
        PrintBatchReceipt();
        EXPECT_TRUE(Printer::device().isOpen());
    }
    Printer::device().endDoc();
    EXPECT_TRUE(dialogs().isEmpty());  // no prompt
    EXPECT_EQ(Printer::traceLines().count(u("begin")), 1);
    EXPECT_EQ(Printer::traceLines().count(u("end")), 1);

    // Five empty lines, title, two empty lines, header, eleven grid lines,
    // footer and four empty lines a receipt. Three receipts fit page 1; the
    // fourth runs over onto page 2.
    const auto lines = printedLines();
    constexpr size_t n = 25;
    ASSERT_EQ(lines.size(), 4 * n);
    for (size_t i : {0, 1, 2, 3, 4, 21, 22, 23, 24, 25, 26, 27, 28, 29}) EXPECT_TRUE(lines[i].text.isEmpty()) << i;
    EXPECT_EQ(lines[5].text.trimmed(), u("房屋租赁使用费收据"));
    for (size_t i = 0; i < 3 * n; ++i) EXPECT_EQ(lines[i].page, 1) << i;
    EXPECT_EQ(lines[3 * n + 5].page, 2);
    EXPECT_TRUE(lines[3 * n + 8].text.contains(u("租户房号：104")));
    expectBoxLinesJoin();
}

TEST_F(PrintRoutines, APrintThatFailsAbortsTheJobAndTheErrorGoesOn) {
    QTemporaryDir dir;
    const QString badPdf = dir.filePath(u("missing/folder/x.pdf"));
    Printer::useFiles(badPdf, QString());
    fillBill();
    state().CurrentBill.zj = Money::fromUnits(100050);
    EXPECT_THROW(printAnswering(PrintReceipt), print::PrintError);
    EXPECT_FALSE(Printer::device().isOpen());
    EXPECT_EQ(state().CurrentBill.zj, Money::fromInt(10));  // the rounding was already stored

    // Batch receipts already printed are dropped with the failing one.
    Printer::useFiles(QString(), QString());
    PrintBatchReceipt();
    Printer::useFiles(badPdf, QString());  // aborts the open batch
    EXPECT_FALSE(Printer::device().isOpen());
    EXPECT_THROW(PrintBatchReceipt(), print::PrintError);
    EXPECT_FALSE(Printer::device().isOpen());

    // A pair that fails keeps the two-record choice.
    state().EditMode = u("YE2");
    EXPECT_THROW(printAnswering(PrintRegFormPair), print::PrintError);
    EXPECT_EQ(state().EditMode, u("YE2"));
}

// --- registration form ---------------------------------------------------------

TEST_F(PrintRoutines, RegistrationFormFromTheCheckInWindowPutsThePhotoInItsCell) {
    route("regform");
    prepareForm("YE1", "YE1");
    setPhoto("FrmRzdj", 1, photo(480, 300, QColor(200, 220, 255)));  // larger than the cell
    printAnswering(PrintRegForm);

    EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});
    EXPECT_EQ(state().EditMode, u("YE1"));
    expectGolden("regform");
    expectBoxLinesJoin();
    // Offsets never set: the records window's start values, 650 and 3050
    // from its photo box at 7440; shrunk to the cell, proportions kept.
    EXPECT_EQ(pictures(), QStringList{u("page=1 x=650 y=4390 w=4800 h=3000")});
    expectInPhotoCell(pictures().value(0), lineWith(u("┌")).y);
}

TEST_F(PrintRoutines, RegistrationFormLinesThatTheRecordFills) {
    prepareForm("YA", "YE4");  // any choice but none prints
    state().CurrentCheckIn.n2 = 2;
    state().CurrentCheckIn.fq = u("名字非常非常长的老人");  // wider than its cell
    state().RegFormTitle = u("另一个标题");
    printAnswering(PrintRegForm);
    EXPECT_EQ(lineWith(u("另一个标题")).text, QString(10, ' ') + u("另一个标题"));
    EXPECT_EQ(lineWith(u("另一个标题")).y, 400);
    EXPECT_TRUE(pictures().empty());
    EXPECT_TRUE(lineWith(u("子女数")).text.contains(u("子女数: 1 男 2 女")));
    // The elder's long name pushes the rest of its line onto a line of its own.
    const TraceLine r7 = lineWith(u("婚姻状况")), rest = lineWith(u("性别:男  │姓名:李秀英"));
    EXPECT_TRUE(r7.text.endsWith(u("姓名:名字非常非常长的老人")));
    EXPECT_EQ(rest.text, QString(75, ' ') + u("性别:男  │姓名:李秀英     性别:女   │"));
    EXPECT_EQ(rest.y - r7.y, 200);
}

TEST_F(PrintRoutines, WithoutTheirChoiceOrTheirWindowsFormsPrintNothingOrNoPhoto) {
    // No choice at all: refused with a message.
    state().ActiveFormCode = u("YE1");
    printAnswering(PrintRegForm);
    printAnswering(PrintRegFormPair);
    EXPECT_EQ(dialogs(), QStringList({kNoChoice, kNoChoice}));
    EXPECT_TRUE(Printer::traceLines().isEmpty());

    // A pair with the single choice: the prompt, no print, the choice dropped.
    dlg::script::clearCalls();
    prepareForm("YE1", "YE2");
    printAnswering(PrintRegFormPair);
    EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});
    EXPECT_TRUE(state().EditMode.isEmpty());
    EXPECT_TRUE(Printer::traceLines().isEmpty());

    // No photo window loaded: forms without photos, and none gets loaded.
    for (const char* code : {"YE1", "YE2"}) {
        prepareForm("YE1", code);
        printAnswering(PrintRegForm);
    }
    state().EditMode = u("YE2");
    printAnswering(PrintRegFormPair);
    EXPECT_EQ(Printer::traceLines().count(u("end")), 3);
    EXPECT_TRUE(pictures().empty());
    for (const char* w : {"FrmRzdj", "Tenvora", "FrmDyjl"}) EXPECT_FALSE(forms::Registry::isLoaded(u(w))) << w;
}

TEST_F(PrintRoutines, FromTheTenantRecordsTheOffsetsPlaceThePhotoAndTheBoxesAreReset) {
    prepareForm("YE1", "YE2");
    state().PrintOffsetX = 800;
    state().PrintOffsetY = 3000;
    setPhoto("Tenvora", 1, photo(100, 80, Qt::yellow));  // smaller than the cell
    printAnswering(PrintRegForm);
    EXPECT_EQ(pictures(), QStringList{u("page=1 x=800 y=4440 w=1500 h=1200")});  // y = 7440 - 3000
    EXPECT_EQ(recordsResets(), 1);

    // Another data window loaded last: no photo, the boxes are left alone.
    Printer::clearTrace();
    state().ActiveFormCode = u("YE3");
    printAnswering(PrintRegForm);
    EXPECT_TRUE(pictures().empty());
    EXPECT_EQ(recordsResets(), 1);
}

TEST_F(PrintRoutines, APairFitsOnePageWithEachPhotoInItsOwnForm) {
    route("pair");
    prepareForm("YE2", "YE2");
    state().SecondCheckIn = {.fjh = u("205"),
                             .jzrs = 3,
                             .xm = u("陈静"),
                             .dw = u("市第一医院"),
                             .dh = u("020-88886666"),
                             .yh = u("已婚"),
                             .n2 = 1,
                             .rzrq = u("2020-09-01"),
                             .mq = u("赵玉兰"),
                             .xb2 = u("女"),
                             .cxny2 = u("1948-11"),
                             .xm1 = u("陈思思"),
                             .xb3 = u("女"),
                             .cxny3 = u("2016-04")};
    state().PairOffsets = {650, 1000, 650, 8710};  // the two-record window's start values
    setPhoto("FrmDyjl", 1, photo(480, 300, QColor(200, 220, 255)));
    setPhoto("FrmDyjl", 2, photo(300, 200, QColor(255, 220, 200)));
    window("Tenvora");  // the records window is open

    printAnswering(PrintRegFormPair);
    EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});
    EXPECT_TRUE(state().EditMode.isEmpty());
    expectGolden("pair");
    expectBoxLinesJoin();
    // One page (the golden fixes every line's page); each photo 3360 below its
    // form's offset, inside its form's photo cell.
    EXPECT_EQ(pictures(),
              QStringList({u("page=1 x=650 y=4360 w=4800 h=3000"), u("page=1 x=650 y=12070 w=4500 h=3000")}));
    expectInPhotoCell(pictures().value(0), lineWith(u("┌"), 1).y);
    expectInPhotoCell(pictures().value(1), lineWith(u("┌"), 2).y);
    EXPECT_EQ(recordsResets(), 1);

    // From the check-in window both photos print but the records boxes stay.
    route("unnamed");
    Printer::clearTrace();
    prepareForm("YE2", "YE1");
    recordsResets() = 0;
    printAnswering(PrintRegFormPair);
    EXPECT_EQ(pictures().size(), 2);
    EXPECT_EQ(recordsResets(), 0);
    EXPECT_TRUE(state().EditMode.isEmpty());
}
