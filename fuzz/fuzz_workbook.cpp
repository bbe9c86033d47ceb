// libFuzzer target over the workbook reader: any bytes either read as a
// workbook or are refused with a WorkbookError; nothing else may happen.
// Packages (.xlsx, .ods) are fuzzed here, their parts read in pieces of a
// size a hash of the whole input chooses: the usual size for half of the
// inputs, a few bytes (1 to 256) or a few kilobytes for the others, so that
// events are met across the end of a piece and the usual reading is fuzzed
// as much. (The last byte, which chose it before, is 0 in nearly every zip.)
// Legacy .xls files are left out:
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

namespace {

// The size of the pieces a part is read in, chosen by the input's FNV-1a hash.
size_t pieceFor(const uint8_t* data, size_t size) {
    uint64_t h = 14695981039346656037ULL;
    for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ULL;
    switch (h % 4) {
        case 0:
            return 1 + (h >> 8) % 256;
        case 1:
            return 257 + (h >> 8) % 16128;
        default:
            return 256u << 10;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    tv::workbook::xml::Reader::piece = pieceFor(data, size);
    try {
        if (tv::workbook::sniff(bytes.left(128)) != tv::workbook::Format::Xls)
            tv::workbook::readBytes(bytes);
    } catch (const tv::workbook::WorkbookError&) {
    }
    return 0;
}
