// The workbook reader: .xlsx and .ods through liborcus (cells handed to us
// one by one, so no formula is ever recalculated), legacy .xls through
// libfreexl.

#include "platform/workbook/Workbook.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryFile>

#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>
#include <orcus/exception.hpp>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/factory.hpp>
#include <orcus/spreadsheet/styles.hpp>
#include <orcus/string_pool.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>

#if defined(__SANITIZE_ADDRESS__)
#define TV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TV_ASAN 1
#endif
#endif
#ifndef TV_ASAN
#define TV_ASAN 0
#endif

namespace tv::workbook {

namespace ss = orcus::spreadsheet;

namespace {

// What a workbook may hold before it is refused as too large for the
// program: the file, the unpacked parts of an .xlsx / .ods, the cells.
constexpr qint64 kMaxFileBytes = 512LL << 20;
constexpr uint64_t kMaxPartBytes = 256ULL << 20;
constexpr uint64_t kMaxUnpackedBytes = 768ULL << 20;
constexpr size_t kMaxCells = 16u << 20;
// The reading process: its memory and its time.
constexpr rlim_t kReaderMemory = 3ULL << 30;
constexpr qint64 kReaderSeconds = 60;

const QString kEncrypted = QStringLiteral("该工作簿有密码保护，不能读取。");

[[noreturn]] void tooLarge() { throw WorkbookError(QStringLiteral("Excel文件太大，不能读取。")); }

QString unreadable(const QString& why) { return QStringLiteral("无法读取Excel文件：") + why; }

uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

[[noreturn]] void damaged() { throw WorkbookError(unreadable(QStringLiteral("文件不完整或已损坏。"))); }

// The parts of a zip package as its central directory lists them. The sizes
// they declare are checked before anything is unpacked: a small file that
// would unpack into gigabytes is refused.
struct ZipPart {
    std::string name;
    uint64_t header = 0;  // offset of the part's local header
    uint64_t packed = 0, size = 0;
    uint16_t method = 0;
};

std::vector<ZipPart> zipParts(const QByteArray& bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype eocd = -1;
    for (qsizetype i = n - 22; i >= 0 && i >= n - 22 - 65535; --i) {
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
        // are what the reading library makes room for.
        if (p.header + 30 + p.packed > static_cast<uint64_t>(n))
            damaged();
        if (p.size > kMaxPartBytes || (total += p.size) > kMaxUnpackedBytes)
            tooLarge();
        at += 46ULL + nameLength + le16(b + at + 30) + le16(b + at + 32);
        parts.push_back(std::move(p));
    }
    return parts;
}

// The unpacked bytes of one part; empty when it is missing or cannot be read.
std::string zipPart(const QByteArray& bytes, const std::vector<ZipPart>& parts, std::string_view name) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto n = static_cast<uint64_t>(bytes.size());
    for (const ZipPart& p : parts) {
        if (p.name != name || p.header + 30 > n || le32(b + p.header) != 0x04034b50)
            continue;
        const uint64_t data = p.header + 30 + le16(b + p.header + 26) + le16(b + p.header + 28);
        if (data + p.packed > n)
            return {};
        if (p.method == 0)
            return std::string(reinterpret_cast<const char*>(b + data), p.packed);
        if (p.method != 8)
            return {};
        std::string out(p.size, '\0');
        z_stream z = {};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return {};
        z.next_in = const_cast<Bytef*>(b + data);
        z.avail_in = static_cast<uInt>(p.packed);
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        const int rc = inflate(&z, Z_FINISH);
        inflateEnd(&z);
        return rc == Z_STREAM_END ? out : std::string();
    }
    return {};
}

// Whether an .xlsx workbook counts its dates from 1904 (<workbookPr date1904="1"/>).
bool counts1904(const std::string& workbookXml) {
    const size_t at = workbookXml.find("date1904=");
    if (at == std::string::npos || at + 10 >= workbookXml.size())
        return false;
    const char v = workbookXml[at + 10];
    return v == '1' || v == 't';
}

// Number formats that show a date: the built-in ones by id, the others by
// their code (a day or a year in it, outside quotes and brackets).
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

// A cell as the filters hand it over, before its value is made.
struct RawCell {
    enum Kind : uint8_t { Number, Shared, Own, True, False, Day };
    int32_t row = 0;
    int32_t col = 0;
    Kind kind = Number;
    uint32_t xf = 0;
    double number = 0;  // Number; Day: the Julian day
    size_t text = 0;    // Shared: index in the shared strings; Own: in the sheet's own texts
};

class Book;

class SheetIn : public ss::iface::import_sheet, public ss::iface::import_formula {
public:
    SheetIn(Book& book, std::string_view name) : name_(name), book_(book) {}

