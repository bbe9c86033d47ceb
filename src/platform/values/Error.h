#pragma once
// The error of the data handling, from the values up to the data engine: its
// text is what the windows show (the handler guard and the grids catch it).

#include <QString>

#include <stdexcept>

namespace tv {

class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

// A number that does not fit what it is to become: an amount out of the money
// range, NaN or infinity made into money.
class OverflowError : public DbError {
public:
    using DbError::DbError;
};

}  // namespace tv
