// The fee records window and the settlement window driven as a user drives
// them, on a data file of the test's own: 10 bills (7 of 2024-03-01, 3 of
// 2024-04-01 at rows 3, 6, 9; row 1 with the readings 1234.6 / 1200.2 at 2.50;
// row 2 without other fees), other fees of tenants 1-5 and 4 registrations.
// The steps are typed into the controls by their names (support/Sessions.h);
// what the windows show after each step is compared with a golden file.
#include "billing/FrmZsdjs.h"
#include "billing/MonthlyCycle.h"
#include "fees/FrmTfjs.h"
#include "fees/FrmZsdwh.h"
#include "platform/dialogs/Progress.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/TextViewer.h"
#include "platform/shell/Shell.h"
#include "platform/text/Gbk.h"
#include "shared/PrintChoice.h"
#include "support/Codes.h"
#include "support/OddFiles.h"
#include "support/PrintTo.h"
#include "support/Sessions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTableView>
#include <QTest>

using tv::state;
using tv::forms::Registry;
using tv::print::Printer;
namespace script = tv::dlg::script;

namespace {

const char* const kBills =
    "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 10) INSERT INTO fzsdjs SELECT "
    "iif(i IN (3, 6, 9), '2024-04-01', '2024-03-01'), 'A' || (100 + i), '租客' || i, printf('4401011990%08d', i), "
    "800 + 10 * i, '2024-02-01', '2024-02-29', iif(i = 1, 1234.6, 100 + 10.5 * i), iif(i = 1, 1200.2, 100), 0, "
    "iif(i = 1, 2.5, 3.2), 33.6, 2000 + 10 * i, 2000, 0, 0.68, 68, iif(i = 2, NULL, 35), 901.65 + 10 * i FROM c; "
    "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 5) INSERT INTO qtfy SELECT "
    "iif(i = 2, '2024-05-01', '2024-03-01'), iif(i = 2, 'B102', 'A' || (100 + i)), printf('4401011990%08d', i), 50, "
    "10, 5, 3, 20.5, i, 0 FROM c; "
    "INSERT INTO zfdj (fjh, sfzhm) VALUES ('A101', '1'), ('A102', '2'), ('A103', '3'), ('A104', '4');";
// The settlement's fee records: the worked case, the same with electricity
// at 1.20, a room that names no file, a bill without other fees.
const char* const kSettlementBills =
    "INSERT INTO fzsdjs VALUES ('2021-08-31', '101', '张三', '1', 1000, '2021-08-01', '2021-08-31', 120.5, 100.25, "
    "20.25, 3.5, 70.88, 2345.5, 2300, 45.5, 0.68, 30.94, 60, 1161.82), ('2021-08-31', '101', '张三', '1', 1000, "
    "'2021-08-01', '2021-08-31', 120.5, 100.25, 20.25, 3.5, 70.88, 2345.5, 2300, 45.5, 1.2, 54.6, 60, 1185.48), "
    "('2021-08-31', 'B/2', '李四', '2', 900, '', '', 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, NULL, 900);";
// A month of the computation window: this month's rows, last month's readings and other fees of five tenants
// (water of 34.4000244 t at 2.50, the worked bill of 966.52, readings where a Single keeps no cents, nothing used,
// meters replaced), computed into bills when the session opens.
const char* const kMonth =
    "INSERT INTO bysj VALUES ('2024-03-01', 'A101', '甲', '1', 810, 1234.6, 2.5, 2010, 0.68), ('2024-03-01', 'A102', "
    "'乙', '2', 800, 1250.5, 2.8, 3301, 0.68), ('2024-03-01', 'A103', '丙', '3', 2350.5, 88888.8, 3.45, 99999.9, "
    "1.15), ('2024-03-01', 'A104', '丁', '4', 0, 100, 1.05, 100, 0.55), ('2024-03-01', 'A105', '戊', '5', 500, 3.3, "
    "5, 20, 0.6); INSERT INTO sysj (jfrq, fjh, sfzhm, sysb, sydb) VALUES ('2024-02-01', 'A101', '1', 1200.2, 2000), "
    "('2024-02-01', 'A102', '2', 1240.2, 3150), ('2024-02-01', 'A103', '3', 88000.1, 99000.3), ('2024-02-01', "
    "'A104', '4', 100, 100), ('2024-02-01', 'A105', '5', 10, 30); INSERT INTO qtfy (jfrq, fjh, sfzhm, hj) VALUES "
    "('2024-03-01', 'A101', '1', 35), ('2024-03-01', 'A102', '2', 35), ('2024-03-01', 'A103', '3', 12.34), "
    "('2024-03-01', 'A104', '4', 0), ('2024-03-01', 'A105', '5', 7.7);";
// Prices of more than two decimals: water 10 t at 2.50 and electricity 100 kWh at 0.565; 20 t at 1.2345 and 150 kWh at
// 0.588; a rent of 0.005 and nothing used.
const char* const kPrices =
    "INSERT INTO bysj VALUES ('2024-03-01', 'P1', '甲', '11', 800, 110, 2.5, 1100, 0.565), ('2024-03-01', 'P2', '乙', "
    "'12', 700, 120, 1.2345, 1150, 0.588), ('2024-03-01', 'P3', '丙', '13', 0.005, 100, 0.5, 1000, 0.6); INSERT INTO "
    "sysj (jfrq, fjh, sfzhm, sysb, sydb) VALUES ('2024-02-01', 'P1', '11', 100, 1000), ('2024-02-01', 'P2', '12', 100, "
    "1000), ('2024-02-01', 'P3', '13', 100, 1000);";
const char* const kData =
    "SELECT group_concat(printf('%s %s %s %s %s %s %s', jfrq, fjh, sfzhm, ysl, sf, ydl, df) || "
    "' ' || ifnull(hj, '-'), ' / ') FROM fzsdjs";
const char* const kOthers = "SELECT group_concat(fjh || ' ' || jfrq || ' ' || hj, ' / ') FROM qtfy";

class FeesTest : public tv::test::SessionTest {
protected:
    FeesTest() { manner.typeKeyByKey = true; }
    void SetUp() override {
        SessionTest::SetUp();
        Registry::add(QStringLiteral("FrmZsdwh"), [] { return new tv::fees::FrmZsdwh; });
        Registry::add(QStringLiteral("FrmTfjs"), [] { return new tv::fees::FrmTfjs; });
        QDir::setCurrent(dir.path());  // settlement files land here
    }
    void TearDown() override {
        QDir::setCurrent(startFolder);
        SessionTest::TearDown();
    }
    static tv::forms::Form& window(bool settlement) {
        return *Registry::instance(settlement ? QStringLiteral("FrmTfjs") : QStringLiteral("FrmZsdwh"));
    }
    template <class T = QWidget>
    T* ctl(const QString& name) {
        const bool ofSettlement = name.startsWith("T:");
        return window(ofSettlement).control<T>(ofSettlement ? name.mid(2) : name);
    }

    // Setup words: empty, settle (the settlement window too, on its own bills), nullhj, zero, nouser, huge, one, drop,
    // month (the bills of kMonth computed), prices (those of kPrices), readonly (the data file marked read-only).
    // Steps of its own: "in=text"/"cancel" answer the next input box, "pick=file" the file dialog, "sql" shows the
    // data file, "look" the window whole, "preview" the values of the bill preview, "idle" lets the events posted
    // be handled, "file=room" a settlement file, "write=text" makes the file x.txt. "T:"
    // names the settlement window's controls; a step that names no control goes to the window of the step before.
    tv::forms::Form& window() override { return window(settlement); }
    QWidget* control(const QString& name) override { return ctl(name); }
    void enterStep(const QString& step) override {
        settlement = step.startsWith("T:") || (settlement && !step.contains(QRegularExpression("^[A-Z]")));
    }