    std::string name_;
    std::vector<RawCell> cells_;
    std::vector<std::string> texts_;

    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override { own(row, col, s); }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t index) override {
        push({row, col, RawCell::Shared, 0, 0, index});
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override {
        push({row, col, RawCell::Number, 0, value, 0});
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override {
        push({row, col, value ? RawCell::True : RawCell::False, 0, 0, 0});
    }
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int, int, double) override {
        const QDate d(year, month, day);
        if (d.isValid())
            push({row, col, RawCell::Day, 0, static_cast<double>(d.toJulianDay()), 0});
    }
    void set_format(ss::row_t row, ss::col_t col, size_t xf) override {
        // The filters give a cell's format right beside its value.
        if (!cells_.empty() && cells_.back().row == row && cells_.back().col == col)
            cells_.back().xf = static_cast<uint32_t>(xf);
        else if (xf)
            formats_[key(row, col)] = static_cast<uint32_t>(xf);
    }
    void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, size_t) override {}
    void fill_down_cells(ss::row_t row, ss::col_t col, ss::row_t count) override {
        std::optional<RawCell> source;
        for (auto it = cells_.rbegin(); it != cells_.rend(); ++it) {
            if (it->row == row && it->col == col) {
                source = *it;
                break;
            }
        }
        if (!source)
            return;
        for (ss::row_t i = 1; i <= count; ++i) {
            RawCell c = *source;
            c.row = row + i;
            push(c);
        }
    }
    ss::range_size_t get_sheet_size() const override { return {1048576, 16384}; }
    ss::iface::import_formula* get_formula() override { return this; }

    // Formula cells: only the result the workbook has kept counts.
    void set_position(ss::row_t row, ss::col_t col) override {
        formulaRow_ = row;
        formulaCol_ = col;
        formulaResult_.reset();
    }
    void set_formula(ss::formula_grammar_t, std::string_view) override {}
    void set_shared_formula_index(size_t) override {}
    void set_result_string(std::string_view s) override {
        formulaResult_ = RawCell{formulaRow_, formulaCol_, RawCell::Own, 0, 0, texts_.size()};
        texts_.emplace_back(s);
    }
    void set_result_value(double v) override {
        formulaResult_ = RawCell{formulaRow_, formulaCol_, RawCell::Number, 0, v, 0};
    }
    void set_result_bool(bool b) override {
        formulaResult_ = RawCell{formulaRow_, formulaCol_, b ? RawCell::True : RawCell::False, 0, 0, 0};
    }
    void set_result_empty() override { formulaResult_.reset(); }
    void commit() override {
        if (formulaResult_)
            push(*formulaResult_);
        formulaResult_.reset();
    }

    uint32_t formatOf(const RawCell& c) const {
        if (c.xf || formats_.empty())
            return c.xf;
        const auto it = formats_.find(key(c.row, c.col));
        return it == formats_.end() ? 0 : it->second;
    }

private:
    static uint64_t key(ss::row_t row, ss::col_t col) { return (uint64_t(uint32_t(row)) << 32) | uint32_t(col); }
    void own(ss::row_t row, ss::col_t col, std::string_view s) {
        push({row, col, RawCell::Own, 0, 0, texts_.size()});
        texts_.emplace_back(s);
    }
    void push(const RawCell& c);

    Book& book_;
    std::unordered_map<uint64_t, uint32_t> formats_;
    ss::row_t formulaRow_ = 0;
    ss::col_t formulaCol_ = 0;
    std::optional<RawCell> formulaResult_;
};

class Strings : public ss::iface::import_shared_strings {
public:
    std::vector<std::string> all;

