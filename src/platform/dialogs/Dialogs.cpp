// Message boxes, input boxes and the open-file dialog; in scripted mode they
// never show, they take the queued answers and record the calls.
#include "platform/dialogs/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTranslator>

#include <algorithm>
#include <deque>
#include <variant>

namespace tv::dlg {

namespace {

struct Answer {
    QString kind;
    Button button = Ok;
    QString text;
    bool cancelled = false;  // an input box answered with Cancel
};

struct Script {
    bool active = false;
    std::deque<Answer> queue;
    std::vector<Call> calls;
    int unexpected = 0;
    std::function<void(const Call&)> handler;
};

Script& S() {
    static Script s;
    return s;
}

bool intercepted() { return S().active || S().handler; }

QString defaultTitle() {
    QString t = QCoreApplication::applicationName();
    return t;
}

// A style is its buttons (the low four bits) plus its icon (the next three).
static_assert((OkCancel | AbortRetryIgnore | YesNoCancel | YesNo | RetryCancel) <= 0x0F &&
              ((Critical | Question | Exclamation | Info) & ~0x70) == 0);

// The answer a dialog gets when nobody scripted one: the harmless one.
Button harmlessButton(Style style) {
    switch (style & 0x0F) {
        case OkCancel:
        case YesNoCancel:
        case RetryCancel:
            return Cancel;
        case AbortRetryIgnore:
            return Abort;
        case YesNo:
            return No;
        default:
            return Ok;
    }
}

// Takes the next queued answer when it is for this kind of dialog; otherwise
// records the call as unexpected and tells the handler.
std::optional<Answer> take(const Call& call) {
    Script& s = S();
    s.calls.push_back(call);
    if (!s.queue.empty() && s.queue.front().kind == call.kind) {
        Answer a = s.queue.front();
        s.queue.pop_front();
        return a;
    }
    ++s.unexpected;
    if (s.handler) {
        s.handler(call);
    } else {
        qWarning("unexpected %s: %s", qPrintable(call.kind), qPrintable(call.text));
    }
    return std::nullopt;
}

// The texts of Qt's file kinds that its Chinese catalogue lacks.
class MissingTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return QString();
        for (auto [en, zh] : {std::pair{"Folder", "文件夹"}, {"Drive", "驱动器"}, {"File", "文件"}})
            if (qstrcmp(source, en) == 0)
                return QString::fromUtf8(zh);
        return QString();
    }
};

// The file dialog's dates in the default locale (Qt's model takes the
// system's, which is English on most machines).
class LocalDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (files && role == Qt::DisplayRole && index.column() == 3)
            return QLocale().toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }
};

// A text too tall for the screen: shown in a scrolling pane of a width that
// reads well, as tall as the screen's work area leaves room for beside the
// title bar and the buttons, so that the whole box stays on the screen. The
// box's own label keeps the text (hidden), so that the box reads as before.
void scrollWhenTall(QMessageBox* box) {
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QScreen* screen = box->screen() ? box->screen() : QGuiApplication::primaryScreen();
    if (!grid || !label || !screen || grid->indexOf(label) < 0)
        return;
    const QRect area = screen->availableGeometry();
    auto* text = new QLabel(box->text());
    text->setObjectName(QStringLiteral("tvMessageText"));
    text->setFont(label->font());
    text->setTextFormat(label->textFormat());
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    const int width = std::clamp(area.width() / 2, 240, 560);
    const int room = std::max(area.height() - 220, 120);  // the title bar, margins and buttons take the rest
    if (text->heightForWidth(width) <= room) {
        delete text;
        return;
    }
    auto* pane = new QScrollArea(box);
    pane->setObjectName(QStringLiteral("tvMessageScroll"));
    pane->setWidget(text);
    pane->setWidgetResizable(true);
    pane->setFrameShape(QFrame::NoFrame);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pane->setFocusPolicy(Qt::StrongFocus);  // Tab reaches it; the arrows and Page keys scroll
    pane->setMinimumSize(width + pane->verticalScrollBar()->sizeHint().width(), room);
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(grid->indexOf(label), &row, &column, &rows, &columns);
    label->hide();
    grid->addWidget(pane, row, column, rows, columns);
}

}  // namespace

