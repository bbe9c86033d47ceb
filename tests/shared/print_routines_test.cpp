// The printed documents, read back from the printer's trace: the fee receipt,
// the batch receipt, the settlement sheet and the registration form (alone and
// as a pair). The golden traces in tests/fixtures fix every printed line and
// picture of a document; the checks beside them are about what a trace cannot
// show: the prompts and refusals, the state left behind, each photo inside its
// cell, page breaks and the jobs dropped on a failure.
//
// TV_UPDATE_GOLDEN=1 rewrites the golden traces.

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"
#include "platform/print/Printer.h"
#include "shared/PrintRoutines.h"
#include "shared/RMBChinese.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"
#include "support/PrintTo.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

using namespace tv;
using tv::print::Printer;

namespace {

// Stand-ins for the windows whose photos are printed, each offering the one
// interface of its window: its photos, and the resets of the records window's print
// choice boxes (which a print leaves to the window that prints).
struct Photos {
    QImage photos[2];
    int resets = 0;
    bool broken = false;  // reading a photo fails
    QImage photo(int which) const { return broken ? throw std::runtime_error("bad photo") : photos[which - 1]; }
};
// What a stand-in offers of each window interface.
struct CheckInOffers : Photos, windows::CheckInWindow {
    QImage regPhoto() const override { return photo(1); }
    void printCurrentRow() override {}

protected:
    ~CheckInOffers() = default;
};
struct RecordsOffers : Photos, windows::RecordsWindow {
    QImage regPhoto() const override { return photo(1); }
    void resetPrintChoice() override { ++resets; }
    void enableSingleChoice() override {}

protected:
    ~RecordsOffers() = default;
};
struct PairOffers : Photos, windows::PairPrintWindow {
    QImage pairPhoto(windows::PairForm form) const override { return photo(form == windows::PairForm::First ? 1 : 2); }

protected:
    ~PairOffers() = default;
};
template <class Offers>
class StandIn final : public forms::Form, public Offers {
public:
    explicit StandIn(const char* name) : Form(QString::fromLatin1(name), Kind::TopLevel) {}

protected:
    void build(QWidget*) override {}
};
template <class Offers>
void addStandIn(const char* name) {
    forms::Registry::add(QString::fromLatin1(name), [name] { return new StandIn<Offers>(name); });
}

// The stand-in of a window, loaded, with grey photos of these sizes (pixels).
Photos& window(const char* name, std::initializer_list<QSize> sizes = {}) {
    forms::Form* w = forms::Registry::instance(name);
    w->load();
    Photos& p = *dynamic_cast<Photos*>(w);
    QImage* next = p.photos;
    for (QSize size : sizes) (*next++ = QImage(size, QImage::Format_RGB32)).fill(Qt::gray);
    return p;
}

// --- trace reading -----------------------------------------------------------

// The pictures placed, in twips.
std::vector<QRectF> pictures() {
    static const QRegularExpression re(R"(^picture page=\d+ x=([-\d.]+) y=([-\d.]+) w=([\d.]+) h=([\d.]+)$)");
    std::vector<QRectF> out;
    for (const QString& l : Printer::traceLines())
        if (auto m = re.match(l); m.hasMatch())
            out.emplace_back(m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                             m.captured(4).toDouble());
    return out;
}

// The photo cell of the form whose first grid line is at `gridTop` (twips, as
// the golden trace has it): left part of the grid from the middle of its 13th
// line to the middle of its 33rd, between the bars of columns 1 and 57.
QRectF photoCell(double gridTop) { return QRectF(QPointF(100, gridTop + 2500), QPointF(5700, gridTop + 6500)); }

// The trace against its golden file, line by line.
void expectGolden(const char* name) {
    QFile f(QStringLiteral(TV_FIXTURES_DIR "/%1.trace").arg(QString::fromLatin1(name)));
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

const QString kPaperPrompt = "msgBox|请调整好纸宽后：按(确认)后继续！|提示！|0";

class PrintRoutines : public ::testing::Test {
protected:
    void SetUp() override {
        resetState();
        dlg::script::begin();
        Printer::useFiles(QString(), QString());  // the trace in memory only
        addStandIn<CheckInOffers>(windows::kCheckIn);
        addStandIn<RecordsOffers>(windows::kRecords);
        addStandIn<PairOffers>(windows::kPairPrint);
    }
    void TearDown() override {
        EXPECT_FALSE(Printer::device().isOpen());
        Printer::reset();
        forms::Registry::clear();
        EXPECT_EQ(dlg::script::pending(), 0);
        dlg::script::end();
    }

    // The dialogs shown so far, each as "kind|text|title|style".
    static QStringList dialogs() {
        QStringList out;
        for (const dlg::Call& c : dlg::script::calls())
            out << QStringList({c.kind, c.text, c.title, QString::number(c.style)}).join(QLatin1Char('|'));
        return out;
    }

    // Runs a print routine with the paper prompt answered.
    static void printAnswering(const std::function<void()>& routine) {
        dlg::script::answerMsgBox(dlg::Ok);
        routine();
    }

    // The documents of the shared bill, the deposit and arrears, the
    // registrations and the window they are printed for.
    void receipt() { PrintReceipt(state().CurrentBill, state().AmountInWords); }
    void batchReceipt() { PrintBatchReceipt(state().CurrentBill, state().AmountInWords); }
    void settlement() { PrintSettlement(state().CurrentBill, state().AmountInWords, deposit, arrears); }
    void regForm() {
        PrintRegForm(state().CurrentCheckIn, from, state().RegFormTitle, state().PrintOffsetX, state().PrintOffsetY);
    }
    void pair() {
        PrintRegFormPair(state().CurrentCheckIn, state().SecondCheckIn, from, state().RegFormTitle, offsets);
    }
    Money deposit{}, arrears{};
    FormCode from = FormCode::None;
    PairOffsets offsets;

    // The bill of the golden receipt, member by member.
    static void fillBill() {
        state().CurrentBill = BillRecord{"2021-02-20",
                                         "101",
                                         "王小明",
                                         "440101199001011234",
                                         toMoney(800),
                                         "2021-01-20",
                                         "2021-02-20",
                                         1234.5f,
                                         1200,
                                         34.5f,
                                         toMoney(3.5),
                                         toMoney(120.75),
                                         5678,
                                         5600,
                                         78,
                                         toMoney(0.85),
                                         toMoney(66.3),
                                         toMoney(35),
                                         toMoney(1022.05)};
        state().AmountInWords = RMBChinese(1022.05);
    }

    // A registration form to print: the window it is printed for and a record
    // with two elders and two children, member by member.
    void prepareForm(FormCode window) {
        from = window;
        state().CurrentCheckIn = CheckInRecord{"101",
                                               5,
                                               "王小明",
                                               "华南机械厂",
                                               "13800138000",
                                               "已婚",
                                               "技工",
                                               1,
                                               1,
                                               "2021-01-20",
                                               "2021-12-31",
                                               "440101199001011234",
                                               "王大山",
                                               "男",
                                               "1950-03",
                                               "李秀英",
                                               "女",
                                               "1952-07",
                                               "王小虎",
                                               "男",
                                               "2012-05",
                                               "王小花",
                                               "女",
                                               "2015-09",
                                               "",
                                               "",
                                               "",
                                               "",
                                               "",
                                               "",
                                               "在住"};
    }
};

}  // namespace

// --- fee receipt, batch receipt, settlement sheet ----------------------------

TEST_F(PrintRoutines, ReceiptAndSettlementSheetPrintTheBillAfterThePaperPrompt) {
    fillBill();
    deposit = toMoney(1000);  // the settlement sheet carries deposit and arrears
    const std::pair<std::function<void()>, const char*> documents[] = {{[this] { receipt(); }, "receipt"},
                                                                       {[this] { settlement(); }, "settlement"}};
    for (const auto& [routine, golden] : documents) {
        Printer::clearTrace();
        dlg::script::clearCalls();
        printAnswering(routine);
        EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});
        expectGolden(golden);
    }
}

