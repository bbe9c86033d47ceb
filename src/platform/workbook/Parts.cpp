// What the readers of the three formats share.

#include "platform/workbook/Parts.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
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

std::vector<ZipPart> zipParts(std::string_view bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto n = static_cast<int64_t>(bytes.size());
    int64_t eocd = -1;
    for (int64_t i = n - 22; i >= 0 && i >= n - 22 - 65535; --i) {
        if (le32(b + i) == 0x06054b50) {
            eocd = i;
            break;
        }
    }
    if (eocd < 0)
        damaged();
    const uint16_t entries = le16(b + eocd + 10);
    uint64_t at = le32(b + eocd + 16), total = 0;
    std::vector<ZipPart> parts;
    for (uint16_t e = 0; e < entries; ++e) {
        if (at + 46 > static_cast<uint64_t>(n) || le32(b + at) != 0x02014b50)
            damaged();
        ZipPart p;
        p.method = le16(b + at + 10);
        p.packed = le32(b + at + 20);
        p.size = le32(b + at + 24);
        p.header = le32(b + at + 42);
        const uint16_t nameLength = le16(b + at + 28);
        if (at + 46 + nameLength > static_cast<uint64_t>(n))
            damaged();
        p.name.assign(reinterpret_cast<const char*>(b + at + 46), nameLength);
        // A part's packed bytes lie inside the file; the sizes it unpacks to
        // are what is made room for.
        if (p.header + 30 + p.packed > static_cast<uint64_t>(n))
            damaged();
        if (p.size > kMaxPartBytes || (total += p.size) > kMaxUnpackedBytes)
            tooLarge();
        at += 46ULL + nameLength + le16(b + at + 30) + le16(b + at + 32);
        parts.push_back(std::move(p));
    }
    return parts;
}

PartText zipPart(std::string_view bytes, const std::vector<ZipPart>& parts, std::string_view name) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto n = static_cast<uint64_t>(bytes.size());
    for (const ZipPart& p : parts) {
        if (p.name != name)
            continue;
        if (p.header + 30 > n || le32(b + p.header) != 0x04034b50)
            damaged();
        const uint64_t data = p.header + 30 + le16(b + p.header + 26) + le16(b + p.header + 28);
        if (data + p.packed > n)
            damaged();
        PartText out{true, {}};
        if (p.method == 0) {
            out.text.assign(reinterpret_cast<const char*>(b + data), p.packed);
            return out;
        }
        if (p.method != 8)
            throw WorkbookError(unreadable(QStringLiteral("文件的压缩方式不能识别。")));
        out.text.resize(p.size);
        z_stream z = {};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            tooLarge();
        z.next_in = const_cast<Bytef*>(b + data);
        z.avail_in = static_cast<uInt>(p.packed);
        z.next_out = reinterpret_cast<Bytef*>(out.text.data());
        z.avail_out = static_cast<uInt>(out.text.size());
        const int rc = inflate(&z, Z_FINISH);
        const uint64_t got = z.total_out;
        inflateEnd(&z);
        if (rc != Z_STREAM_END || got != p.size)
            damaged();
        return out;
    }
    return {};
}

// ---- a sheet as it is read ---------------------------------------------------

SheetBuilder::SheetBuilder(QString name, size_t& cellCount) : cellCount_(cellCount) { sheet_.name = std::move(name); }

void SheetBuilder::add(int32_t row, int32_t column, Value value) {
    if (row < 0 || column < 0 || value.isNull())
        return;
    if (row >= kMaxRows || column >= kMaxColumns) {
        error();  // past the sheet's edge: a cell not taken
        return;
    }
    if (++cellCount_ > kMaxCells)
        tooLarge();
    if (row != row_) {
        closeRow();
        if (row < row_)
            rowsInOrder_ = false;
        row_ = row;
    }
    if (column <= lastColumn_)
        cellsInOrder_ = false;
    lastColumn_ = column;
    current_.cells.emplace_back(column, std::move(value));
    sheet_.columns = std::max(sheet_.columns, column + 1);
}

void SheetBuilder::closeRow() {
    if (current_.cells.empty())
        return;
    if (!cellsInOrder_) {
        // In order of column; of a cell written twice the last one counts.
        auto& cells = current_.cells;
        std::vector<size_t> order(cells.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return cells[a].first < cells[b].first; });
        std::vector<std::pair<int, Value>> kept;
        for (size_t i = 0; i < order.size(); ++i)
            if (i + 1 == order.size() || cells[order[i + 1]].first != cells[order[i]].first)
                kept.emplace_back(cells[order[i]].first, cells[order[i]].second);
        cells = std::move(kept);
    }
    sheet_.rows.push_back(std::move(current_));
    rowNumbers_.push_back(row_);
    current_ = {};
    lastColumn_ = -1;
    cellsInOrder_ = true;
}

Sheet SheetBuilder::finish() {
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
                // The cells of both, in order of column, the later one kept.
                std::vector<std::pair<int, Value>> joined;
                auto& a = rows.back().cells;
                const auto& b = sheet_.rows[i].cells;
                size_t x = 0, y = 0;
                while (x < a.size() || y < b.size()) {
                    if (y == b.size() || (x < a.size() && a[x].first < b[y].first)) {
                        joined.emplace_back(a[x].first, a[x].second);
                        ++x;
                    } else {
                        if (x < a.size() && a[x].first == b[y].first)
                            ++x;
                        joined.emplace_back(b[y].first, b[y].second);
                        ++y;
                    }
                }
                a = std::move(joined);
            } else {
                rows.push_back(std::move(sheet_.rows[i]));
            }
            last = rowNumbers_[i];
        }
        sheet_.rows = std::move(rows);
    }
    rowNumbers_ = {};
    return std::move(sheet_);
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
