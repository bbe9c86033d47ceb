// The workbook writer and reader: what is written reads back with its kind,
// every kind of cell of the three formats, and damaged or hostile files
// refused with a text (the crashers the fuzzer found included).
#include "platform/workbook/Workbook.h"
#include "platform/workbook/Xml.h"
#include "support/OddFiles.h"
#include "support/PrintTo.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using tv::Value;

namespace wb = tv::workbook;

namespace {

QString fixture(const QString& name) { return QStringLiteral(TV_FIXTURES_DIR "/") + name; }

// Sheets as text: "[name] columns", then a row per line, each cell "column=kind:text"
// (kinds: t text, n number, d date, s small whole number), "#digits" after a number
// whose own digits are kept.
QString dump(const std::vector<wb::Sheet>& sheets) {
    QString out;
    for (const wb::Sheet& s : sheets) {
        out += QStringLiteral("[%1] %2\n").arg(s.name).arg(s.columns);
        for (const wb::Sheet::Row& r : s.rows) {
            for (const auto& [c, v] : r.cells) {
                const QString digits = r.digitsAt(c);
                out += QStringLiteral("%1=%2:%3%4 ")
                           .arg(c)
                           .arg(QChar("-tsinnmdb"[int(v.kind())]))
                           .arg(v.toText(), digits.isEmpty() ? QString() : '#' + digits);
            }
            out += QLatin1Char('\n');
        }
    }
    return out;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(Workbook, WrittenValuesReadBackWithTheirKinds) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("导出"));  // no extension: the format is in the bytes
    const QString longText = QString(40, QChar(0x79DF));
    wb::Writer w(path);
    const std::vector<Value> row = {Value("012345"),
                                    Value("440101199001011234"),
                                    Value(longText),
                                    Value(int16_t(7)),
                                    Value(int32_t(123456)),
                                    Value(34.4f),
                                    Value(2.5),
                                    Value(tv::Money::fromUnits(199900)),
                                    Value(QDate(2024, 2, 29)),
                                    Value(),
                                    Value(QByteArray("\x89PNG")),
                                    Value(QDate(1850, 1, 2))};
    for (int r = 0; r < 2; ++r)
        for (size_t c = 0; c < row.size(); ++c) w.write(r * 2, int(c), row[c]);  // row 1 stays empty
    w.close();
    const QString line = QStringLiteral(
                             "0=t:012345 1=t:440101199001011234 2=t:%1 3=n:7 4=n:123456 5=n:34.4 6=n:2.5 "
                             "7=n:19.99 8=d:2024-02-29 11=t:1850-01-02 \n")
                             .arg(longText);
    EXPECT_EQ(dump(wb::read(path)), "[Sheet1] 12\n" + line + line);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("导出")});  // no temporary left
}

TEST(Workbook, ReadingsAreWrittenAsShownAndLongTextsComeBackWhole) {
    // Each reading's cell holds the number its text shows, in the plain and the E form.
    const float readings[] = {34.4f,          0.1f,    -1250.5f, 3301.0f, 1234567.9f, 12345678.0f,
                              0.00012345678f, 1.5e-9f, 1e-45f,   0.0f,    -0.0f};
    const QString longText(32767, QChar(0x79DF));  // the longest a cell holds, past a pipe's buffer
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("readings.xlsx"));
    wb::Writer w(path);
    for (int r = 0; r < int(std::size(readings)); ++r) {
        w.write(r, 0, Value(readings[r]));
        if (r == 0)
            w.write(0, 1, Value(longText));
    }
    w.close();
    const auto sheets = wb::read(path);
    ASSERT_EQ(sheets.at(0).rows.size(), std::size(readings));
    for (size_t r = 0; r < std::size(readings); ++r)
        EXPECT_EQ(sheets[0].rows[r].at(0).toDouble(), tv::floatText(readings[r]).toDouble()) << readings[r];
    EXPECT_EQ(sheets[0].rows[0].at(1).toText(), longText);
}