TEST_F(PrintRoutines, ReceiptRoundsInPlacePrintsTheNumberFormsAndNarrowsLongValuesNeverCuttingANumber) {
    fillBill();
    BillRecord& b = state().CurrentBill;
    b.fjh = "A栋1208号";                         // 10 columns in a cell of 8: narrowed
    b.sfsd1 = "2021年1月20日上午八点整";         // 24 in 22: narrowed; the bar after it stays
    b.zf = Money::fromUnits(123456);             // 12.3456: printed 12.35, kept
    b.zj = Money::fromUnits(100050);             // 10.005 -> 10.00 (ties to even)
    b.sdj = Money::fromUnits(28350);             // a unit price: 2.835 printed and kept
    b.ysl = 0.25f;                               // " .25"
    b.ydl = -3.456f;                             // -3.46
    b.bysb = 0;                                  // " 0"
    b.sf = toMoney(2886582.27);                  // 10 columns in 6: narrowed whole, never "2886582.2"
    b.df = toMoney(12345678901.23);              // not even at 40%: "######"
    state().AmountInWords = RMBChinese(1.0e12);  // the over-long text goes through unchanged
    printAnswering([this] { receipt(); });
    expectGolden("print_receipt_rounding");
    EXPECT_EQ(b.zf, Money::fromUnits(123456));
    EXPECT_EQ(b.zj, Money::fromInt(10));
    EXPECT_EQ(b.sdj, Money::fromUnits(28350));
    EXPECT_FLOAT_EQ(b.ydl, -3.46f);
}