    size_t append(std::string_view s) override {
        all.emplace_back(s);
        return all.size() - 1;
    }
    size_t add(std::string_view s) override { return append(s); }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void append_segment(std::string_view s) override { segments_.append(s); }
    size_t commit_segments() override {
        all.push_back(std::move(segments_));
        segments_.clear();
        return all.size() - 1;
    }

private:
    std::string segments_;
};

class Settings : public ss::iface::import_global_settings {
public:
    QDate origin{1899, 12, 30};
    bool from1904 = false;  // found in the package itself: the filter's word does not change it
    void set_origin_date(int year, int month, int day) override {
        // The day a serial number of 0 stands for: 1899-12-30, or 1904-01-01
        // in a workbook that counts from 1904.
        if (const QDate d(year, month, day); d.isValid() && !from1904)
            origin = d;
    }
    void set_default_formula_grammar(ss::formula_grammar_t g) override { grammar_ = g; }
    ss::formula_grammar_t get_default_formula_grammar() const override { return grammar_; }
    void set_character_set(orcus::character_set_t) override {}

private:
    ss::formula_grammar_t grammar_ = ss::formula_grammar_t::xlsx;
};

// Cell addresses as the package writes them ("B3", "$A$1:C9", "表!A1").
class A1 : public ss::iface::import_reference_resolver {
public:
    ss::src_address_t resolve_address(std::string_view a) override {
        if (const size_t bang = a.rfind('!'); bang != std::string_view::npos)
            a.remove_prefix(bang + 1);
        int64_t col = 0, row = 0;
        size_t i = 0;
        auto skipDollar = [&] {
            if (i < a.size() && a[i] == '$')
                ++i;
        };
        skipDollar();
        const size_t letters = i;
        // Plain ASCII tests: the library asks this for every cell.
        for (; i < a.size() && static_cast<unsigned char>((a[i] | 0x20) - 'a') < 26 && col <= 16384; ++i)
            col = col * 26 + ((a[i] | 0x20) - 'a' + 1);
        const bool hasCol = i > letters;
        skipDollar();
        const size_t digits = i;
        for (; i < a.size() && static_cast<unsigned char>(a[i] - '0') < 10 && row <= 1048576; ++i)
            row = row * 10 + (a[i] - '0');
        if (i != a.size() || (!hasCol && i == digits) || col > 16384 || row > 1048576)
            throw orcus::invalid_arg_error("invalid cell address");
        return {0, static_cast<ss::row_t>(hasCol && i == digits ? 0 : row - 1),
                static_cast<ss::col_t>(hasCol ? col - 1 : 0)};
    }
    ss::src_range_t resolve_range(std::string_view r) override {
        const size_t colon = r.find(':');
        const ss::src_address_t first = resolve_address(r.substr(0, colon));
        return {first, colon == std::string_view::npos ? first : resolve_address(r.substr(colon + 1))};
    }
};

class Book : public ss::iface::import_factory {
public:
    Book() : styleIn_(styles_, pool_) {}

    Strings strings;
    Settings settings;
    ss::styles styles_;
    std::vector<std::unique_ptr<SheetIn>> sheets;
    size_t cellCount = 0;

    ss::iface::import_global_settings* get_global_settings() override { return &settings; }
    ss::iface::import_shared_strings* get_shared_strings() override { return &strings; }
    ss::iface::import_styles* get_styles() override { return &styleIn_; }
    ss::iface::import_reference_resolver* get_reference_resolver(ss::formula_ref_context_t) override {
        return &resolver_;
    }
    ss::iface::import_sheet* append_sheet(ss::sheet_t index, std::string_view name) override {
        if (index != static_cast<ss::sheet_t>(sheets.size()) || sheets.size() >= 4096)
            return nullptr;
        sheets.push_back(std::make_unique<SheetIn>(*this, name));
        return sheets.back().get();
    }
    ss::iface::import_sheet* get_sheet(std::string_view name) override {
        for (auto& s : sheets)
            if (s->name_ == name)
                return s.get();
        return nullptr;
    }
    ss::iface::import_sheet* get_sheet(ss::sheet_t index) override {
        return index >= 0 && static_cast<size_t>(index) < sheets.size() ? sheets[static_cast<size_t>(index)].get()
                                                                        : nullptr;
    }
    void finalize() override {}

