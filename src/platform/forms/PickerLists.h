#pragma once
// The parts of the file pickers: drives, the folder tree down to the current
// folder with its subfolders, the files of a folder that match a pattern, and
// a picture box that previews a picture file.

#include <QComboBox>
#include <QImage>
#include <QLabel>
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

// Why the folder at `path` cannot be opened, in Chinese ("" when it can):
// not there, not a folder, or no permission to read or enter it
// ("没有访问权限").
QString folderRefusal(const QString& path);
// Tests: opening the folder at `path` fails with the error number `errnum`,
// as the system fails it for a user without the permission (which the
// superuser always has); 0 ends that.
void failFolderOpens(const QString& path, int errnum);

// The current folder with its parents above it and its subfolders below it;
// a double-click on an entry, or Enter, opens that folder. A folder that
// cannot be opened says why in a "提示！" box, and the list stays on the
// folder it showed.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    // False (and nothing changes) when the folder cannot be opened.
    bool setPath(const QString& path);
    // Reads the folder again; when it is gone, its nearest parent that is
    // left is shown instead (and pathChanged told).
    void refresh();
signals:
    void pathChanged();

private:
    void fill();
    QString path_;
};

// The files of a folder that match a pattern ("*" for all, letter case not
// counting), sorted by name. Files with an attribute are listed only while
// that attribute is shown: hidden files (names starting with a dot),
// read-only files (no write permission for their owner) and system entries
// (devices, pipes, sockets, broken links). A file with two attributes needs
// both shown. By default read-only files are shown, the others not. A name
// that is not UTF-8 is listed as it reads, "�" for each byte that does not,
// and says so in its tooltip.
class FileList : public QListWidget {
    Q_OBJECT
public:
    enum Attribute { Hidden = 1, ReadOnly = 2, System = 4 };

    explicit FileList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    void setPath(const QString& path);
    QString pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    bool isShown(Attribute a) const { return (shown_ & a) != 0; }
    void setShown(Attribute a, bool on);
    // Reads the folder again, keeping the selected file when it is still there.
    void refresh();
    // The name of the selected file, "" when none is selected.
    QString fileName() const;
signals:
    // A click on a file, or Enter on the current one, with its name.
    void fileClicked(const QString& name);
    // The Delete key on the list.
    void deleteRequested();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void fill();
    QString path_;
    QString pattern_ = QStringLiteral("*");
    int shown_ = ReadOnly;
};

// The drive, folder and file lists of a picker shown on `path`, without the
// lists telling one another.
void showFolder(DriveList* drives, FolderList* folders, FileList* files, const QString& path);
// After a drive was chosen: the folder list goes to it; a drive that cannot
// be read puts the drive list back on the folder's drive.
void followDrive(DriveList* drives, FolderList* folders);

// A picture file shown whole inside the box, scaled down (never up) to fit
// and kept to the box as it is resized. The file is decoded within a memory
// limit (a large photo is decoded at a reduced size where its format allows,
// showing its progress while that lasts); a picture too large for that says
// so in the box, and so does a file that is no picture or one the decoder
// could not read to its end (a cut or damaged file). A decoding the user
// stopped leaves the box empty.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    // Shows the picture in `path`; false (and the box empty) when it cannot.
    bool showFile(const QString& path);
    void clearPicture();
    // The picture as decoded (null when the box is empty).
    const QImage& image() const { return image_; }

    // The decoded picture: at most this many pixels on its longer side.
    static constexpr int kMaxSide = 2400;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void fit();
    QImage image_;
};

}  // namespace tv::forms
