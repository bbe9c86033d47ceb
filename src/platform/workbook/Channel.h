#pragma once
// How the reading process hands the sheets to the program: messages one
// after the other, each with its length before it, holding the values' own
// bytes in the machine's order (both ends are this program on this
// machine), texts as their UTF-16 code units. Rows go in batches, a batch
// as one message; the temporary file of a previewed sheet keeps the batches
// as they came. Not for use outside the workbook folder.

#include "platform/workbook/Workbook.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tv::workbook::detail {

// A sheet begins (its name), a batch of its rows, its rows start again, it
// ends (its counts), the reading is done, or the error that stopped it.
enum Message : uint8_t { MSheet, MRows, MRestart, MEnd, MDone, MError };
constexpr size_t kRowsPerMessage = 1024;
// What a cell's bytes hold: a number, a text, a date, a small whole number,
// a number followed by its own digits.
enum Tag : uint8_t { TNumber, TText, TDate, TSmall, TDigits };

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
    void row(const Sheet::Row& row);
};

// Reads what a Packer wrote; anything short or out of bounds makes it fail
// for good (and every later read gives zeros).
class Unpacker {
public:
    Unpacker(const char* p, size_t n) : p_(p), end_(p + n) {}
    bool ok() const { return ok_; }
    size_t left() const { return static_cast<size_t>(end_ - p_); }
    const char* at() const { return p_; }

    template <class T>
    T get() {
        T v{};
        if (left() < sizeof v)
            return fail(), v;
        std::memcpy(&v, p_, sizeof v);
        p_ += sizeof v;
        return v;
    }
    QString text();
    // `count` rows, added to `rows`.
    void rows(uint64_t count, std::vector<Sheet::Row>& rows);

private:
    void fail() {
        ok_ = false;
        p_ = end_;
    }
    const char* p_;
    const char* end_;
    bool ok_ = true;
};

// What is asked of the reading process: every sheet, the names only, or one sheet.
struct Request {
    enum Kind { All, Names, One } kind = All;
    int sheet = -1;
};

// Where the program takes what the reading process sends.
struct Listener {
    std::function<void(const QString& name)> begin;
    // A batch of rows decoded; or, when `batch` is set, as it came: the
    // bytes of `count` rows.
    std::function<void(std::vector<Sheet::Row>& rows)> rows;
    std::function<void(const char* bytes, size_t size, uint64_t count)> batch;
    std::function<void()> restart;
    std::function<void(const Sheet& counts)> end;
    std::function<void()> waiting;  // while nothing comes (may be empty)
};

// Reads the workbook at `path` in a process of its own (in this one where
// none can be started) and hands what it reads to the listener as it comes.
// An error of the listener stops the reading and goes on.
void readInProcess(const QString& path, const Request& request, const Listener& listener);

}  // namespace tv::workbook::detail
