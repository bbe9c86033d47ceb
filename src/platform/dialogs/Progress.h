#pragma once
// Long work shows that it is working: a progress dialog comes up once the
// work has lasted longer than a second, says how much of it is done and
// offers 取消. The work tells it how far it got now and then and stops when
// it is told that the user cancelled.

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

class QProgressDialog;

namespace tv::dlg {

class Progress {
public:
    // How the amount done is told: as a share, or as bytes of a file.
    enum class Unit { Share, Bytes };

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