    // Whether the cell format `xf` shows its number as a date.
    bool isDate(uint32_t xf) {
        if (xf < dateXf_.size() && dateXf_[xf] >= 0)
            return dateXf_[xf];
        if (xf >= dateXf_.size())
            dateXf_.resize(xf + 1, -1);
        bool date = false;
        if (const ss::cell_format_t* f = styles_.get_cell_format(xf)) {
            const size_t id = f->number_format;
            bool coded = false;
            for (size_t i = 0; i < styles_.get_number_format_count(); ++i) {
                const ss::number_format_t* nf = styles_.get_number_format(i);
                if (nf && nf->identifier == id && !nf->format_string.empty()) {
                    date = dateCode(nf->format_string);
                    coded = true;
                }
            }
            if (!coded)
                date = builtinDate(id);
        }
        dateXf_[xf] = date;
        return date;
    }

private:
    orcus::string_pool pool_;
    ss::import_styles styleIn_;
    A1 resolver_;
    std::vector<int8_t> dateXf_;
};

void SheetIn::push(const RawCell& c) {
    if (c.row < 0 || c.col < 0 || c.row >= 1048576 || c.col >= 16384)
        return;
    if (++book_.cellCount > kMaxCells)
        tooLarge();
    cells_.push_back(c);
}

Value dateOf(double serial, const QDate& origin) {
    // Whole seconds first: 14:30 is kept as 0.604166..., a hair below.
    const double seconds = std::nearbyint(serial * 86400.0);
    if (!std::isfinite(seconds) || std::fabs(seconds) > 86400.0 * 3.0e6)
        return Value(serial);
    const auto days = static_cast<qint64>(std::floor(seconds / 86400.0));
    return Value(origin.addDays(days));
}

Value valueOf(Book& book, SheetIn& sheet, const RawCell& c) {
    auto text = [](const std::string& s) {
        return s.empty() ? Value() : Value(QString::fromUtf8(s.data(), qsizetype(s.size())));
    };
    switch (c.kind) {
        case RawCell::Number:
            if (const uint32_t xf = sheet.formatOf(c); xf && book.isDate(xf))
                return dateOf(c.number, book.settings.origin);
            return Value(c.number);
        case RawCell::Shared:
            return c.text < book.strings.all.size() ? text(book.strings.all[c.text]) : Value();
        case RawCell::Own:
            return text(sheet.texts_[c.text]);
        case RawCell::True:
            return Value(int16_t(1));
        case RawCell::False:
            return Value(int16_t(0));
        case RawCell::Day:
            return Value(QDate::fromJulianDay(static_cast<qint64>(c.number)));
    }
    return Value();
}

Sheet collect(Book& book, SheetIn& in) {
    Sheet out;
    out.name = QString::fromUtf8(in.name_.data(), qsizetype(in.name_.size()));
    // Cells mostly come in order already; a stable sort keeps a cell written
    // twice in the order it was written.
    const auto before = [](const RawCell& a, const RawCell& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    };
    if (!std::is_sorted(in.cells_.begin(), in.cells_.end(), before))
        std::stable_sort(in.cells_.begin(), in.cells_.end(), before);
    Sheet::Row row;
    int32_t rowIndex = -1;
    auto flush = [&] {
        if (!row.cells.empty())
            out.rows.push_back(std::move(row));
        row = {};
    };
    for (size_t i = 0; i < in.cells_.size(); ++i) {
        const RawCell& c = in.cells_[i];
        if (i + 1 < in.cells_.size() && in.cells_[i + 1].row == c.row && in.cells_[i + 1].col == c.col)
            continue;  // written twice: the last one counts
        if (c.row != rowIndex) {
            flush();
            rowIndex = c.row;
        }
        Value v = valueOf(book, in, c);
        if (v.isNull())
            continue;
        row.cells.emplace_back(c.col, std::move(v));
        out.columns = std::max(out.columns, c.col + 1);
    }
    flush();
    in.cells_ = {};
    in.texts_ = {};
    return out;
}

