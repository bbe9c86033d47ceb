#pragma once
// A small pull reader for the XML parts of a workbook: start tags (with their
// attributes), end tags and text, element names compared without their
// namespace prefix. It takes what the workbook formats use and no more: no
// document type is read and no entity is defined beyond the five of XML and
// character references. Anything it cannot follow is a damaged part.
//
// It reads a document in memory, or a part as it is unpacked, a piece at a
// time: then only the piece in hand and the event being read are held, and
// what an event gives (names, attributes, text) lasts until the next call
// of next().

#include "platform/workbook/Parts.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace tv::workbook::xml {

class Reader {
public:
    enum Kind { Start, End, Text, Done };

    explicit Reader(std::string_view doc) : p_(doc.data()), end_(doc.data() + doc.size()) {}
    // The part `part` read as it is unpacked.
    explicit Reader(detail::PartReader& part) : part_(&part), p_(nullptr), end_(nullptr) {}

    // How much of a part is unpacked at a time. The tests make it a few
    // bytes, so that every kind of event is met across the end of a piece.
    static inline size_t piece = 256u << 10;

    // The next event. A tag that closes itself (<a/>) gives Start, then End.
    Kind next() {
        if (pendingEnd_) {
            pendingEnd_ = false;
            --depth_;
            kind_ = End;
            return kind_;
        }
        for (;;) {
            if (p_ >= end_ && !more())
                return kind_ = Done;
            // An event that goes past the piece in hand is read again from
            // its start once more of the part has come (or the part ended).
            const char* start = p_;
            try {
                if (const std::optional<Kind> k = event())
                    return kind_ = *k;
            } catch (const MoreWanted&) {
                p_ = start;
                more();
            }
        }
    }

private:
    struct MoreWanted {};

    // The part ends inside an event: the rest is wanted, or the part is damaged.
    [[noreturn]] void ranOut() const {
        if (part_ && !ended_)
            throw MoreWanted();
        detail::damaged();
    }

    // Keeps what is left of the piece in hand from p_ on and adds the next
    // piece of the part after it; false at the part's end.
    bool more() {
        if (!part_ || ended_)
            return false;
        const size_t keep = p_ < end_ ? static_cast<size_t>(end_ - p_) : 0;
        if (keep > 0 && keep <= buffer_.size() && p_ != buffer_.data())
            std::memmove(buffer_.data(), p_, keep);
        if (buffer_.size() < keep + piece)
            buffer_.resize(keep + piece);
        const size_t got = part_->read(buffer_.data() + keep, piece);
        ended_ = got == 0;
        p_ = buffer_.data();
        end_ = p_ + keep + got;
        return got > 0;
    }

    // One event at p_; nothing for a declaration or a comment passed over.
    std::optional<Kind> event() {
        if (*p_ != '<') {
            const char* lt = static_cast<const char*>(std::memchr(p_, '<', static_cast<size_t>(end_ - p_)));
            if (!lt && part_ && !ended_)
                ranOut();
            text_ = std::string_view(p_, static_cast<size_t>((lt ? lt : end_) - p_));
            cdata_ = false;
            p_ = lt ? lt : end_;
            return Text;
        }
        if (p_ + 1 >= end_)
            ranOut();
        const char c = p_[1];
        if (c == '?') {
            skipPast("?>");
            return std::nullopt;
        }
        if (c == '!') {
            if (static_cast<size_t>(end_ - p_) < 9 && part_ && !ended_)
                ranOut();  // not yet known which it is
            if (startsWith("<![CDATA[")) {
                const char* from = p_ + 9;
                skipPast("]]>");
                text_ = std::string_view(from, static_cast<size_t>(p_ - 3 - from));
                cdata_ = true;
                return Text;
            }
            if (startsWith("<!--"))
                skipPast("-->");
            else
                skipDoctype();
            return std::nullopt;
        }
        if (c == '/') {
            p_ += 2;
            name_ = readName();
            while (p_ < end_ && *p_ != '>') ++p_;
            if (p_ >= end_)
                ranOut();
            ++p_;
            --depth_;
            return End;
        }
        ++p_;
        name_ = readName();
        if (p_ >= end_)
            ranOut();
        if (name_.empty())
            detail::damaged();
        readAttributes();
        // No workbook nests elements this deep; a file that does is
        // not followed down (the readers walk children by recursion).
        if (++depth_ > kMaxDepth)
            detail::damaged();
        return Start;
    }

public:
    Kind kind() const { return kind_; }
    // The element's name without its prefix ("c" for <x:c>).
    std::string_view name() const {
        const size_t colon = name_.find(':');
        return colon == std::string_view::npos ? name_ : name_.substr(colon + 1);
    }
    bool is(std::string_view local) const { return name() == local; }
    std::string_view qualifiedName() const { return name_; }
    bool selfClosing() const { return pendingEnd_; }

    // An attribute of the start tag by its name without prefix (or by its
    // whole name when that has one), as written (entities not replaced);
    // `found` false when the tag has none.
    std::string_view rawAttribute(std::string_view local, bool* found = nullptr) const {
        const char* q = attrs_.data();
        const char* e = q + attrs_.size();
        while (q < e) {
            while (q < e && isSpace(*q)) ++q;
            const char* n = q;
            while (q < e && *q != '=' && !isSpace(*q)) ++q;
            std::string_view attrName(n, static_cast<size_t>(q - n));
            while (q < e && *q != '"' && *q != '\'') ++q;
            if (q >= e)
                break;
            const char quote = *q++;
            const char* v = q;
            while (q < e && *q != quote) ++q;
            const std::string_view value(v, static_cast<size_t>(q - v));
            ++q;
            if (const size_t colon = attrName.find(':');
                colon != std::string_view::npos && local.find(':') == std::string_view::npos)
                attrName.remove_prefix(colon + 1);
            if (attrName == local) {
                if (found)
                    *found = true;
                return value;
            }
        }
        if (found)
            *found = false;
        return {};
    }
    std::string attribute(std::string_view local, bool* found = nullptr) const {
        std::string out;
        appendDecoded(out, rawAttribute(local, found));
        return out;
    }
    // The namespace declarations and other attributes of the start tag, as written.
    std::string_view rawAttributes() const { return attrs_; }