    // A fresh data file (with the setup words' changes), user table and shared state; the fee records window
    // (and the settlement window) opened on it.
    void openSession(const QString& setup, qsizetype n) override {
        settlement = setup.contains("settle");
        data = dir.filePath(QStringLiteral("s%1.mdb").arg(n));
        tv::test::makeDataFile(data);
        if (!setup.contains("empty") && !setup.contains("settle"))
            tv::test::execSql(data, setup.contains("one") ? "INSERT INTO fzsdjs (fjh, hj) VALUES ('A1', 5)" : kBills);
        if (setup.contains("settle"))
            tv::test::execSql(data, kSettlementBills);
        if (setup.contains("month") || setup.contains("prices")) {
            tv::test::execSql(data, setup.contains("month") ? kMonth : kPrices);
            tv::billing::Run run{.dataFile = data,
                                 .replace = true,
                                 .billingDate = "2024-3-1",
                                 .periodEnd = "2024-3-31",
                                 .lastMonthDate = "2024-02-01"};
            run.agreed = tv::billing::compute(run).toAgree;  // 是 to A105's water used below zero
            tv::billing::compute(run);
        }
        if (setup.contains("zero"))  // A104 totals nothing
            tv::test::execSql(data, "UPDATE fzsdjs SET hj = 0 WHERE rowid = 4");
        if (setup.contains("nullhj"))
            tv::test::execSql(data, "UPDATE fzsdjs SET hj = NULL WHERE rowid = 1");
        if (setup.contains("drop"))
            tv::test::execSql(data, "DROP TABLE qtfy");
        if (setup.contains("huge"))  // the second bill of 2024-04-01 overflows money
            tv::test::execSql(data, "UPDATE fzsdjs SET ddj = 100000000000000 WHERE rowid = 6");
        if (setup.contains("readonly"))
            QFile::setPermissions(data, QFile::ReadOwner | QFile::ReadGroup);
        state().UserDbPath = dir.filePath(QStringLiteral("u%1.ini").arg(n));
        tv::test::makeUserDb(state().UserDbPath);
        if (setup.contains("nouser"))
            state().CurrentUser = QStringLiteral("无此人");
        state().PicturePath = dir.path() + "/no/";
        state().DataFilePath = data;
        // The windows' own variables as the program starts them.
        tv::forms::the<tv::fees::FrmZsdwh>().EditMode = tv::fees::FrmZsdwh::Mode::None;
        tv::forms::the<tv::fees::FrmZsdwh>().SummaryTotals = {};
        tv::forms::the<tv::fees::FrmTfjs>().Deposit = tv::forms::the<tv::fees::FrmTfjs>().Arrears = tv::Money();
        window(false).show();
        if (settlement)
            window(true).show();
    }

    std::optional<QString> ownStep(const QString& step) override {
        const QString name = step.section('=', 0, 0), arg = step.section('=', 1);
        if (step == "look")
            return look();
        if (step == "sql")
            return " || " + tv::test::queryText(data, kData) + " || " + tv::test::queryText(data, kOthers);
        if (step == "preview") {
            QStringList shown;
            for (const char* l : {"Lelfjh", "Leljfrq", "Lelzj", "Lelzf", "Lelbysb", "Lelsysb", "Lelysl", "Lelsdj",
                                  "Lelbysf", "Lelbydb", "Lelsydb", "Lelydl", "Lelddj", "Leldf", "Lelhj"})
                shown << ctl<QLabel>(l)->text();
            return " || " + shown.join(',');
        }
        if (step == "idle") {
            QCoreApplication::processEvents();
            return QString();
        }
        if (name == "file") {
            QFile f(dir.filePath(arg + ".txt"));
            return f.open(QIODevice::ReadOnly) ? " || " + tv::text::fromGbk(f.readAll()).replace("\r\n", "¶")
                                               : " || no file";
        }
        if (name == "in" || step == "cancel") {
            script::answerInput(step == "cancel" ? std::nullopt : std::optional<QString>(arg));
        } else if (name == "pick") {
            script::answerFile(arg.isEmpty() ? arg : dir.filePath(arg));
        } else if (name == "write") {
            QFile f(dir.filePath("x.txt"));
            f.open(QIODevice::WriteOnly) && f.write(tv::text::toGbk(QString(arg).replace("¶", "\r\n")));
        } else {
            return std::nullopt;
        }
        return QString();
    }

    // Data1 and Data2 caption position#rows | status box | count | Leldx | EditMode | CurrentBill (room, rent,
    // other fees, total) | totals | buttons off | focus | printed | other windows. The settlement window: the
    // form's boxes | mode[boxes ticked] | buttons off | focus | printed | other windows.
    QString view() override {
        QStringList out;
        tv::forms::Form& w = window(settlement);
        const tv::BillRecord& b = state().CurrentBill;
        QString off;
        for (QWidget* x : w.widget()->findChildren<QWidget*>(QRegularExpression("^(Cmd|Check)")))
            if (!x->isEnabled())
                off += x->objectName().mid(3) + ',';
        if (settlement) {
            QStringList form;
            for (const char* n : {"Txtfjh", "Txtjfrq", "Txtzj", "Txtzf", "TxtYj", "TxtQzze", "Txtbysb", "Txtysl",
                                  "Txtsf", "Txtydl", "Txtddj", "Txtdf", "Txthj", "Txthj1"})
                form << ctl<QLineEdit>(QStringLiteral("T:") + n)->text();
            // The settlement's kind as the old program wrote it, then the mode boxes ticked.
            const std::optional<tv::fees::SettlementKind> kind = static_cast<tv::fees::FrmTfjs&>(w).SettlementMode;
            QString ticked;
            for (const char* box : {"Check1", "Check2"})
                if (ctl<QCheckBox>(QStringLiteral("T:") + box)->isChecked())
                    ticked += box[5];
            out << form.join(',')
                << QString(!kind                                              ? ""
                           : *kind == tv::fees::SettlementKind::PaidInAdvance ? "NO"
                                                                              : "YE") +
                       (ticked.isEmpty() ? "" : '[' + ticked + ']');
        } else {
            for (const char* d : {"Data1", "Data2"}) {
                auto* s = ctl<tv::forms::DataControl>(d);
                QString position = s->caption().section("：", 1);
                position.chop(1);  // ")"; a caption without a position stays empty
                out << position + '#' + (s->isOpen() ? QString::number(s->recordset().recordCount()) : "-");
            }
            out << ctl<QLineEdit>("TxtTs")->text() << ctl<QLabel>("Lelzdjl")->text() << ctl<QLabel>("Leldx")->text();
            // The modes as the old program wrote them.
            static const std::array<std::pair<tv::fees::FrmZsdwh::Mode, const char*>, 3> modes{
                {{tv::fees::FrmZsdwh::Mode::None, ""},
                 {tv::fees::FrmZsdwh::Mode::Bills, "YA"},
                 {tv::fees::FrmZsdwh::Mode::OtherFees, "YB"}}};
            out << tv::test::codeText(modes, tv::forms::the<tv::fees::FrmZsdwh>().EditMode)
                << QStringList{b.fjh, tv::format00(b.zj), tv::format00(b.zf), tv::format00(b.hj)}.join(',');
            QStringList totals;
            for (const char* t : {"Txtsfhz", "Txtdfhz", "TxtZjhj", "Txthjhz"}) totals << ctl<QLineEdit>(t)->text();
            out << totals.join(',');
        }
        QWidget* focus = w.widget()->focusWidget();
        if (focus && focus->objectName().isEmpty())
            focus = focus->parentWidget();  // a combo box's edit line
        out << "off:" + off << (focus ? focus->objectName() : "") << printed();
        out << Registry::loadedNames().filter(QRegularExpression("^(?!MDIVamo|FrmZsdwh)")).join(',');
        return out.join(" | ");
    }