TEST_F(PrintRoutines, ASettlementOfHugeAmountsPrintsEachWholeOrAsHashNeverAsAnotherNumber) {
    fillBill();
    BillRecord& b = state().CurrentBill;
    b.fjh = "欧阳司马上官诸葛长孙1208号";  // a room number is never cut either
    b.zj = toMoney(2886582.27);
    b.zf = toMoney(-12345678.9);
    b.sdj = toMoney(123456789.5);
    b.hj = toMoney(922337203685.47);
    deposit = toMoney(99999999999.99);
    arrears = toMoney(-123456789012.34);
    state().AmountInWords = RMBChinese(922337203685.47);
    printAnswering([this] { settlement(); });
    expectGolden("print_settlement_huge");
}

TEST_F(PrintRoutines, BatchReceiptsRunOnInOneDocumentThreeToAPage) {
    fillBill();
    for (int i = 0; i < 4; ++i) {
        state().CurrentBill.fjh = QString::number(101 + i);
        batchReceipt();
    }
    Printer::device().endDoc();
    EXPECT_TRUE(dialogs().isEmpty());  // no prompt
    // One document; a receipt is five empty lines, the receipt's lines and
    // four empty lines.
    expectGolden("print_batch");
    // Three fit page 1; the fourth runs over onto page 2.
    const QStringList trace = Printer::traceLines();
    EXPECT_EQ(trace.filter(QRegularExpression("^line page=1 .*租户房号")).size(), 3);
    EXPECT_EQ(trace.filter(QRegularExpression("^line page=2 .*租户房号：104")).size(), 1);
}

// Given a record, a document prints that one and the shared records stay as
// they are; only the bill given is rounded.
TEST_F(PrintRoutines, ADocumentPrintsTheRecordItIsGivenNotTheSharedOne) {
    fillBill();
    BillRecord bill = state().CurrentBill;
    bill.fjh = "205";
    bill.zj = Money::fromUnits(100050);
    PrintBatchReceipt(bill, RMBChinese(1.0));
    dlg::script::answerMsgBox(dlg::Ok);
    PrintSettlement(bill, RMBChinese(2.0), toMoney(300), toMoney(40));
    const QStringList trace = Printer::traceLines();
    EXPECT_EQ(trace.filter(QRegularExpression("租户房号：205")).size(), 2);
    EXPECT_EQ(trace.filter(QRegularExpression("壹元零角零分")).size(), 1);
    EXPECT_EQ(trace.filter(QRegularExpression("租房押金 *│300.00 ")).size(), 1);
    EXPECT_EQ(trace.filter(QRegularExpression("101|玖佰")).size(), 0);
    EXPECT_EQ(bill.zj, Money::fromInt(10));
    EXPECT_EQ(state().CurrentBill.fjh, "101");
    EXPECT_EQ(state().CurrentBill.zj, toMoney(800));

    Printer::clearTrace();
    prepareForm(FormCode::Fees);
    CheckInRecord first = state().CurrentCheckIn, second = first;
    first.fjh = "301";
    second.fjh = "302";
    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegFormPair(first, second, from, QString(), offsets);
    EXPECT_EQ(Printer::traceLines().filter(QRegularExpression("房间编号:(301|302)")).size(), 2);
    EXPECT_EQ(Printer::traceLines().filter(QRegularExpression("房间编号:101")).size(), 0);
}

