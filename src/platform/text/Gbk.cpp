#include "platform/text/Gbk.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tv::text {

namespace {

// GBK is a stateless code: a text converts character by character. iconv
// tells each character's code once, on its first use; after that it comes
// from the tables below. ASCII never goes near them.

// An iconv descriptor for one direction, one per thread (iconv_t is not
// shared between threads).
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in` (size bytes) into `out`; the number of bytes
    // written, or -1 when iconv refuses any of it.
    int run(const char* in, size_t size, char* out, size_t room) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* i = const_cast<char*>(in);
        char* o = out;
        size_t left = size;
        if (iconv(cd_, &i, &left, &o, &room) == static_cast<size_t>(-1) || left != 0)
            return -1;
        return static_cast<int>(o - out);
    }

private:
    iconv_t cd_;
};

// One UTF-16 code unit in little-endian order, as the converters take and give it.
constexpr const char* kUtf16 = "UTF-16LE";

// Unicode (the first plane) -> GBK: 0 not known yet; 0xFFxx the one byte xx
// ('?' for a character GBK lacks; 0xFF is no GBK lead byte); else the two
// bytes, the lead byte high.
std::array<std::atomic<uint16_t>, 0x10000> encodeTable{};

[[gnu::noinline]] uint16_t lookUp(char16_t u) {
    thread_local Converter conv("GBK", kUtf16);
    const char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    char out[4];
    const int n = conv.run(in, 2, out, sizeof out);
    const uint16_t code = n == 2
                              ? static_cast<uint16_t>(static_cast<uint8_t>(out[0]) << 8 | static_cast<uint8_t>(out[1]))
                          : n == 1 ? static_cast<uint16_t>(0xFF00 | static_cast<uint8_t>(out[0]))
                                   : uint16_t{0xFF00 | '?'};
    encodeTable[u].store(code, std::memory_order_relaxed);
    return code;
}

inline uint16_t gbkCode(char16_t u) {
    const uint16_t code = encodeTable[u].load(std::memory_order_relaxed);
    return code != 0 ? code : lookUp(u);
}

// Columns of a character of the first plane that is no half of a pair.
inline int columns(char16_t u) { return u < 0x80 || (gbkCode(u) >> 8) == 0xFF ? 1 : 2; }

// GBK -> Unicode, by the byte pair (lead << 8 | trail) or, at index lead, by
// a lone byte from 0x80 up: 0 not known yet, U+FFFD not a character.
std::array<std::atomic<uint16_t>, 0x10000> pairTable{};
std::array<std::atomic<uint16_t>, 0x100> byteTable{};

char16_t decoded(std::atomic<uint16_t>& slot, const char* bytes, size_t size) {
    uint16_t u = slot.load(std::memory_order_relaxed);
    if (u == 0) {
        thread_local Converter conv(kUtf16, "GBK");
        char out[8];
        u = conv.run(bytes, size, out, sizeof out) == 2
                ? static_cast<uint16_t>(static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8)
                : uint16_t{0xFFFD};
        slot.store(u, std::memory_order_relaxed);
    }
    return u;
}

bool isHigh(char16_t u) { return u >= 0xD800 && u < 0xDC00; }
bool isLow(char16_t u) { return u >= 0xDC00 && u < 0xE000; }

}  // namespace

void appendGbk(QByteArray& out, QStringView text) {
    const char16_t* s = text.utf16();
    const qsizetype n = text.size(), start = out.size();
    out.resize(start + n * 2);
    char* p = out.data() + start;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = s[i];
        if (u < 0x80) {
            *p++ = static_cast<char>(u);
        } else if (isHigh(u) || isLow(u)) {
            // Beyond the first plane, or half a pair: nothing GBK holds.
            if (isHigh(u) && i + 1 < n && isLow(s[i + 1]))
                ++i;
            *p++ = '?';
        } else {
            const uint16_t code = gbkCode(u);
            if ((code >> 8) != 0xFF)
                *p++ = static_cast<char>(code >> 8);
            *p++ = static_cast<char>(code & 0xFF);
        }
    }
    out.truncate(p - out.constData());
}

QByteArray toGbk(const QString& text) {
    QByteArray out;
    appendGbk(out, text);
    return out;
}

QString fromGbk(const QByteArray& bytes) {
    const char* b = bytes.constData();
    const qsizetype n = bytes.size();
    QString out(n, Qt::Uninitialized);
    char16_t* p = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < n;) {
        const uint8_t lead = static_cast<uint8_t>(b[i]);
        if (lead < 0x80) {
            *p++ = lead;
            ++i;
            continue;
        }
        // A pair when the two bytes make a character; else this byte alone,
        // which is a character (0x80) or not (U+FFFD, and on to the next byte).
        if (i + 1 < n) {
            const uint8_t trail = static_cast<uint8_t>(b[i + 1]);
            const char16_t u = decoded(pairTable[lead << 8 | trail], b + i, 2);
            if (u != 0xFFFD) {
                *p++ = u;
                i += 2;
                continue;
            }
        }
        *p++ = decoded(byteTable[lead], b + i, 1);
        ++i;
    }
    out.truncate(p - reinterpret_cast<const char16_t*>(out.constData()));
    return out;
}

int charWidth(char32_t c) {
    if (c > 0xFFFF || (c >= 0xD800 && c < 0xE000))
        return 1;  // outside GBK, printed as one "?"
    return columns(static_cast<char16_t>(c));
}

int width(const QString& text) {
    const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype n = text.size();
    int w = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = s[i];
        if (isHigh(u) || isLow(u)) {
            if (isHigh(u) && i + 1 < n && isLow(s[i + 1]))
                ++i;
            w += 1;  // printed as one "?"
        } else {
            w += columns(u);
        }
    }
    return w;
}
void LineWriter::at(int column) {
    if (column < 1)
        column = 1;
    if (column_ > column) {
        endLine();
    }
    if (column_ < column) {
        current_.resize(current_.size() + (column - column_), QLatin1Char(' '));
        column_ = column;
    }
}

void LineWriter::put(const QString& text) {
    current_.append(text);
    column_ += width(text);
}

void LineWriter::endLine() {
    done_.append(current_);
    current_.clear();
    column_ = 1;
}

void GbkLineWriter::at(int column) {
    if (column < 1)
        column = 1;
    if (column_ > column)
        endLine();
    if (column_ < column) {
        out_.append(column - column_, ' ');
        column_ = column;
    }
}

void GbkLineWriter::put(QStringView text) {
    const qsizetype before = out_.size();
    appendGbk(out_, text);
    column_ += static_cast<int>(out_.size() - before);  // a column per byte
}

void GbkLineWriter::endLine() {
    out_.append(lineEnd_);
    column_ = 1;
}

QStringList LineWriter::takeLines() {
    QStringList lines;
    lines.swap(done_);
    return lines;
}

}  // namespace tv::text