    // Each receipt as page:room, the settlement sheet's rows, page breaks and the end or abort of a job.
    static QString printed() {
        QStringList out;
        static const QRegularExpression room("page=(\\d+).*租户房号：(\\S*)");
        for (const QString& l : Printer::traceLines()) {
            if (auto m = room.match(l); m.hasMatch())
                out << m.captured(1) + ':' + m.captured(2);
            else if (l.startsWith("line") && l.contains(QRegularExpression("租客结算|合计\\(元\\)")))
                out << l.section('|', 1, 1).simplified();
            else if (!l.startsWith("line") && l != "begin")
                out << l;
        }
        Printer::clearTrace();
        return out.join(' ');
    }
    // The fee records window whole: title, captions, counts and user line, title label, lists, what is off, the
    // status bar and the shared state it set.
    QString look() {
        tv::forms::Form& w = window(false);
        QStringList out{w.widget()->windowTitle()};
        for (const char* d : {"Data1", "Data2", "Data3", "Data4"})
            out << ctl<tv::forms::DataControl>(d)->caption() + (ctl(d)->isVisible() ? "" : " (hidden)");
        QStringList labels, off;
        for (const char* l : {"Lelzdjl", "Lelzkjl", "LelYhm", "LelGlcy", "LelBt"}) labels << ctl<QLabel>(l)->text();
        for (const char* l : {"CboCxfs", "CboDel", "CboBtth"}) {
            QStringList items;
            for (int i = 0; i < ctl<QComboBox>(l)->count(); ++i) items << ctl<QComboBox>(l)->itemText(i);
            labels << items.join(',');
        }
        for (QWidget* c : w.widget()->findChildren<QWidget*>(QRegularExpression("^(Cmd|Check|Txt|Cbo|DBGrid)")))
            if (!c->isEnabled())
                off << c->objectName();
        out << labels.join(' ') << "off: " + off.join(',') << main->panels[1];
        out << tv::test::text(state().ActiveFormCode) + ' ' + state().DatabasePath + ' ' + state().CurrentUser;
        return "\n    " + out.join("\n    ");
    }
    bool settlement = false;  // the steps go to the settlement window
    QString startFolder = QDir::currentPath();
    int sessions = 0;
};

}  // namespace

TEST_F(FeesTest, LoadsCountsTheUserLineAndNeverBreaksOnANullTotalOrAMissingUser) {
    expectSessions({{"", "look;CboBtth=房屋租赁使用费通知;look;CboBtth=房屋租赁使用费收据;CmdTfjs;CmdExit"},
                    {"empty", "look;Check1;Txtjfrq=2024-03-01;CmdQr"},
                    {"nullhj nouser", "look;DBGrid2@2;DBGrid2@1"},
                    {"drop", "look"}},
                   "fees_load.txt");
}

TEST_F(FeesTest, SearchesEveryBranchPicksABillAndDeletesByListOrTypedChoice) {
    expectSessions(
        {{"",
          "DBGrid2@5;DBGrid2@2;CboCxfs=日期+房号+姓名;Txtjfrq=2024-03-01;TxtFh=A105;Txtzk=租客5;CmdCx;CmdCx;"
          "CboCxfs=日期+房号+姓名;Txtjfrq=2024-03-01;TxtFh=A107;CmdCx;CboCxfs=日期+姓名;Txtjfrq=2024-04-01;"
          "Txtzk=租客9;CmdCx;CboCxfs=日期+证号;Txtjfrq=2024-03-01;Txtzh=440101199000000004;CmdCx;"
          "CboCxfs=身份证号;Txtzh=440101199000000002;CmdCx;CboCxfs=日期+房号;Txtjfrq=2024-3-1;TxtFh=A101;CmdCx;"
          "CboCxfs=计费日期;Txtjfrq=2024-04-01' or '1'='1;CmdCx;Txtjfrq=2024/4/1;CmdCx;CboCxfs=日期+房号;"
          "Txtjfrq=2024-04-01;TxtFh=a106;CmdCx;CboCxfs=所有记录;CmdCx;CboCxfs=日期+房号;TxtFh=A103;CmdCx"},
         {"",
          "CmdDel;CboDel:=账单数据;DBGrid2@10;CmdDel;CboDel:=账单数据;yes;CmdDel;sql;CboDel=杂费;CmdDel;"
          "CboDel=杂费数据;DBGrid2@1;yes;CmdDel;sql;CboCxfs=身份证号;Txtzh=无此人;CmdCx;CboDel:=账单数据;CmdDel;"
          "DBGrid2<Delete;yes;DBGrid2@3;DBGrid2<Delete"},
         {"one", "CboDel=账单数据;yes;CmdDel;sql;CboDel:=账单数据;CmdDel"}},
        "fees_search_delete.txt");
}

// The preview shows its amounts alike whichever way the row was reached (loaded, clicked, searched, moved to), the
// amount in capitals is always the current row's (after a delete, after a search whose first bill totals 0, after
// another window chose a bill), the totals never count a bill deleted, and a value the grid refuses is named by its
// column.
TEST_F(FeesTest, ThePreviewAndTheTotalsShowTheBillsAsTheyStand) {
    expectSessions(
        {{"zero",
          "preview;DBGrid2@2;preview;Data1>MoveNext;preview;Check1;CboCxfs=日期+房号;Txtjfrq=2024-03-01;TxtFh=A104;"
          "CmdCx;preview;CboCxfs=计费日期;Txtjfrq=2024-04-01;CmdCx;preview;DBGrid2#1.5=1x;DBGrid2<Return;idle;"
          "DBGrid2@2;DBGrid2<Escape;DBGrid2@2;sql"},
         {"", "DBGrid1#1.4=abc;DBGrid1<Return;idle;DBGrid1@2;DBGrid1<Escape;DBGrid1@2;sql"},
         {"",
          "Txtjfrq=2024-03-01;CmdHz;DBGrid2@2;CboDel:=账单数据;yes;CmdDel;Check1;DBGrid2@4;CboDel:=账单数据;yes;"
          "CmdDel;DBGrid2@8;CboDel:=账单数据;yes;CmdDel"},
         {"one", "Txtjfrq=2024-03-01;CmdHz;CboDel:=账单数据;yes;CmdDel"},
         {"settle", "DBGrid2@3;T:DBGrid1@2;CboDel=x;yes;CmdDel"}},
        "fees_amounts.txt");
}

TEST_F(FeesTest, DoubleClicksTieABillToItsOtherFeesOrSayTheyCannotAndLeaveNoRowInEditing) {
    expectSessions({{"", "DBGrid2@3;DBGrid1@@4;DBGrid2@@9;sql;DBGrid2@@2;sql"}}, "fees_double_clicks.txt");
    for (const char* source : {"Data1", "Data2"})
        EXPECT_EQ(ctl<tv::forms::DataControl>(source)->recordset().editState(), tv::Recordset::EditState::None);
}