TEST(Workbook, EveryKindOfCellInTheThreeFormats) {
    const struct {
        const char* file;
        const char* sheets;
    } cases[] = {
        // shared and rich text, a number, built-in / custom / date-time formats as dates, a quoted "day" format
        // as a number; a row of an empty text and an error is no row; cached formula results, a boolean, inline
        // text
        {"workbook_kinds.xlsx",
         "[数据] 7\n0=t:张三 1=t:富文本 2=n:3.5 3=d:2024-01-05 4=d:2024-01-05 5=n:2 6=d:2024-01-05 \n"
         "0=n:2 1=t:ab 3=s:1 5=t:行内 \n[第二页] 3\n2=n:7 \n"},
        {"workbook_1904.xlsx", "[数据] 1\n0=d:2024-01-05 \n[第二页] 0\n"},
        {"workbook_sheet.ods", "[表一] 3\n0=t:李四 1=n:12.25 2=d:2024-01-05 \n1=n:-1 \n"},
    };
    for (const auto& c : cases) EXPECT_EQ(dump(wb::read(fixture(c.file))), c.sheets) << c.file;
    // Its two error values (one a formula's) give nothing and are counted.
    EXPECT_EQ(wb::read(fixture(QStringLiteral("workbook_kinds.xlsx"))).at(0).errors, 2);
    // The legacy twin holds what the .xlsx one holds, and a package named .xls is still read as one.
    QTemporaryDir dir;
    const QString renamed = dir.filePath(QStringLiteral("twin.xls"));
    QFile::copy(fixture(QStringLiteral("exchange_twin.xlsx")), renamed);
    const QString rows = dump(wb::read(fixture(QStringLiteral("exchange_twin.xls")))).section('\n', 1, 2);
    EXPECT_EQ(rows, dump(wb::read(renamed)).section('\n', 1, 2));
    EXPECT_EQ(rows.section('\n', 0, 0), "0=d:2024-01-05 1=t:101 2=t:张三 3=t:440101199001011234 4=n:800 5=n:3.5 ");
}

// A whole number written in plain digits that say more than the number keeps
// them beside it (an 18-digit ID number held as a number); one written with
// an exponent, an old 15-digit one and a legacy workbook's numbers keep none.
// A cell written again without digits of its own keeps none of the first's.
TEST(Workbook, AWholeNumberKeepsThePlainDigitsItIsWrittenIn) {
    const QString rows = QStringLiteral(
        "1=t:101 2=t:张三 3=n:4.40301199001011E+17#440301199001011234 4=n:800 \n"
        "1=t:102 2=t:李四 3=n:4.40301199001011E+17 4=n:800 \n1=t:103 2=t:王五 3=n:440301900101123 4=n:800 \n"
        "1=t:104 2=t:赵六 3=n:4.40301199001011E+17 4=n:800 \n1=t:105 2=t:钱七 3=t:44030119900101123X 4=n:800 \n");
    const struct {
        const char* file;
        QString sheets;
    } cases[] = {
        {"workbook_ids.xlsx", "[数据] 5\n" + rows +
                                  "[第二页] 5\n3=n:4.40301199001011E+17#440301199001011235 \n"
                                  "2=n:-1.23456789012346E+16#-12345678901234567 3=n:7 4=n:1 \n"},
        {"workbook_ids.ods", "[表一] 5\n" + rows},
        {"workbook_ids.xls", "[数据] 5\n" + QString(rows).remove(QStringLiteral("#440301199001011234"))},
    };
    for (const auto& c : cases) EXPECT_EQ(dump(wb::read(fixture(c.file))), c.sheets) << c.file;
}

