#include "Fixtures.h"

#include "platform/forms/EnterRing.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>

using tv::forms::EnterRing;

namespace {

class EnterRingTest : public tv::test::ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        for (int i = 0; i < 5; ++i) edits.push_back(new QLineEdit(&root));
        combo->setEditable(true);
        combo->addItems({QStringLiteral("在住"), QStringLiteral("退房")});
        root.show();
        QApplication::setActiveWindow(&root);
    }
    void enter() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }
    QWidget* focus() { return QApplication::focusWidget(); }
    QWidget root;
    std::vector<QLineEdit*> edits;
    QComboBox* combo = new QComboBox(&root);
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
    QTest::keyRelease(combo, Qt::Key_Return);  // a key release alone does nothing
    EXPECT_EQ(focus(), combo);
    // Enter in a combo box never reaches it: the typed text does not become an item.
    combo->setEditText(QStringLiteral("自用"));
    enter();
    EXPECT_EQ(focus(), edits[4]);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), QStringLiteral("自用"));
    QTest::keyClick(focus(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(focus(), edits[0]);  // round the ring
}

TEST_F(EnterRingTest, LinksStopsAndTheEndOfAnOpenRing) {
    auto* ring = new EnterRing({edits[0], edits[1], edits[2], edits[3], edits[4]}, false, &root);
    ring->link(edits[0], edits[2]);
    ring->link(edits[1], edits[3]);
    ring->stop(edits[2]);
    edits[3]->setEnabled(false);
    QSignalSpy returned(edits[2], &QLineEdit::returnPressed);
    edits[0]->setFocus();
    enter();
    EXPECT_EQ(focus(), edits[2]);
    enter();  // a stop: the control's own Enter handling runs
    EXPECT_EQ(focus(), edits[2]);
    EXPECT_EQ(returned.count(), 1);
    edits[1]->setFocus();
    enter();  // a link to a disabled control goes on from there
    EXPECT_EQ(focus(), edits[4]);
    enter();  // the end of an open ring: the focus stays
    EXPECT_EQ(focus(), edits[4]);
}
