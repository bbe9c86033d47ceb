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
#include "platform/print/Backends.h"
#include "platform/print/Printer.h"
#include "shared/PrintRoutines.h"
#include "shared/RMBChinese.h"
#include "shared/SharedState.h"
#include "platform/text/Gbk.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tv;
using tv::print::Printer;

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }
Money money(double v) { return toMoney(v); }

// A stand-in for a window that holds photos (and, for the tenant records
// window, the two print choice boxes, whose toggles are logged).
class PhotoWindow : public forms::Form {
public:
    PhotoWindow(const QString& name, QStringList images, bool checks)
        : Form(name, Kind::TopLevel), images_(std::move(images)), checks_(checks) {}
    QStringList log;

protected:
    void build(QWidget* root) override {
        for (const QString& n : images_) {
            auto* image = new forms::BoundImage(root);
            image->setObjectName(n);
        }
        if (checks_) {
            for (const char* n : {"Check1", "Check2"}) {
                auto* box = new QCheckBox(root);
                box->setObjectName(QString::fromLatin1(n));
                QObject::connect(box, &QCheckBox::toggled, box, [this, box, root](bool on) {
                    auto* other = root->findChild<QCheckBox*>(box->objectName() == u("Check1") ? u("Check2") : u("Check1"));
                    log << QStringLiteral("%1 %2 other-enabled=%3")
                               .arg(box->objectName(), on ? u("on") : u("off"), other->isEnabled() ? u("1") : u("0"));
                });
            }
        }
    }

private:
    QStringList images_;
    bool checks_;
};

// A photo of w x h pixels, as PNG bytes.
QByteArray photo(int w, int h, QColor color) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 3));
    p.drawRect(1, 1, w - 3, h - 3);
    p.drawLine(0, 0, w, h);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

PhotoWindow* window(const char* name) {
    return static_cast<PhotoWindow*>(forms::Registry::instance(QString::fromLatin1(name)));
}

void setPhoto(const char* windowName, const char* control, const QByteArray& bytes) {
    forms::Form* f = forms::Registry::instance(QString::fromLatin1(windowName));
    f->load();
    ASSERT_TRUE(f->control<forms::BoundImage>(QString::fromLatin1(control))->setBytes(bytes));
}

// --- trace reading -----------------------------------------------------------

struct TraceLine {
    int page = 0;
    double y = 0, size = 0;
    QString text;
};

std::vector<TraceLine> printedLines() {
    static const QRegularExpression re(u(R"(^line page=(\d+) y=([\d.]+) size=([\d.]+) font=\S+ \|(.*)\|$)"));
    std::vector<TraceLine> out;
    for (const QString& l : Printer::traceLines()) {
        auto m = re.match(l);
        if (m.hasMatch())
            out.push_back({m.captured(1).toInt(), m.captured(2).toDouble(), m.captured(3).toDouble(), m.captured(4)});
    }
    return out;
}

struct Picture {
    int page;
    double x, y, w, h;
};

std::vector<Picture> pictures() {
    static const QRegularExpression re(u(R"(^picture page=(\d+) x=([-\d.]+) y=([-\d.]+) w=([\d.]+) h=([\d.]+)$)"));
    std::vector<Picture> out;
    for (const QString& l : Printer::traceLines()) {
        auto m = re.match(l);
        if (m.hasMatch())
            out.push_back({m.captured(1).toInt(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                           m.captured(4).toDouble(), m.captured(5).toDouble()});
    }
    return out;
}

// The character at a column (1-based) of a laid-out line, 0 when none starts there.
char32_t charAt(const QString& text, int column) {
    int c = 1;
    for (char32_t ch : text.toUcs4()) {
        if (c == column)
            return ch;
        c += tv::text::charWidth(ch);
        if (c > column)
            return 0;
    }
    return 0;
}

bool armUp(char32_t c) { return QStringView(u"│├┼┤└┴┘").contains(QChar(c)); }
bool armDown(char32_t c) { return QStringView(u"│┌┬┐├┼┤").contains(QChar(c)); }

// Every stroke that leaves a line downwards meets one coming up from the line
// below, and the other way round: the box lines join.
void expectBoxLinesJoin() {
    auto lines = printedLines();
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const TraceLine& a = lines[i];
        const TraceLine& b = lines[i + 1];
        if (a.page != b.page)
            continue;
        for (int col = 1; col <= 120; ++col) {
            char32_t above = charAt(a.text, col), below = charAt(b.text, col);
            EXPECT_EQ(armDown(above), armUp(below))
                << "column " << col << " between\n" << a.text.toStdString() << "\n" << b.text.toStdString();
        }
    }
}