// Each copy of a repeated cell counts against the cells a sheet may give: a
// sheet that would give more is refused at once, in bounded memory, however
// large its repeat counts, whether read whole or for a preview; repeats that
// give no cell (error values, and the empty cells every LibreOffice sheet
// ends with) cost nothing.
TEST(Workbook, RepeatedCellsCountAgainstTheCellsASheetMayGive) {
    const QString refused = QStringLiteral("!Excel文件太大，不能读取：工作表“表一”的单元格重复展开后多于16777216个。");
    const QString within = QStringLiteral("0=t:租 1=t:租 2=t:租 3=n:800 4=n:800 \n");
    const struct {
        const char* file;
        QString read;  // the dump and the errors counted, or "!" and the refusal
    } cases[] = {
        {"workbook_repeat_all.ods", refused},
        {"workbook_repeat_huge.ods", refused},
        {"workbook_repeat_within.ods", "[表一] 5\n" + within.repeated(4) + "17179803648"},
    };
    for (const auto& c : cases) {
        const tv::test::Watchdog watchdog(c.file);
        QString got;
        try {
            const auto sheets = wb::read(fixture(c.file));
            got = dump(sheets) + QString::number(sheets.at(0).errors);
        } catch (const wb::WorkbookError& e) {
            got = '!' + e.text();
        }
        EXPECT_EQ(got, c.read) << c.file;
        try {
            const wb::SheetFile preview(fixture(c.file), 0);
            got = QString::number(preview.rowCount());
        } catch (const wb::WorkbookError& e) {
            got = '!' + e.text();
        }
        EXPECT_EQ(got, c.read.startsWith('!') ? c.read : QStringLiteral("4")) << c.file;
    }
}

TEST(Workbook, CellsPastTheLastColumnAreCountedAmongTheCellsNotTaken) {
    // The last column, XFD, is read; XFE and ZZZZ (in an .xlsx), a text repeated across the edge and a number
    // past it in a row written once for two (in an .ods) give no value and are counted, not dropped.
    const struct {
        const char* file;
        const char* sheet;
        int errors;
    } cases[] = {
        {"workbook_wide.xlsx", "[数据] 16384\n0=t:a 16383=n:1 \n1=t:b \n", 2},
        {"workbook_wide.ods", "[表一] 16384\n16382=t:x 16383=t:x \n", 3},
    };
    for (const auto& c : cases) {
        const auto sheets = wb::read(fixture(QString::fromLatin1(c.file)));
        EXPECT_EQ(dump({sheets.at(0)}), c.sheet) << c.file;
        EXPECT_EQ(sheets.at(0).errors, c.errors) << c.file;
    }
}

TEST(Workbook, WorkbooksOfIndependentProgramsReadAlike) {
    // Absolute part names (openpyxl), inline texts (openpyxl, XlsxWriter's constant-memory mode), formulas
    // kept without a result (empty, not "NaN"), formula results in .xls and .ods, money in a number style
    // beside a date style (LibreOffice's .ods: numbers, not dates), both date systems.
    const QString rows = QStringLiteral(
        "[收费] 12\n"
        "0=d:2024-01-05 1=t:0101 2=t:张三 3=t:012345199001011234 4=n:1200 6=t:0101-01-31 7=n:1250 8=n:1200 9=n:50 "
        "10=n:3.5 11=n:0.68 \n"
        "0=d:2024-02-29 1=t:0102 2=t:欧阳·李四 3=t:044101199912319876 4=n:800.5 6=t:0102-02-29 7=n:30 9=n:30 "
        "10=n:3.5 \n"
        "0=d:1999-12-31 1=t:广州市天河区某某路123号 3=t:000000000000000000 4=n:0 7=n:0 8=n:-5 9=n:-5 "
        "10=n:1234567.89 11=n:0.01 \n");
    const QDir dir(QStringLiteral(TV_FIXTURES_DIR "/workbooks"));
    QStringList books = dir.entryList({"*.xlsx", "*.xls", "*.ods"}, QDir::Files, QDir::Name);
    books.removeOne(QStringLiteral("formulas-only.xlsx"));  // cells without a value: no row at all
    EXPECT_EQ(dump(wb::read(dir.filePath(QStringLiteral("formulas-only.xlsx")))), "[公式] 0\n");
    EXPECT_EQ(books.join(' '),
              "libreoffice-1904.xls libreoffice-1904.xlsx libreoffice.ods odfpy-1904.ods openpyxl.xlsx "
              "xlsxwriter-inline-1904.xlsx xlsxwriter.xlsx xlwt.xls");
    for (const QString& book : books) EXPECT_EQ(dump(wb::read(dir.filePath(book))), rows) << book.toStdString();
}