std::vector<Sheet> readPackage(const QByteArray& bytes, Format format) {
    const std::vector<ZipPart> parts = zipParts(bytes);
    Book book;
    // The 1904 date system is not passed on by the filter: read it ourselves.
    if (format == Format::Xlsx && counts1904(zipPart(bytes, parts, "xl/workbook.xml")))
        book.settings.origin = QDate(1904, 1, 1), book.settings.from1904 = true;
    try {
        const std::string_view stream(bytes.constData(), static_cast<size_t>(bytes.size()));
        if (format == Format::Ods) {
            orcus::orcus_ods filter(&book);
            filter.read_stream(stream);
        } else {
            orcus::orcus_xlsx filter(&book);
            filter.read_stream(stream);
        }
    } catch (const WorkbookError&) {
        throw;
    } catch (const std::bad_alloc&) {
        tooLarge();
    } catch (const std::exception& e) {
        throw WorkbookError(unreadable(QString::fromUtf8(e.what())));
    }
    std::vector<Sheet> sheets;
    for (auto& s : book.sheets) sheets.push_back(collect(book, *s));
    return sheets;
}

QString freexlText(int rc) {
    switch (rc) {
        case FREEXL_FILE_NOT_FOUND:
            return QStringLiteral("文件不存在或不能打开。");
        case FREEXL_INSUFFICIENT_MEMORY:
            return QStringLiteral("内存不足。");
        case FREEXL_CRAFTED_FILE:
            return QStringLiteral("文件已严重损坏。");
        default:
            return QStringLiteral("文件已损坏或不是Excel文件（FreeXL 错误 %1）。").arg(rc);
    }
}

std::vector<Sheet> readXls(const QString& path) {
    const void* h = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int rc = freexl_open(name.constData(), &h);
    if (rc != FREEXL_OK) {
        if (h)
            freexl_close(h);
        throw WorkbookError(unreadable(freexlText(rc)));
    }
    struct Close {
        const void* h;
        ~Close() { freexl_close(h); }
    } closer{h};
    unsigned int info = 0;
    if (freexl_get_info(h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info != FREEXL_BIFF_PLAIN)
        throw WorkbookError(unreadable(kEncrypted));
    unsigned int count = 0;
    if ((rc = freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &count)) != FREEXL_OK)
        throw WorkbookError(unreadable(freexlText(rc)));
    std::vector<Sheet> sheets;
    size_t cells = 0;
    for (unsigned short i = 0; i < count; ++i) {
        Sheet sheet;
        const char* sheetName = nullptr;
        if ((rc = freexl_get_worksheet_name(h, i, &sheetName)) != FREEXL_OK ||
            (rc = freexl_select_active_worksheet(h, i)) != FREEXL_OK)
            throw WorkbookError(unreadable(freexlText(rc)));
        sheet.name = QString::fromUtf8(sheetName ? sheetName : "");
        unsigned int rows = 0;
        unsigned short cols = 0;
        if ((rc = freexl_worksheet_dimensions(h, &rows, &cols)) != FREEXL_OK)
            throw WorkbookError(unreadable(freexlText(rc)));
        for (unsigned int r = 0; r < rows; ++r) {
            Sheet::Row row;
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue cell;
                if (freexl_get_cell_value(h, r, c, &cell) != FREEXL_OK)
                    continue;
                Value v;
                switch (cell.type) {
                    case FREEXL_CELL_INT:
                        v = Value(static_cast<double>(cell.value.int_value));
                        break;
                    case FREEXL_CELL_DOUBLE:
                        v = Value(cell.value.double_value);
                        break;
                    case FREEXL_CELL_DATE:
                    case FREEXL_CELL_DATETIME: {
                        // "yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss"
                        const QString t = QString::fromUtf8(cell.value.text_value).left(10);
                        const QDate d = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
                        v = d.isValid() ? Value(d) : Value(t);
                        break;
                    }
                    case FREEXL_CELL_TEXT:
                    case FREEXL_CELL_SST_TEXT:
                    case FREEXL_CELL_TIME:
                        if (cell.value.text_value && *cell.value.text_value)
                            v = Value(QString::fromUtf8(cell.value.text_value));
                        break;
                    default:
                        break;
                }
                if (v.isNull())
                    continue;
                if (++cells > kMaxCells)
                    tooLarge();
                row.cells.emplace_back(c, std::move(v));
                sheet.columns = std::max(sheet.columns, c + 1);
            }
            if (!row.cells.empty())
                sheet.rows.push_back(std::move(row));
        }
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

// A legacy workbook in a compound file, or an .xlsx that a password has
// put into one.
bool encryptedPackage(const QByteArray& bytes) {
    static const QByteArray name = QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    return bytes.contains(name);
}

}  // namespace

