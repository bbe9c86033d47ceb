// The file manager driven as a user drives it, in a scratch folder, by the
// steps of tests/fixtures/filemanager_steps.txt: after each step the message
// boxes, the two name boxes, the click mode and its boxes, the file list, the
// files on disk and the preview are written down and compared with the line
// under the step. TV_UPDATE_GOLDEN=1 writes what was seen instead.
#include "exchange/FrmWjgl.h"

#include "platform/dialogs/Progress.h"
#include "platform/forms/PickerLists.h"
#include "platform/shell/Shell.h"
#include "support/Codes.h"
#include "support/OddFiles.h"
#include "support/WindowTest.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <png.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csetjmp>
#include <cstdio>

namespace {

using tv::exchange::FrmWjgl;
using tv::forms::FileList;
namespace script = tv::dlg::script;

// The click modes as the old program wrote them.
constexpr std::array<std::pair<FrmWjgl::Click, const char*>, 5> kClickModes{{{FrmWjgl::Click::None, ""},
                                                                             {FrmWjgl::Click::Preview, "Y1"},
                                                                             {FrmWjgl::Click::SourcePath, "Y2"},
                                                                             {FrmWjgl::Click::TargetFolder, "Y3"},
                                                                             {FrmWjgl::Click::BareName, "N"}}};

// A PNG picture of `width` × `height` in four quarters (red, blue / green,
// white; in grey: black, white / dark, light), written a row at a time, so
// that a picture of any size takes no memory: "rgb" and "rgb16" at 8 and 16
// bits a channel, "grey16", "rgba-interlaced", "palette"; "header" is an RGB
// picture cut off after its header.
bool writePng(const QString& path, int width, int height, const QString& kind) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!file || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return file && !std::fclose(file) && false;
    }
    const bool deep = kind.endsWith("16"), grey = kind.startsWith("grey"), palette = kind == "palette";
    const int type = palette                   ? PNG_COLOR_TYPE_PALETTE
                     : grey                    ? PNG_COLOR_TYPE_GRAY
                     : kind.startsWith("rgba") ? PNG_COLOR_TYPE_RGBA
                                               : PNG_COLOR_TYPE_RGB;
    png_init_io(png, file);
    // Quickly written: each pixel as its difference from the one before, runs of zeros.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_strategy(png, Z_RLE);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, width, height, deep ? 16 : 8, type,
                 kind.endsWith("interlaced") ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    const QColor quarters[] = {Qt::red, Qt::blue, Qt::green, Qt::white};
    png_color colours[4];
    for (int i = 0; i < 4; ++i)
        colours[i] = {png_byte(quarters[i].red()), png_byte(quarters[i].green()), png_byte(quarters[i].blue())};
    if (palette)
        png_set_PLTE(png, info, colours, 4);
    png_write_info(png, info);
    if (kind != "header") {
        // The rows of the upper and of the lower half.
        const int channels = palette || grey ? 1 : type == PNG_COLOR_TYPE_RGBA ? 4 : 3, bytes = deep ? 2 : 1;
        std::vector<png_byte> rows[2];
        for (int half = 0; half < 2; ++half)
            for (int x = 0; x < width; ++x) {
                const int quarter = half * 2 + (x >= width / 2);
                const QColor c = quarters[quarter];
                const int greys[] = {0, 255, 64, 192}, values[] = {c.red(), c.green(), c.blue(), 255};
                for (int ch = 0; ch < channels; ++ch)
                    for (int b = 0; b < bytes; ++b)
                        rows[half].push_back(png_byte(palette ? quarter : grey ? greys[quarter] : values[ch]));
            }
        const int passes = png_set_interlace_handling(png);
        for (int pass = 0; pass < passes; ++pass)
            for (int y = 0; y < height; ++y) png_write_row(png, rows[y >= height / 2].data());
        png_write_end(png, nullptr);
    } else {  // where the pixels would begin
        png_write_chunk(png, reinterpret_cast<png_const_bytep>("IDAT"), nullptr, 0);
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

class FrmWjglTest : public tv::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        failing = script::unexpectedHandler();
        script::setUnexpectedHandler([](const tv::dlg::Call&) {});  // boxes not asked for are answered and kept
        ASSERT_TRUE(QDir(dir.path()).mkdir("w"));
        root = dir.filePath("w");
        wjgl().show();
    }
    void TearDown() override {
        for (const QString& folder : locked) {
            tv::forms::failFolderOpens(folder, 0);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        tv::dlg::progress::setWatcher(nullptr);
        tv::dlg::progress::setShowAfter(1000);
        script::setUnexpectedHandler(failing);
        WindowTest::TearDown();
    }
    static FrmWjgl& wjgl() { return tv::forms::the<FrmWjgl>(); }
    template <class T = QWidget>
    T* ctl(const QString& name) {
        T* w = wjgl().control<T>(name);
        EXPECT_TRUE(w) << name.toStdString();
        return w;
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(root + '/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    QListWidgetItem* item(QListWidget* list, const QString& text) {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().trimmed() == text)
                return list->scrollToItem(list->item(i)), list->item(i);
        ADD_FAILURE() << "no item " << text.toStdString();
        return nullptr;
    }
    void run(const QStringList& s);
    QString seen();

    QString root;
    QStringList locked;  // folders made without the permission to open them
    QStringList last;
    QString progress;  // the progress dialog seen in the step: its title, first and last values
    std::function<void(const tv::dlg::Call&)> failing;
};

// One step: a verb and its arguments, split at "|".
void FrmWjglTest::run(const QStringList& s) {
    const QString& verb = s[0];
    const QString arg = s.value(1);
    if (verb == "write") {  // name|content
        write(arg, s.value(2, arg).toUtf8());
    } else if (verb == "mkdir" || verb == "readonly") {
        ASSERT_TRUE(verb == "mkdir" ? QDir(root).mkdir(arg)
                                    : QFile::setPermissions(root + '/' + arg, QFile::ReadOwner));
    } else if (verb == "locked") {  // a folder nobody but the superuser may open, and he neither
        ASSERT_TRUE(QDir(root).mkdir(arg) && QFile::setPermissions(root + '/' + arg, {}));
        locked << root + '/' + arg;
        tv::forms::failFolderOpens(locked.last(), EACCES);
    } else if (verb == "raw") {  // name, "\xHH" for a byte that is not UTF-8|content
        QByteArray name = arg.toUtf8();
        for (qsizetype at; (at = name.indexOf("\\x")) >= 0;)
            name.replace(at, 4, QByteArray(1, char(name.mid(at + 2, 2).toInt(nullptr, 16))));
        const int fd = ::open(QFile::encodeName(root) + '/' + name, O_CREAT | O_WRONLY | O_EXCL, 0644);
        ASSERT_TRUE(fd >= 0 && ::write(fd, s.value(2).toUtf8().constData(), s.value(2).size()) == s.value(2).size());
        ::close(fd);
    } else if (verb == "jpg" || verb == "bmp") {  // name|width|height|bytes cut off the end
        QByteArray bytes;
        if (verb == "jpg") {
            QImage image(s[2].toInt(), s[3].toInt(), QImage::Format_Grayscale8);
            image.fill(128);
            QBuffer buffer(&bytes);
            ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "JPG", 30));
            bytes.chop(s.value(4).toInt());
        } else {  // only a header, of a picture too large to decode whole
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out.setByteOrder(QDataStream::LittleEndian);
            out.writeRawData("BM", 2);
            out << quint32(54) << quint32(0) << quint32(54) << quint32(40) << qint32(s[2].toInt())
                << qint32(s[3].toInt()) << quint16(1) << quint16(32) << quint32(0) << quint32(0) << quint32(0)
                << quint32(0) << quint32(0) << quint32(0);
        }
        write(arg, bytes);
    } else if (verb == "png") {  // name|width|height|kind (see writePng)|bytes cut off the end
        ASSERT_TRUE(writePng(root + '/' + arg, s[2].toInt(), s[3].toInt(), s[4]));
        QFile(root + '/' + arg).resize(QFileInfo(root + '/' + arg).size() - s.value(5).toInt());
    } else if (verb == "big") {  // name|size in pieces of a copy (and a few bytes)
        write(arg, QByteArray(s[2].toInt() * tv::shell::kCopyChunk + 5, '\0'));
    } else if (verb == "progress") {  // N: progress dialogs show at once, 取消 pressed at their Nth step; off
        tv::dlg::progress::setShowAfter(arg == "off" ? 1000 : 0);
        std::function<void(QProgressDialog&)> watcher =
            [this, at = arg.toInt(), steps = 0, seen = QPointer<QProgressDialog>()](QProgressDialog& d) mutable {
                if (seen != &d)  // another dialog: counted afresh
                    seen = &d, steps = 0;
                const QString value = QString::number(d.value());
                progress =
                    progress.isEmpty() ? d.windowTitle() + ' ' + value : progress.section("…", 0, 0) + "…" + value;
                if (++steps == at)
                    QTest::mouseClick(d.findChild<QPushButton*>(), Qt::LeftButton), progress += " 取消";
            };
        tv::dlg::progress::setWatcher(arg == "off" ? nullptr : watcher);
    } else if (verb == "link") {  // name|what it points to
        ASSERT_TRUE(QFile::link(s.value(2), root + '/' + arg));
    } else if (verb == "odd") {  // name|a kind of tv::test::oddKinds()
        tv::test::makeOdd(s.value(2), root + '/' + arg);
    } else if (verb == "open") {  // again, on the scratch folder
        wjgl().show();
        run({"go", ""});
    } else if (verb == "go") {  // the folder list set to a folder of the scratch folder
        ctl<tv::forms::FolderList>("DirList")->setPath(root + '/' + arg);
    } else if (verb == "cd") {  // a double-click on a folder of the list
        auto* list = ctl<QListWidget>("DirList");
        const QPoint at = list->visualItemRect(item(list, arg)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    } else if (verb == "click" || verb == "enter") {
        auto* list = ctl<QListWidget>("FilList");
        QListWidgetItem* it = item(list, arg);
        if (verb == "click")
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(it).center());
        else
            list->setCurrentItem(it), QTest::keyClick(list, Qt::Key_Return);
    } else if (verb == "tick") {
        ctl<QCheckBox>(arg)->click();
    } else if (verb == "type") {  // box|text, typed over what it holds
        auto* box = ctl<QLineEdit>(arg);
        box->selectAll();
        box->del();
        QInputMethodEvent typed;
        typed.setCommitString(s.value(2));
        QApplication::sendEvent(box, &typed);
    } else if (verb == "type-filter") {
        ctl<QComboBox>("CboLx")->setCurrentIndex(arg.toInt());
        emit ctl<QComboBox>("CboLx")->activated(arg.toInt());
    } else if (verb == "key-in") {  // box|keys pressed while the box has the focus
        QApplication::setActiveWindow(wjgl().widget());
        ctl<QWidget>(arg)->setFocus();
        QTest::keySequence(ctl<QWidget>(arg), QKeySequence(s.value(2)));
    } else if (verb == "press" || verb == "menu" || verb == "tool" || verb == "key") {  // ...|answer to the question
        if (s.size() > 2)
            script::answerMsgBox(s[2] == "yes" ? tv::dlg::Yes : s[2] == "no" ? tv::dlg::No : tv::dlg::Cancel);
        if (verb == "press")
            ctl<QPushButton>(arg)->click();
        else if (verb != "key")
            ctl<QAction>(arg)->trigger();
        else {  // pressed in the file list
            QApplication::setActiveWindow(wjgl().widget());
            ctl<QWidget>("FilList")->setFocus();
            QTest::keySequence(QApplication::focusWidget(), QKeySequence(arg));
        }
    } else {
        FAIL() << "unknown step " << verb.toStdString();
    }
    // Files made by the test are listed as a user would see them on coming back.
    if (QStringList{"write", "mkdir", "readonly", "jpg", "bmp", "png", "big", "link", "odd", "locked", "raw"}.contains(
            verb))
        ctl<tv::forms::FolderList>("DirList")->refresh(), ctl<FileList>("FilList")->refresh();
}