// A sheet read into a file of its own gives back any row asked for, across
// the batches it came in and in any order; a sheet that keeps its rows out
// of order comes in order however it is read: whole, in batches (the rows
// given before the disorder was seen are taken back once), or into its file.
TEST(Workbook, ASheetReadAPieceAtATimeGivesEveryRowInOrder) {
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.xlsx"));
    wb::Writer w(big);
    for (int32_t r = 0; r < 5000; ++r) {
        w.write(r, 0, Value(r));
        w.write(r, 1, Value(QStringLiteral("租客%1").arg(r)));
    }
    w.close();
    wb::SheetFile file(big, 0);
    EXPECT_EQ(QStringLiteral("%1 %2 %3").arg(file.sheet().name).arg(file.rowCount()).arg(file.sheet().columns),
              "Sheet1 5000 2");
    for (const qint64 r : {0, 4999, 2500, 1024, 1023, 0, 4096, 3000, 4999}) {
        const wb::Sheet::Row& row = file.row(r);
        EXPECT_EQ(row.at(0).toText() + row.at(1).toText(), QStringLiteral("%1租客%1").arg(r));
    }
    EXPECT_THROW(file.row(5000), wb::WorkbookError);

    const QString disorder = fixture(QStringLiteral("workbook_disorder.xlsx"));
    const auto firstCells = [](const std::vector<wb::Sheet::Row>& rows) {
        QStringList out;
        for (const auto& r : rows) out << r.at(0).toText();
        return out.join(' ') + " | " + rows.at(0).at(1).toText() + rows.at(0).at(2).toText();
    };
    QStringList expected;
    for (int r = 1; r <= 1501; ++r) expected << QString::number(r);
    expected << "1600";
    const QString inOrder = expected.join(' ') + " | 行199";
    EXPECT_EQ(firstCells(wb::read(disorder).at(0).rows), inOrder);
    std::vector<wb::Sheet::Row> batches;
    int restarts = 0;
    wb::readRows(disorder, 0,
                 {[&](std::vector<wb::Sheet::Row>& rows) { batches.insert(batches.end(), rows.begin(), rows.end()); },
                  [&] { batches.clear(), ++restarts; },
                  {}});
    EXPECT_EQ(firstCells(batches), inOrder);
    EXPECT_EQ(restarts, 1);
    wb::SheetFile kept(disorder, 0);
    std::vector<wb::Sheet::Row> back;
    for (qint64 r = 0; r < kept.rowCount(); ++r) back.push_back(kept.row(r));
    EXPECT_EQ(firstCells(back), inOrder);
}

// A part is read a piece at a time: whatever the size of the pieces, every
// workbook reads as it does when its parts come in pieces larger than they
// are, markup of every kind included (a document type, comments, a processing
// instruction, CDATA, references, '>' inside an attribute).
TEST(Workbook, EveryEventReadsAlikeAcrossTheEndOfAPiece) {
    EXPECT_EQ(dump(wb::read(fixture(QStringLiteral("workbook_markup.xlsx")))),
              "[数据] 3\n0=t:<租> & \"客\" 1=t:<&租客> 2=n:1.5 \n[第二页] 0\n");
    QStringList books;
    for (const char* name : {"workbook_markup.xlsx", "workbook_kinds.xlsx", "workbook_1904.xlsx", "workbook_sheet.ods",
                             "workbook_wide.ods", "exchange_twin.xlsx", "workbook_ids.xlsx", "workbook_ids.ods"})
        books << fixture(QString::fromLatin1(name));
    const QDir others(fixture(QStringLiteral("workbooks")));
    for (const QString& name : others.entryList({"*.xlsx", "*.ods"}, QDir::Files, QDir::Name))
        books << others.filePath(name);
    for (const QString& book : books) {
        const QByteArray bytes = readFile(book);
        const QString whole = dump(wb::readBytes(bytes));
        for (const size_t piece : {1, 2, 5, 64}) {
            tv::workbook::xml::Reader::piece = piece;
            EXPECT_EQ(dump(wb::readBytes(bytes)), whole) << book.toStdString() << " in pieces of " << piece;
        }
        tv::workbook::xml::Reader::piece = 256u << 10;
    }
}

