// The legacy .xls reader: libfreexl for the cells, and the results that the
// workbook kept with its formulas read here from the workbook stream
// (libfreexl gives no value for a formula cell). A formula kept without a
// result, or with an error, is an empty cell.

#include "platform/workbook/Parts.h"

#include <QFile>

#include <freexl.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>

namespace tv::workbook::detail {

namespace {

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// The "Workbook" stream of a compound file; empty when it cannot be found.
// Every chain is followed at most as many steps as the file has sectors.
std::string workbookStream(std::string_view file) {
    const auto* b = reinterpret_cast<const unsigned char*>(file.data());
    const size_t n = file.size();
    if (n < 512)
        return {};
    const unsigned shift = le16(b + 0x1E);
    const unsigned miniShift = le16(b + 0x20);
    if (shift < 7 || shift > 16 || miniShift > shift)
        return {};
    const size_t sector = size_t{1} << shift;
    const size_t sectors = n / sector;
    auto at = [&](uint32_t s) -> const unsigned char* {
        const uint64_t off = (uint64_t(s) + 1) << shift;
        return off + sector <= n ? b + off : nullptr;
    };
    // The allocation table, from the header's list and the chained extra lists.
    std::vector<uint32_t> fatSectors;
    for (int i = 0; i < 109; ++i) fatSectors.push_back(le32(b + 0x4C + 4 * i));
    uint32_t difat = le32(b + 0x44);
    for (size_t guard = 0; difat < 0xFFFFFFFA && guard < sectors; ++guard) {
        const unsigned char* p = at(difat);
        if (!p)
            return {};
        for (size_t i = 0; i + 1 < sector / 4; ++i) fatSectors.push_back(le32(p + 4 * i));
        difat = le32(p + sector - 4);
    }
    std::vector<uint32_t> fat;
    for (uint32_t s : fatSectors) {
        if (s >= 0xFFFFFFFA)
            continue;
        const unsigned char* p = at(s);
        if (!p)
            return {};
        for (size_t i = 0; i < sector / 4; ++i) fat.push_back(le32(p + 4 * i));
        if (fat.size() > sectors + sector)
            break;
    }
    auto chain = [&](uint32_t start, const std::vector<uint32_t>& table, auto&& read) {
        for (size_t guard = 0; start < table.size() && guard <= table.size(); ++guard) {
            if (!read(start))
                return false;
            start = table[start];
        }
        return start >= 0xFFFFFFFA;
    };
    std::string dir;
    if (!chain(le32(b + 0x30), fat, [&](uint32_t s) {
            const unsigned char* p = at(s);
            return p && (dir.append(reinterpret_cast<const char*>(p), sector), true);
        }))
        return {};
    // The directory: the root (which holds the small streams) and the stream.
    uint32_t rootStart = 0, start = 0;
    uint64_t rootSize = 0, size = 0;
    bool found = false;
    for (size_t e = 0; e + 128 <= dir.size(); e += 128) {
        const auto* d = reinterpret_cast<const unsigned char*>(dir.data() + e);
        const unsigned nameBytes = le16(d + 0x40);
        QString name;
        for (unsigned i = 0; i + 2 < nameBytes && i < 64; i += 2) name += QChar(le16(d + i));
        if (d[0x42] == 5) {
            rootStart = le32(d + 0x74);
            rootSize = le32(d + 0x78);
        } else if (d[0x42] == 2 && !found &&
                   (name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) == 0 ||
                    name.compare(QLatin1String("Book"), Qt::CaseInsensitive) == 0)) {
            start = le32(d + 0x74);
            size = le32(d + 0x78);
            found = true;
        }
    }
    if (!found || size > n * 2)
        return {};
    std::string out;
    if (size >= le32(b + 0x38)) {
        if (!chain(start, fat, [&](uint32_t s) {
                const unsigned char* p = at(s);
                return p && (out.append(reinterpret_cast<const char*>(p), sector), true);
            }))
            return {};
    } else {
        // A small stream lies in the root's stream, in sectors of its own.
        std::string mini, miniFatBytes;
        if (!chain(rootStart, fat,
                   [&](uint32_t s) {
                       const unsigned char* p = at(s);
                       return p && (mini.append(reinterpret_cast<const char*>(p), sector), true);
                   }) ||
            !chain(le32(b + 0x3C), fat, [&](uint32_t s) {
                const unsigned char* p = at(s);
                return p && (miniFatBytes.append(reinterpret_cast<const char*>(p), sector), true);
            }))
            return {};
        mini.resize(std::min<uint64_t>(mini.size(), rootSize));
        std::vector<uint32_t> miniFat(miniFatBytes.size() / 4);
        for (size_t i = 0; i < miniFat.size(); ++i)
            miniFat[i] = le32(reinterpret_cast<const unsigned char*>(miniFatBytes.data()) + 4 * i);
        const size_t small = size_t{1} << miniShift;
        if (!chain(start, miniFat, [&](uint32_t s) {
                const uint64_t off = uint64_t(s) << miniShift;
                return off + small <= mini.size() && (out.append(mini, off, small), true);
            }))
            return {};
    }
    out.resize(std::min<uint64_t>(out.size(), size));
    return out;
}

// A BIFF8 string: its length, a flag byte, then 8-bit or 16-bit characters.
QString biffString(const unsigned char* p, size_t left, size_t count, size_t lengthBytes) {
    if (left < lengthBytes + 1)
        return {};
    const size_t chars = lengthBytes == 1 ? p[0] : le16(p);
    const uint8_t flags = p[lengthBytes];
    p += lengthBytes + 1;
    left -= lengthBytes + 1;
    size_t skip = 0;
    if (flags & 0x08) {  // rich text runs
        skip += 2;
    }
    if (flags & 0x04)  // phonetic data
        skip += 4;
    if (left < skip)
        return {};
    p += skip;
    left -= skip;
    (void)count;
    QString s;
    if (flags & 0x01) {
        for (size_t i = 0; i < chars && 2 * i + 1 < left; ++i) s += QChar(le16(p + 2 * i));
    } else {
        for (size_t i = 0; i < chars && i < left; ++i) s += QChar(p[i]);
    }
    return s;
}

struct Formulas {
    // By sheet name: (row << 16 | column) -> the kept result.
    std::unordered_map<QString, std::unordered_map<uint64_t, Value>> bySheet;
    std::unordered_map<QString, qint64> errors;  // formulas that kept an error
};

// The kept results of the formulas of every sheet, with the date formats of
// the workbook for the numbers they give.
Formulas formulaResults(std::string_view file) {
    Formulas out;
    const std::string stream = workbookStream(file);
    const auto* b = reinterpret_cast<const unsigned char*>(stream.data());
    const size_t n = stream.size();
    // The globals first: the sheets' names by their offsets, formats, dates.
    std::unordered_map<uint32_t, QString> sheetAt;
    std::unordered_map<uint16_t, bool> formatIsDate;
    std::vector<uint16_t> xfFormat;
    bool from1904 = false;
    size_t at = 0;
    for (bool first = true; at + 4 <= n;) {
        const uint16_t type = le16(b + at), length = le16(b + at + 2);
        const unsigned char* p = b + at + 4;
        if (at + 4 + length > n)
            return out;
        if (first && (type != 0x0809 || length < 4 || le16(p) != 0x0600))
            return out;  // not BIFF8: the cells as libfreexl gives them
        first = false;
        at += 4 + length;
        if (type == 0x000A)  // EOF of the globals
            break;
        if (type == 0x0085 && length >= 8)
            sheetAt[le32(p)] = biffString(p + 6, length - 6, 0, 1);
        else if (type == 0x041E && length >= 5)
            formatIsDate[le16(p)] = dateCode(biffString(p + 2, length - 2, 0, 2).toStdString());
        else if (type == 0x00E0 && length >= 4)
            xfFormat.push_back(le16(p + 2));
        else if (type == 0x0022 && length >= 2)
            from1904 = le16(p) != 0;
    }
    auto isDate = [&](uint16_t xf) {
        if (xf >= xfFormat.size())
            return false;
        const uint16_t f = xfFormat[xf];
        const auto it = formatIsDate.find(f);
        return it != formatIsDate.end() ? it->second : builtinDate(f);
    };
    for (const auto& [offset, name] : sheetAt) {
        auto& cells = out.bySheet[name];
        uint64_t pendingString = UINT64_MAX;  // the cell whose text result follows
        for (size_t r = offset; r + 4 <= n;) {
            const uint16_t type = le16(b + r), length = le16(b + r + 2);
            const unsigned char* p = b + r + 4;
            if (r + 4 + length > n || (r != offset && type == 0x0809))
                break;
            r += 4 + length;
            if (type == 0x000A)
                break;
            if (type == 0x0006 && length >= 20) {
                const uint64_t key = (uint64_t(le16(p)) << 16) | le16(p + 2);
                const uint16_t xf = le16(p + 4);
                const unsigned char* result = p + 6;
                pendingString = UINT64_MAX;
                cells[key] = Value();  // held, with or without a result
                if (le16(result + 6) != 0xFFFF) {
                    double d = 0;
                    std::memcpy(&d, result, 8);
                    if (std::isfinite(d))
                        cells[key] = isDate(xf) ? dateOf(d, from1904) : Value(d);
                } else if (result[0] == 0) {
                    pendingString = key;
                } else if (result[0] == 1) {
                    cells[key] = Value(int16_t(result[2] ? 1 : 0));
                } else if (result[0] == 2) {
                    out.errors[name] += 1;
                }
            } else if (type == 0x0207 && pendingString != UINT64_MAX) {
                const QString s = biffString(p, length, 0, 2);
                if (!s.isEmpty())
                    cells[pendingString] = Value(s);
                pendingString = UINT64_MAX;
            }
        }
    }
    return out;
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
            return QStringLiteral("文件已损坏或不是Excel文件（错误号 %1）。").arg(rc);
    }
}

