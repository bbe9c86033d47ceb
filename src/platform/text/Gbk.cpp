#include "platform/text/Gbk.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace tv::text {

namespace {

// An iconv descriptor for one direction, closed when it goes out of scope.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can. Returns false when the input at `in` is not
    // convertible (EILSEQ) or incomplete (EINVAL); in/out have advanced over
    // what was converted.
    bool run(char*& in, size_t& inLeft, QByteArray& out) {
        char buffer[256];
        while (inLeft > 0) {
            char* o = buffer;
            size_t oLeft = sizeof buffer;
            size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
            out.append(buffer, static_cast<qsizetype>(o - buffer));
            if (r == static_cast<size_t>(-1) && errno != E2BIG) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        return true;
    }

private:
    iconv_t cd_;
};

constexpr const char* kGbk = "GBK";

// GBK length of one character of the Basic Multilingual Plane, found once by
// iconv and kept: 0 = not known yet, 1 or 2 bytes (unencodable counts 1, as
// the "?" that replaces it).
std::array<std::atomic<uint8_t>, 0x10000>& widthCache() {
    static std::array<std::atomic<uint8_t>, 0x10000> cache{};
    return cache;
}

int gbkLength(char32_t c) {
    QByteArray bytes = toGbk(QString::fromUcs4(&c, 1));
    return bytes.size() == 2 ? 2 : 1;
}

}  // namespace

QByteArray toGbk(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    Converter conv(kGbk, "UTF-8");
    char* in = utf8.data();
    size_t inLeft = static_cast<size_t>(utf8.size());
    while (!conv.run(in, inLeft, out)) {
        // Skip the one UTF-8 character GBK cannot hold and put "?" instead.
        unsigned char lead = static_cast<unsigned char>(*in);
        size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        len = std::min(len, inLeft);
        in += len;
        inLeft -= len;
        out.append('?');
    }
    return out;
}

QString fromGbk(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QByteArray out;
    out.reserve(copy.size() * 2);
    Converter conv("UTF-8", kGbk);
    char* in = copy.data();
    size_t inLeft = static_cast<size_t>(copy.size());
    while (!conv.run(in, inLeft, out)) {
        ++in;
        --inLeft;
        out.append("\xEF\xBF\xBD");
    }
    return QString::fromUtf8(out);
}

int charWidth(char32_t c) {
    if (c < 0x80)
        return 1;
    if (c > 0xFFFF)
        return 1;  // outside GBK: printed as one "?"
    std::atomic<uint8_t>& slot = widthCache()[c];
    uint8_t w = slot.load(std::memory_order_relaxed);
    if (w == 0) {
        w = static_cast<uint8_t>(gbkLength(c));
        slot.store(w, std::memory_order_relaxed);
    }
    return w;
}

int width(const QString& text) {
    int w = 0;
    for (char32_t c : text.toUcs4()) w += charWidth(c);
    return w;
}

void LineWriter::at(int column) {
    if (column < 1)
        column = 1;
    if (column_ > column) {
        endLine();
    }
    if (column_ < column) {
        current_.append(QString(column - column_, QLatin1Char(' ')));
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

QStringList LineWriter::takeLines() {
    QStringList lines;
    lines.swap(done_);
    return lines;
}

}  // namespace tv::text