void expectGolden(const char* name) {
    const QString path = QStringLiteral(TV_FIXTURES_DIR "/%1.trace").arg(QString::fromLatin1(name));
    const QStringList actual = Printer::traceLines();
    if (qEnvironmentVariableIsSet("TV_UPDATE_GOLDEN")) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write((actual.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        return;
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    QStringList expected = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!expected.isEmpty() && expected.last().isEmpty())
        expected.removeLast();
    for (int i = 0; i < std::min(expected.size(), actual.size()); ++i)
        ASSERT_EQ(actual[i], expected[i]) << "line " << i + 1 << " of " << name;
    EXPECT_EQ(actual.size(), expected.size());
}

// --- the fixture -------------------------------------------------------------

class PrintRoutines : public ::testing::Test {
protected:
    void SetUp() override {
        resetState();
        dlg::script::begin();
        route("unnamed");
        forms::Registry::add(u("FrmRzdj"), [] { return new PhotoWindow(u("FrmRzdj"), {u("Image3")}, false); });
        forms::Registry::add(u("Tenvora"), [] { return new PhotoWindow(u("Tenvora"), {u("Image3")}, true); });
        forms::Registry::add(u("FrmDyjl"), [] { return new PhotoWindow(u("FrmDyjl"), {u("Image1"), u("Image2")}, false); });
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
        Printer::useFiles(dir.isEmpty() ? QString() : dir + QLatin1Char('/') + QString::fromLatin1(name) + u(".pdf"),
                          QString());
    }

    static void fillBill() {
        BillRecord& b = state().CurrentBill;
        b.jfrq = u("2021-02-20");
        b.fjh = u("101");
        b.xm = u("王小明");
        b.sfzhm = u("440101199001011234");
        b.zj = money(800);
        b.zf = money(35);
        b.sfsd1 = u("2021-01-20");
        b.sfsd2 = u("2021-02-20");
        b.bysb = 1234.5f;
        b.sysb = 1200;
        b.ysl = 34.5f;
        b.sdj = money(3.5);
        b.sf = money(120.75);
        b.bydb = 5678;
        b.sydb = 5600;
        b.ydl = 78;
        b.ddj = money(0.85);
        b.df = money(66.3);
        b.hj = money(1022.05);
        state().AmountInWords = RMBChinese(1022.05);
    }

    static CheckInRecord twoElderTwoChildren() {
        CheckInRecord r;
        r.fjh = u("101");
        r.jzrs = 5;
        r.xm = u("王小明");
        r.dw = u("华南机械厂");
        r.dh = u("13800138000");
        r.yh = u("已婚");
        r.wh = u("技工");
        r.n1 = 1;
        r.n2 = 1;
        r.rzrq = u("2021-01-20");
        r.lkrq = u("2021-12-31");
        r.sfzhm = u("440101199001011234");
        r.fq = u("王大山");
        r.xb1 = u("男");
        r.cxny1 = u("1950-03");
        r.mq = u("李秀英");
        r.xb2 = u("女");
        r.cxny2 = u("1952-07");
        r.xm1 = u("王小虎");
        r.xb3 = u("男");
        r.cxny3 = u("2012-05");
        r.xm2 = u("王小花");
        r.xb4 = u("女");
        r.cxny4 = u("2015-09");
        r.ysno = u("在住");
        return r;
    }

    static CheckInRecord oneElderOneChild() {
        CheckInRecord r;
        r.fjh = u("205");
        r.jzrs = 3;
        r.xm = u("陈静");
        r.dw = u("市第一医院");
        r.dh = u("020-88886666");
        r.yh = u("已婚");
        r.n2 = 1;
        r.rzrq = u("2020-09-01");
        r.mq = u("赵玉兰");
        r.xb2 = u("女");
        r.cxny2 = u("1948-11");
        r.xm1 = u("陈思思");
        r.xb3 = u("女");
        r.cxny3 = u("2016-04");
        return r;
    }

    static void expectPaperPrompt(size_t index) {
        const auto& calls = dlg::script::calls();
        ASSERT_GT(calls.size(), index);
        EXPECT_EQ(calls[index].kind, u("msgBox"));
        EXPECT_EQ(calls[index].text, u("请调整好纸宽后：按(确认)后继续！"));
        EXPECT_EQ(calls[index].title, u("提示！"));
        EXPECT_EQ(calls[index].style, 0);
    }

    // The photo cell of the form whose first grid line is `gridTop` (twips):
    // left part of the grid from the middle of its 13th line to the middle of
    // its 33rd, between the bars of columns 1 and 57.
    static void expectInPhotoCell(const Picture& p, double gridTop) {
        const double top = gridTop + 12 * 200 + 100, bottom = gridTop + 32 * 200 + 100;
        EXPECT_GT(p.x, 100);
        EXPECT_LT(p.x + p.w, 5700);
        EXPECT_GT(p.y, top);
        EXPECT_LT(p.y + p.h, bottom);
    }

    // y of the first line whose text starts with `start`, from the n-th on.
    static double yOf(const QString& start, int nth = 1) {
        for (const TraceLine& l : printedLines())
            if (l.text.startsWith(start) && --nth == 0)
                return l.y;
        return -1;
    }
};

}  // namespace