TEST_F(PrintRoutines, APrintThatFailsAbortsTheJobAndTheErrorGoesOn) {
    QTemporaryDir dir;
    const QString badPdf = dir.filePath("missing/folder/x.pdf");
    Printer::useFiles(badPdf, QString());
    fillBill();
    state().CurrentBill.zj = Money::fromUnits(100050);
    EXPECT_THROW(printAnswering([this] { receipt(); }), print::PrintError);
    EXPECT_FALSE(Printer::device().isOpen());
    EXPECT_EQ(state().CurrentBill.zj, Money::fromInt(10));  // the rounding was already stored

    EXPECT_THROW(batchReceipt(), print::PrintError);
    EXPECT_FALSE(Printer::device().isOpen());

    // A failure halfway through a form drops the job: no half document.
    const QString pdf = dir.filePath("form.pdf");
    Printer::useFiles(pdf, QString());
    prepareForm(FormCode::CheckIn);
    window(windows::kCheckIn).broken = true;
    EXPECT_THROW(printAnswering([this] { regForm(); }), std::runtime_error);
    EXPECT_EQ(Printer::traceLines().last(), "abort");
    EXPECT_FALSE(QFile::exists(pdf));

    // A pair that fails keeps the two-record choice.
    Printer::useFiles(badPdf, QString());
    state().SheetChoice = Sheets::Two;
    EXPECT_THROW(printAnswering([this] { pair(); }), print::PrintError);
    EXPECT_EQ(state().SheetChoice, Sheets::Two);
}

// --- registration form ---------------------------------------------------------

TEST_F(PrintRoutines, RegistrationFormFromTheCheckInWindowPutsThePhotoInItsCell) {
    prepareForm(FormCode::CheckIn);
    state().SheetChoice = Sheets::One;
    window(windows::kCheckIn, {QSize(480, 300)});  // larger than the cell
    printAnswering([this] { regForm(); });
    EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});
    EXPECT_EQ(state().SheetChoice, Sheets::One);
    // Offsets never set: the records window's start values, 650 and 3050
    // from its photo box at 7440; shrunk to the cell, proportions kept.
    expectGolden("regform");
    EXPECT_TRUE(photoCell(1360).contains(pictures().at(0)));
}

TEST_F(PrintRoutines, RegistrationFormValuesWiderThanTheirCellsNeverMoveTheBoxLines) {
    prepareForm(FormCode::Fees);
    state().RegFormTitle = "另一个标题";  // kept, not replaced by the usual title
    CheckInRecord& r = state().CurrentCheckIn;
    r.n2 = 2;  // "子女数: 1 男 2 女"
    // Narrowed to fit their cells, or cut where even that is too little.
    r.dw = "广州市天河区珠江新城华夏路十号富力中心大厦二十三楼国际贸易咨询服务有限公司";  // 40 characters
    r.fq = "名字非常非常长的老人";
    r.mq = "欧阳司马上官诸葛长孙慕容";  // 12 characters
    r.xm1 = "欧阳司马上官诸葛长孙慕容";
    r.xm4 = "王小花王小花王小花王小花";
    // Dates and phone numbers are never cut: narrowed further than text.
    r.rzrq = "2021-01-20（2021-01-18交定金500元）";
    r.dh = "020-88886666-8001/13800138000";
    printAnswering([this] { regForm(); });
    expectGolden("print_regform_filled");  // no photo from the fee records window
}