TEST(Workbook, OnlyARegularFileIsReadAndAtOnce) {
    // A FIFO would block the reading, a device never ends: both refused before anything is read; a file that
    // is not there is said so in Chinese.
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("管道.xlsx"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath(QStringLiteral("huge.xlsx"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(600LL << 20));  // sparse: nothing written
    }
    const struct {
        QString path;
        const char* text;
    } cases[] = {
        {fifo, "无法读取Excel文件：所选的不是一个普通文件。"},
        {QStringLiteral("/dev/zero"), "无法读取Excel文件：所选的不是一个普通文件。"},
        {QStringLiteral("/dev/urandom"), "无法读取Excel文件：所选的不是一个普通文件。"},
        {dir.path(), "无法读取Excel文件：所选的不是一个普通文件。"},
        {huge, "Excel文件太大，不能读取。"},
        {dir.filePath(QStringLiteral("没有.xlsx")), "无法读取Excel文件：找不到文件或文件夹。"},
    };
    for (const auto& c : cases) {
        try {
            wb::read(c.path);
            ADD_FAILURE() << c.path.toStdString() << " was read";
        } catch (const wb::WorkbookError& e) {
            EXPECT_EQ(e.text(), QString::fromUtf8(c.text)) << c.path.toStdString();
        }
    }
}

TEST(Workbook, DamagedAndHostileFilesAreRefusedWithAText) {
    QTemporaryDir dir;
    const QByteArray xlsx = readFile(fixture(QStringLiteral("exchange_twin.xlsx")));
    QByteArray bomb = xlsx;  // a part that says it unpacks to 3 GB
    const qsizetype central = bomb.indexOf(QByteArray("PK\x01\x02", 4));
    bomb.replace(central + 24, 4, QByteArray("\x00\x00\x00\xC0", 4));
    const QByteArray encrypted = QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, '\0') +
                                 QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + 13) % 251);
    const struct {
        const char* name;
        QByteArray bytes;
        const char* text;
    } cases[] = {
        {"truncated.xlsx", xlsx.left(xlsx.size() / 2), "无法读取Excel文件：文件不完整或已损坏。"},
        {"noise.xlsx", noise, "无法读取Excel文件：不是Excel文件（只能读取 .xlsx、.xls 和 .ods 工作簿）。"},
        {"empty.xls", QByteArray(), "无法读取Excel文件：不是Excel文件（只能读取 .xlsx、.xls 和 .ods 工作簿）。"},
        {"bomb.xlsx", bomb, "Excel文件太大，不能读取。"},
        {"encrypted.xlsx", encrypted, "无法读取Excel文件：该工作簿有密码保护，不能读取。"},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        writeFile(path, c.bytes);
        try {
            wb::read(path);
            ADD_FAILURE() << c.name << " was read";
        } catch (const wb::WorkbookError& e) {
            EXPECT_EQ(e.text(), QString::fromUtf8(c.text)) << c.name;
        }
    }
    // What the fuzzer found (a crash or a blow-up in the libraries) is refused and nothing more.
    const QDir crashers(QStringLiteral(TV_FIXTURES_DIR "/workbook_crashers"));
    const QStringList found = crashers.entryList(QDir::Files);
    EXPECT_FALSE(found.isEmpty());
    for (const QString& name : found) {
        try {
            wb::read(crashers.filePath(name));  // some crash the library only now and then
        } catch (const wb::WorkbookError& e) {
            EXPECT_TRUE(e.text().startsWith(QStringLiteral("无法读取Excel文件：")) || e.text().contains("太大"))
                << e.what();
        }
    }
}

TEST(Workbook, AFailedSaveLeavesTheOldFileAndNoOther) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.xlsx"));
    writeFile(path, "old");
    wb::Writer w(path);
    w.write(1048576, 0, Value(1));  // past the last row a sheet holds
    try {
        w.close();
        ADD_FAILURE() << "saved";
    } catch (const wb::WorkbookError& e) {
        EXPECT_TRUE(e.text().startsWith(QStringLiteral("写入Excel文件失败："))) << e.what();
    }
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("old.xlsx")});
    EXPECT_THROW(wb::Writer(dir.filePath(QStringLiteral("no/such/folder.xlsx"))), wb::WorkbookError);
}