// --- fee receipt, batch receipt, settlement sheet ----------------------------

TEST_F(PrintRoutines, ReceiptPrintsTheBillAfterThePaperPrompt) {
    route("receipt");
    fillBill();
    dlg::script::answerMsgBox(dlg::Ok);
    PrintReceipt();
    ASSERT_EQ(dlg::script::calls().size(), 1u);
    expectPaperPrompt(0);
    EXPECT_EQ(state().ReceiptTitle, u("房屋租赁使用费收据"));
    expectGolden("receipt");
    expectBoxLinesJoin();
}

TEST_F(PrintRoutines, ReceiptRoundsInPlaceAndPrintsTheNumberForms) {
    fillBill();
    BillRecord& b = state().CurrentBill;
    b.zf = Money::fromUnits(123456);        // 12.3456: printed 12.35, kept
    b.zj = Money::fromUnits(100050);        // 10.005 -> 10 (ties to even)
    b.sdj = Money::fromUnits(28350);        // 2.835 -> 2.84
    b.ysl = 0.25f;
    b.ydl = -3.456f;
    b.bysb = 0;
    state().AmountInWords = RMBChinese(1.0e12);  // the over-long text goes through unchanged
    dlg::script::answerMsgBox(dlg::Ok);
    PrintReceipt();

    EXPECT_EQ(b.zf, Money::fromUnits(123456));
    EXPECT_EQ(b.zj, Money::fromInt(10));
    EXPECT_EQ(b.sdj, Money::fromUnits(28400));
    EXPECT_FLOAT_EQ(b.ydl, -3.46f);
    const auto lines = printedLines();
    auto lineWith = [&](const char* s) {
        for (const auto& l : lines)
            if (l.text.contains(u(s)))
                return l.text;
        return QString();
    };
    EXPECT_EQ(lineWith("今收到"),
              u("│今收到      │101     │租金(元)    │10.00   │其它费用  │12.35 │                              │"));
    EXPECT_TRUE(lineWith("本月水表").contains(u("│本月水表    │ 0      │")));
    EXPECT_TRUE(lineWith("本月水表").contains(u("│ .25  │")));
    EXPECT_TRUE(lineWith("本月水表").contains(u("│2.84  │")));
    EXPECT_TRUE(lineWith("本月电表").contains(u("│-3.46 │")));
    EXPECT_TRUE(lineWith("人民币大写").contains(u("需转换的金额整数长度超过了12位！")));
}

