#pragma once
// The data source of a window: database name, record source, read-only flag,
// caption; refresh and the moves; a Reposition notification that runs
// synchronously (nested) after every change of current row, refreshes and code
// moves included. Shown, it is a caption strip with four arrow buttons that
// never leave BOF/EOF.

#include "platform/db/Recordset.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

namespace tv::forms {

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
    void setCaption(const QString& caption);
    QString caption() const;

    // Opens (or re-opens) the recordset on the current settings; raises
    // DbError. Fires reposition().
    void refresh();
    // The open recordset; raises DbError when refresh() never succeeded.
    tv::Recordset& recordset();
    bool isOpen() const;

signals:
    // After every change of current row (also onto BOF/EOF).
    void reposition();
    // After the rows changed (refresh, add, delete): grids reload.
    void rowsChanged();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace tv::forms