TEST_F(PrintRoutines, WithoutTheirWindowsFormsPrintNoPhotoAndLeaveTheChoiceAndTheRecordsBoxes) {
    // No photo window loaded: forms without photos, and none gets loaded.
    for (FormCode code : {FormCode::CheckIn, FormCode::Records}) {
        prepareForm(code);
        printAnswering([this] { regForm(); });
    }
    printAnswering([this] { pair(); });
    EXPECT_EQ(Printer::traceLines().count("end"), 3);
    EXPECT_TRUE(pictures().empty());
    for (const char* w : {windows::kCheckIn, windows::kRecords, windows::kPairPrint})
        EXPECT_FALSE(forms::Registry::isLoaded(w)) << w;

    // The print choice and the records window's boxes are the windows' own:
    // printing leaves them as they were.
    Photos& records = window(windows::kRecords);
    for (Sheets choice : {Sheets::Unchosen, Sheets::One, Sheets::Two}) {
        state().SheetChoice = choice;
        prepareForm(FormCode::Records);
        printAnswering([this] { regForm(); });
        printAnswering([this] { pair(); });
        EXPECT_EQ(state().SheetChoice, choice);
    }
    EXPECT_EQ(records.resets, 0);
}

TEST_F(PrintRoutines, FromTheTenantRecordsTheOffsetsPlaceThePhoto) {
    prepareForm(FormCode::Records);
    state().PrintOffsetX = 800;
    state().PrintOffsetY = 3000;
    window(windows::kRecords, {QSize(100, 80)});  // smaller than the cell
    printAnswering([this] { regForm(); });
    EXPECT_EQ(pictures(), std::vector{QRectF(800, 4440, 1500, 1200)});  // y = 7440 - 3000

    // For another data window: no photo.
    Printer::clearTrace();
    from = FormCode::Billing;
    printAnswering([this] { regForm(); });
    EXPECT_TRUE(pictures().empty());
}

TEST_F(PrintRoutines, APairFitsOnePageWithEachPhotoInItsOwnForm) {
    prepareForm(FormCode::Records);
    state().SecondCheckIn = CheckInRecord{
        "205", 3,  "陈静", "市第一医院", "020-88886666", "已婚", "",        0,        1,    "2020-09-01", "",
        "",    "", "",     "",           "赵玉兰",       "女",   "1948-11", "陈思思", "女", "2016-04"};
    offsets = {650, 1000, 650, 8710};                                 // the two-record window's start values
    window(windows::kPairPrint, {QSize(480, 300), QSize(200, 300)});  // too wide, too tall

    printAnswering([this] { pair(); });
    EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});
    // One page; each photo 3360 below its form's offset, inside its form's cell.
    expectGolden("pair");
    EXPECT_TRUE(photoCell(1360).contains(pictures().at(0)));
    EXPECT_TRUE(photoCell(8960).contains(pictures().at(1)));

    // From the check-in window both photos print too.
    Printer::clearTrace();
    from = FormCode::CheckIn;
    printAnswering([this] { pair(); });
    EXPECT_EQ(pictures().size(), 2u);
}

// --- on a real printer -----------------------------------------------------------

// Run only as children of the real-printer test of tests/platform/print, which
// starts a private CUPS scheduler and names it in CUPS_SERVER: each prints one
// document where a running program prints, to the printer it finds there.
TEST_F(PrintRoutines, DISABLED_ReceiptOnThePrinter) {
    Printer::reset();  // no files: where the environment says
    fillBill();
    printAnswering([this] { receipt(); });
    EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});  // no "提示！" of a PDF file instead
}

TEST_F(PrintRoutines, DISABLED_RegistrationFormOnThePrinter) {
    Printer::reset();
    prepareForm(FormCode::CheckIn);
    state().CurrentCheckIn.dw = "广州市天河区珠江新城华夏路十号富力中心大厦二十三楼国际贸易咨询服务有限公司";
    window(windows::kCheckIn, {QSize(480, 300)});
    printAnswering([this] { regForm(); });
    EXPECT_EQ(dialogs(), QStringList{kPaperPrompt});
}
