#include "Scripted.h"

#include "platform/forms/EnterRing.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using tv::forms::EnterRing;

namespace {

class EnterRingTest : public tv::test::ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        for (int i = 0; i < 5; ++i) {
            auto* e = new QLineEdit(&root);
            e->setObjectName(QStringLiteral("Txt%1").arg(i));
            e->setGeometry(0, 25 * i, 100, 22);
            edits.push_back(e);
        }
        combo = new QComboBox(&root);
        combo->setEditable(true);
        combo->addItems({QStringLiteral("在住"), QStringLiteral("退房")});
        combo->setGeometry(0, 130, 100, 22);
        root.show();
        QApplication::setActiveWindow(&root);
    }
    void enter(QWidget* w = nullptr) { QTest::keyClick(w ? w : QApplication::focusWidget(), Qt::Key_Return); }
    QWidget* focus() { return QApplication::focusWidget(); }
    QWidget root;
    std::vector<QLineEdit*> edits;
    QComboBox* combo = nullptr;
};

}  // namespace

TEST_F(EnterRingTest, OnePressOneStepSkippingDisabledAndHiddenControls) {
    new EnterRing({edits[0], edits[1], edits[2], edits[3], combo, edits[4]}, true, &root);
    edits[2]->setEnabled(false);
    edits[3]->hide();
    QSignalSpy returned(edits[0], &QLineEdit::returnPressed);
    edits[0]->setFocus();
    enter();
    EXPECT_EQ(focus(), edits[1]);
    EXPECT_EQ(returned.count(), 0);  // the key was consumed
    enter();
    EXPECT_EQ(focus(), combo);
    // A key release alone does nothing.
    QTest::keyRelease(combo, Qt::Key_Return);
    EXPECT_EQ(focus(), combo);
    enter();
    EXPECT_EQ(focus(), edits[4]);
    QTest::keyClick(focus(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(focus(), edits[0]);  // round the ring
}

TEST_F(EnterRingTest, EnterInAComboBoxNeverReachesTheComboBox) {
    new EnterRing({combo, edits[0]}, true, &root);
    combo->setFocus();
    combo->setEditText(QStringLiteral("自用"));
    enter(combo);
    EXPECT_EQ(focus(), edits[0]);
    EXPECT_EQ(combo->count(), 2);  // the typed text was not taken as a new item
    EXPECT_EQ(combo->currentText(), QStringLiteral("自用"));
}

TEST_F(EnterRingTest, LinksStopsAndTheEndOfAnOpenRing) {
    auto* ring = new EnterRing({edits[0], edits[1], edits[2]}, false, &root);
    ring->link(edits[0], edits[2]);
    ring->stop(edits[1]);
    QSignalSpy returned(edits[1], &QLineEdit::returnPressed);
    edits[0]->setFocus();
    enter();
    EXPECT_EQ(focus(), edits[2]);
    enter();  // the end of an open ring: the focus stays
    EXPECT_EQ(focus(), edits[2]);
    edits[1]->setFocus();
    enter();  // a stop: the control's own Enter handling runs
    EXPECT_EQ(focus(), edits[1]);
    EXPECT_EQ(returned.count(), 1);
    // A link to a disabled control goes on from there.
    edits[2]->setEnabled(false);
    auto* closed = new EnterRing({edits[3], edits[2], edits[4]}, true, &root);
    closed->link(edits[3], edits[2]);
    edits[3]->setFocus();
    enter();
    EXPECT_EQ(focus(), edits[4]);
}