TEST_F(PrintRoutines, SettlementSheetCarriesDepositAndArrears) {
    route("settlement");
    fillBill();
    state().SettleDeposit = money(1000);
    state().SettleArrears = Money();
    state().ReceiptTitle = u("别的标题");
    dlg::script::answerMsgBox(dlg::Ok);
    PrintSettlement();
    expectPaperPrompt(0);
    EXPECT_EQ(state().ReceiptTitle, u("房屋租赁使用费结算"));
    expectGolden("settlement");
    expectBoxLinesJoin();
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
    EXPECT_TRUE(dlg::script::calls().empty());  // no prompt

    const QStringList trace = Printer::traceLines();
    EXPECT_EQ(trace.count(u("begin")), 1);
    EXPECT_EQ(trace.count(u("end")), 1);
    auto lines = printedLines();
    // Five empty lines, title, two empty lines, header, eleven grid lines,
    // footer and four empty lines a receipt.
    constexpr size_t n = 25;
    ASSERT_EQ(lines.size(), 4 * n);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(lines[i].text.isEmpty());
    EXPECT_EQ(lines[5].text.trimmed(), u("房屋租赁使用费收据"));
    for (size_t i = 21; i < 30; ++i)
        EXPECT_TRUE(lines[i].text.isEmpty()) << i;
    // Three receipts fit page 1; the fourth runs over onto page 2.
    for (size_t i = 0; i < 3 * n; ++i)
        EXPECT_EQ(lines[i].page, 1) << i;
    EXPECT_EQ(lines[3 * n + 5].page, 2);
    EXPECT_TRUE(lines[3 * n + 8].text.contains(u("租户房号：104")));
    expectBoxLinesJoin();
}

TEST_F(PrintRoutines, APrintThatFailsAbortsTheJobAndTheErrorGoesOn) {
    QTemporaryDir dir;
    Printer::useFiles(dir.filePath(u("missing/folder/x.pdf")), QString());
    fillBill();
    state().CurrentBill.zj = Money::fromUnits(100050);
    dlg::script::answerMsgBox(dlg::Ok);
    EXPECT_THROW(PrintReceipt(), print::PrintError);
    EXPECT_FALSE(Printer::device().isOpen());
    EXPECT_EQ(state().CurrentBill.zj, Money::fromInt(10));  // the rounding was already stored

    // Batch receipts already printed are dropped with the failing one.
    Printer::useFiles(QString(), QString());
    PrintBatchReceipt();
    Printer::useFiles(dir.filePath(u("missing/folder/x.pdf")), QString());  // aborts the open batch
    EXPECT_FALSE(Printer::device().isOpen());
    EXPECT_THROW(PrintBatchReceipt(), print::PrintError);
    EXPECT_FALSE(Printer::device().isOpen());

    // A pair that fails keeps the two-record choice.
    state().EditMode = u("YE2");
    dlg::script::answerMsgBox(dlg::Ok);
    EXPECT_THROW(PrintRegFormPair(), print::PrintError);
    EXPECT_EQ(state().EditMode, u("YE2"));
}

// --- registration form ---------------------------------------------------------

TEST_F(PrintRoutines, RegistrationFormFromTheCheckInWindowPutsThePhotoInItsCell) {
    route("regform");
    SharedState& s = state();
    s.EditMode = u("YE1");
    s.ActiveFormCode = u("YE1");
    s.CurrentCheckIn = twoElderTwoChildren();
    setPhoto("FrmRzdj", "Image3", photo(480, 300, QColor(200, 220, 255)));  // larger than the cell
    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegForm();

    expectPaperPrompt(0);
    EXPECT_EQ(s.RegFormTitle, u("Varnholt出租屋暂住人员情况登记表"));
    EXPECT_EQ(s.ElderSectionTitle, u("随行老人信息"));
    EXPECT_EQ(s.ChildSectionTitle, u("随行儿童信息"));
    EXPECT_EQ(s.EditMode, u("YE1"));
    expectGolden("regform");
    expectBoxLinesJoin();
    // Offsets never set: the records window's start values, 650 and 3050
    // from its photo box at 7440; shrunk to the cell, proportions kept.
    auto pics = pictures();
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_EQ(pics[0].x, 650);
    EXPECT_EQ(pics[0].y, 4390);
    EXPECT_EQ(pics[0].w, 4800);
    EXPECT_EQ(pics[0].h, 3000);
    expectInPhotoCell(pics[0], yOf(u("┌")));
}

