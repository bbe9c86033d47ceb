#pragma once
// What every part of the printer shares: the items of a printed line, as the
// print routines hand them over and the layout engine places them, and the
// error a failed print raises.

#include <QString>

#include <stdexcept>

namespace tv::print {

// Raised when printing fails (no device, a write error); the job is aborted.
class PrintError : public std::runtime_error {
public:
    explicit PrintError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

// One item of a printed line: with column > 0, first move to that column
// (column 1 is the left edge; past it, column n of the next line), then print
// the text. column == 0 prints the text where the position stands.
//
// A number is an item that, cut short, would read as another valid value of
// its kind: an amount, a reading, a count, a date, a room, phone or ID number.
// It is never cut (see Layout); a text item may be.
struct Item {
    int column = 0;
    QString text;
    bool number = false;
};
inline Item at(int column, const QString& text = QString()) { return Item{column, text}; }
inline Item text(const QString& t) { return Item{0, t}; }
inline Item numberAt(int column, const QString& t) { return Item{column, t, true}; }
inline Item number(const QString& t) { return Item{0, t, true}; }

}  // namespace tv::print
