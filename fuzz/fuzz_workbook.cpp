// libFuzzer target over the workbook reader: any bytes either read as a
// workbook or are refused with a WorkbookError; nothing else may happen.
// Packages (.xlsx, .ods) are fuzzed here, their parts read in pieces of a
// size the last byte chooses (1 to 256 bytes, or the usual), so that events
// are met across the end of a piece. Legacy .xls files are left out:
// libfreexl 1.0.6 reads past a buffer of its own on a damaged file (see
// tests/fixtures/workbook_crashers/), which is why the program reads every
// workbook in a process of its own; the tests read the crashers that way.

#include "platform/workbook/Workbook.h"
#include "platform/workbook/Xml.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// libFuzzer's entry point, called once for each input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    tv::workbook::xml::Reader::piece = size > 0 && data[size - 1] < 0x80 ? size_t{data[size - 1]} + 1 : 256u << 10;
    try {
        if (tv::workbook::sniff(bytes.left(128)) != tv::workbook::Format::Xls)
            tv::workbook::readBytes(bytes);
    } catch (const tv::workbook::WorkbookError&) {
    }
    return 0;
}
