#pragma once
// What the readers of the three formats share: the limits, the error texts,
// the parts of a zip package, the rows of a sheet as they are built, and the
// number formats that show dates. Not for use outside the workbook folder.

#include "platform/workbook/Workbook.h"

#include <QDate>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv::workbook::detail {

// What a workbook may hold before it is refused as too large for the
// program: the file, the unpacked parts of an .xlsx / .ods, the cells.
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

// The parts of a zip package as its central directory lists them. The sizes
// they declare are checked before anything is unpacked: a small file that
// would unpack into gigabytes is refused.
struct ZipPart {
    std::string name;
    uint64_t header = 0;  // offset of the part's local header
    uint64_t packed = 0, size = 0;
    uint16_t method = 0;
};
std::vector<ZipPart> zipParts(std::string_view bytes);
// The unpacked bytes of one part; nullopt-like empty `found` when it is
// missing. A part that is there but cannot be unpacked is damaged().
struct PartText {
    bool found = false;
    std::string text;
};
PartText zipPart(std::string_view bytes, const std::vector<ZipPart>& parts, std::string_view name);

// A sheet as it is read, cell by cell in the order of the file. Rows and
// cells that come out of order (allowed, if rare) are put in order at the
// end; a cell written twice keeps the last value.
class SheetBuilder {
public:
    SheetBuilder(QString name, size_t& cellCount);
    // A non-empty cell seen in the file, whether or not it gave a value.
    void held() { ++sheet_.held; }
    // A cell that gives no value it should (an error value, a value it
    // cannot be read as), or `count` of them.
    void error(qint64 count = 1) { sheet_.errors += count; }
    // A value at its place; one past the sheet's last column or row is
    // counted as an error, not kept.
    void add(int32_t row, int32_t column, Value value);
    Sheet finish();

private:
    void closeRow();
    Sheet sheet_;
    size_t& cellCount_;
    int32_t row_ = -1;
    int32_t lastColumn_ = -1;
    bool rowsInOrder_ = true;
    bool cellsInOrder_ = true;
    std::vector<int32_t> rowNumbers_;
    Sheet::Row current_;
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

// The readers of the three formats.
std::vector<Sheet> readXlsx(std::string_view bytes);
std::vector<Sheet> readOds(std::string_view bytes);
std::vector<Sheet> readXls(const QString& path, std::string_view bytes);

}  // namespace tv::workbook::detail
