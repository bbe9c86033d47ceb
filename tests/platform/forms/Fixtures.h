#pragma once
// The fixture of the window toolkit's tests: a small window made the way every
// window is made, over three registrations in a data file of its own.

#include "support/TestFiles.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/BoundControls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/Form.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/StatusPanels.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace tv::test {

struct FrmDemoUi {
    tv::forms::DataControl* Data1 = nullptr;
    tv::forms::DataGrid* DBGrid1 = nullptr;
    tv::forms::BoundTextBox* Txtxm = nullptr;
    tv::forms::BoundTextBox* Txtjzrs = nullptr;
    tv::forms::BoundCombo* Cmbyh = nullptr;
    tv::forms::BoundImage* Imgxp = nullptr;
    QPushButton* CmdQr = nullptr;  // confirm
    QPushButton* CmdExit = nullptr;
};

// Registrations in a grid, bound boxes for name, count, marriage and photo, a
// confirm and an exit button. It offers the status panels too: panel 1
// is its caption.
class FrmDemo : public tv::forms::Window<FrmDemoUi>, public tv::forms::StatusPanels {
public:
    static constexpr const char* kName = "FrmDemo";
    explicit FrmDemo(const char* name = kName, Kind kind = Kind::TopLevel) : Window(QString::fromLatin1(name), kind) {}
    using Window::ui;  // the tests reach the controls directly
    QString dataFile;  // the window's own variables
    int loads = 0, unloads = 0;
    bool allowClose = true, failLoad = false;
    void setPanelText(tv::forms::Panel, const QString& text) override { ui().Data1->setCaption(text); }
    QString panelText(tv::forms::Panel) const override { return ui().Data1->caption(); }

protected:
    void build(QWidget* root) override {
        using namespace tv::forms;
        FrmDemoUi& u = ui();
        root->resize(twips(0, 0, 10500, 6300).size());
        u.Data1 = make<DataControl>(root, "Data1");
        setTwips(u.Data1, 0, 0, 6000, 390);
        u.DBGrid1 = make<DataGrid>(root, "DBGrid1");
        setTwips(u.DBGrid1, 0, 450, 10500, 4050);
        u.DBGrid1->setDataSource(u.Data1);
        u.DBGrid1->setColumns({{"fjh", "房间编号", ""}, {"xm", "承租人姓名", ""}, {"jzrs", "人数", "0.00"}});
        (u.Txtxm = make<BoundTextBox>(root, "Txtxm"))->bind(u.Data1, QStringLiteral("xm"));
        (u.Txtjzrs = make<BoundTextBox>(root, "Txtjzrs"))->bind(u.Data1, QStringLiteral("jzrs"));
        u.Cmbyh = make<BoundCombo>(root, "Cmbyh");
        u.Cmbyh->addItems({QStringLiteral("已婚"), QStringLiteral("未婚")});
        u.Cmbyh->bind(u.Data1, QStringLiteral("yh"));
        u.Imgxp = make<BoundImage>(root, "Imgxp");
        setTwips(u.Imgxp, 4500, 4650, 1800, 1200);
        u.Imgxp->bind(u.Data1, QStringLiteral("xp"));
        u.CmdQr = make<QPushButton>(root, "CmdQr");
        u.CmdExit = make<QPushButton>(root, "CmdExit");
        onClick(u.CmdQr, [this] { ui().Data1->update(); });
        onClick(u.CmdExit, [this] { unload(); });
        on(u.Data1, &DataControl::reposition, [this] {
            const tv::Recordset& rs = ui().Data1->recordset();
            ui().Data1->setCaption(QStringLiteral("#%1 / %2").arg(rs.absolutePosition() + 1).arg(rs.recordCount()));
        });
    }
    void onLoad() override {
        ++loads;
        if (failLoad)
            throw std::runtime_error("load failed");
        ui().Data1->setDatabaseName(dataFile);
        ui().Data1->setRecordSource(QStringLiteral("zfdj"));
        ui().Data1->refresh();
    }
    void onUnload() override { ++unloads; }
    bool onQueryClose() override { return allowClose; }
};

// The demo window (not loaded yet) over rooms 101 张三, 102 李四, 103 Ann, and
// scripted dialogs: the test main's handler fails a test at an unscripted one,
// and every queued answer must have been used.
class DemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        tv::dlg::script::begin();
        ASSERT_TRUE(dir.isValid());
        makeDataFile(file);
        execSql(file,
                QStringLiteral("insert into zfdj (fjh, jzrs, xm, yh, ysno) values ('101', 2, '张三', '已婚', "
                               "'在住'), ('102', 1, '李四', '未婚', '退房'), ('103', 3, 'Ann', '已婚', '在住');"));
        demo.dataFile = file;
    }
    void TearDown() override {
        tv::forms::Registry::clear();
        EXPECT_EQ(tv::dlg::script::pending(), 0) << "answers left unused";
        tv::dlg::script::end();
        tv::Database::releaseUnused();
    }
    // The message boxes shown so far, as "text|title|style".
    static QStringList boxes() {
        QStringList out;
        for (const auto& c : tv::dlg::script::calls())
            if (c.kind == QLatin1String("msgBox"))
                out << QStringLiteral("%1|%2|%3").arg(c.text, c.title).arg(c.style);
        return out;
    }
    QString ask(const QString& sql) { return queryText(file, sql); }
    QString row(const char* room, const char* what = "xm || '/' || yh || '/' || typeof(jzrs) || jzrs") {
        return ask(QStringLiteral("select %1 from zfdj where fjh='%2'").arg(QLatin1String(what), QLatin1String(room)));
    }
    FrmDemoUi& ui() { return demo.ui(); }
    tv::Recordset& rs() { return ui().Data1->recordset(); }
    // The bound boxes as shown: "name/count/marriage".
    QString shown() { return ui().Txtxm->text() + '/' + ui().Txtjzrs->text() + '/' + ui().Cmbyh->currentText(); }
    QString caption() { return ui().Data1->findChild<QLabel*>(QStringLiteral("Caption"))->text(); }
    void click(const char* button) { QTest::mouseClick(demo.control<QPushButton>(button), Qt::LeftButton); }
    // Clicks one of the data control's arrows: MoveFirst, MovePrevious, MoveNext, MoveLast.
    void arrow(const char* name) { QTest::mouseClick(ui().Data1->findChild<QToolButton*>(name), Qt::LeftButton); }
    // From now on `seen` gets the current row at each Reposition (-1: none).
    void watch() {
        QObject::connect(ui().Data1, &tv::forms::DataControl::reposition,
                         [this] { seen.push_back(rs().absolutePosition()); });
    }
    QAbstractItemModel* model() { return ui().DBGrid1->model(); }
    QPoint cell(int r, int c) { return ui().DBGrid1->visualRect(model()->index(r, c)).center(); }
    void clickRow(int r) { QTest::mouseClick(ui().DBGrid1->viewport(), Qt::LeftButton, {}, cell(r, 1)); }
    std::vector<int> seen;  // a std::vector: comparing empty QLists calls memcmp on null, which UBSan stops
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Lunrek.mdb"));
    FrmDemo& demo = tv::forms::the<FrmDemo>();
};

}  // namespace tv::test
