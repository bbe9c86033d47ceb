// What the readers of the three formats share.

#include "platform/workbook/Parts.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numeric>

namespace tv::workbook::detail {

const QString kEncrypted = QStringLiteral("该工作簿有密码保护，不能读取。");

QString unreadable(const QString& why) { return QStringLiteral("无法读取Excel文件：") + why; }

void tooLarge() { throw WorkbookError(QStringLiteral("Excel文件太大，不能读取。")); }

void damaged() { throw WorkbookError(unreadable(QStringLiteral("文件不完整或已损坏。"))); }

namespace {

uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

// ---- the bytes of a workbook ------------------------------------------------

std::string Source::bytes(uint64_t at, size_t n) const {
    std::string out(n, '\0');
    read(at, out.data(), n);
    return out;
}

void MemorySource::read(uint64_t at, char* out, size_t n) const {
    if (at > bytes_.size() || n > bytes_.size() - at)
        damaged();
    std::memcpy(out, bytes_.data() + at, n);
}

void FileSource::read(uint64_t at, char* out, size_t n) const {
    if (at > size_ || n > size_ - at)
        damaged();
    while (n > 0) {
        const ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            damaged();  // the file shrank under the reading, or cannot be read
        out += got;
        at += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
}

// ---- zip packages -----------------------------------------------------------

std::vector<ZipPart> zipParts(const Source& source) {
    // The end record lies in the last 22 bytes and the comment after it.
    const uint64_t n = source.size();
    const uint64_t tailFrom = n > 22 + 65535 ? n - 22 - 65535 : 0;
    const std::string tail = source.bytes(tailFrom, static_cast<size_t>(n - tailFrom));
    const auto* t = reinterpret_cast<const unsigned char*>(tail.data());
    int64_t eocd = -1;
    for (int64_t i = int64_t(tail.size()) - 22; i >= 0; --i) {
        if (le32(t + i) == 0x06054b50) {
            eocd = i;
            break;
        }
    }
    if (eocd < 0)
        damaged();
    const uint16_t entries = le16(t + eocd + 10);
    const uint64_t directorySize = le32(t + eocd + 12), directoryAt = le32(t + eocd + 16);
    if (directoryAt > n || directorySize > n - directoryAt)
        damaged();
    const std::string directory = source.bytes(directoryAt, static_cast<size_t>(directorySize));
    const auto* b = reinterpret_cast<const unsigned char*>(directory.data());
    const uint64_t size = directory.size();
    uint64_t at = 0, total = 0;
    std::vector<ZipPart> parts;
    for (uint16_t e = 0; e < entries; ++e) {
        if (at + 46 > size || le32(b + at) != 0x02014b50)
            damaged();
        ZipPart p;
        p.method = le16(b + at + 10);
        p.packed = le32(b + at + 20);
        p.size = le32(b + at + 24);
        p.header = le32(b + at + 42);
        const uint16_t nameLength = le16(b + at + 28);
        if (at + 46 + nameLength > size)
            damaged();
        p.name.assign(reinterpret_cast<const char*>(b + at + 46), nameLength);
        // A part's packed bytes lie inside the file; the sizes it unpacks to
        // are what is made room for.
        if (p.header + 30 + p.packed > n)
            damaged();
        if (p.size > kMaxPartBytes || (total += p.size) > kMaxUnpackedBytes)
            tooLarge();
        at += 46ULL + nameLength + le16(b + at + 30) + le16(b + at + 32);
        parts.push_back(std::move(p));
    }
    return parts;
}

const ZipPart* findPart(const std::vector<ZipPart>& parts, std::string_view name) {
    for (const ZipPart& p : parts)
        if (p.name == name)
            return &p;
    return nullptr;
}

struct PartReader::Impl {
    const Source& source;
    uint64_t at = 0, left = 0;  // packed bytes still to read
    uint64_t size = 0, given = 0;
    bool stored = false, ended = false, inflating = false;
    z_stream z = {};
    std::vector<char> in;

    Impl(const Source& s) : source(s) {}
    ~Impl() {
        if (inflating)
            inflateEnd(&z);
    }

    // Unpacks up to `n` bytes, its packed bytes read as they are needed.
    size_t inflateInto(char* out, size_t n) {
        z.next_out = reinterpret_cast<Bytef*>(out);
        z.avail_out = static_cast<uInt>(n);
        while (z.avail_out > 0 && !ended) {
            if (z.avail_in == 0 && left > 0) {
                in.resize(static_cast<size_t>(std::min<uint64_t>(left, 1u << 16)));
                source.read(at, in.data(), in.size());
                at += in.size();
                left -= in.size();
                z.next_in = reinterpret_cast<Bytef*>(in.data());
                z.avail_in = static_cast<uInt>(in.size());
            }
            const int rc = inflate(&z, Z_NO_FLUSH);
            if (rc == Z_STREAM_END)
                ended = true;
            else if (rc != Z_OK)
                damaged();
        }
        return n - z.avail_out;
    }
};

PartReader::PartReader(const Source& source, const ZipPart& part) : d_(new Impl(source)) {
    unsigned char header[30];
    source.read(part.header, reinterpret_cast<char*>(header), sizeof header);
    if (le32(header) != 0x04034b50)
        damaged();
    d_->at = part.header + 30 + le16(header + 26) + le16(header + 28);
    if (d_->at > source.size() || part.packed > source.size() - d_->at)
        damaged();
    d_->left = part.packed;
    d_->size = part.size;
    d_->stored = part.method == 0;
    if (d_->stored) {
        d_->size = part.packed;
        return;
    }
    if (part.method != 8)
        throw WorkbookError(unreadable(QStringLiteral("文件的压缩方式不能识别。")));
    if (inflateInit2(&d_->z, -MAX_WBITS) != Z_OK)
        tooLarge();
    d_->inflating = true;
}

PartReader::~PartReader() = default;

size_t PartReader::read(char* out, size_t n) {
    Impl& d = *d_;
    if (d.stored) {
        n = static_cast<size_t>(std::min<uint64_t>(n, d.size - d.given));
        d.source.read(d.at, out, n);
        d.at += n;
        d.given += n;
        return n;
    }
    if (d.given == d.size) {
        // All it declares is given: its packed bytes must end here.
        char probe;
        if (!d.ended && (d.inflateInto(&probe, 1) != 0 || !d.ended))
            damaged();
        return 0;
    }
    const size_t got = d.inflateInto(out, static_cast<size_t>(std::min<uint64_t>(n, d.size - d.given)));
    d.given += got;
    if (d.ended && d.given != d.size)
        damaged();  // ended before the size it declares
    return got;
}

// ---- a sheet as it is read ---------------------------------------------------

SheetBuilder::SheetBuilder(QString name, SheetSink& sink, bool holdRows) : sink_(sink), hold_(holdRows) {
    sheet_.name = std::move(name);
}

void SheetBuilder::add(int32_t row, int32_t column, Value value, QString digits) {
    if (row < 0 || column < 0 || value.isNull())
        return;
    if (row >= kMaxRows || column >= kMaxColumns) {
        error();  // past the sheet's edge: a cell not taken
        return;
    }
    if (row != row_) {
        closeRow();
        if (row < row_) {
            if (!hold_)
                throw RowsOutOfOrder();
            rowsInOrder_ = false;
        }
        row_ = row;
    }
    if (hold_ && ++cells_ > kMaxCells)
        tooLarge();
    if (column <= lastColumn_)
        cellsInOrder_ = false;
    lastColumn_ = column;
    if (!digits.isEmpty() || !digits_.empty()) {
        digits_.resize(current_.cells.size());
        digits_.push_back(std::move(digits));
    }
    current_.cells.emplace_back(column, std::move(value));
    sheet_.columns = std::max(sheet_.columns, column + 1);
}

void SheetBuilder::closeRow() {
    if (current_.cells.empty())
        return;
    auto& cells = current_.cells;
    if (!digits_.empty())
        digits_.resize(cells.size());
    if (!cellsInOrder_) {
        // In order of column; of a cell written twice the last one counts.
        std::vector<size_t> order(cells.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return cells[a].first < cells[b].first; });
        std::vector<std::pair<int, Value>> kept;
        std::vector<QString> keptDigits;
        for (size_t i = 0; i < order.size(); ++i) {
            if (i + 1 < order.size() && cells[order[i + 1]].first == cells[order[i]].first)
                continue;
            kept.emplace_back(cells[order[i]].first, cells[order[i]].second);
            if (!digits_.empty())
                keptDigits.push_back(std::move(digits_[order[i]]));
        }
        cells = std::move(kept);
        digits_ = std::move(keptDigits);
    }
    for (size_t i = 0; i < digits_.size(); ++i)
        if (!digits_[i].isEmpty())
            current_.digits.emplace_back(cells[i].first, std::move(digits_[i]));
    digits_.clear();
    if (hold_) {
        sheet_.rows.push_back(std::move(current_));
        rowNumbers_.push_back(row_);
    } else {
        sink_.row(std::move(current_));
    }
    current_ = {};
    lastColumn_ = -1;
    cellsInOrder_ = true;
}

void SheetBuilder::finish() {
    closeRow();
    if (!rowsInOrder_) {
        // Rows by their number; the cells of a row written in two places join.
        std::vector<size_t> order(sheet_.rows.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return rowNumbers_[a] < rowNumbers_[b]; });
        std::vector<Sheet::Row> rows;
        int32_t last = -1;
        for (size_t i : order) {
            if (!rows.empty() && rowNumbers_[i] == last) {
                // The cells of both, in order of column, the later one kept
                // (with its digits).
                Sheet::Row joined;
                const Sheet::Row& first = rows.back();
                const Sheet::Row& later = sheet_.rows[i];
                const auto& a = first.cells;
                const auto& b = later.cells;
                const auto take = [&joined](const Sheet::Row& from, const std::pair<int, Value>& cell) {
                    joined.cells.push_back(cell);
                    if (const QString d = from.digitsAt(cell.first); !d.isEmpty())
                        joined.digits.emplace_back(cell.first, d);
                };
                size_t x = 0, y = 0;
                while (x < a.size() || y < b.size()) {
                    if (y == b.size() || (x < a.size() && a[x].first < b[y].first)) {
                        take(first, a[x++]);
                    } else {
                        if (x < a.size() && a[x].first == b[y].first)
                            ++x;
                        take(later, b[y++]);
                    }
                }
                rows.back() = std::move(joined);
            } else {
                rows.push_back(std::move(sheet_.rows[i]));
            }
            last = rowNumbers_[i];
        }
        sheet_.rows = std::move(rows);
    }
    for (Sheet::Row& r : sheet_.rows) sink_.row(std::move(r));
    sheet_.rows = {};
    rowNumbers_ = {};
    sink_.end(sheet_);
}

QString ownDigits(std::string_view text, double number) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative || (!text.empty() && text.front() == '+'))
        text.remove_prefix(1);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return QString();
    while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
    QString digits = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    if (negative && digits != QLatin1String("0"))
        digits.prepend(QLatin1Char('-'));
    return digits == plainDigits(number) ? QString() : digits;
}