Value Sheet::Row::at(int column) const {
    const auto it = std::lower_bound(cells.begin(), cells.end(), column,
                                     [](const std::pair<int, Value>& c, int col) { return c.first < col; });
    return it != cells.end() && it->first == column ? it->second : Value();
}

Format sniff(const QByteArray& head) {
    static const QByteArray compound("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    if (head.startsWith(compound))
        return Format::Xls;
    if (!head.startsWith(QByteArray("PK\x03\x04", 4)))
        return Format::Unknown;
    // An OpenDocument package starts with its uncompressed mimetype part.
    if (head.mid(30, 8) == "mimetype" && head.mid(38, 46) == "application/vnd.oasis.opendocument.spreadsheet")
        return Format::Ods;
    return Format::Xlsx;
}

std::vector<Sheet> readBytes(const QByteArray& bytes) {
    switch (sniff(bytes.left(128))) {
        case Format::Xlsx:
        case Format::Ods:
            return readPackage(bytes, sniff(bytes.left(128)));
        case Format::Xls: {
            if (encryptedPackage(bytes))
                throw WorkbookError(unreadable(kEncrypted));
            // FreeXL reads files only.
            QTemporaryFile file;
            if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
                throw WorkbookError(unreadable(file.errorString()));
            return readXls(file.fileName());
        }
        case Format::Unknown:
            break;
    }
    throw WorkbookError(unreadable(QStringLiteral("不是Excel文件（只能读取 .xlsx、.xls 和 .ods 工作簿）。")));
}

namespace {

std::vector<Sheet> readHere(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw WorkbookError(unreadable(file.errorString()));
    if (file.size() > kMaxFileBytes)
        tooLarge();
    if (sniff(file.peek(128)) == Format::Xls) {
        if (encryptedPackage(file.readAll()))
            throw WorkbookError(unreadable(kEncrypted));
        return readXls(path);
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        throw WorkbookError(unreadable(file.errorString()));
    return readBytes(bytes);
}

// The sheets as the reading process hands them to the program: the values'
// own bytes one after the other, in the machine's order (both ends are this
// program on this machine), texts as their UTF-16 code units. A hundred
// thousand rows go through in a few copies of memory.
enum Tag : uint8_t { TNumber, TText, TDate, TSmall };

class Packer {
public:
    std::string bytes;

    template <class T>
    void put(T v) {
        bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void text(const QString& s) {
        put(static_cast<uint32_t>(s.size()));
        bytes.append(reinterpret_cast<const char*>(s.utf16()), static_cast<size_t>(s.size()) * 2);
    }
};

// Reads what a Packer wrote; anything short or out of bounds makes it fail
// for good (and every later read gives zeros).
class Unpacker {
public:
    Unpacker(const char* p, size_t n) : p_(p), end_(p + n) {}
    bool ok() const { return ok_; }
    size_t left() const { return static_cast<size_t>(end_ - p_); }

    template <class T>
    T get() {
        T v{};
        if (left() < sizeof v)
            return fail(), v;
        std::memcpy(&v, p_, sizeof v);
        p_ += sizeof v;
        return v;
    }
    QString text() {
        const size_t n = get<uint32_t>();
        if (n > left() / 2)
            return fail(), QString();
        QString s(static_cast<qsizetype>(n), Qt::Uninitialized);
        std::memcpy(s.data(), p_, n * 2);
        p_ += n * 2;
        return s;
    }

private:
    void fail() {
        ok_ = false;
        p_ = end_;
    }
    const char* p_;
    const char* end_;
    bool ok_ = true;
};

void put(Packer& out, const std::vector<Sheet>& sheets) {
    out.put(static_cast<uint32_t>(sheets.size()));
    for (const Sheet& s : sheets) {
        out.text(s.name);
        out.put(static_cast<int32_t>(s.columns));
        out.put(static_cast<uint64_t>(s.rows.size()));
        for (const Sheet::Row& r : s.rows) {
            out.put(static_cast<uint32_t>(r.cells.size()));
            for (const auto& [col, v] : r.cells) {
                out.put(static_cast<int32_t>(col));
                switch (v.kind()) {
                    case Value::Kind::Text:
                        out.put(TText);
                        out.text(v.toText());
                        break;
                    case Value::Kind::Date:
                        out.put(TDate);
                        out.put(static_cast<int64_t>(v.toDate().toJulianDay()));
                        break;
                    case Value::Kind::Int16:
                        out.put(TSmall);
                        out.put(static_cast<int16_t>(v.toInt()));
                        break;
                    default:
                        out.put(TNumber);
                        out.put(v.toDouble());
                }
            }
        }
    }
}

std::vector<Sheet> take(Unpacker& in) {
    // Every count is checked against the bytes left, so that a damaged
    // stream cannot make room for more than it holds.
    const uint32_t count = in.get<uint32_t>();
    std::vector<Sheet> sheets;
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        Sheet s;
        s.name = in.text();
        s.columns = in.get<int32_t>();
        const uint64_t rows = in.get<uint64_t>();
        s.rows.reserve(std::min<uint64_t>(rows, in.left() / sizeof(uint32_t)));
        for (uint64_t r = 0; r < rows && in.ok(); ++r) {
            const uint32_t cells = in.get<uint32_t>();
            Sheet::Row& row = s.rows.emplace_back();
            row.cells.reserve(std::min<size_t>(cells, in.left() / (sizeof(int32_t) + sizeof(Tag))));
            for (uint32_t c = 0; c < cells && in.ok(); ++c) {
                const auto col = in.get<int32_t>();
                switch (in.get<uint8_t>()) {
                    case TText:
                        row.cells.emplace_back(col, Value(in.text()));
                        break;
                    case TDate:
                        row.cells.emplace_back(col, Value(QDate::fromJulianDay(in.get<int64_t>())));
                        break;
                    case TSmall:
                        row.cells.emplace_back(col, Value(in.get<int16_t>()));
                        break;
                    default:
                        row.cells.emplace_back(col, Value(in.get<double>()));
                }
            }
        }
        sheets.push_back(std::move(s));
    }
    if (!in.ok())
        throw WorkbookError(unreadable(QStringLiteral("读取过程意外中断。")));
    return sheets;
}

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

std::vector<Sheet> read(const QString& path) {
    // The libraries read the file in a process of their own: whatever a
    // damaged or hostile file does to them (a crash, a hang, memory without
    // end) ends that process, never the program.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return readHere(path);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return readHere(path);
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
#if !TV_ASAN  // the sanitizer keeps terabytes of address space for itself
        const rlimit memory{kReaderMemory, kReaderMemory};
        ::setrlimit(RLIMIT_AS, &memory);
#endif
        Packer out;
        std::vector<Sheet> sheets;  // never freed: the process ends
        try {
            sheets = readHere(path);
            out.put(uint8_t(0));
            put(out, sheets);
        } catch (const WorkbookError& e) {
            out = {};
            out.put(uint8_t(1));
            out.text(e.text());
        } catch (const std::bad_alloc&) {
            out = {};
            out.put(uint8_t(1));
            out.text(QStringLiteral("Excel文件太大，不能读取。"));
        }
        const bool ok = writeAll(pipeFds[1], out.bytes.data(), out.bytes.size());
        ::_exit(ok ? 0 : 1);
    }
    ::close(pipeFds[1]);
    QByteArray got;
    bool timedOut = false;
    QDeadlineTimer deadline(kReaderSeconds * 1000);
    char buf[65536];
    for (;;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<qint64>(deadline.remainingTime(), 1000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            if (deadline.hasExpired()) {
                timedOut = true;
                break;
            }
            continue;
        }
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    ::close(pipeFds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        throw WorkbookError(unreadable(QStringLiteral("读取超时，文件可能已损坏。")));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw WorkbookError(unreadable(QStringLiteral("文件已损坏，读取时出错。")));
    Unpacker in(got.constData(), static_cast<size_t>(got.size()));
    if (in.get<uint8_t>() != 0) {
        const QString text = in.text();
        throw WorkbookError(text.isEmpty() ? unreadable(QStringLiteral("读取过程意外中断。")) : text);
    }
    return take(in);
}

}  // namespace tv::workbook
