#pragma once
// The data source of a window: database name, record source, read-only flag,
// caption; refresh and the moves; a Reposition notification that runs
// synchronously (nested) after every change of current row, refreshes and code
// moves included. Shown, it is a caption strip with four arrow buttons that
// never leave BOF/EOF (objectNames "MoveFirst", "MovePrevious", "MoveNext",
// "MoveLast"; the caption is the label "Caption").
//
// Editing goes through addNew/edit/update/cancelUpdate/remove of this class
// rather than of the recordset: they tell the bound controls (which show the
// empty new row, take back what they showed, and are committed by update())
// and the grids (which reload after update and remove).

#include "platform/db/Recordset.h"

#include <QHash>
#include <QString>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tv::forms {

// A grid cell or a bound box shows at most this many characters of a value;
// a value cut there says so in its tooltip (cutValueTip()) and takes no
// typing: what it shows is never written back, the value stays whole.
inline constexpr qsizetype kShownChars = 1000;
QString cutValueTip();

// What a window says when a write it made was refused: the engine's words
// for a row that another program changed or deleted meanwhile, else the
// window's own (`own`).
QString refusedWriteText(const std::exception& e, const QString& own);

class DataControl : public QWidget {
    Q_OBJECT
public:
    explicit DataControl(QWidget* parent = nullptr);
    ~DataControl() override;

    void setDatabaseName(const QString& path);
    QString databaseName() const;
    // Table name or SQL; parameters bound to its ? marks.
    void setRecordSource(const QString& source, std::vector<tv::Value> params = {});
    QString recordSource() const;
    void setReadOnly(bool on);
    bool readOnly() const;
    // The captions of fields as the window labels them, for the engine's
    // messages ("数据类型转换错误：居住人数"); kept for every recordset opened.
    void setFieldCaptions(const QHash<QString, QString>& captions);
    // A field as the window names it: its caption, else its own name.
    QString fieldCaption(const QString& field) const;
    void setCaption(const QString& caption);
    QString caption() const;

    // Opens (or re-opens) the recordset on the current settings; raises
    // DbError. Fires reposition(), then rowsChanged() once at its end (also
    // when it fails).
    void refresh();
    // A refresh is under way: a rowsChanged() follows, and a grid waits for
    // it rather than reading the rows on the repositions before it.
    bool isRefreshing() const;
    // The open recordset; raises DbError when refresh() never succeeded.
    tv::Recordset& recordset();
    bool isOpen() const;

    // The recordset's editing, with the bound controls and grids told.
    // A read-only source refuses them with DbError.
    void addNew();
    void edit();
    // Commits every bound control of this source into the pending row, then
    // stores it (DbError leaves the row pending).
    void update();
    void cancelUpdate();
    void remove();
    // The four arrow buttons, as code: they never leave BOF/EOF and do
    // nothing on an empty or unopened source. Each first follows rows
    // another program deleted or added meanwhile (followFile()).
    void moveFirst();
    void movePrevious();
    void moveNext();
    void moveLast();

    // The rows counted anew where another program wrote to the data file
    // since they were counted (Recordset::followFile, `place` mapped as it
    // maps it): before a move the user makes, so that the counters and the
    // grids follow. True when they were.
    bool followFile(int* place = nullptr);
    // How many rows more (or fewer) followFile() found since this was last
    // asked or the source refreshed: what a window's count of the rows it
    // counted at its refresh changes by.
    int takeCountChange();

    // The row scan of the search buttons: from the first row (on an empty
    // source that move raises, as the engine did) to the first row whose
    // fields all equal their keys exactly (a Null field equals nothing),
    // which becomes current. Without a match the source ends past the last
    // row, the last row having been current on the way, as a walk through
    // every row leaves it. A field the source lacks raises DbError. The rows
    // are compared in place, only their compared fields read, so the source
    // moves at most three times.
    bool findFirst(const std::vector<std::pair<QString, QString>>& keys);

    // Bound controls register here (BoundTextBox::bind does it).
    void addBound(QWidget* control);
    void commitBound();

signals:
    // After every change of current row (also onto BOF/EOF).
    void reposition();
    // After the rows changed (refresh, add, delete): grids reload.
    void rowsChanged();
    // The shown row changed without a move (AddNew, CancelUpdate): bound
    // controls redisplay.
    void recordChanged();

private:
    // The work of refresh(): the recordset read again, or a new one opened.
    void readRows();
    // Runs a write of the recordset; the grids reload after it, and the
    // grids and boxes after one refused because the row had changed.
    void rowsChangingWith(const std::function<void()>& write);
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace tv::forms
