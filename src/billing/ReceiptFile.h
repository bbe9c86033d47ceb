#pragma once
// The receipt text file Zjzd.txt beside the data file: every computed bill as
// a boxed receipt, in GBK with CR LF, columns counted in display width.
//
// Receipts go only into a regular file that may be written, or make a
// missing one. A folder, a FIFO, a device or a file marked read-only in its
// place stops a computation before any bill is stored, with the reason;
// nothing here ever waits on such a file.
//
// The file changes only together with the fee table. The new text is first
// written beside it (Zjzd.txt.new) with a note (Zjzd.txt.pending) naming the
// data file and a token, each a whole-file write (every write, then an fsync
// checked before it bears its name), before the bills are committed; the
// computation stores the token in the data file's header in the same
// transaction as the bills. After the commit the text
// takes its place (renamed over the file, or appended to it). A program that
// ended in between leaves the note: the next look at the folder finishes the
// work when the data file holds the token, and drops it when it does not.
//
// Two programs may compute in one folder at once: a computation holds the
// lock on .Zjzd.txt.lock from before it stages until its text took its place,
// so that computations write their receipts one after the other, in the order
// of their commits. The system lets go of the lock when its holder ends, and
// only the holder of the lock looks at a note: what a living program staged is
// never taken for the leftovers of one that ended. The lock is taken before
// the data file's write lock, never after it.

#include "shared/SharedState.h"

#include <QByteArray>
#include <QString>

#include <cassert>
#include <functional>
#include <memory>

namespace tv::billing {

class ReceiptLock;

// One receipt of a bill, in GBK, every line ended with CR LF.
QByteArray receiptText(const BillRecord& bill, const QString& amountInWords);

class ReceiptFile {
public:
    // The receipt file of a data file: Zjzd.txt in its folder.
    static QString pathFor(const QString& dataFile);
    // Finishes or drops what an interrupted computation left in the folder
    // of `dataFile`, unless another program is computing there (it settles
    // all that itself). Raises DbError when a note cannot be settled.
    static void recover(const QString& dataFile);

    // `replace`: the text replaces the file ("YA"), else it is appended ("YB").
    // Takes the lock, waiting while another program computes in the folder
    // (`waiting` is called when it has to), then settles what an interrupted
    // computation left. Raises DbError when the lock does not come or a note
    // cannot be settled.
    ReceiptFile(const QString& dataFile, bool replace, const std::function<void()>& waiting = {});
    ~ReceiptFile();  // drops a staged text that was never finished
    ReceiptFile(const ReceiptFile&) = delete;
    ReceiptFile& operator=(const ReceiptFile&) = delete;

    // Writes the text and the note, each whole and on the disk before it
    // bears its name (in the transaction of the bills, before its commit);
    // raises DbError (the bills then go back). The token goes into the data
    // file's header with the bills ("pragma user_version").
    void stage(const QByteArray& text);
    int token() const {
        assert(token_ != 0);  // asked of a staged text only
        return token_;
    }
    // After the commit: the text takes its place. Returns "", or why it could
    // not: the text and the note then stay for the next look at the folder.
    QString finish();

private:
    std::unique_ptr<ReceiptLock> lock_;  // first made, last gone
    QString dataFile_, target_;
    bool replace_;
    int token_ = 0;
    qint64 oldSize_ = -1;
    bool staged_ = false;
    QByteArray text_;
};

}  // namespace tv::billing
