#include "DataFixture.h"

#include "platform/forms/BoundControls.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPixmap>

using namespace tv::forms;

namespace {

QByteArray pngBytes(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return out;
}

class BoundTest : public tv::test::DataTest {
protected:
    void SetUp() override {
        DataTest::SetUp();
        threeTenants();
        root.resize(400, 300);
        data = new DataControl(&root);
        data->setDatabaseName(file);
        data->setRecordSource(QStringLiteral("zfdj"));
        name = new BoundTextBox(&root);
        count = new BoundTextBox(&root);
        marriage = new BoundCombo(&root);
        marriage->addItems({QStringLiteral("已婚"), QStringLiteral("未婚")});
        photo = new BoundImage(&root);
        photo->resize(120, 80);
        data->refresh();
        name->bind(data, QStringLiteral("xm"));
        count->bind(data, QStringLiteral("jzrs"));
        marriage->bind(data, QStringLiteral("yh"));
        photo->bind(data, QStringLiteral("xp"));
        root.show();
    }
    tv::Recordset& rs() { return data->recordset(); }
    QWidget root;
    DataControl* data = nullptr;
    BoundTextBox* name = nullptr;
    BoundTextBox* count = nullptr;
    BoundCombo* marriage = nullptr;
    BoundImage* photo = nullptr;
};

}  // namespace

TEST_F(BoundTest, ControlsShowTheCurrentRowAfterEveryMove) {
    EXPECT_EQ(name->text(), QStringLiteral("张三"));
    EXPECT_EQ(count->text(), "2");
    EXPECT_EQ(marriage->currentText(), QStringLiteral("已婚"));
    rs().moveNext();
    EXPECT_EQ(name->text(), QStringLiteral("李四"));
    EXPECT_EQ(marriage->currentText(), QStringLiteral("未婚"));
    EXPECT_EQ(marriage->currentIndex(), 1);
    rs().moveLast();
    rs().moveNext();  // no current row: empty
    EXPECT_EQ(name->text(), QString());
    data->refresh();
    EXPECT_EQ(name->text(), QStringLiteral("张三"));
}

TEST_F(BoundTest, OnlyUpdateWritesWhatWasTyped) {
    // Typed while browsing and moved away: nothing is written.
    name->setText(QStringLiteral("改了"));
    rs().moveNext();
    EXPECT_EQ(ask(QStringLiteral("select xm from zfdj where fjh='101'")), QStringLiteral("张三"));

    // Edit, type, cancel: the shown values come back, nothing written.
    data->edit();
    name->setText(QStringLiteral("李四四"));
    data->cancelUpdate();
    EXPECT_EQ(name->text(), QStringLiteral("李四"));
    EXPECT_EQ(ask(QStringLiteral("select xm from zfdj where fjh='102'")), QStringLiteral("李四"));

    // Edit and update: only the changed field is written.
    data->edit();
    name->setText(QStringLiteral("李思"));
    marriage->setEditText(QStringLiteral("离异"));  // not in the list: stored as typed
    data->update();
    EXPECT_EQ(ask(QStringLiteral("select xm || '/' || yh || '/' || typeof(jzrs) || jzrs from zfdj where fjh='102'")),
              QStringLiteral("李思/离异/integer1"));
    EXPECT_EQ(marriage->count(), 2);  // the typed text never became an item
    EXPECT_EQ(marriage->currentText(), QStringLiteral("离异"));
}

TEST_F(BoundTest, AddNewShowsAnEmptyRowAndUpdateStoresIt) {
    data->addNew();
    EXPECT_EQ(name->text(), QString());
    EXPECT_EQ(count->text(), QString());
    EXPECT_EQ(marriage->currentText(), QString());
    name->setText(QStringLiteral("赵六"));
    count->setText(QStringLiteral("4"));
    const QByteArray png = pngBytes(30, 20, Qt::red);
    ASSERT_TRUE(photo->setBytes(png));
    data->update();
    EXPECT_EQ(ask(QStringLiteral("select count(*) from zfdj")), "4");
    EXPECT_EQ(ask(QStringLiteral("select jzrs || '/' || typeof(dw) || '/' || length(xp) from zfdj where xm='赵六'")),
              QStringLiteral("4/null/%1").arg(png.size()));
    EXPECT_EQ(name->text(), QStringLiteral("赵六"));  // the new row is current

    // A value the file cannot hold: the error comes out, the row stays pending.
    data->addNew();
    count->setText(QStringLiteral("abc"));
    EXPECT_THROW(data->update(), tv::DbError);
    EXPECT_EQ(rs().editState(), tv::Recordset::EditState::Adding);
    data->cancelUpdate();
    EXPECT_EQ(ask(QStringLiteral("select count(*) from zfdj")), "4");
}

TEST_F(BoundTest, ThePictureKeepsItsBytesAndIsShownStretched) {
    const QByteArray png = pngBytes(300, 40, Qt::blue);
    data->edit();
    ASSERT_TRUE(photo->setBytes(png));
    data->update();
    rs().moveNext();
    EXPECT_TRUE(photo->bytes().isEmpty());
    EXPECT_TRUE(photo->image().isNull());
    rs().moveFirst();
    EXPECT_EQ(photo->bytes(), png);  // the very bytes, not a re-encoding
    EXPECT_EQ(photo->image().size(), QSize(300, 40));
    EXPECT_EQ(photo->pixmap().size(), photo->size());
    photo->resize(60, 60);
    EXPECT_EQ(photo->pixmap().size(), QSize(60, 60));

    // Not a picture: refused, nothing changes.
    const QString junk = dir.path() + QStringLiteral("/junk.jpg");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    EXPECT_FALSE(photo->loadFile(junk));
    EXPECT_FALSE(photo->loadFile(dir.path() + QStringLiteral("/none.png")));
    EXPECT_EQ(photo->bytes(), png);

    // Editing another field writes the photo back untouched.
    data->edit();
    name->setText(QStringLiteral("张叁"));
    data->update();
    EXPECT_EQ(ask(QStringLiteral("select length(xp) from zfdj where fjh='101'")), QString::number(png.size()));

    // Clearing the picture stores Null.
    data->edit();
    photo->clearPicture();
    data->update();
    EXPECT_EQ(ask(QStringLiteral("select typeof(xp) from zfdj where fjh='101'")), "null");
}

TEST_F(BoundTest, CommitBoundOnARootCommitsOnlyThatSourcesControls) {
    DataControl other(&root);
    other.setDatabaseName(file);
    other.setRecordSource(QStringLiteral("zfdj"));
    other.refresh();
    BoundTextBox otherName(&root);
    otherName.bind(&other, QStringLiteral("xm"));
    rs().edit();
    other.recordset().moveLast();
    other.recordset().edit();
    name->setText(QStringLiteral("甲"));
    otherName.setText(QStringLiteral("乙"));
    commitBound(&root, data);
    rs().update();
    other.recordset().cancelUpdate();
    EXPECT_EQ(ask(QStringLiteral("select group_concat(xm) from zfdj")), QStringLiteral("甲,李四,王五"));
}
