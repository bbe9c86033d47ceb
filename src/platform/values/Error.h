#pragma once
// The error of the data handling, from the values up to the data engine: its
// text is what the windows show (the handler guard and the grids catch it).

#include <QString>

#include <exception>
#include <stdexcept>

namespace tv {

class DbError : public std::runtime_error {
public:
    // `engineCode`: the data engine's result code when the engine raised the
    // error (its extended code where it gave one); 0 for the program's own.
    explicit DbError(const QString& text, int engineCode = 0)
        : std::runtime_error(text.toStdString()), text_(text), engineCode_(engineCode) {}
    const QString& text() const { return text_; }
    int engineCode() const { return engineCode_; }

private:
    QString text_;
    int engineCode_ = 0;
};

// A number that does not fit what it is to become: an amount out of the money
// range, NaN or infinity made into money.
class OverflowError : public DbError {
public:
    using DbError::DbError;
};

// The text a window shows for `e`: a data error's own text, else what it says.
inline QString errorText(const std::exception& e) {
    const auto* db = dynamic_cast<const DbError*>(&e);
    return db ? db->text() : QString::fromUtf8(e.what());
}

}  // namespace tv