TEST_F(PrintRoutines, RegistrationFormLinesThatTheRecordFills) {
    SharedState& s = state();
    s.EditMode = u("YA");  // any choice but none prints
    s.ActiveFormCode = u("YE4");
    s.CurrentCheckIn = twoElderTwoChildren();
    s.CurrentCheckIn.n1 = 1;
    s.CurrentCheckIn.n2 = 2;
    s.CurrentCheckIn.fq = u("名字非常非常长的老人");  // wider than its cell
    s.RegFormTitle = u("另一个标题");
    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegForm();
    auto lines = printedLines();
    EXPECT_EQ(yOf(QString(10, ' ') + u("另一个标题")), 400);
    EXPECT_TRUE(pictures().empty());
    for (const auto& l : lines)
        if (l.text.contains(u("子女数")))
            EXPECT_TRUE(l.text.contains(u("子女数: 1 男 2 女"))) << l.text.toStdString();
    // The elder's long name pushes the rest of R7 onto a line of its own.
    int r7 = -1;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].text.contains(u("婚姻状况")))
            r7 = static_cast<int>(i);
    ASSERT_GE(r7, 0);
    EXPECT_TRUE(lines[r7].text.endsWith(u("姓名:名字非常非常长的老人")));
    EXPECT_EQ(lines[r7 + 1].text, QString(75, ' ') + u("性别:男  │姓名:李秀英     性别:女   │"));
    EXPECT_EQ(lines[r7 + 1].y - lines[r7].y, 200);
}

TEST_F(PrintRoutines, RegistrationFormWithoutAChoiceIsRefused) {
    state().ActiveFormCode = u("YE1");
    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegForm();
    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegFormPair();
    const auto& calls = dlg::script::calls();
    ASSERT_EQ(calls.size(), 2u);
    for (const auto& c : calls) {
        EXPECT_EQ(c.text, u("请选择打印单记录还是打印双记录！"));
        EXPECT_EQ(c.style, 64);
        EXPECT_EQ(c.title, u("提示"));
    }
    EXPECT_TRUE(Printer::traceLines().isEmpty());
    EXPECT_TRUE(state().RegFormTitle.isEmpty());
}

TEST_F(PrintRoutines, PhotosComeOnlyFromLoadedWindowsAndNoneIsLoaded) {
    SharedState& s = state();
    s.EditMode = u("YE1");
    s.CurrentCheckIn = twoElderTwoChildren();
    for (const char* code : {"YE1", "YE2"}) {
        s.ActiveFormCode = QString::fromLatin1(code);
        dlg::script::answerMsgBox(dlg::Ok);
        PrintRegForm();
    }
    s.EditMode = u("YE2");
    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegFormPair();
    EXPECT_TRUE(pictures().empty());
    EXPECT_EQ(Printer::traceLines().count(u("end")), 3);
    for (const char* w : {"FrmRzdj", "Tenvora", "FrmDyjl"})
        EXPECT_FALSE(forms::Registry::isLoaded(QString::fromLatin1(w))) << w;
}

TEST_F(PrintRoutines, FromTheTenantRecordsTheOffsetsPlaceThePhotoAndTheBoxesAreReset) {
    SharedState& s = state();
    s.EditMode = u("YE1");
    s.ActiveFormCode = u("YE2");
    s.CurrentCheckIn = twoElderTwoChildren();
    s.PrintOffsetX = 800;
    s.PrintOffsetY = 3000;
    setPhoto("Tenvora", "Image3", photo(100, 80, Qt::yellow));  // smaller than the cell
    forms::Form* tenvora = forms::Registry::instance(u("Tenvora"));
    auto* check1 = tenvora->control<QCheckBox>(u("Check1"));
    auto* check2 = tenvora->control<QCheckBox>(u("Check2"));
    check1->setChecked(true);
    check2->setChecked(true);
    check1->setEnabled(false);
    check2->setEnabled(false);
    window("Tenvora")->log.clear();

    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegForm();
    auto pics = pictures();
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_EQ(pics[0].x, 800);
    EXPECT_EQ(pics[0].y, 7440 - 3000);
    EXPECT_EQ(pics[0].w, 1500);
    EXPECT_EQ(pics[0].h, 1200);
    // Both enabled first, then Check1 cleared, then Check2, each running its handling.
    EXPECT_EQ(window("Tenvora")->log,
              (QStringList{u("Check1 off other-enabled=1"), u("Check2 off other-enabled=1")}));
    EXPECT_TRUE(check1->isEnabled() && check2->isEnabled());
    EXPECT_FALSE(check1->isChecked() || check2->isChecked());

    // Another data window loaded last: no photo, the boxes are left alone.
    check1->setChecked(true);
    window("Tenvora")->log.clear();
    Printer::clearTrace();
    s.ActiveFormCode = u("YE3");
    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegForm();
    EXPECT_TRUE(pictures().empty());
    EXPECT_TRUE(check1->isChecked());
    EXPECT_TRUE(window("Tenvora")->log.isEmpty());
}