void useChinese() {
    static bool done = false;
    if (done || !qApp)
        return;
    done = true;
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    // The last translator installed is asked first: Qt's catalogue, then the gaps.
    QCoreApplication::installTranslator(new MissingTexts(qApp));
    auto* qt = new QTranslator(qApp);
    if (qt->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}

QString startFolder(const QString& wanted) {
    const QString dir = QFileInfo(wanted.isEmpty() ? QDir::currentPath() : wanted).canonicalFilePath();
    for (const char* pseudo : {"/proc", "/sys", "/dev"})
        if (dir == QLatin1String(pseudo) || dir.startsWith(QLatin1String(pseudo) + QLatin1Char('/')))
            return QDir::homePath();
    return QFileInfo(dir).isDir() ? dir : QDir::homePath();
}

void followChosenFile(const QString& path) {
    const QString dir = QFileInfo(path).absolutePath();
    if (!path.isEmpty() && QDir(dir).exists())
        QDir::setCurrent(dir);
}

QMessageBox* makeMessageBox(const QString& text, Style style, const QString& title, QWidget* parent) {
    auto* box = new QMessageBox(parent);
    box->setWindowTitle(title.isEmpty() ? defaultTitle() : title);
    box->setText(text);
    switch (style & 0x70) {
        case Critical:
            box->setIcon(QMessageBox::Critical);
            break;
        case Question:
            box->setIcon(QMessageBox::Question);
            break;
        case Exclamation:
            box->setIcon(QMessageBox::Warning);
            break;
        case Info:
            box->setIcon(QMessageBox::Information);
            break;
        default:
            box->setIcon(QMessageBox::NoIcon);
            break;
    }
    struct B {
        QString text;
        QMessageBox::ButtonRole role;
        Button code;
    };
    std::vector<B> buttons;
    const B ok{QStringLiteral("确定"), QMessageBox::AcceptRole, Ok};
    const B cancel{QStringLiteral("取消"), QMessageBox::RejectRole, Cancel};
    const B abort{QStringLiteral("终止(&A)"), QMessageBox::RejectRole, Abort};
    const B retry{QStringLiteral("重试(&R)"), QMessageBox::AcceptRole, Retry};
    const B ignore{QStringLiteral("忽略(&I)"), QMessageBox::AcceptRole, Ignore};
    const B yes{QStringLiteral("是(&Y)"), QMessageBox::YesRole, Yes};
    const B no{QStringLiteral("否(&N)"), QMessageBox::NoRole, No};
    switch (style & 0x0F) {
        case OkCancel:
            buttons = {ok, cancel};
            break;
        case AbortRetryIgnore:
            buttons = {abort, retry, ignore};
            break;
        case YesNoCancel:
            buttons = {yes, no, cancel};
            break;
        case YesNo:
            buttons = {yes, no};
            break;
        case RetryCancel:
            buttons = {retry, cancel};
            break;
        default:
            buttons = {ok};
            break;
    }
    const int defIndex = (style & 0x300) >> 8;
    for (size_t i = 0; i < buttons.size(); ++i) {
        QPushButton* b = box->addButton(buttons[i].text, buttons[i].role);
        b->setProperty("tvCode", static_cast<int>(buttons[i].code));
        if (static_cast<int>(i) == defIndex)
            box->setDefaultButton(b);
        if (buttons[i].code == Cancel || buttons.size() == 1)
            box->setEscapeButton(b);
    }
    // The title bar draws the title in a larger bold font beside its icon
    // and three buttons; the box grows so that nothing of it is cut.
    QFont titleFont = box->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(QFontMetrics(titleFont).horizontalAdvance(box->windowTitle()) + 150, 0),
                      grid->rowCount(), 0, 1, grid->columnCount());
    scrollWhenTall(box);  // last: setting the icon lays the box out afresh
    return box;
}

QStringList qtNameFilters(const QString& filter) {
    QStringList out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        QStringList patterns;
        for (QString p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            p = p.trimmed();
            if (p.isEmpty())
                continue;
            // "*.*" named every file, also one without a dot.
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
            patterns << p;
        }
        if (patterns.isEmpty())
            continue;
        // The description is shown as it stands; the patterns follow in the
        // last brackets, which the dialog hides.
        out << QStringLiteral("%1 (%2)").arg(desc, patterns.join(QLatin1Char(' ')));
    }
    if (out.isEmpty() && !filter.trimmed().isEmpty() && !filter.contains(QLatin1Char('|')))
        out << filter.trimmed();
    return out;
}

