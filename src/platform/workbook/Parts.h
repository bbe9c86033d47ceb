#pragma once
// What the readers of the three formats share: the limits, the error texts,
// the bytes of a workbook read where they lie, the parts of a zip package
// unpacked a piece at a time, where the sheets go as they are read, and the
// number formats that show dates. Not for use outside the workbook folder.

#include "platform/workbook/Workbook.h"

#include <QDate>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv::workbook::detail {

// What a workbook may hold before it is refused as too large for the
// program: the file, the unpacked parts of an .xlsx / .ods, the cells held
// at once where a sheet must be held whole (its rows out of order, or all of
// a workbook read into memory), and the cells of an .ods sheet, each copy of
// a repeated one counted.
constexpr qint64 kMaxFileBytes = 512LL << 20;
constexpr uint64_t kMaxPartBytes = 512ULL << 20;
constexpr uint64_t kMaxUnpackedBytes = 1024ULL << 20;
constexpr size_t kMaxCells = 16u << 20;
// The largest sheet the formats know.
constexpr int32_t kMaxRows = 1048576;
constexpr int32_t kMaxColumns = 16384;

QString unreadable(const QString& why);
[[noreturn]] void tooLarge();
[[noreturn]] void damaged();
extern const QString kEncrypted;

// The bytes of a workbook where they lie: in memory, or in a file read
// piece by piece, so that a large file is never held whole.
class Source {
public:
    virtual ~Source() = default;
    virtual uint64_t size() const = 0;
    // `n` bytes from `at`; damaged() when the file has fewer.
    virtual void read(uint64_t at, char* out, size_t n) const = 0;
    std::string bytes(uint64_t at, size_t n) const;
};

class MemorySource : public Source {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    uint64_t size() const override { return bytes_.size(); }
    void read(uint64_t at, char* out, size_t n) const override;

private:
    std::string_view bytes_;
};

class FileSource : public Source {
public:
    FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t size() const override { return size_; }
    void read(uint64_t at, char* out, size_t n) const override;

private:
    int fd_;
    uint64_t size_;
};

// The parts of a zip package as its central directory lists them. The sizes
// they declare are checked before anything is unpacked: a small file that
// would unpack into gigabytes is refused.
struct ZipPart {
    std::string name;
    uint64_t header = 0;  // offset of the part's local header
    uint64_t packed = 0, size = 0;
    uint16_t method = 0;
};
std::vector<ZipPart> zipParts(const Source& source);
const ZipPart* findPart(const std::vector<ZipPart>& parts, std::string_view name);

// One part unpacked a piece at a time. A part whose bytes do not unpack to
// the size it declares is damaged().
class PartReader {
public:
    PartReader(const Source& source, const ZipPart& part);
    ~PartReader();
    PartReader(const PartReader&) = delete;
    PartReader& operator=(const PartReader&) = delete;
    // Up to `n` more bytes of the part; 0 at its end.
    size_t read(char* out, size_t n);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// Where a reader puts what it reads, sheet by sheet in the workbook's order.
class SheetSink {
public:
    enum class Want { Nothing, Name, Rows };
    virtual ~SheetSink() = default;
    // What is wanted of the sheet at `index` (from 0, in the workbook's
    // order): nothing, its name only (begin() and end() with no rows), or
    // its rows too.
    virtual Want want(int index) = 0;
    virtual void begin(const QString& name) = 0;
    // The sheet's next row (rows in order of their place in the sheet).
    virtual void row(Sheet::Row&& row) = 0;
    // The rows given so far are to be forgotten: they come again, in order
    // (a sheet that turned out to keep its rows out of order).
    virtual void restart() = 0;
    // The sheet ends: its name, columns and counts (no rows).
    virtual void end(const Sheet& counts) = 0;
};

// Raised by a SheetBuilder that meets a row before one it has already given.
struct RowsOutOfOrder {};

// A sheet as it is read, cell by cell in the order of the file, its rows
// handed to the sink as each is complete (the reader has begun the sheet
// in the sink). Cells of a row that come out of
// order are put in order (a cell written twice keeps the last value). Rows
// out of order (allowed, if rare): a builder that streams raises
// RowsOutOfOrder at the first; one that holds (`holdRows`) keeps every row,
// puts them in order at the end (the cells of a row written in two places
// join) and only then hands them over.
class SheetBuilder {
public:
    SheetBuilder(QString name, SheetSink& sink, bool holdRows = false);
    // A non-empty cell seen in the file, whether or not it gave a value, or
    // `count` of them.
    void held(qint64 count = 1) { sheet_.held = counted(sheet_.held, count); }
    // A cell that gives no value it should (an error value, a value it
    // cannot be read as), or `count` of them.
    void error(qint64 count = 1) { sheet_.errors = counted(sheet_.errors, count); }
    // A value at its place, with the digits the file keeps for it where
    // they say more than the number (ownDigits()); one past the sheet's
    // last column or row is counted as an error, not kept.
    void add(int32_t row, int32_t column, Value value, QString digits = QString());
    // The last row handed over, then the counts.
    void finish();

private:
    // A count and `more`, at most a quarter of what its type holds (the
    // cells a hostile file repeats may be counted in trillions).
    static qint64 counted(qint64 count, qint64 more) {
        constexpr qint64 most = std::numeric_limits<qint64>::max() / 4;
        return more > most - count ? most : count + more;
    }
    void closeRow();
    Sheet sheet_;  // its rows only while they are held
    SheetSink& sink_;
    bool hold_;
    size_t cells_ = 0;  // held at once
    int32_t row_ = -1;
    int32_t lastColumn_ = -1;
    bool rowsInOrder_ = true;
    bool cellsInOrder_ = true;
    std::vector<int32_t> rowNumbers_;
    Sheet::Row current_;
    // The digits of the current row's cells, one for each (empty while none has any).
    std::vector<QString> digits_;
};

// Number formats that show a date: the built-in ones by id, the others by
// their code (a day or a year in it, outside quotes and brackets).
bool builtinDate(size_t id);
bool dateCode(std::string_view code);
// A serial day number of a workbook as a date, counted from `origin`
// (1899-12-30, or 1904-01-01 in a workbook that counts from 1904).
Value dateOf(double serial, bool from1904);

// A number as a workbook writes it ("1200", " 3.5E+2"); nothing for
// anything else, or for what is not finite.
std::optional<double> numberIn(std::string_view s);
// The digits of `text`, the number `number` as the file writes it, where
// they are plain digits ("-440301199001011234", no point, no exponent) that
// say more than the number's own (plainDigits()); empty otherwise.
QString ownDigits(std::string_view text, double number);

// The readers of the three formats, each handing the sheets the sink wants
// to it as it reads them.
void readXlsx(const Source& source, SheetSink& sink);
void readOds(const Source& source, SheetSink& sink);
// A legacy workbook: the file at `path` (libfreexl reads files only), its
// bytes in `source`.
void readXls(const QString& path, const Source& source, SheetSink& sink);

}  // namespace tv::workbook::detail
