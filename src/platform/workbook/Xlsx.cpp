// The .xlsx reader: the parts of the package read as they stand. Parts are
// found by their relationships, whose targets may be relative to the part
// that names them or absolute within the package (openpyxl writes
// "/xl/worksheets/sheet1.xml"); texts may be shared or kept inline in the
// cell (XlsxWriter's constant-memory mode, openpyxl); a formula counts only by
// the result the workbook kept with it, and one kept without a result is an
// empty cell. Nothing is ever calculated.

#include "platform/workbook/Parts.h"
#include "platform/workbook/Xml.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

namespace tv::workbook::detail {

namespace {

using xml::Reader;

struct Package {
    const Source& source;
    std::vector<ZipPart> parts;

    const ZipPart& part(const std::string& name) const {
        const ZipPart* p = findPart(parts, name);
        if (!p)
            throw WorkbookError(unreadable(QStringLiteral("工作簿缺少内容（%1）。").arg(QString::fromStdString(name))));
        return *p;
    }
};

std::string percentDecoded(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        int hi = 0, lo = 0;
        auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (s[i] == '%' && i + 2 < s.size() && (hi = hex(s[i + 1])) >= 0 && (lo = hex(s[i + 2])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The name of the part a relationship of `source` points to: an absolute
// target from the package's root, a relative one from the source's folder.
std::string resolve(const std::string& source, std::string_view target) {
    std::string path;
    if (!target.empty() && target.front() == '/') {
        path = percentDecoded(target.substr(1));
    } else {
        const size_t slash = source.rfind('/');
        path = (slash == std::string::npos ? std::string() : source.substr(0, slash + 1)) + percentDecoded(target);
    }
    std::vector<std::string> kept;
    size_t from = 0;
    while (from <= path.size()) {
        size_t to = path.find('/', from);
        if (to == std::string::npos)
            to = path.size();
        const std::string piece = path.substr(from, to - from);
        if (piece == "..") {
            if (!kept.empty())
                kept.pop_back();
        } else if (!piece.empty() && piece != ".") {
            kept.push_back(piece);
        }
        from = to + 1;
    }
    std::string out;
    for (const std::string& k : kept) out += (out.empty() ? "" : "/") + k;
    return out;
}

struct Relationship {
    std::string type, target;  // the target resolved to a part name
};

// The relationships of `source` by id (its part _rels/<name>.rels beside it).
std::unordered_map<std::string, Relationship> relationshipsOf(const Package& pkg, const std::string& source) {
    const size_t slash = source.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : source.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    std::unordered_map<std::string, Relationship> out;
    const ZipPart* rels = findPart(pkg.parts, folder + "_rels/" + name + ".rels");
    if (!rels)
        return out;
    PartReader part(pkg.source, *rels);
    Reader x(part);
    while (x.next() != Reader::Done) {
        if (x.kind() != Reader::Start || !x.is("Relationship") || x.attribute("TargetMode") == "External")
            continue;
        out[x.attribute("Id")] = {x.attribute("Type"), resolve(source, x.attribute("Target"))};
    }
    return out;
}

bool typeIs(const Relationship& r, std::string_view kind) {
    return r.type.size() > kind.size() && r.type.compare(r.type.size() - kind.size(), kind.size(), kind) == 0 &&
           r.type[r.type.size() - kind.size() - 1] == '/';
}

// Texts as the workbook escapes what XML cannot hold: _xHHHH_ for one UTF-16 unit.
std::string unescaped(std::string&& s) {
    if (s.find("_x") == std::string::npos)
        return std::move(s);
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = 0;
        bool escape = i + 7 <= s.size() && s.compare(i, 2, "_x") == 0 && s[i + 6] == '_';
        for (size_t k = i + 2; escape && k < i + 6; ++k) {
            const char c = s[k];
            const int v = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            escape = v >= 0;
            cp = cp * 16 + static_cast<uint32_t>(v);
        }
        if (escape) {
            Reader::appendUtf8(out, cp);
            i += 6;
        } else {
            out += s[i];
        }
    }
    return out;
}

QString textOf(std::string s) {
    const std::string t = unescaped(std::move(s));
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

// The text of a rich text element (<si>, <is>) just started: its <t> parts,
// without the phonetic guides (<rPh>).
void richText(Reader& x, std::string& out) {
    int depth = 1, phonetic = 0, inText = 0;
    while (depth > 0) {
        switch (x.next()) {
            case Reader::Start:
                ++depth;
                phonetic += x.is("rPh");
                inText += x.is("t");
                break;
            case Reader::End:
                --depth;
                phonetic -= x.is("rPh") && phonetic > 0;
                inText -= x.is("t") && inText > 0;
                break;
            case Reader::Text:
                if (inText && !phonetic)
                    x.appendText(out);
                break;
            case Reader::Done:
                damaged();
        }
    }
}

// The shared texts, one after the other in one block of UTF-8: a workbook
// of many rows holds many of them.
class SharedStrings {
public:
    size_t size() const { return ends_.size(); }
    // Null for an empty text.
    Value at(size_t i) const {
        const uint32_t from = i == 0 ? 0 : ends_[i - 1];
        if (ends_[i] == from)
            return Value();
        return Value(QString::fromUtf8(bytes_.data() + from, static_cast<qsizetype>(ends_[i] - from)));
    }
    void read(Reader& x) {
        std::string s;
        while (x.next() != Reader::Done) {
            if (x.kind() == Reader::Start && x.is("si")) {
                s.clear();
                if (!x.selfClosing())
                    richText(x, s);
                bytes_ += unescaped(std::move(s));
                ends_.push_back(static_cast<uint32_t>(bytes_.size()));
            }
        }
    }

private:
    std::string bytes_;
    std::vector<uint32_t> ends_;
};

// Which cell formats (by their index in cellXfs) show a date.
std::vector<bool> dateFormats(Reader& x) {
    std::unordered_map<size_t, bool> coded;
    std::vector<bool> dates;
    bool inCellXfs = false;
    while (x.next() != Reader::Done) {
        if (x.kind() == Reader::End && x.is("cellXfs"))
            inCellXfs = false;
        if (x.kind() != Reader::Start)
            continue;
        if (x.is("numFmt")) {
            coded[std::strtoul(x.attribute("numFmtId").c_str(), nullptr, 10)] = dateCode(x.attribute("formatCode"));
        } else if (x.is("cellXfs")) {
            inCellXfs = !x.selfClosing();
        } else if (inCellXfs && x.is("xf")) {
            const size_t id = std::strtoul(x.attribute("numFmtId").c_str(), nullptr, 10);
            const auto it = coded.find(id);
            dates.push_back(it != coded.end() ? it->second : builtinDate(id));
        }
    }
    return dates;
}

// "AB12" -> column 27, row 11 (from 0); false for anything else. A place
// past the sheet's last column or row comes out as that column or row + 1.
bool cellAddress(std::string_view a, int32_t& row, int32_t& col) {
    size_t i = 0;
    int64_t c = 0, r = 0;
    for (; i < a.size() && static_cast<unsigned char>((a[i] | 0x20) - 'a') < 26; ++i)
        c = std::min<int64_t>(c * 26 + ((a[i] | 0x20) - 'a' + 1), kMaxColumns + 1);
    const size_t letters = i;
    for (; i < a.size() && static_cast<unsigned char>(a[i] - '0') < 10; ++i)
        r = std::min<int64_t>(r * 10 + (a[i] - '0'), kMaxRows + 1);
    if (letters == 0 || i == letters || i != a.size() || r == 0)
        return false;
    col = static_cast<int32_t>(c - 1);
    row = static_cast<int32_t>(r - 1);
    return true;
}

struct Book {
    SharedStrings strings;
    std::vector<bool> dates;
    bool from1904 = false;
};

// One cell: its type (t), its format (s) and what it holds.
Value cellValue(const Book& book, std::string_view type, size_t xf, const std::string& v, const std::string& inl,
                bool hasInline) {
    if (type == "s") {
        const auto index = numberIn(v);
        if (!index || *index < 0 || *index >= static_cast<double>(book.strings.size()))
            return Value();
        return book.strings.at(static_cast<size_t>(*index));
    }
    if (type == "inlineStr" || type == "str") {
        const QString s = textOf(hasInline ? inl : v);
        return s.isEmpty() ? Value() : Value(s);
    }
    if (type == "b")
        return v.empty() ? Value() : Value(int16_t(v == "1" || v == "true" ? 1 : 0));
    if (type == "e")
        return Value();
    if (type == "d") {
        const QDate d = QDate::fromString(QString::fromLatin1(v.data(), qsizetype(std::min<size_t>(v.size(), 10))),
                                          QStringLiteral("yyyy-MM-dd"));
        return d.isValid() ? Value(d) : Value();
    }
    const auto number = numberIn(v);
    if (!number)
        return Value();
    if (xf < book.dates.size() && book.dates[xf])
        return dateOf(*number, book.from1904);
    return Value(*number);
}

// The cells of a sheet's part into `out`.
void readCells(const Book& book, Reader& x, SheetBuilder& out) {
    int32_t row = -1, col = -1;
    std::string v, inl;
    while (x.next() != Reader::Done) {
        if (x.kind() != Reader::Start)
            continue;
        if (x.is("row")) {
            const std::string r = x.attribute("r");
            row = r.empty()
                      ? row + 1
                      : static_cast<int32_t>(std::min<long>(std::strtol(r.c_str(), nullptr, 10), kMaxRows + 1L) - 1);
            col = -1;
        } else if (x.is("c")) {
            bool hasRef = false;
            const std::string_view ref = x.rawAttribute("r", &hasRef);
            int32_t r = row, c = col + 1;
            if (hasRef && !cellAddress(ref, r, c))
                damaged();
            row = r;
            col = c;
            const std::string type = x.attribute("t");
            const size_t xf = std::strtoul(x.attribute("s").c_str(), nullptr, 10);
            if (x.selfClosing())
                continue;
            v.clear();
            inl.clear();
            bool hasValue = false, hasInline = false, hasFormula = false;
            x.children([&] {
                if (x.is("v") && !x.selfClosing()) {
                    hasValue = true;
                    x.appendAllText(v);
                } else if (x.is("is") && !x.selfClosing()) {
                    hasInline = true;
                    richText(x, inl);
                } else {
                    hasFormula |= x.is("f");
                    x.skip();
                }
            });
            if (hasValue || hasInline || hasFormula)
                out.held();
            Value value = cellValue(book, type, xf, v, inl, hasInline);
            QString digits;
            if (value.kind() == Value::Kind::Double && (type.empty() || type == "n"))
                digits = ownDigits(v, value.toDouble());
            // An error, or a value that is not what its type says.
            const auto number = numberIn(v);
            if (type == "e" || ((type.empty() || type == "n") && !v.empty() && !number) ||
                (type == "s" && (!number || *number < 0 || *number >= double(book.strings.size()))))
                out.error();
            out.add(row, col, std::move(value), std::move(digits));
        }
    }
}

// A sheet's rows handed over as they are read; rows out of order (rare)
// make it read again, its rows held and put in order.
void readSheet(const Book& book, const Package& pkg, const ZipPart& part, const QString& name, SheetSink& sink) {
    sink.begin(name);
    try {
        PartReader bytes(pkg.source, part);
        Reader x(bytes);
        SheetBuilder out(name, sink);
        readCells(book, x, out);
        out.finish();
    } catch (const RowsOutOfOrder&) {
        sink.restart();
        PartReader bytes(pkg.source, part);
        Reader x(bytes);
        SheetBuilder out(name, sink, true);
        readCells(book, x, out);
        out.finish();
    }
}

}  // namespace

void readXlsx(const Source& source, SheetSink& sink) {
    Package pkg{source, zipParts(source)};
    std::string workbook = "xl/workbook.xml";
    for (const auto& [id, rel] : relationshipsOf(pkg, "")) {
        if (typeIs(rel, "officeDocument"))
            workbook = rel.target;
    }
    const auto rels = relationshipsOf(pkg, workbook);
    // The sheets in the order the workbook lists them.
    Book book;
    std::vector<std::pair<QString, std::string>> listed;
    {
        PartReader bytes(source, pkg.part(workbook));
        Reader x(bytes);
        while (x.next() != Reader::Done) {
            if (x.kind() != Reader::Start)
                continue;
            if (x.is("workbookPr")) {
                const std::string v = x.attribute("date1904");
                book.from1904 = v == "1" || v == "true";
            } else if (x.is("sheet")) {
                const auto rel = rels.find(x.attribute("id"));
                if (rel != rels.end() && typeIs(rel->second, "worksheet"))
                    listed.emplace_back(textOf(x.attribute("name")), rel->second.target);
            }
        }
    }
    if (listed.size() > 4096)
        tooLarge();
    std::vector<SheetSink::Want> wants;
    for (size_t i = 0; i < listed.size(); ++i) wants.push_back(sink.want(static_cast<int>(i)));
    // The texts and the formats only when rows are wanted.
    if (std::find(wants.begin(), wants.end(), SheetSink::Want::Rows) != wants.end()) {
        for (const auto& [id, rel] : rels) {
            const bool strings = typeIs(rel, "sharedStrings"), styles = typeIs(rel, "styles");
            if (!strings && !styles)
                continue;
            PartReader bytes(source, pkg.part(rel.target));
            Reader x(bytes);
            if (strings)
                book.strings.read(x);
            else
                book.dates = dateFormats(x);
        }
    }
    for (size_t i = 0; i < listed.size(); ++i) {
        if (wants[i] == SheetSink::Want::Rows) {
            readSheet(book, pkg, pkg.part(listed[i].second), listed[i].first, sink);
        } else if (wants[i] == SheetSink::Want::Name) {
            sink.begin(listed[i].first);
            Sheet named;
            named.name = listed[i].first;
            sink.end(named);
        }
    }
}

}  // namespace tv::workbook::detail