// The boxes shown (title and style when not "提示！" and information), and
// what changed of: the scratch folder's files with their first bytes, the
// file types, the name boxes, the mode and its boxes (x ticked, o unticked,
// - disabled), the file list, the preview.
QString FrmWjglTest::seen() {
    QStringList boxes, disk;
    for (const tv::dlg::Call& c : script::calls())
        boxes << QString(c.text).replace('\n', '/') + (c.title == "提示！" && c.style == tv::dlg::Info
                                                           ? ""
                                                           : QString("(%1 %2)").arg(c.title).arg(c.style));
    script::clearCalls();
    if (!progress.isEmpty())
        boxes << "进度(" + std::exchange(progress, QString()) + ")";
    for (QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QFileInfo f(it.next());
        QFile in(f.filePath());
        const QByteArray bytes = f.isFile() && in.open(QIODevice::ReadOnly) ? in.read(8) : "";
        disk << f.filePath().mid(root.size() + 1) +
                    (f.isDir() ? "/"
                     : bytes.startsWith("\x89PNG")
                         ? "=PNG"
                         : "=" + (bytes.contains('\0') ? QString::number(f.size()) : QString::fromUtf8(bytes)));
    }
    disk.sort();
    QStringList fields = {"disk=" + disk.join(',')};
    if (wjgl().isLoaded()) {
        QString modes, files;
        for (const char* name : {"Check4", "Check5", "Check6"}) {
            auto* box = ctl<QCheckBox>(name);
            modes += box->isChecked() ? 'x' : box->isEnabled() ? 'o' : '-';
        }
        auto* list = ctl<QListWidget>("FilList");
        auto* preview = ctl<tv::forms::PictureBox>("Image1");
        const QImage& picture = preview->image();
        QString shown = preview->text().isEmpty() ? "none" : preview->text();
        if (!picture.isNull()) {  // its size and the colours amid its quarters
            shown = QString("%1x%2").arg(picture.width()).arg(picture.height());
            for (int quarter = 0; quarter < 4; ++quarter)
                shown += ' ' + picture
                                   .pixelColor(picture.width() * (1 + quarter % 2 * 2) / 4,
                                               picture.height() * (1 + quarter / 2 * 2) / 4)
                                   .name();
        }
        auto* types = ctl<QComboBox>("CboLx");
        for (int i = 0; i < types->count(); ++i)
            files += types->itemText(i) + (i == types->currentIndex() ? "* " : " ");
        fields << "types=" + files;
        files.clear();
        for (int i = 0; i < list->count(); ++i) files += (i ? "," : "") + list->item(i)->text();
        fields << "src=" + ctl<QLineEdit>("TxtWjm")->text() << "dst=" + ctl<QLineEdit>("TxtMbwj")->text()
               << "mode=" + tv::test::codeText(kClickModes, wjgl().ClickMode) + ' ' + modes << "list=" + files
               << "pic=" + (ctl<QWidget>("Label4")->isVisible() ? shown : "-");
    } else {
        fields << "closed";
    }
    // Only what changed since the step before.
    QString out = "[" + boxes.join(';') + "]";
    for (const QString& field : fields)
        if (!last.contains(field))
            out += ' ' + field;
    last = fields;
    return out.replace(root, "~");
}

