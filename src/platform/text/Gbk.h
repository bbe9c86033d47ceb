#pragma once
// GBK text: encoding and decoding (each character's code asked of iconv once,
// then kept), the display width of text (a character counts two columns when
// it takes two bytes in GBK), and the column line writer shared by the
// receipt text file and the printer.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace tv::text {

// Unicode -> GBK bytes. A character that GBK cannot hold becomes "?".
QByteArray toGbk(const QString& text);
// The same, added to the end of `out`.
void appendGbk(QByteArray& out, QStringView text);
// GBK bytes -> Unicode. A byte sequence that is not GBK becomes U+FFFD.
QString fromGbk(const QByteArray& bytes);

// Columns taken by one character: 2 when GBK writes it with two bytes
// (Chinese, full-width punctuation, box-drawing characters), else 1.
int charWidth(char32_t c);
// Columns taken by a text: the length of its GBK form.
int width(const QString& text);

// Builds lines of text in columns. Column 1 is the left edge; every character
// takes charWidth() columns.
class LineWriter {
public:
    // Moves to column n: pads with spaces up to it, or, when the position is
    // already past n, ends the line and goes to column n of a new line.
    // Columns below 1 count as 1.
    void at(int column);
    void at(int column, const QString& text) {
        at(column);
        put(text);
    }
    // Writes text where the position stands.
    void put(const QString& text);
    // Ends the current line (an empty one too).
    void endLine();

    // The column where the next character goes.
    int column() const { return column_; }
    // The line being written.
    const QString& current() const { return current_; }
    // The finished lines, handed over and forgotten.
    QStringList takeLines();

private:
    QString current_;
    int column_ = 1;
    QStringList done_;
};

// The lines of LineWriter written straight in GBK, for a text file: the same
// columns, each line ended with `lineEnd`, at the end of `out`.
class GbkLineWriter {
public:
    explicit GbkLineWriter(QByteArray& out, const char* lineEnd = "\r\n") : out_(out), lineEnd_(lineEnd) {}
    void at(int column);
    void at(int column, QStringView text) {
        at(column);
        put(text);
    }
    void put(QStringView text);
    void endLine();
    int column() const { return column_; }

private:
    QByteArray& out_;
    const char* lineEnd_;
    int column_ = 1;
};

}  // namespace tv::text
