#pragma once
// Long work shows that it is working: a progress dialog comes up once the
// work has lasted longer than a second, says how much of it is done and
// offers 取消. The work tells it how far it got now and then and stops when
// it is told that the user cancelled.

#include <QString>
#include <QtGlobal>

#include <exception>
#include <functional>
#include <memory>

class QProgressDialog;

namespace tv::dlg {

// Thrown by work that stops because the user pressed 取消, to the place
// that undoes what it had begun and says so.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

class Progress {
public:
    // How the amount done is told: as a share, as bytes of a file, as rows
    // of a table or a sheet, as receipts printed.
    enum class Unit { Share, Bytes, Rows, Receipts };

    // `title` is the dialog's caption, `what` the line above the amount;
    // `total` the amount the work comes to (0: unknown).
    Progress(const QString& title, const QString& what, qint64 total, Unit unit = Unit::Share);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `done` of the total is done: shows the dialog once the work has lasted
    // long enough, brings it up to date and lets it answer the user. False
    // once the user cancelled.
    bool advance(qint64 done);
    // Nothing more is done yet (the work waits for something): the dialog
    // shows once the work has lasted long enough and answers the user all
    // the same. False once the user cancelled.
    bool stillWorking();
    // Shows the dialog now, however short the work has lasted (a wait the
    // user is to hear of at once).
    void showNow();
    // advance(), throwing Cancelled once the user cancelled.
    void advanceOrStop(qint64 done);
    // The line above the amount from now on (the work went on to its next stage).
    void setWhat(const QString& what);
    // The time so far does not count (the work waited for the user's answer
    // in a message box): the dialog shows once the work has lasted long
    // enough from now on, unless it shows already.
    void restartClock();
    bool cancelled() const;
    // The dialog while it shows (null before and after).
    QProgressDialog* dialog() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

namespace progress {
// How long work runs before its dialog shows, in milliseconds: 1000. Tests
// set 0, so that the dialog shows at the first step without a clock.
void setShowAfter(int milliseconds);
int showAfter();
// Tests: called at every step while a dialog shows, with that dialog (to
// read it or to press its 取消); null: nobody watches.
void setWatcher(std::function<void(QProgressDialog&)> watcher);
}  // namespace progress

}  // namespace tv::dlg