// The totals of 2024-04-01 worked out by hand: water 3 x 33.60 = 100.80, electricity 3 x 68 = 204.00, rent
// 830 + 860 + 890 = 2580.00, totals 931.65 + 961.65 + 991.65 = 2884.95.
TEST_F(FeesTest, RecomputesADateAllOrNothingAndTotalsItToTheFen) {
    expectSessions({{"",
                     "CmdQr;Check1;Check1;CmdQr;Txtjfrq=2024/13/1;CmdQr;Txtjfrq=2024-03-01;CmdQr;CmdQr;sql;Check1;"
                     "Txtjfrq= 2024-04-01;CmdQr;CmdHz;CmdHz;Txtjfrq=2024-04-01;CmdHz;Check2;Txtjfrq=2024-03-01;CmdQr;"
                     "sql;Check2;Txtjfrq=2024-03-01;CmdQr;sql"},
                    {"huge", "Check1;Txtjfrq=2024-04-01;CmdQr;sql;DBGrid2@3"},
                    {"readonly", "Check1;Txtjfrq=2024-04-01;CmdQr"},
                    {"readonly", "Check2;Txtjfrq=2024-03-01;CmdQr"}},
                   "fees_recompute.txt");
}

// 刷新账单 makes each bill as the monthly computation makes it: the bills of a computation come back exactly as they
// were, and a rent corrected in the grid gives a total to the fen beside its capitals.
TEST_F(FeesTest, ARecomputedBillIsTheBillTheMonthlyComputationMakesToTheFen) {
    const QString bills =
        "SELECT group_concat(printf('%s %s %s %s %s %s %s %s', fjh, zj, ysl, sf, ydl, df, zf, hj), "
        "' / ') FROM fzsdjs";
    QStringList finer;  // the amounts of a bill not in whole fen
    for (const char* f : {"zj", "sdj", "sf", "ddj", "df", "zf", "hj"})
        finer << QString("abs(%1 * 100 - round(%1 * 100)) > 1e-6").arg(f);
    const QString notInFen = "SELECT count(*) FROM fzsdjs WHERE " + finer.join(" OR ");
    startSession("empty month", 0);
    const QString computed = tv::test::queryText(data, bills);
    ASSERT_EQ(tv::test::queryText(data, "SELECT count(*) FROM fzsdjs"), "5");
    for (const char* step : {"Check1", "Txtjfrq=2024-03-01", "CmdQr"}) run(step);
    EXPECT_EQ(tv::test::queryText(data, bills), computed);
    EXPECT_EQ(tv::test::queryText(data, notInFen), "0");
    // A101: 123456.78 + 86.0001 + 6.80 + 35.00 = 123584.5801, stored 123584.58.
    run("DBGrid2#1.5=123456.78");
    run("DBGrid2<Return");
    QCoreApplication::processEvents();  // the cell editor hands its text over by a queued call
    for (const char* step : {"Check1", "Txtjfrq=2024-03-01", "CmdQr"}) run(step);
    EXPECT_EQ(tv::test::queryText(data, "SELECT zj || ' ' || sf || ' ' || hj FROM fzsdjs WHERE fjh = 'A101'"),
              "123456.78 86 123584.58");
    EXPECT_EQ(tv::test::queryText(data, notInFen), "0");
    EXPECT_EQ(ctl<QLabel>("Lelhj")->text(), "123584.58");
    EXPECT_TRUE(ctl<QLabel>("Leldx")->text().endsWith("伍角捌分")) << ctl<QLabel>("Leldx")->text().toStdString();
}

