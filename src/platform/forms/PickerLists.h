#pragma once
// The three lists of the file pickers: drives, the folder tree down to the
// current folder with its subfolders, and the files of a folder that match a
// pattern.

#include <QComboBox>
#include <QListWidget>
#include <QString>

namespace tv::forms {

// The drives (mounted volumes) by their root path.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);
    QString drive() const;
    // Selects the drive that holds `path` (the root "/" at least).
    void setDriveOf(const QString& path);
signals:
    void driveChanged();
};

// The current folder with its parents above it and its subfolders below it;
// a double-click on an entry opens that folder.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    // False (and nothing changes) when the folder cannot be read.
    bool setPath(const QString& path);
signals:
    void pathChanged();

private:
    void fill();
    QString path_;
};

// The files of a folder that match a pattern ("*" for all), sorted by name.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    void setPath(const QString& path);
    QString pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    // The name of the selected file, "" when none is selected.
    QString fileName() const;
signals:
    // A click on a file, with its name.
    void fileClicked(const QString& name);

private:
    void fill();
    QString path_;
    QString pattern_ = QStringLiteral("*");
};

}  // namespace tv::forms
