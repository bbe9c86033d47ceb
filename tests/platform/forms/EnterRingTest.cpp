#include "Fixtures.h"

#include "platform/forms/EnterRing.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>

using tv::forms::EnterRing;

namespace {

// Five boxes and an editable combo box on an active window.
class EnterRingTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (QLineEdit*& e : edits) e = new QLineEdit(&root);
        combo->setEditable(true);
        combo->addItems({QStringLiteral("在住"), QStringLiteral("退房")});
        root.show();
        QApplication::setActiveWindow(&root);
    }
    // One press of Enter in `from`; where the focus went.
    static QWidget* enter(QWidget* from, Qt::Key key = Qt::Key_Return) {
        from->setFocus();
        QTest::keyClick(from, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        return QApplication::focusWidget();
    }
    QWidget root;
    QLineEdit* edits[5] = {};
    QComboBox* combo = new QComboBox(&root);
};

}  // namespace

TEST_F(EnterRingTest, OnePressOneStepSkippingDisabledAndHiddenControlsRoundAClosedRing) {
    new EnterRing({edits[0], edits[1], edits[2], edits[3], combo, edits[4]}, true, &root);
    edits[2]->setEnabled(false);
    edits[3]->hide();
    QSignalSpy returned(edits[1], &QLineEdit::returnPressed);
    combo->setEditText(QStringLiteral("自用"));
    EXPECT_EQ(enter(edits[0]), edits[1]);
    QTest::keyRelease(edits[1], Qt::Key_Return);  // a release alone does nothing
    EXPECT_EQ(QApplication::focusWidget(), edits[1]);
    EXPECT_EQ(enter(edits[1]), combo);
    EXPECT_EQ(enter(combo), edits[4]);
    EXPECT_EQ(enter(edits[4], Qt::Key_Enter), edits[0]);  // the keypad's Enter too
    EXPECT_EQ(returned.count(), 0);                       // the key is consumed
    // Enter in a combo box never reaches it: the typed text does not become an item.
    EXPECT_EQ(combo->currentText() + QString::number(combo->count()), QStringLiteral("自用2"));
}
