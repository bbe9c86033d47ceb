// The .ods reader: the tables of content.xml read as they stand. A cell is
// what its own value type says: a number (float, currency, percentage), a
// date only when its type is date, a time as the part of a day, a boolean as
// 1 / 0, a text; its number style never makes a date of a number. A formula
// counts by the result kept with it. Rows and cells the file writes once with
// a repeat count are repeated, each copy counted against the cells a sheet
// may give.

#include "platform/workbook/Parts.h"
#include "platform/workbook/Xml.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

namespace tv::workbook::detail {

namespace {

using xml::Reader;

int32_t repeatOf(const Reader& x, std::string_view attribute) {
    bool found = false;
    const std::string_view v = x.rawAttribute(attribute, &found);
    long n = 1;
    if (found) {
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
        if (ec != std::errc() || n < 1)
            n = 1;
    }
    return static_cast<int32_t>(std::min<long>(n, kMaxRows));
}

// "PT12H30M00S" (or with days, "P1DT2H") as a part of a day.
std::optional<double> durationIn(std::string_view s) {
    bool negative = !s.empty() && s.front() == '-';
    if (negative)
        s.remove_prefix(1);
    if (s.empty() || s.front() != 'P')
        return std::nullopt;
    double days = 0;
    bool time = false;
    size_t i = 1;
    while (i < s.size()) {
        if (s[i] == 'T') {
            time = true;
            ++i;
            continue;
        }
        size_t j = i;
        while (j < s.size() && ((s[j] >= '0' && s[j] <= '9') || s[j] == '.')) ++j;
        const auto n = numberIn(s.substr(i, j - i));
        if (!n || j >= s.size())
            return std::nullopt;
        const char unit = s[j];
        days += unit == 'D'   ? *n
                : !time       ? 0
                : unit == 'H' ? *n / 24
                : unit == 'M' ? *n / 1440
                : unit == 'S' ? *n / 86400
                              : 0;
        i = j + 1;
    }
    return negative ? -days : days;
}

// The text of a paragraph just started: its spans and links, the spaces,
// tabs and line breaks it marks.
void paragraph(Reader& x, std::string& out) {
    x.children(
        [&] {
            if (x.is("s")) {
                bool found = false;
                const std::string_view c = x.rawAttribute("c", &found);
                long n = 1;
                if (found)
                    std::from_chars(c.data(), c.data() + c.size(), n);
                out.append(static_cast<size_t>(std::clamp<long>(n, 0, 32767)), ' ');
            } else if (x.is("tab")) {
                out += '\t';
            } else if (x.is("line-break")) {
                out += '\n';
            }
            if (x.is("annotation") || x.is("note"))
                x.skip();
            else
                paragraph(x, out);  // spans and links: their text
        },
        [&] { x.appendText(out); });
}

// One cell just started: its value (a number with the digits it is written
// in, where they say more), and whether it holds anything at all.
Value cell(Reader& x, QString& digits, bool& held, bool& failed) {
    std::string type = x.attribute("value-type");
    // LibreOffice keeps an error result as the number 0 and says so in a type of its own.
    const bool error = x.attribute("calcext:value-type") == "error";
    bool hasFormula = false;
    x.rawAttribute("formula", &hasFormula);
    Value v;
    if (type == "float" || type == "currency" || type == "percentage") {
        const std::string_view written = x.rawAttribute("value");
        if (const auto d = numberIn(written)) {
            v = Value(*d);
            digits = ownDigits(written, *d);
        }
    } else if (type == "date") {
        const std::string d = x.attribute("date-value");
        const QDate day = QDate::fromString(QString::fromLatin1(d.data(), qsizetype(std::min<size_t>(d.size(), 10))),
                                            QStringLiteral("yyyy-MM-dd"));
        if (day.isValid())
            v = Value(day);
    } else if (type == "time") {
        if (const auto t = durationIn(x.rawAttribute("time-value")))
            v = Value(*t);
    } else if (type == "boolean") {
        const std::string b = x.attribute("boolean-value");
        v = Value(int16_t(b == "true" || b == "1" ? 1 : 0));
    }
    bool hasStringValue = false;
    const std::string stringValue = x.attribute("string-value", &hasStringValue);
    // The paragraphs of the cell (and nothing of its notes or drawings).
    std::string text;
    bool paragraphs = false;
    x.children([&] {
        if (!x.is("p"))
            return x.skip();
        if (paragraphs)
            text += '\n';
        paragraphs = true;
        paragraph(x, text);
    });
    if (type == "string" || (type.empty() && !hasFormula)) {
        const std::string& s = hasStringValue ? stringValue : text;
        if (!s.empty())
            v = Value(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())));
    }
    held = !type.empty() || hasFormula || !text.empty();
    failed = error || (v.isNull() && !type.empty() && type != "string");
    return error ? Value() : v;
}