std::optional<double> numberIn(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '+')) s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    double d = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(d))
        return std::nullopt;
    return d;
}

// ---- dates -------------------------------------------------------------------

bool builtinDate(size_t id) {
    return (id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 58);
}

bool dateCode(std::string_view code) {
    bool quoted = false, bracket = false, escaped = false;
    for (char c : code) {
        if (escaped) {
            escaped = false;
        } else if (quoted) {
            quoted = c != '"';
        } else if (bracket) {
            bracket = c != ']';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '[') {
            bracket = true;
        } else if (c == '\\' || c == '_' || c == '*') {
            escaped = true;
        } else if (c == ';') {
            break;  // the first section decides
        } else if (c == 'y' || c == 'Y' || c == 'd' || c == 'D') {
            return true;
        }
    }
    return false;
}

Value dateOf(double serial, bool from1904) {
    // Whole seconds first: 14:30 is kept as 0.604166..., a hair below.
    const double seconds = std::nearbyint(serial * 86400.0);
    if (!std::isfinite(seconds) || std::fabs(seconds) > 86400.0 * 3.0e6)
        return Value(serial);
    auto days = static_cast<qint64>(std::floor(seconds / 86400.0));
    if (from1904)
        return Value(QDate(1904, 1, 1).addDays(days));
    // The 1900 system counts a 29 February 1900 that never was: the days
    // before it are one further from 1899-12-30 than they look.
    if (days >= 1 && days < 60)
        ++days;
    return Value(QDate(1899, 12, 30).addDays(days));
}

}  // namespace tv::workbook::detail