// A rent typed over the first bill while another program changed or deleted
// it: Enter stores nothing and says why, and the grid is browsing again on the
// bill as the file holds it now (the next one when it was deleted), the
// window's buttons as before; a rent typed then is stored.
TEST_F(FeesTest, ARentTypedOverABillAnotherProgramChangedEndsInBrowsingOnTheBillAsItIsNow) {
    // what the other program does | after Enter: its line, up to the count; after a rent typed again: the
    // first three bills' rooms and rents
    const char* const cases[][3] = {
        {"UPDATE fzsdjs SET zf = 1 WHERE rowid = 1",
         "提示！:该记录已被其他程序修改或删除，数据没有改变。 | 1 / 10#10 | 1 / 5#5 |  | 10 | 玖佰壹拾壹元陆角伍分",
         "A101 998, A102 820, A103 830"},
        {"DELETE FROM fzsdjs WHERE rowid = 1",
         "提示！:该记录已被其他程序修改或删除，数据没有改变。 | 1 / 10#9 | 1 / 5#5 |  | 10 | 玖佰贰拾壹元陆角伍分",
         "A102 998, A103 830, A104 840"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        startSession("", n++);
        QString afterEnter;
        for (const QString& step : QStringList{"DBGrid2#1.5=999", '!' + QString(c[0]), "DBGrid2<Return",
                                               "DBGrid2#1.5=998", "DBGrid2<Return"}) {
            const QString line = run(step);
            QCoreApplication::processEvents();  // the cell editor hands its text over by a queued call
            if (afterEnter.isNull() && step.endsWith("Return"))
                afterEnter = line;
        }
        EXPECT_EQ(afterEnter.section(" | ", 0, 5), c[1]);
        EXPECT_EQ(tv::test::queryText(data,
                                      "SELECT group_concat(fjh || ' ' || zj, ', ') FROM (SELECT * FROM fzsdjs "
                                      "LIMIT 3)"),
                  c[2]);
    }
}

// A reading corrected in the grid and recomputed (刷新账单) is the one the next month's 上月数据导入 carries: this
// month's row of the tenant and billing date takes the bill's readings. A tenant whose row is gone gets none made,
// a row of another date keeps its own, last month's readings stay where they are, and a recompute that fails (A105's
// electricity at 1E+14 overflows) leaves every row as it was.
TEST_F(FeesTest, ARecomputedReadingIsTheOneTheNextMonthCarriesOver) {
    const QString lastMonth = "SELECT group_concat(printf('%s %s %.1f %.1f', fjh, jfrq, sysb, sydb), ' / ') FROM sysj";
    const QString used = "SELECT group_concat(printf('%s %.1f %.1f', fjh, ysl, ydl), ' / ') FROM fzsdjs";
    startSession("empty month", 0);
    tv::test::execSql(data,
                      "DELETE FROM bysj WHERE fjh = 'A103'; INSERT INTO bysj (jfrq, fjh, sfzhm, bysb, bydb) VALUES "
                      "('2024-04-01', 'A101', '1', 1, 2)");
    struct Step {
        const char* edits;  // row.column=value of DBGrid2 (8 this month's water, 9 last month's, 13 this month's
                            // electricity, 16 its price), ';' between
        const char *carried, *bills;
    };
    const Step steps[] = {
        {"2.8=6105.5;4.13=150.5;3.8=88890;5.9=1;5.16=100000000000000",
         "A101 2024-03-01 1234.6 2010.0 / A102 2024-03-01 1250.5 3301.0 / A104 2024-03-01 100.0 100.0 / "
         "A105 2024-03-01 3.3 20.0 / A101 2024-04-01 1.0 2.0",
         "A101 34.4 10.0 / A102 10.3 151.0 / A103 888.7 999.6 / A104 0.0 0.0 / A105 -6.7 -10.0"},
        {"5.16=0.6",
         "A101 2024-03-01 1234.6 2010.0 / A102 2024-03-01 6105.5 3301.0 / A104 2024-03-01 100.0 150.5 / "
         "A105 2024-03-01 3.3 20.0 / A101 2024-04-01 1.0 2.0",
         "A101 34.4 10.0 / A102 4865.3 151.0 / A103 889.9 999.6 / A104 0.0 50.5 / A105 2.3 -10.0"}};
    for (const Step& s : steps) {
        for (const QString& edit : QString(s.edits).split(';')) {
            run("DBGrid2#" + edit);
            run("DBGrid2<Return");
            QCoreApplication::processEvents();  // the cell editor hands its text over by a queued call
        }
        for (const char* step : {"Check1", "Txtjfrq=2024-03-01", "CmdQr"}) run(step);
        tv::billing::carryOver(data, {"sysj"}, {"bysj"});
        EXPECT_EQ(tv::test::queryText(data, lastMonth), QString(s.carried)) << s.edits;
        EXPECT_EQ(tv::test::queryText(data, used), QString(s.bills)) << s.edits;
    }
}

// A reading corrected after the month was carried over and the next month's rows made: last month's row of the
// tenant and billing date takes it, as the next month's bill starts from it; the next month's rows keep theirs.
TEST_F(FeesTest, AReadingCorrectedAfterTheCarryOverReachesTheRowTheNextBillStartsFrom) {
    startSession("empty month", 0);
    tv::billing::carryOver(data, {"sysj"}, {"bysj"});
    tv::test::execSql(data, "DELETE FROM bysj; INSERT INTO bysj (jfrq, fjh, sfzhm) VALUES ('2024-04-01', 'A102', '2')");
    for (const char* edit : {"2.8=6105.5", "4.13=150.5"}) {
        run("DBGrid2#" + QString(edit));
        run("DBGrid2<Return");
        QCoreApplication::processEvents();  // the cell editor hands its text over by a queued call
    }
    for (const char* step : {"Check1", "Txtjfrq=2024-03-01", "CmdQr"}) run(step);
    EXPECT_EQ(tv::test::queryText(
                  data, "SELECT group_concat(printf('%s %s %.1f %.1f', fjh, jfrq, sysb, sydb), ' / ') FROM sysj"),
              "A101 2024-03-01 1234.6 2010.0 / A102 2024-03-01 6105.5 3301.0 / A103 2024-03-01 88888.8 99999.9 / "
              "A104 2024-03-01 100.0 150.5 / A105 2024-03-01 3.3 20.0");
    EXPECT_EQ(tv::test::queryText(data, "SELECT quote(bysb) || quote(bydb) FROM bysj"), "NULLNULL");
}

// A unit price is billed, stored, shown, printed and kept in the receipt file as typed, to four decimals, so that a
// receipt multiplies out (100 kWh at 0.565 is 56.50) and an unchanged bill recomputes to itself. A grid shows an
// amount as the bill rounds it (a rent of 0.005 typed is billed and shown 0.00) and a price whole.
TEST_F(FeesTest, AUnitPriceIsBilledShownAndPrintedAsTypedAndABillRecomputesToItself) {
    struct Bill {
        const char *grid, *stored, *meters;  // zj sdj sf ddj df hj as the grid shows them and as stored; the receipt's
                                             // water and electricity rows from the unit price on
    };
    const Bill bills[] = {
        {"¥800.00 ¥2.50 ¥25.00 ¥0.565 ¥56.50 ¥881.50", "800 2.5 25 0.565 56.5 881.5",
         "2.50  │水费│25.00 │ 0.565 │电费│56.50 │"},
        {"¥700.00 ¥1.2345 ¥24.69 ¥0.588 ¥88.20 ¥812.89", "700 1.2345 24.69 0.588 88.2 812.89",
         "1.2345│水费│24.69 │ 0.588 │电费│88.20 │"},
        {"¥0.00 ¥0.50 ¥0.00 ¥0.60 ¥0.00 ¥0.00", "0.005 0.5 0 0.6 0 0", "0.50  │水费│0.00  │ 0.60  │电费│0.00  │"}};
    const auto meters = [](const QStringList& lines) {
        QStringList out;
        for (const QString& l : lines)
            if (l.contains("单价"))
                out << l.section(QRegularExpression("市.单价│"), 1).remove(QRegularExpression("\\|$"));
        return out;
    };
    startSession("empty prices", 0);
    QFile receiptFile(dir.filePath("Zjzd.txt"));
    ASSERT_TRUE(receiptFile.open(QIODevice::ReadOnly));
    const QStringList receipts = meters(tv::text::fromGbk(receiptFile.readAll()).split("\r\n"));
    run("DBGrid2#3.5=0.005");
    run("DBGrid2<Return");
    QCoreApplication::processEvents();  // the cell editor hands its text over by a queued call
    const QString stored =
        "SELECT zj || ' ' || sdj || ' ' || sf || ' ' || ddj || ' ' || df || ' ' || hj FROM fzsdjs "
        "WHERE rowid = %1";
    auto* grid = ctl<QTableView>("DBGrid2");
    for (int i = 0; i < 3; ++i) {
        const Bill& b = bills[i];
        QStringList shown;
        for (int column : {4, 10, 11, 15, 16, 18}) shown << grid->model()->index(i, column).data().toString();
        EXPECT_EQ(shown.join(' '), QString(b.grid)) << i;
        EXPECT_EQ(tv::test::queryText(data, stored.arg(i + 1)), QString(b.stored)) << i;
        run(QStringLiteral("DBGrid2@%1").arg(i + 1));
        script::answerInput(QStringLiteral("1"));
        ctl<QPushButton>("CmdPrinter")->click();
        EXPECT_EQ(meters(Printer::traceLines()).join(' '), QString(b.meters)) << i;
        Printer::clearTrace();
        EXPECT_EQ(QStringList(receipts.mid(2 * i, 2)).join(' '), QString(b.meters)) << i;  // the computation's
    }
    for (const char* step : {"Check1", "Txtjfrq=2024-03-01", "CmdQr"}) run(step);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(tv::test::queryText(data, stored.arg(i + 1)), QString(bills[i].stored).replace("0.005", "0")) << i;
}

// Another program changes a date's bills while the window shows them (two of 2024-04-01 deleted, one changed, one
// added): 汇总 and the batch print of that date read its bills as the file holds them at the click.
TEST_F(FeesTest, TotalsAndTheBatchPrintReadTheDatesBillsAsTheFileHoldsThem) {
    const auto totals = [this] {
        QStringList out;
        for (const char* t : {"Txtsfhz", "Txtdfhz", "TxtZjhj", "Txthjhz"}) out << ctl<QLineEdit>(t)->text();
        return out.join(',');
    };
    const auto printedRooms = [] {
        QStringList rooms;
        static const QRegularExpression room("租户房号：(\\S*)");
        for (const QString& l : Printer::traceLines())
            if (const auto m = room.match(l); m.hasMatch())
                rooms << m.captured(1);
        return rooms.join(' ') + " | " + state().CurrentBill.fjh;
    };
    const struct {
        bool print;        // 打印 with the answer 2, else 汇总
        const char* date;  // as typed: a date typed either way finds the date's bills
        const char* shown;
    } cases[] = {{false, "2024-04-01", "34.60,70.00,903.00,1006.00"},
                 {true, "2024-04-01", "A109 C1 | C1"},
                 {false, "2024-4-1", "34.60,70.00,903.00,1006.00"},
                 {true, "2024/4/1", "A109 C1 | C1"}};
    for (const auto& c : cases) {
        startSession("", ++sessions);
        tv::test::execSql(
            data,
            "DELETE FROM fzsdjs WHERE rowid IN (3, 6); UPDATE fzsdjs SET zj = 900, hj = 1000 WHERE rowid "
            "= 9; INSERT INTO fzsdjs (jfrq, fjh, sf, df, zj, hj) VALUES ('2024-04-01', 'C1', 1, 2, 3, 6)");
        run("Txtjfrq=" + QString(c.date));
        if (c.print)
            script::answerInput(QStringLiteral("2"));
        ctl<QPushButton>(c.print ? "CmdPrinter" : "CmdHz")->click();
        EXPECT_EQ(c.print ? printedRooms() : totals(), QString(c.shown)) << c.date;
    }
}

// A bill or other-fee row of the date stored since the window read its rows (by the computation window or another
// program) is recomputed with the others, and the totals count it.
TEST_F(FeesTest, ARecomputeTakesTheDatesRowsAsTheFileHoldsThem) {
    const struct {
        const char *box, *date, *added, *check;
        const char* shown;  // the added row's total | the totals
    } cases[] = {
        {"Check1", "2024-04-01",
         "INSERT INTO fzsdjs (jfrq, fjh, zj, bysb, sysb, sdj, bydb, sydb, ddj, zf) VALUES ('2024-04-01', 'C1', 100, "
         "12, 10, 2.5, 30, 20, 1, 5)",
         "SELECT hj FROM fzsdjs WHERE fjh = 'C1'", "120 | 609.8,132.4,2680,3532.2"},
        {"Check1", "2024-4-1",
         "INSERT INTO fzsdjs (jfrq, fjh, zj, bysb, sysb, sdj, bydb, sydb, ddj, zf) VALUES ('2024-04-01', 'C1', 100, "
         "12, 10, 2.5, 30, 20, 1, 5)",
         "SELECT hj FROM fzsdjs WHERE fjh = 'C1'", "120 | 609.8,132.4,2680,3532.2"},
        {"Check2", "2024-03-01", "INSERT INTO qtfy VALUES ('2024-03-01', 'C2', '9', 1, 2, 3, 4, 5, 6, NULL)",
         "SELECT hj FROM qtfy WHERE fjh = 'C2'", "21 | ,,,"},
    };
    for (const auto& c : cases) {
        startSession("", ++sessions);
        tv::test::execSql(data, c.added);
        for (const QString& step : {QString(c.box), "Txtjfrq=" + QString(c.date), QStringLiteral("CmdQr")}) run(step);
        QStringList totals;
        for (const char* t : {"Txtsfhz", "Txtdfhz", "TxtZjhj", "Txthjhz"}) totals << ctl<QLineEdit>(t)->text();
        EXPECT_EQ(tv::test::queryText(data, c.check) + " | " + totals.join(','), QString(c.shown))
            << c.box << ' ' << c.date;
    }
}

TEST_F(FeesTest, PrintsOneReceiptOrADateThreeToASheetWithoutSplittingOne) {
    expectSessions({{"",
                     "CmdPrinter;in=2;CmdPrinter;Txtjfrq=2024-03-01;in=2;CmdPrinter;in=2;CmdPrinter;DBGrid2@2;in=1.0;"
                     "CmdPrinter;Txtjfrq=2024-04-01;in=0;CmdPrinter;Txtjfrq=2024-05-01;in= 02;CmdPrinter;in=3;"
                     "CmdPrinter;in=abc;CmdPrinter;cancel;CmdPrinter;badprinter;Txtjfrq=2024-03-01;in=2;CmdPrinter"}},
                   "fees_print.txt");
    // On paper: seven receipts on three sheets.
    const QString pdf = dir.filePath("batch.pdf");
    Printer::useFiles(pdf, {});
    ctl<QLineEdit>("Txtjfrq")->setText("2024-03-01");
    static_cast<tv::fees::FrmZsdwh&>(window(false)).Zddy();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("/Type /Page\n"), 3);
}

