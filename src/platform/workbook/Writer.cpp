// The .xlsx writer on libxlsxwriter.

#include "platform/values/IoError.h"
#include "platform/workbook/Workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tv::workbook {

namespace {

QString libraryText(lxw_error e) { return QString::fromUtf8(lxw_strerror(e)); }

// A reading as it is shown, as a number: the float's 7 significant digits
// (34.4, not 34.400001525878906). The same number as floatText(f).toDouble(),
// without a text in between: an export writes hundreds of thousands of them.
double shownReading(float f) {
    const double d = f;
    if (d == 0.0 || !std::isfinite(d))
        return floatText(f).toDouble();
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific, 6).ptr;
    double shown = d;
    std::from_chars(buf, end, shown);
    return shown;
}

}  // namespace

struct Writer::Impl {
    QString path, temp;
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* moneyFormat = nullptr;
    lxw_format* dateFormat = nullptr;
    lxw_error firstError = LXW_NO_ERROR;

    void note(lxw_error e) {
        if (e != LXW_NO_ERROR && firstError == LXW_NO_ERROR)
            firstError = e;
    }
    void discard() {
        if (book) {
            // Closing is the only way to free the workbook; what it wrote goes.
            workbook_close(book);
            book = nullptr;
        }
        if (!temp.isEmpty())
            QFile::remove(temp);
    }
};

Writer::Writer(const QString& path) : d_(std::make_unique<Impl>()) {
    d_->path = QFileInfo(path).absoluteFilePath();
    // A name of our own beside the target, so that the final rename stays on
    // one file system.
    QTemporaryFile reserve(QFileInfo(d_->path).absolutePath() + QStringLiteral("/.tenvora-XXXXXX.xlsx"));
    reserve.setAutoRemove(false);
    if (!reserve.open())
        throw WorkbookError(QStringLiteral("无法在该文件夹中创建Excel文件：") + ioErrorText(reserve));
    d_->temp = reserve.fileName();
    reserve.close();

    lxw_workbook_options options = {};
    // Each row goes to the file when the next one starts: the workbook is
    // never held whole, whatever its size. Texts are then kept inline in
    // their cells, which every reader of ours and the common programs take.
    options.constant_memory = LXW_TRUE;
    const QByteArray name = QFile::encodeName(d_->temp);
    d_->book = workbook_new_opt(name.constData(), &options);
    if (!d_->book || !(d_->sheet = workbook_add_worksheet(d_->book, nullptr))) {
        d_->discard();
        throw WorkbookError(libraryText(LXW_ERROR_MEMORY_MALLOC_FAILED));
    }
    d_->moneyFormat = workbook_add_format(d_->book);
    format_set_num_format(d_->moneyFormat, "0.00");
    d_->dateFormat = workbook_add_format(d_->book);
    format_set_num_format(d_->dateFormat, "yyyy-mm-dd");
}

Writer::~Writer() { d_->discard(); }

void Writer::text(int64_t row, int column, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    d_->note(worksheet_write_string(d_->sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                                    utf8.constData(), nullptr));
}

void Writer::number(int64_t row, int column, double number) {
    d_->note(worksheet_write_number(d_->sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), number,
                                    nullptr));
}

void Writer::money(int64_t row, int column, double amount) {
    d_->note(worksheet_write_number(d_->sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), amount,
                                    d_->moneyFormat));
}

void Writer::date(int64_t row, int column, const QDate& date) {
    if (!date.isValid())
        return;
    // A workbook counts days from 1900 on; an earlier date stays readable as text.
    if (date.year() < 1900 || date.year() > 9999)
        return text(row, column, shortDate(date));
    lxw_datetime dt = {date.year(), date.month(), date.day(), 0, 0, 0.0};
    d_->note(worksheet_write_datetime(d_->sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), &dt,
                                      d_->dateFormat));
}

void Writer::write(int64_t row, int column, const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Null:
        case Value::Kind::Bytes:
            return;
        case Value::Kind::Text:
            return text(row, column, v.toText());
        case Value::Kind::Int16:
        case Value::Kind::Int32:
            return number(row, column, v.toInt());
        case Value::Kind::Single:
            return number(row, column, shownReading(v.toSingle()));
        case Value::Kind::Double:
            return number(row, column, v.toDouble());
        case Value::Kind::Money:
            return money(row, column, v.toMoney().toDouble());
        case Value::Kind::Date:
            return date(row, column, v.toDate());
    }
}

void Writer::close() {
    if (!d_->book)
        throw WorkbookError(QStringLiteral("工作簿已经关闭。"));
    if (d_->firstError != LXW_NO_ERROR) {
        const QString why = libraryText(d_->firstError);
        d_->discard();
        throw WorkbookError(QStringLiteral("写入Excel文件失败：") + why);
    }
    errno = 0;
    const lxw_error e = workbook_close(d_->book);
    const int why = errno;  // a write of the file that failed, a full disk among them
    d_->book = nullptr;
    if (e != LXW_NO_ERROR) {
        d_->discard();
        throw WorkbookError(QStringLiteral("保存Excel文件失败：") + libraryText(e) +
                            (why ? QStringLiteral("（%1）").arg(ioErrorText(why)) : QString()));
    }
    QFile::setPermissions(
        d_->temp, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    // rename() replaces the target in one step: readers see the old file or
    // the new one, never a half-written one.
    if (std::rename(QFile::encodeName(d_->temp).constData(), QFile::encodeName(d_->path).constData()) != 0) {
        const QString why = ioErrorText(errno);
        d_->discard();
        throw WorkbookError(QStringLiteral("保存Excel文件失败：") + why);
    }
    d_->temp.clear();
}

}  // namespace tv::workbook