// The cells of the active sheet into `out`, with the kept results of its formulas.
void readCells(const void* h, const Formulas& formulas, const QString& sheet, SheetBuilder& out) {
    const auto f = formulas.bySheet.find(sheet);
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (const int rc = freexl_worksheet_dimensions(h, &rows, &cols); rc != FREEXL_OK)
        throw WorkbookError(unreadable(freexlText(rc)));
    for (unsigned int r = 0; r < rows; ++r) {
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
                    if (f != formulas.bySheet.end()) {
                        if (const auto it = f->second.find((uint64_t(r) << 16) | c); it != f->second.end()) {
                            v = it->second;
                            out.held();
                        }
                    }
                    break;
            }
            if (cell.type != FREEXL_CELL_NULL)
                out.held();
            out.add(static_cast<int32_t>(r), c, std::move(v));
        }
    }
    if (const auto e = formulas.errors.find(sheet); e != formulas.errors.end())
        out.error(e->second);
}

}  // namespace

void readXls(const QString& path, const Source& source, SheetSink& sink) {
    // The workbook stream is read whole: a legacy sheet has at most 65,536 rows.
    const std::string bytes = source.bytes(0, static_cast<size_t>(source.size()));
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
    std::optional<Formulas> formulas;
    for (unsigned short i = 0; i < count; ++i) {
        const SheetSink::Want want = sink.want(i);
        if (want == SheetSink::Want::Nothing)
            continue;
        const char* sheetName = nullptr;
        if ((rc = freexl_get_worksheet_name(h, i, &sheetName)) != FREEXL_OK)
            throw WorkbookError(unreadable(freexlText(rc)));
        const QString sheet = QString::fromUtf8(sheetName ? sheetName : "");
        sink.begin(sheet);
        SheetBuilder out(sheet, sink);
        if (want == SheetSink::Want::Rows) {
            if (!formulas)
                formulas = formulaResults(bytes);
            if ((rc = freexl_select_active_worksheet(h, i)) != FREEXL_OK)
                throw WorkbookError(unreadable(freexlText(rc)));
            readCells(h, *formulas, sheet, out);
        }
        out.finish();
    }
}

}  // namespace tv::workbook::detail