    // Text as written; appendText() adds it with its entities replaced.
    std::string_view rawText() const { return text_; }
    void appendText(std::string& out) const {
        if (cdata_)
            out.append(text_);
        else
            appendDecoded(out, text_);
    }

    // Walks what is inside the element just started, up to its end tag:
    // `child` is called at each child's start tag and reads that child to
    // its end (skip() when it is not wanted); `text` gets the text between.
    template <class Child, class Texts>
    void children(Child&& child, Texts&& text) {
        if (pendingEnd_) {
            next();
            return;
        }
        for (;;) {
            switch (next()) {
                case Start:
                    child();
                    break;
                case Text:
                    text();
                    break;
                case End:
                    return;
                case Done:
                    detail::damaged();
            }
        }
    }
    template <class Child>
    void children(Child&& child) {
        children(child, [] {});
    }
    // Reads the element just started to its end, whatever it holds.
    void skip() {
        if (pendingEnd_)
            next();
        else
            skipElement();
    }
    // All the text of the element just started, its children's included.
    void appendAllText(std::string& out) {
        children([&] { appendAllText(out); }, [&] { appendText(out); });
    }

    // Skips what is inside the element just started, up to its end tag.
    void skipElement() {
        for (int depth = 1; depth > 0;) {
            const Kind k = next();
            if (k == Done)
                detail::damaged();
            depth += k == Start ? 1 : k == End ? -1 : 0;
        }
    }

    static void appendDecoded(std::string& out, std::string_view s) {
        size_t i = 0;
        while (i < s.size()) {
            const size_t amp = s.find('&', i);
            if (amp == std::string_view::npos) {
                out.append(s.substr(i));
                return;
            }
            out.append(s.substr(i, amp - i));
            const size_t semi = s.find(';', amp);
            const std::string_view ent =
                semi == std::string_view::npos ? std::string_view() : s.substr(amp + 1, semi - amp - 1);
            if (ent == "lt") {
                out += '<';
            } else if (ent == "gt") {
                out += '>';
            } else if (ent == "amp") {
                out += '&';
            } else if (ent == "quot") {
                out += '"';
            } else if (ent == "apos") {
                out += '\'';
            } else if (ent.size() > 1 && ent[0] == '#') {
                appendCodePoint(out, ent);
            } else {
                out += '&';  // not a reference: kept as it stands
                i = amp + 1;
                continue;
            }
            i = semi + 1;
        }
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    static void appendCodePoint(std::string& out, std::string_view ent) {
        uint32_t cp = 0;
        const bool hex = ent.size() > 2 && (ent[1] == 'x' || ent[1] == 'X');
        for (size_t k = hex ? 2 : 1; k < ent.size() && cp <= 0x10FFFF; ++k) {
            const char d = ent[k];
            const int v = d >= '0' && d <= '9'          ? d - '0'
                          : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                          : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                        : -1;
            if (v < 0)
                return;
            cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
        }
        appendUtf8(out, cp);
    }

public:
    static void appendUtf8(std::string& out, uint32_t cp) {
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

private:
    bool startsWith(std::string_view s) const {
        return static_cast<size_t>(end_ - p_) >= s.size() && std::memcmp(p_, s.data(), s.size()) == 0;
    }
    void skipPast(std::string_view marker) {
        const std::string_view rest(p_, static_cast<size_t>(end_ - p_));
        const size_t at = rest.find(marker, 2);
        if (at == std::string_view::npos)
            ranOut();
        p_ += at + marker.size();
    }
    void skipDoctype() {
        // <!DOCTYPE ...> with or without an internal subset in brackets.
        int brackets = 0;
        for (++p_; p_ < end_; ++p_) {
            if (*p_ == '[')
                ++brackets;
            else if (*p_ == ']')
                --brackets;
            else if (*p_ == '>' && brackets <= 0) {
                ++p_;
                return;
            }
        }
        ranOut();
    }
    std::string_view readName() {
        const char* n = p_;
        while (p_ < end_ && !isSpace(*p_) && *p_ != '>' && *p_ != '/') ++p_;
        return std::string_view(n, static_cast<size_t>(p_ - n));
    }
    void readAttributes() {
        const char* from = p_;
        while (p_ < end_) {
            const char c = *p_;
            if (c == '"' || c == '\'') {
                const char* close =
                    static_cast<const char*>(std::memchr(p_ + 1, c, static_cast<size_t>(end_ - p_ - 1)));
                if (!close)
                    ranOut();
                p_ = close + 1;
            } else if (c == '>') {
                const bool empty = p_ > from && p_[-1] == '/';
                attrs_ = std::string_view(from, static_cast<size_t>(p_ - from - (empty ? 1 : 0)));
                pendingEnd_ = empty;
                ++p_;
                return;
            } else {
                ++p_;
            }
        }
        ranOut();
    }

    detail::PartReader* part_ = nullptr;
    std::string buffer_;
    bool ended_ = false;
    const char* p_;
    const char* end_;
    Kind kind_ = Done;
    std::string_view name_, attrs_, text_;
    bool cdata_ = false;
    bool pendingEnd_ = false;
    int depth_ = 0;
    static constexpr int kMaxDepth = 200;
};

}  // namespace tv::workbook::xml