TEST_F(PrintRoutines, APairFitsOnePageWithEachPhotoInItsOwnForm) {
    route("pair");
    SharedState& s = state();
    s.EditMode = u("YE2");
    s.ActiveFormCode = u("YE2");
    s.CurrentCheckIn = twoElderTwoChildren();
    s.SecondCheckIn = oneElderOneChild();
    s.PairOffsets = {650, 1000, 650, 8710};  // the two-record window's start values
    setPhoto("FrmDyjl", "Image1", photo(480, 300, QColor(200, 220, 255)));
    setPhoto("FrmDyjl", "Image2", photo(300, 200, QColor(255, 220, 200)));
    forms::Registry::instance(u("Tenvora"))->load();
    forms::Registry::instance(u("Tenvora"))->control<QCheckBox>(u("Check2"))->setChecked(true);
    window("Tenvora")->log.clear();

    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegFormPair();
    expectPaperPrompt(0);
    EXPECT_TRUE(s.EditMode.isEmpty());
    expectGolden("pair");
    expectBoxLinesJoin();

    const auto lines = printedLines();
    for (const auto& l : lines)
        EXPECT_EQ(l.page, 1);
    EXPECT_TRUE(Printer::traceLines().filter(QRegularExpression(u("^page "))).isEmpty());
    // One title only; the second form's header follows the first grid.
    int titles = 0;
    for (const auto& l : lines)
        titles += l.text.contains(u("Varnholt")) ? 1 : 0;
    EXPECT_EQ(titles, 1);
    auto pics = pictures();
    ASSERT_EQ(pics.size(), 2u);
    EXPECT_EQ(pics[0].x, 650);
    EXPECT_EQ(pics[0].y, 1000 + 3360);
    EXPECT_EQ(pics[1].y, 8710 + 3360);
    expectInPhotoCell(pics[0], yOf(u("┌"), 1));
    expectInPhotoCell(pics[1], yOf(u("┌"), 2));
    EXPECT_EQ(window("Tenvora")->log, (QStringList{u("Check2 off other-enabled=1")}));
}

TEST_F(PrintRoutines, APairWithTheSingleChoicePrintsNothingAndDropsTheChoice) {
    state().EditMode = u("YE1");
    state().ActiveFormCode = u("YE2");
    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegFormPair();
    expectPaperPrompt(0);
    EXPECT_TRUE(state().EditMode.isEmpty());
    EXPECT_TRUE(Printer::traceLines().isEmpty());

    // From the check-in window both photos print but the records boxes stay.
    state().EditMode = u("YE2");
    state().ActiveFormCode = u("YE1");
    setPhoto("FrmDyjl", "Image1", photo(60, 40, Qt::green));
    setPhoto("FrmDyjl", "Image2", photo(60, 40, Qt::green));
    forms::Registry::instance(u("Tenvora"))->load();
    forms::Registry::instance(u("Tenvora"))->control<QCheckBox>(u("Check1"))->setChecked(true);
    window("Tenvora")->log.clear();
    dlg::script::answerMsgBox(dlg::Ok);
    PrintRegFormPair();
    EXPECT_EQ(pictures().size(), 2u);
    EXPECT_TRUE(window("Tenvora")->log.isEmpty());
    EXPECT_TRUE(state().EditMode.isEmpty());
}