// A batch print of seven receipts says how many are printed; 取消 before the first, before the fourth (the
// paper prompt is not asked) or after the last drops the whole job and prints nothing, the bill held before
// stays held, and it says so.
// The PDF of a cancelled batch is never made.
TEST_F(FeesTest, ABatchPrintCountsItsReceiptsAndACancelPrintsNone) {
    QStringList seen;
    int cancelAt = 0;
    tv::dlg::progress::setShowAfter(0);
    tv::dlg::progress::setWatcher([&](QProgressDialog& d) {
        seen << d.labelText().section('\n', -1).section(' ', 1, 1);  // "已打印 3 张收据，共 7 张"
        if (seen.size() == cancelAt)
            QTest::mouseClick(d.findChild<QPushButton*>(), Qt::LeftButton);
    });
    startSession("", 0);
    run("DBGrid2@2");  // A102 held for printing
    const QString pdf = dir.filePath("cancelled.pdf");
    QStringList lines;
    for (int at : {1, 4, 8, 0}) {
        cancelAt = at;
        seen.clear();
        Printer::useFiles(at == 8 ? pdf : QString(), {});
        ctl<QLineEdit>("Txtjfrq")->setText("2024-03-01");
        static_cast<tv::fees::FrmZsdwh&>(window(false)).Zddy();
        QStringList said;
        for (const tv::dlg::Call& c : script::calls()) said << c.text.left(4);
        script::clearCalls();
        QStringList printed;
        for (const QString& l : Printer::traceLines())
            if (l == "end" || l == "abort" || l.startsWith("page"))
                printed << l;
        Printer::clearTrace();
        lines << QStringLiteral("%1: %2 | %3 | %4 | %5")
                     .arg(at)
                     .arg(seen.join(','), said.join(','), state().CurrentBill.fjh, printed.join(','));
    }
    EXPECT_EQ(lines.join('\n'),
              "1: 0 | 请调整好,打印已取 | A102 | \n"
              "4: 0,1,2,3 | 请调整好,打印已取 | A102 | abort\n"
              "8: 0,1,2,3,4,5,6,7 | 请调整好,请换纸，,请换纸，,打印已取 | A102 | page 2,page 3,abort\n"
              "0: 0,1,2,3,4,5,6,7 | 请调整好,请换纸，,请换纸，,报表输出 | A110 | page 2,page 3,end");
    EXPECT_FALSE(QFile::exists(pdf));
    tv::dlg::progress::setWatcher(nullptr);
    tv::dlg::progress::setShowAfter(1000);
}

// One receipt prints the bill of the current row whichever way the row was reached after a click on another
// bill (row 1, A101): the arrow key, the data source's arrow button, a search. From the fee window's 打印 and
// from the main window's: the same receipt, line by line, as after a click on row 2 itself (A102, whose other
// fees are Null).
TEST_F(FeesTest, OneReceiptIsTheWholeBillOfTheCurrentRowHoweverTheRowWasReached) {
    auto receipt = [&](const QString& steps, tv::PrintCaller caller) {
        startSession("", ++sessions);
        for (const QString& step : steps.split(';', Qt::SkipEmptyParts)) run(step);
        EXPECT_EQ(ctl<tv::forms::DataControl>("Data1")->recordset().absolutePosition(), 1) << steps.toStdString();
        Printer::clearTrace();
        script::answerInput(QStringLiteral("1"));
        if (caller == tv::PrintCaller::FeeRecords)
            ctl<QPushButton>("CmdPrinter")->click();
        else
            tv::printChoice(caller);
        return Printer::traceLines().filter(QRegularExpression("^line")).join('\n').toStdString();
    };
    const std::string clicked = receipt("DBGrid2@2", tv::PrintCaller::FeeRecords);
    for (const char* bill :
         {"租户房号：A102", "│A102 ", "│820.00 ", "│其它费用  │0.00 ", "│921.65 ", "玖佰贰拾壹元陆角伍分"})
        EXPECT_NE(clicked.find(bill), std::string::npos) << bill << " in\n" << clicked;
    for (const char* steps : {"DBGrid2@1;DBGrid2<Down", "DBGrid2@1;Data1>MoveNext",
                              "DBGrid2@1;CboCxfs=身份证号;Txtzh=440101199000000002;CmdCx"})
        for (const tv::PrintCaller caller : {tv::PrintCaller::FeeRecords, tv::PrintCaller::MainWindow})
            EXPECT_EQ(receipt(steps, caller), clicked) << steps;
}

