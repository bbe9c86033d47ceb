// The progress dialog of long work: what it says of the amount done, how it
// answers while the work waits, and its 取消.
#include "platform/dialogs/Progress.h"
#include "support/PrintTo.h"

#include <gtest/gtest.h>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

using namespace tv::dlg;

namespace {

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        progress::setShowAfter(0);
        progress::setWatcher([this](QProgressDialog& d) {
            said << d.labelText().replace('\n', '|');
            if (said.size() == cancelAt)
                QTest::mouseClick(d.findChild<QPushButton*>(), Qt::LeftButton);
        });
    }
    void TearDown() override {
        progress::setWatcher(nullptr);
        progress::setShowAfter(1000);
    }
    QStringList said;
    int cancelAt = 0;
};

}  // namespace

// Each unit with and without a known total.
TEST_F(ProgressTest, TellsTheAmountDoneInItsUnit) {
    using U = Progress::Unit;
    const struct {
        U unit;
        qint64 total, done;
        const char* text;
    } rows[] = {
        {U::Rows, 5, 2, "导入|已完成 2 行，共 5 行"},
        {U::Rows, 0, 2, "导入|已完成 2 行"},
        {U::Receipts, 7, 3, "导入|已打印 3 张收据，共 7 张"},
        {U::Receipts, 0, 3, "导入|已打印 3 张收据"},
        {U::Share, 5, 2, "导入|已完成 40%"},
        {U::Share, 0, 2, "导入"},
        {U::Bytes, 2048, 1024, "导入|已完成 1.0 KB，共 2.0 KB"},
    };
    for (const auto& r : rows) {
        said.clear();
        Progress p(QStringLiteral("标题"), QStringLiteral("导入"), r.total, r.unit);
        EXPECT_TRUE(p.advance(r.done));
        EXPECT_EQ(said.join(' '), QString::fromUtf8(r.text));
    }
}

// While nothing more is done the dialog still answers, at every call; a
// step that does not move the bar does not. 取消 is seen by the next call,
// and from then on every call says so.
TEST_F(ProgressTest, AnswersWhileTheWorkWaitsAndStopsOnceCancelled) {
    Progress p(QStringLiteral("标题"), QStringLiteral("读取"), 1000000, Progress::Unit::Rows);
    EXPECT_TRUE(p.advance(0));
    EXPECT_TRUE(p.advance(1));  // the bar does not move
    EXPECT_TRUE(p.stillWorking());
    p.setWhat(QStringLiteral("保存"));
    p.restartClock();  // shown already: it stays
    progress::setShowAfter(60000);
    cancelAt = 3;
    EXPECT_FALSE(p.stillWorking());
    EXPECT_EQ(said.join(' '),
              "读取|已完成 0 行，共 1000000 行 读取|已完成 1 行，共 1000000 行 "
              "保存|已完成 1 行，共 1000000 行");
    EXPECT_TRUE(p.cancelled());
    EXPECT_FALSE(p.advance(999999));
    EXPECT_THROW(p.advanceOrStop(1000000), Cancelled);
    EXPECT_EQ(said.size(), 3);
}

// Before its time, nothing shows and nothing is asked.
TEST_F(ProgressTest, ShowsNothingBeforeTheWorkHasLastedItsTime) {
    progress::setShowAfter(60000);
    Progress p(QStringLiteral("标题"), QStringLiteral("读取"), 10, Progress::Unit::Rows);
    EXPECT_TRUE(p.advance(5) && p.stillWorking());
    p.advanceOrStop(10);
    EXPECT_EQ(p.dialog(), nullptr);
    EXPECT_TRUE(said.isEmpty());
}
