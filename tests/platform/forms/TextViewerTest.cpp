// The receipt viewer given what a receipt file may hold: a line far longer
// than any receipt's, bytes that are not GBK, or a file too large to show.
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/TextViewer.h"
#include "platform/text/Gbk.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QToolTip>

namespace {

namespace script = tv::dlg::script;
using tv::forms::TextViewer;

class TextViewerTest : public ::testing::Test {
protected:
    void SetUp() override { script::begin(); }
    void TearDown() override {
        tv::forms::Registry::clear();
        EXPECT_EQ(script::pending(), 0);
        script::end();
    }
    QString file(const QByteArray& bytes, qint64 size = -1) {
        const QString path = dir.filePath(QString("f%1.txt").arg(++made));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        if (size >= 0) {
            EXPECT_TRUE(f.resize(size));  // sparse: nothing written
        }
        return path;
    }
    static TextViewer& viewer() { return tv::forms::the<TextViewer>(); }
    static QWidget* page() { return viewer().control<QScrollArea>("TextArea")->widget(); }
    // The page as drawn, its first line only: where the ink is, in columns
    // of the page's own pixels.
    static std::pair<int, int> inkOfFirstLine() {
        const QImage shot = page()->grab(QRect(0, 0, page()->width(), 8 + 16)).toImage();
        int left = shot.width(), right = -1;
        for (int y = 8; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (qGray(shot.pixel(x, y)) < 200)
                    left = std::min(left, x), right = std::max(right, x);
        return {left, right};
    }
    QTemporaryDir dir;
    int made = 0;
};

// A line of ten million characters is shown cut where a box or a grid cell
// cuts a value, with the mark of a cut text and the word that it is cut;
// the lines around it whole.
TEST_F(TextViewerTest, AVeryLongLineIsShownCutAndSaysSo) {
    const QByteArray longLine(10'000'000, 'x');
    viewer().open(file("first\r\n" + longLine + "\r\n" + tv::text::toGbk("┌──┐ 合计") + "\r\n"));
    ASSERT_TRUE(viewer().isLoaded());
    const QStringList& lines = viewer().lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "first");
    EXPECT_TRUE(lines[1] == QString(tv::forms::kShownChars, 'x') + "…") << lines[1].size() << " characters";
    EXPECT_EQ(lines[2], "┌──┐ 合计");
    // The page is as wide as the cut line.
    EXPECT_LE(page()->width(), 8 * (tv::forms::kShownChars + 4));
    for (const int line : {0, 1}) {
        QHelpEvent tip(QEvent::ToolTip, QPoint(20, 8 + 16 * line + 8),
                       page()->mapToGlobal(QPoint(20, 8 + 16 * line + 8)));
        QApplication::sendEvent(page(), &tip);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), line ? tv::forms::cutValueTip() : QString());
        QToolTip::hideText();
    }
}

// Bytes that are not GBK take one column each and are drawn in it.
TEST_F(TextViewerTest, BytesThatAreNotGbkAreDrawnInTheirOwnColumn) {
    viewer().open(file(" \xff\xfe "));
    ASSERT_TRUE(viewer().isLoaded());
    const auto [left, right] = inkOfFirstLine();
    // Columns 2 and 3 of eight pixels each, after the margin of eight.
    EXPECT_GE(left, 8 + 8);
    EXPECT_LT(right, 8 + 3 * 8);
}

// A file too large to show, or no file at all, says why and opens nothing.
TEST_F(TextViewerTest, AFileTooLargeSaysSoAndOpensNothing) {
    const struct {
        QString path;
        const char* said;
    } rows[] = {
        {file("big", 200LL << 20), "文件太大"},
        {dir.filePath("none.txt"), "找不到文件"},
        {dir.path(), "不是普通文件"},
    };
    for (const auto& row : rows) {
        script::answerMsgBox(tv::dlg::Ok);
        viewer().open(row.path);
        ASSERT_EQ(script::calls().size(), 1u);
        EXPECT_EQ(script::calls()[0].text.section('\n', 0, 0), "无法打开文件：" + row.path);
        EXPECT_TRUE(script::calls()[0].text.section('\n', 1).contains(row.said))
            << script::calls()[0].text.toStdString();
        EXPECT_FALSE(viewer().isLoaded());
        script::clearCalls();
    }
}

}  // namespace