QFileDialog* makeOpenFileDialog(const QString& title, const QString& filter, const QString& startDir, QWidget* parent) {
    auto* fd = new QFileDialog(parent, title, startFolder(startDir));
    fd->setOption(QFileDialog::DontUseNativeDialog, true);
    fd->setProxyModel(new LocalDates(fd));
    fd->setOption(QFileDialog::HideNameFilterDetails, true);
    fd->setFileMode(QFileDialog::ExistingFile);
    fd->setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList filters = qtNameFilters(filter);
    if (!filters.isEmpty())
        fd->setNameFilters(filters);
    fd->setLabelText(QFileDialog::Accept, QStringLiteral("打开(&O)"));
    fd->setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    fd->setLabelText(QFileDialog::LookIn, QStringLiteral("查找范围："));
    fd->setLabelText(QFileDialog::FileName, QStringLiteral("文件名(&N)："));
    fd->setLabelText(QFileDialog::FileType, QStringLiteral("文件类型："));  // no key: the label has no buddy
    return fd;
}

QInputDialog* makeInputDialog(const QString& prompt, const QString& title, const QString& defaultText,
                              QWidget* parent) {
    auto* in = new QInputDialog(parent);
    in->setInputMode(QInputDialog::TextInput);
    in->setWindowTitle(title.isEmpty() ? defaultTitle() : title);
    in->setLabelText(prompt);
    in->setTextValue(defaultText);
    in->setOkButtonText(QStringLiteral("确定"));
    in->setCancelButtonText(QStringLiteral("取消"));
    return in;
}

Button msgBox(const QString& text, Style style, const QString& title) {
    if (intercepted()) {
        const auto a = take(Call{QStringLiteral("msgBox"), text, title, style, QString(), QString()});
        return a ? a->button : harmlessButton(style);
    }
    std::unique_ptr<QMessageBox> box(makeMessageBox(text, style, title, nullptr));
    box->exec();
    QAbstractButton* clicked = box->clickedButton();
    if (!clicked)
        return harmlessButton(style);
    return static_cast<Button>(clicked->property("tvCode").toInt());
}

std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    if (intercepted()) {
        const auto a = take(Call{QStringLiteral("inputBox"), prompt, title, 0, defaultText, QString()});
        return a && !a->cancelled ? std::optional<QString>(a->text) : std::nullopt;
    }
    std::unique_ptr<QInputDialog> in(makeInputDialog(prompt, title, defaultText, nullptr));
    if (in->exec() != QDialog::Accepted)
        return std::nullopt;
    return in->textValue();
}

QString openFile(const QString& title, const QString& filter, const QString& startDir) {
    QString path;
    if (intercepted()) {
        const auto a = take(Call{QStringLiteral("openFile"), title, QString(), 0, filter, startFolder(startDir)});
        path = a ? a->text : QString();
    } else {
        std::unique_ptr<QFileDialog> fd(makeOpenFileDialog(title, filter, startDir, nullptr));
        if (fd->exec() == QDialog::Accepted && !fd->selectedFiles().isEmpty())
            path = fd->selectedFiles().constFirst();
    }
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

namespace script {

void begin() {
    S().active = true;
    S().queue.clear();
    S().calls.clear();
    S().unexpected = 0;
}

void end() {
    S().active = false;
    S().queue.clear();
}

bool active() { return S().active; }

void answerMsgBox(Button button) { S().queue.push_back(Answer{QStringLiteral("msgBox"), button, {}, false}); }

void answerInput(std::optional<QString> text) {
    S().queue.push_back(Answer{QStringLiteral("inputBox"), Ok, text.value_or(QString()), !text});
}

void answerFile(const QString& path) { S().queue.push_back(Answer{QStringLiteral("openFile"), Ok, path, false}); }

const std::vector<Call>& calls() { return S().calls; }

void clearCalls() { S().calls.clear(); }

int pending() { return static_cast<int>(S().queue.size()); }

int unexpected() { return S().unexpected; }

void setUnexpectedHandler(std::function<void(const Call&)> handler) { S().handler = std::move(handler); }

std::function<void(const Call&)> unexpectedHandler() { return S().handler; }

}  // namespace script

}  // namespace tv::dlg
