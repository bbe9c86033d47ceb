#pragma once
// How values are stored in the data file and read back, by declared column
// kind. Internal to the data engine.
//
//   TEXT      text                      SMALLINT, INTEGER  whole number
//   SINGLE    REAL holding the float    DOUBLE             REAL
//   CURRENCY  REAL holding the decimal value, read back as llround(x * 10000)
//   DATETIME  ISO text yyyy-MM-dd       BLOB               bytes

#include "platform/db/Database.h"

#include <sqlite3.h>

#include <cstdint>

namespace tv::detail {

// One stored value as the engine hands it out (SQLITE_NULL / INTEGER / FLOAT /
// TEXT / BLOB); `p` and `n` point at the text or bytes.
struct RawCell {
    int type = SQLITE_NULL;
    int64_t i = 0;
    double d = 0.0;
    const char* p = nullptr;
    qsizetype n = 0;
};

RawCell rawColumn(sqlite3_stmt* st, int col);
// The digest of a long text's bytes (XXH3, 128 bits: kDigestBytes), by which
// a text held cut is compared whole with the file: the SQL function
// tv_digest(bytes) of every connection gives the same. It tells a change made
// by another program, not a forgery, so it need only be fast: a window that
// holds texts of many megabytes reads every byte of them once through it.
inline constexpr qsizetype kDigestBytes = 16;
void digest(const char* p, qsizetype n, char* out);
// The Value of a stored cell for a column of the given kind. Data that does not
// fit the kind (text in a number column written by another program) comes back
// as it is stored, never as a wrong number.
Value decodeCell(const RawCell& c, ColumnKind kind);
// The value of an expression column (no declared type): by its storage class.
Value decodeUntyped(const RawCell& c);
// The first `most` UTF-16 units of a text, never half a character: what
// shows of a long text.
QString cutText(const QString& t, qsizetype most);
// Binds a value (already converted for its column, or a query parameter).
// Lengths go to the engine in 64 bits: text or bytes over its length limit are
// refused with SQLITE_TOOBIG, never cut.
int bindValue(sqlite3_stmt* st, int index, const Value& v);
// The same, but text (as UTF-8), dates (as their ISO text) and bytes are
// bound from `keep`, which must not change until the statement has run: the
// engine makes no copy of its own.
int bindKept(sqlite3_stmt* st, int index, const Value& v, QByteArray& keep);
// Binds text (UTF-8) or bytes that outlive the statement's step.
int bindText(sqlite3_stmt* st, int index, const char* p, qsizetype n);
int bindBytes(sqlite3_stmt* st, int index, const char* p, qsizetype n);

}  // namespace tv::detail
