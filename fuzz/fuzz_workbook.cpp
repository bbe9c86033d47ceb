// libFuzzer target over the workbook reader: any bytes either read as a
// workbook or are refused with a WorkbookError; nothing else may happen.
// Packages (.xlsx, .ods) are fuzzed here. Legacy .xls files are left out:
// libfreexl 1.0.6 reads past a buffer of its own on a damaged file (see
// tests/fixtures/workbook_crashers/), which is why the program reads every
// workbook in a process of its own; the tests read the crashers that way.

#include "platform/workbook/Workbook.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        if (tv::workbook::sniff(bytes.left(128)) != tv::workbook::Format::Xls)
            tv::workbook::readBytes(bytes);
    } catch (const tv::workbook::WorkbookError&) {
    }
    return 0;
}