TEST_F(FeesTest, SettlesWithAndWithoutArrearsKeepsTheFileAndPrintsTheSettledBill) {
    expectSessions(
        {{"settle",
          "T:CmdQr;T:DBGrid1@@1;T:TxtByts=30;T:TxtJzts=12;T:Check1;T:Check2;T:TxtJzts=12;T:TxtYj=500;T:CmdQr;"
          "file=101;T:CmdQr;T:Check2;T:TxtQzze=200;T:TxtJzts=1x;T:Txthj=1;T:CmdQr;T:TxtJzts=12;T:CmdQr;"
          "T:DBGrid1@@2;T:Check1;T:TxtQzze=;T:Txtysl=9;T:Txtdf=9;T:CmdQr;file=101;T:CboBtth=房屋租赁使用费确认;"
          "DBGrid2@2;T:CmdPrinter"},
         {"settle",
          "T:DBGrid1@@1;T:Check1;T:CmdQr;T:TxtByts=0;T:CmdQr;T:TxtByts=30;T:TxtJzts=12;T:Txtbysb=a;T:CmdQr;"
          "T:Txtbysb=120.5;T:TxtYj=五百;T:CmdQr;T:TxtYj=;T:DBGrid1@@3;T:Check1;T:CmdQr;file=B/2;"
          "T:Txtjfrq2=2021/8/31;T:TxtFh2=101;T:CmdCx;T:TxtFh2=102;T:CmdCx;T:Txtjfrq2=8月;T:CmdCx;T:CmdExit"},
         {"settle",
          "T:CmdDk;pick=;T:CmdDk;write=\"101\",\"2021-08-31\"¶\"101\",599.94,36,500¶\"2021-08-01\",\"2021-08-31\",0;"
          "pick=x.txt;T:CmdDk;write=\"1,01\" , \"2021-08-31\",\"1,01\"¶599.94¶36¶500¶\"2021-08-01\",\"2021-08-31\""
          "¶0¶120.5,100.25,20.25,3.5,70.88¶2345.5,2300,45.5,1.2,54.6¶1010.46,\"壹仟\";pick=x.txt;T:CmdDk;"
          "T:CmdPrinter;write=1,2,3,4,5,6,7,8,9,10,11,12,abc,14,15,16,17,18,19,20,21;pick=x.txt;T:CmdDk"},
         // While the fee records window's recompute is chosen, a bill moved to in the settlement window leaves
         // the bill held for printing; after the recompute it takes that bill's total again.
         {"settle", "DBGrid2@1;Check1;T:DBGrid1@3;Txtjfrq=2021-08-31;CmdQr;T:DBGrid1@2;Txtjfrq="}},
        "fees_settlement.txt");
    // The third settlement of the first session, byte for byte.
    QFile kept(dir.filePath("101.txt")), golden(QStringLiteral(TV_FIXTURES_DIR "/fees_settlement_101.txt"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly) && golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), golden.readAll());
    EXPECT_EQ(kept.size(), 163);
}

// Another bill double-clicked, or a kept settlement read back, after a mode was chosen: the mode is to be chosen
// again, and no box shows one; either can be chosen.
TEST_F(FeesTest, ABillDoubleClickedOrASettlementReadBackLeavesNoModeBoxTicked) {
    expectSessions({{"settle",
                     "T:DBGrid1@@1;T:TxtByts=30;T:TxtJzts=12;T:Check1;T:DBGrid1@@2;T:CmdQr;T:Check2;T:CmdQr;file=101;"
                     "T:Check2;pick=101.txt;T:CmdDk;T:CmdQr;T:Check1;T:CmdQr"}},
                   "fees_settlement_mode.txt");
}

TEST_F(FeesTest, ASettlementThatCannotBeWrittenIsNeverReportedSaved) {
    // The folder the settlement files land in (the current one) is gone.
    const QString gone = dir.filePath("gone");
    ASSERT_TRUE(QDir().mkdir(gone) && QDir::setCurrent(gone) && QDir().rmdir(gone));
    expectSessions({{"settle", "T:DBGrid1@@1;T:TxtByts=30;T:TxtJzts=12;T:Check1;T:CmdQr;T:CmdPrinter"}},
                   "fees_settlement_unwritable.txt");
}

// The computation window's 打印 and 文件.
TEST_F(FeesTest, ComputationPrintsThroughTheFeeWindowAndShowsTheReceiptFile) {
    state().DataFilePath = file;
    state().UserDbPath = dir.filePath("u.ini");
    tv::test::makeUserDb(state().UserDbPath);
    auto ask = [](const char* answer) {
        script::answerInput(QString::fromUtf8(answer));
        tv::printChoice(tv::PrintCaller::Computation);
    };
    ask("2");  // loads the closed fee window on an empty table
    window(false).unload();
    tv::test::execSql(file, kBills);
    ask("2");  // loads it again: no billing date typed
    ask("0");
    ask("1");  // the computation window is not open: it has no bill to print
    Registry::add(QStringLiteral("FrmZsdjs"), [] { return new tv::billing::FrmZsdjs; });
    Registry::instance(QStringLiteral("FrmZsdjs"))->show();
    ask("1.0");
    QStringList said;
    for (const tv::dlg::Call& c : script::calls()) said << (c.kind == "inputBox" ? "?" : c.text);
    EXPECT_EQ(said, QStringList({"?", "数据表没有记录！", "?", "'计费日期'字段不能为空", "?",
                                 "您没有正确选择选项,默认取值为 2 ！", "'计费日期'字段不能为空", "?",
                                 "没有当前记录，不能打印！", "?", "请调整好纸宽后：按(确认)后继续！"}));
    // The whole bill of the computation window's current row, its first.
    EXPECT_EQ(printed(), "1:A101 │合计(元) │911.65 │人民币大写 │玖佰壹拾壹元陆角伍分 │ end");
    EXPECT_TRUE(window(false).widget()->isVisible());
    script::clearCalls();

    const QString receipts = dir.filePath("Zjzd.txt");
    QFile f(receipts);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(tv::text::toGbk("┌──┬─┐\r\n│租金│8│\r\n")) > 0);
    f.close();
    for (const QString& path : {QString(), dir.path(), dir.filePath("无.txt")}) EXPECT_FALSE(tv::viewReceiptFile(path));
    EXPECT_EQ(script::calls().size(), 3u);
    EXPECT_TRUE(tv::viewReceiptFile(receipts));
    auto& viewer = tv::forms::the<tv::forms::TextViewer>();
    EXPECT_EQ(viewer.lines(), QStringList({"┌──┬─┐", "│租金│8│"}));
    EXPECT_TRUE(viewer.widget()->isVisible());
}

