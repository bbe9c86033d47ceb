// The .xlsx writer on libxlsxwriter.

#include "platform/values/IoError.h"
#include "platform/values/WholeFile.h"
#include "platform/workbook/Workbook.h"

#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <utility>

namespace tv::workbook {

namespace {

// A cell holds at most this many characters (code points) in a workbook.
constexpr qsizetype kMaxCellChars = 32767;

// `text` cut after kMaxCellChars characters, a pair of surrogates kept whole;
// false when it was not longer.
bool cutToCell(QString& text) {
    if (text.size() <= kMaxCellChars)
        return false;
    qsizetype at = 0;
    for (qsizetype chars = 0; at < text.size() && chars < kMaxCellChars; ++chars)
        at += text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate() ? 2 : 1;
    if (at == text.size())
        return false;
    text.truncate(at);
    return true;
}

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

QString writerErrorText(int code) {
    static constexpr std::pair<lxw_error, const char*> kWords[] = {
        {LXW_ERROR_MEMORY_MALLOC_FAILED, "内存不足"},
        {LXW_ERROR_CREATING_XLSX_FILE, "无法建立Excel文件"},
        {LXW_ERROR_CREATING_TMPFILE, "无法使用临时文件夹中的临时文件"},
        {LXW_ERROR_READING_TMPFILE, "无法使用临时文件夹中的临时文件"},
        {LXW_ERROR_ZIP_FILE_OPERATION, "写入Excel文件时出错"},
        {LXW_ERROR_ZIP_PARAMETER_ERROR, "压缩Excel文件时出错"},
        {LXW_ERROR_ZIP_BAD_ZIP_FILE, "压缩Excel文件时出错"},
        {LXW_ERROR_ZIP_INTERNAL_ERROR, "压缩Excel文件时出错"},
        {LXW_ERROR_ZIP_FILE_ADD, "写入Excel文件时出错"},
        {LXW_ERROR_ZIP_CLOSE, "写入Excel文件时出错"},
        {LXW_ERROR_FEATURE_NOT_SUPPORTED, "不支持这个功能"},
        {LXW_ERROR_NULL_PARAMETER_IGNORED, "数据无效"},
        {LXW_ERROR_PARAMETER_VALIDATION, "数据无效"},
        {LXW_ERROR_SHEETNAME_LENGTH_EXCEEDED, "工作表的名称无效"},
        {LXW_ERROR_INVALID_SHEETNAME_CHARACTER, "工作表的名称无效"},
        {LXW_ERROR_SHEETNAME_START_END_APOSTROPHE, "工作表的名称无效"},
        {LXW_ERROR_SHEETNAME_ALREADY_USED, "工作表的名称无效"},
        {LXW_ERROR_32_STRING_LENGTH_EXCEEDED, "文字太长，超出了Excel的上限"},
        {LXW_ERROR_128_STRING_LENGTH_EXCEEDED, "文字太长，超出了Excel的上限"},
        {LXW_ERROR_255_STRING_LENGTH_EXCEEDED, "文字太长，超出了Excel的上限"},
        {LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED, "文字太长，超出了Excel的上限"},
        {LXW_ERROR_SHARED_STRING_INDEX_NOT_FOUND, "工作簿内部出错"},
        {LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE, "数据超出了Excel工作表的范围（最多1048576行、16384列）"},
        {LXW_ERROR_WORKSHEET_MAX_URL_LENGTH_EXCEEDED, "链接太长或太多"},
        {LXW_ERROR_WORKSHEET_MAX_NUMBER_URLS_EXCEEDED, "链接太长或太多"},
        {LXW_ERROR_IMAGE_DIMENSIONS, "图片的尺寸无效"},
    };
    if (code == LXW_NO_ERROR)
        return QString();
    for (const auto& [error, words] : kWords)
        if (error == code)
            return QString::fromUtf8(words);
    return QStringLiteral("写入Excel文件时出错（错误号 %1）").arg(code);
}

struct Writer::Impl {
    explicit Impl(const QString& path) : file(path) {}
    WholeFile file;
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* moneyFormat = nullptr;
    lxw_format* dateFormat = nullptr;
    lxw_error firstError = LXW_NO_ERROR;
    qint64 cut = 0;

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
        file.cancel();
    }
    [[noreturn]] void failed(const QString& why, const QString& what = QStringLiteral("保存Excel文件失败：")) {
        discard();
        throw WorkbookError(what + why);
    }
};

Writer::Writer(const QString& path) : d_(std::make_unique<Impl>(QFileInfo(path).absoluteFilePath())) {
    // The workbook is written as a whole file: the library writes it under
    // the name the whole file lends it, and close() puts it in place.
    if (!d_->file.open())
        throw WorkbookError(QStringLiteral("保存Excel文件失败：") + d_->file.error());

    lxw_workbook_options options = {};
    // Each row goes to the file when the next one starts: the workbook is
    // never held whole, whatever its size. Texts are then kept inline in
    // their cells, which every reader of ours and the common programs take.
    options.constant_memory = LXW_TRUE;
    const QByteArray name = QFile::encodeName(d_->file.libraryPath());
    d_->book = workbook_new_opt(name.constData(), &options);
    if (!d_->book || !(d_->sheet = workbook_add_worksheet(d_->book, nullptr)))
        d_->failed(writerErrorText(d_->book ? LXW_ERROR_MEMORY_MALLOC_FAILED : LXW_ERROR_CREATING_XLSX_FILE));
    d_->moneyFormat = workbook_add_format(d_->book);
    format_set_num_format(d_->moneyFormat, "0.00");
    d_->dateFormat = workbook_add_format(d_->book);
    format_set_num_format(d_->dateFormat, "yyyy-mm-dd");
}

Writer::~Writer() { d_->discard(); }

qint64 Writer::cutCells() const { return d_->cut; }

void Writer::text(int64_t row, int column, const QString& text) {
    QString kept = text;
    if (cutToCell(kept))
        ++d_->cut;
    const QByteArray utf8 = kept.toUtf8();
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
    if (d_->firstError != LXW_NO_ERROR)
        d_->failed(writerErrorText(d_->firstError), QStringLiteral("写入Excel文件失败："));
    errno = 0;
    const lxw_error e = workbook_close(d_->book);
    const int why = errno;  // a write of the file that failed, a full disk among them
    d_->book = nullptr;
    if (e != LXW_NO_ERROR)
        d_->failed(writerErrorText(e) + (why ? QStringLiteral("（%1）").arg(ioErrorText(why)) : QString()));
    if (!d_->file.commit())
        d_->failed(d_->file.error());
}

}  // namespace tv::workbook