// The cells counted of one row, held or in error, at most: the counts of a
// row repeated to the last row stay far within their type.
constexpr int64_t kCountedPerRow = int64_t(1) << 40;

// One table just started, its rows handed to the sink.
void table(Reader& x, const QString& name, SheetSink& sink) {
    sink.begin(name);
    SheetBuilder out(name, sink);
    int32_t row = 0;
    struct Cell {
        int32_t column;
        Value value;
        QString digits;
    };
    std::vector<Cell> cells;
    int64_t given = 0;  // cells of the sheet's rows so far
    // Rows, also in groups and header rows; nothing else of the table.
    std::function<void()> child = [&] {
        if (x.is("table-row-group") || x.is("table-header-rows") || x.is("table-rows"))
            return x.children(child);
        if (!x.is("table-row"))
            return x.skip();
        const int32_t rows = repeatOf(x, "number-rows-repeated");
        cells.clear();
        int32_t col = 0;
        qint64 held = 0, errors = 0;
        x.children([&] {
            if (!x.is("table-cell") && !x.is("covered-table-cell"))
                return x.skip();
            const int32_t repeat = repeatOf(x, "number-columns-repeated");
            bool holds = false, failed = false;
            QString digits;
            Value v = cell(x, digits, holds, failed);
            held += holds ? repeat : 0;
            errors += failed ? repeat : 0;
            for (int32_t c = 0; !v.isNull() && c < repeat && col + c < kMaxColumns; ++c)
                cells.push_back({col + c, v, digits});
            // Values past the sheet's last column: cells not taken.
            if (!v.isNull())
                errors += std::max<int64_t>(0, int64_t(col) + repeat - std::max(col, kMaxColumns));
            col = std::min(col + repeat, kMaxColumns);
        });
        // A row written once for several alike: each of them within the
        // sheet, every copy of a cell counted against the cells a sheet may
        // give before any is made (a few bytes of repeat counts must not
        // make billions of cells). Copies that give no cell cost nothing.
        const int64_t copies = std::clamp<int64_t>(int64_t(kMaxRows) - row, 0, rows);
        if ((given += copies * int64_t(cells.size())) > int64_t(kMaxCells))
            throw WorkbookError(QStringLiteral("Excel文件太大，不能读取：工作表“%1”的单元格重复展开后多于%2个。")
                                    .arg(name)
                                    .arg(kMaxCells));
        out.held(std::min<int64_t>(held, kCountedPerRow) * copies);
        out.error(std::min<int64_t>(errors, kCountedPerRow) * copies);
        for (int32_t r = 0; r < copies; ++r)
            for (const Cell& c : cells) out.add(row + r, c.column, c.value, c.digits);
        // Rows past the sheet's last row: their values are cells not taken too.
        out.error(std::max<int64_t>(0, int64_t(row) + rows - std::max(row, kMaxRows)) * int64_t(cells.size()));
        row = std::min(row + rows, kMaxRows);
    };
    x.children(child);
    out.finish();
}

}  // namespace

void readOds(const Source& source, SheetSink& sink) {
    const std::vector<ZipPart> parts = zipParts(source);
    const ZipPart* content = findPart(parts, "content.xml");
    if (!content)
        throw WorkbookError(unreadable(QStringLiteral("工作簿缺少内容（content.xml）。")));
    PartReader bytes(source, *content);
    Reader x(bytes);
    int depth = 0, spreadsheet = -1, index = 0;
    while (x.next() != Reader::Done) {
        if (x.kind() == Reader::End) {
            if (--depth < spreadsheet)
                spreadsheet = -1;
            continue;
        }
        if (x.kind() != Reader::Start)
            continue;
        if (spreadsheet >= 0 && depth == spreadsheet && x.is("table")) {
            if (index >= 4096)
                tooLarge();
            const std::string name = x.attribute("name");
            const QString sheet = QString::fromUtf8(name.data(), qsizetype(name.size()));
            const SheetSink::Want want = sink.want(index++);
            if (want == SheetSink::Want::Rows) {
                table(x, sheet, sink);
                continue;
            }
            x.skip();
            if (want == SheetSink::Want::Name) {
                sink.begin(sheet);
                Sheet named;
                named.name = sheet;
                sink.end(named);
            }
            continue;
        }
        ++depth;
        if (spreadsheet < 0 && x.is("spreadsheet"))
            spreadsheet = depth;
    }
}

}  // namespace tv::workbook::detail