TEST_F(FrmWjglTest, EveryStepOfTheScriptShowsWhatItsGoldenLineSays) {
    const QString path = TV_FIXTURES_DIR "/filemanager_steps.txt";
    QFile golden(path);
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(golden.readAll()).split('\n');
    EXPECT_TRUE(lines[0].startsWith("# ")) << "the script's first line is its legend";
    QStringList written;
    // The window opens on the program's current folder; the script starts in the scratch folder.
    run({"go", ""});
    for (int i = 0; i < lines.size(); ++i) {
        written << lines[i];
        if (!lines[i].startsWith("> "))
            continue;
        {
            tv::test::Watchdog watchdog(lines[i].toStdString());  // a FIFO or a device must not hold a step up
            run(lines[i].mid(2).split('|'));
        }
        const QString state = seen();
        EXPECT_EQ(state, lines.value(i + 1)) << lines[i].toStdString();
        written << state;
        ++i;
    }
    golden.close();
    if (qEnvironmentVariableIsSet("TV_UPDATE_GOLDEN") && golden.open(QIODevice::WriteOnly | QIODevice::Truncate))
        golden.write(written.join('\n').toUtf8());
}

// The user database (one of the program's own files) is neither deleted nor
// renamed by its own name, nor through a linked folder; a link to it or a
// second name of it goes without touching it. Each case starts afresh from
// Rave.ini, its link u.lnk, its second name hard.ini and the folder link L.
// Its line: the boxes shown | the files left.
TEST_F(FrmWjglTest, TheUserDatabaseIsNeitherDeletedNorRenamedInTheFileManager) {
    const struct {
        const char *source, *target;  // no target: deleted
        const char* after;
    } cases[] = {
        {"Rave.ini", nullptr,
         "无法删除“~/Rave.ini”：它是本程序自用的用户数据库“~/Rave.ini” | hard.ini L Rave.ini u.lnk"},
        {"L/Rave.ini", nullptr,
         "无法删除“~/L/Rave.ini”：它实际上是本程序自用的用户数据库“~/Rave.ini” | hard.ini L Rave.ini u.lnk"},
        {"Rave.ini", "x.ini",
         "无法把“~/Rave.ini”改名为“x.ini”：它是本程序自用的用户数据库“~/Rave.ini” | hard.ini L Rave.ini u.lnk"},
        {"u.lnk", nullptr, "您真的要删除该文件吗？;文件删除完毕！ | hard.ini L Rave.ini"},
        {"hard.ini", nullptr, "您真的要删除该文件吗？;文件删除完毕！ | L Rave.ini u.lnk"},
        {"u.lnk", "v.lnk", "文件改名完毕！ | hard.ini L Rave.ini v.lnk"},
    };
    tv::state().UserDbPath = root + "/Rave.ini";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        for (const QString& name : QDir(root).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            ASSERT_TRUE(QFile::remove(root + '/' + name));
        write("Rave.ini", "users");
        ASSERT_TRUE(QFile::link("Rave.ini", root + "/u.lnk") && QFile::link(".", root + "/L") &&
                    ::link(QFile::encodeName(root + "/Rave.ini"), QFile::encodeName(root + "/hard.ini")) == 0);
        run({"go", ""});
        run({"type", "TxtWjm", c.source});
        run({"type", "TxtMbwj", c.target ? c.target : ""});
        run({"press", c.target ? "CmdRen" : "CmdDel", "yes"});
        QStringList boxes;
        for (const tv::dlg::Call& call : script::calls()) boxes << call.text;
        script::clearCalls();
        const QStringList left = QDir(root).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        EXPECT_EQ(QString(boxes.join(';') + " | " + left.join(' ')).replace(root, "~").toStdString(), c.after);
    }
}

}  // namespace

// The status bar's panels (状态, the date, the time) show their texts whole,
// none against the window's edges.
TEST_F(FrmWjglTest, TheStatusBarPanelsShowTheirTextsWholeClearOfTheWindowsEdges) {
    QWidget* window = wjgl().widget();
    const auto panels = ctl<QStatusBar>("StatusBar1")->findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 3);
    for (QLabel* panel : panels) {
        const QRect at(panel->mapTo(window, QPoint(0, 0)), panel->size());
        const QRect text = at.marginsRemoved(panel->contentsMargins());
        EXPECT_GE(text.width(), panel->fontMetrics().horizontalAdvance(panel->text())) << panel->text().toStdString();
        EXPECT_TRUE(at.left() >= 2 && at.right() <= window->width() - 3) << panel->text().toStdString();
    }
}