// 导入账单 and the receipt viewer given what no settlement or receipt file
// is: a FIFO, a device or a link to one, a 64 GiB file, a folder. Each is
// refused at once with the window's own message and the form keeps what the
// import before it showed.
TEST_F(FeesTest, ASettlementFileThatIsAFifoADeviceOrHugeIsRefusedAtOnceChangingNothing) {
    state().DataFilePath = file;
    window(true).show();
    const QString good = dir.filePath("101.txt");
    QFile f(good);
    ASSERT_TRUE(
        f.open(QIODevice::WriteOnly) &&
        f.write(tv::text::toGbk("\"101\",\"2021-08-31\"\r\n\"101\",599.94,36,500\r\n\"2021-08-01\",\"2021-08-31\","
                                "0\r\n120.5,100.25,20.25,3.5,70.88\r\n2345.5,2300,45.5,1.2,54.6\r\n1010.46,"
                                "\"壹仟零佰壹拾零元肆角陆分\"\r\n")) > 0);
    f.close();
    QStringList paths{"/dev/zero", "/dev/urandom"};
    for (const QString& kind : tv::test::oddKinds()) {
        paths << dir.filePath(kind + ".txt");
        tv::test::makeOdd(kind, paths.last());
    }
    const auto form = [this] {
        QStringList boxes;
        for (const char* n : {"Txtfjh", "Txtjfrq", "Txtzj", "TxtYj", "Txtysl", "Txtdf", "Txthj", "Txthj1"})
            boxes << ctl<QLineEdit>(QStringLiteral("T:") + n)->text();
        return boxes.join(',');
    };
    const auto said = [] {
        QStringList out;
        for (const tv::dlg::Call& c : script::calls())
            if (c.kind == "msgBox")
                out << c.title + ':' + c.text;
        script::clearCalls();
        return out.join(';');
    };
    script::answerFile(good);
    ctl<QPushButton>("T:CmdDk")->click();
    ASSERT_EQ(said(), "提示！:租客退房结算账单导入成功！");
    const QString imported = form();
    EXPECT_EQ(imported, "101,2021-08-31,599.94,500.00,20.25,54.60,1010.46,壹仟零佰壹拾零元肆角陆分");
    auto& viewer = tv::forms::the<tv::forms::TextViewer>();
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        script::answerFile(path);
        {
            tv::test::Watchdog watchdog("导入账单 of " + path.toStdString());
            ctl<QPushButton>("T:CmdDk")->click();
        }
        EXPECT_EQ(said(), "提示！:租客退房结算账单导入失败！");
        EXPECT_EQ(form(), imported);
        {
            tv::test::Watchdog watchdog("the receipt viewer on " + path.toStdString());
            viewer.open(path);
        }
        EXPECT_EQ(said().section('\n', 0, 0), "提示！:无法打开文件：" + path);  // and why, on the next line
    }
}

TEST_F(FeesTest, TheKeyboardAloneWalksTheEnterRingsAndDeletes) {
    expectSessions(
        {{"",
          "CboCxfs<Return;<Return;<Return;<Return;<Return;<Return;<Return;<Return;<Return;<Return;<Return;"
          "<Return;<Return;CboCxfs=计费日期;Txtjfrq<Return;<Return;DBGrid2<Down;DBGrid2<Delete;yes;"
          "DBGrid2<Delete"},
         {"settle",
          "T:TxtByts<Return;<Return;<Return;<Return;<Return;<Return;T:TxtFh1<Return;<Return;T:Txthj1<Return"}},
        "fees_keyboard.txt");
}

// At 1280x800 and at 1920x1080, in the program's font, every label of the fee records window shows its text whole:
// the title of its inputs, the captions, the preview's cells with a bill's values.
TEST_F(FeesTest, EveryLabelShowsItsTextWholeOnASmallAndALargeScreen) {
    const QFont font = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    for (const QSize size : {QSize(1280, 700), QSize(1920, 980)}) {
        startSession("", ++sessions);
        main->widget()->resize(size);
        QCoreApplication::sendPostedEvents();
        run("DBGrid2@10");
        QStringList cut;
        for (QLabel* label : window(false).widget()->findChildren<QLabel*>()) {
            const QRect room = label->contentsRect();
            const QSize text = label->fontMetrics().size(0, label->text());
            if (label->isVisible() &&
                (label->wordWrap() ? label->heightForWidth(room.width()) > room.height()
                                   : text.width() > room.width() || text.height() > room.height()))
                cut << label->objectName() + ':' + label->text();
        }
        EXPECT_EQ(cut, QStringList()) << size.width();
    }
    QApplication::setFont(font);
}

// Every control inside its window, the settlement window inside the screen's work area (drawn smaller there).
TEST_F(FeesTest, TheWindowsFitTheirRoomWithNothingOutside) {
    state().DataFilePath = file;
    window(false).show();
    window(true).show();
    for (bool ofSettlement : {false, true}) {
        QWidget* w = window(ofSettlement).widget();
        for (QWidget* c : w->findChildren<QWidget*>(QRegularExpression("^(Cmd|Txt|Cbo|Check|DBGrid|Data|Lel|Frame)")))
            EXPECT_TRUE(w->rect().contains(QRect(c->mapTo(w, QPoint()), c->size()))) << c->objectName().toStdString();
    }
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(window(true).widget()->frameGeometry()));
}

// Thousands of bills of one date: each of the four totals is the sum of the bills to the fen, after 汇总 ("0.00")
// and after 刷新 (no trailing zeros). Every bill: water 10 x 3.361 = 33.61, electricity 100 x 0.6807 = 68.07, rent
// 800.13, other fees 65.27, total 967.08.
TEST_F(FeesTest, TotalsOfThousandsOfBillsAreTheirSumsToTheFen) {
    struct Row {
        int bills;
        const char *totals, *recomputed;
    };
    const Row rows[] = {{500, "16805.00,34035.00,400065.00,483540.00", "16805,34035,400065,483540"},
                        {3000, "100830.00,204210.00,2400390.00,2901240.00", "100830,204210,2400390,2901240"}};
    state().UserDbPath = dir.filePath("u.ini");
    tv::test::makeUserDb(state().UserDbPath);
    for (const Row& row : rows) {
        Registry::unloadAll();
        data = dir.filePath(QStringLiteral("t%1.mdb").arg(row.bills));
        tv::test::makeDataFile(data);
        tv::test::execSql(data, QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i "
                                               "< %1) INSERT INTO fzsdjs SELECT '2024-03-01', 'A' || i, '租客', i, "
                                               "800.13, '', '', 110, 100, 10, 3.361, 33.61, 2100, 2000, 100, 0.6807, "
                                               "68.07, 65.27, 967.08 FROM c")
                                    .arg(row.bills));
        state().DataFilePath = data;
        window(false).show();
        auto totals = [this] {
            QStringList out;
            for (const char* t : {"Txtsfhz", "Txtdfhz", "TxtZjhj", "Txthjhz"}) out << ctl<QLineEdit>(t)->text();
            return out.join(',');
        };
        ctl<QLineEdit>("Txtjfrq")->setText("2024-03-01");
        ctl<QPushButton>("CmdHz")->click();
        EXPECT_EQ(totals(), row.totals) << row.bills;
        ctl<QCheckBox>("Check1")->click();
        ctl<QLineEdit>("Txtjfrq")->setText("2024-03-01");
        ctl<QPushButton>("CmdQr")->click();
        EXPECT_EQ(totals(), row.recomputed) << row.bills;
        EXPECT_EQ(tv::test::queryText(data, "SELECT count(*) FROM fzsdjs WHERE hj <> 967.08"), "0");
    }
}

// Days lived outside the month (more than its days, or fewer than none) are refused with the reason and nothing is
// saved; the whole month and none of it settle.
TEST_F(FeesTest, DaysLivedOutsideTheMonthAreRefusedAndNothingIsSaved) {
    const struct {
        const char* lived;
        bool saved;
    } cases[] = {{"31", false}, {"-1", false}, {"30", true}, {"0", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lived);
        startSession("settle", &c - cases);
        QFile::remove(dir.filePath("101.txt"));
        QString said;
        for (const QString& step :
             QString("T:DBGrid1@@1;T:TxtByts=30;T:Check1;T:TxtJzts=%1;T:CmdQr").arg(c.lived).split(';'))
            said = run(step).section(" | ", 0, 0);
        EXPECT_EQ(said, c.saved ? "提示！:租客退房结算账单计算及保存成功！" : "提示:'居住天数'必须在0到'本月天数'之间");
        EXPECT_EQ(QFile::exists(dir.filePath("101.txt")), c.saved);
    }
}
