#pragma once
// A wait for a file that another program holds locked, told to the user. While
// a LockWait lives, a statement that meets such a lock says so at once in a
// dialog naming the file (it waits up to five seconds, as the data files
// always do) and offers 取消, which ends the wait: the statement then fails
// as it would have at the end ("正被其他程序使用").
//
//     {
//         tv::forms::LockWait wait;
//         source->refresh();  // a locked file: told, waited for, or refused
//     }

#include "platform/db/Database.h"

#include <memory>

namespace tv::dlg {
class Progress;
}

namespace tv::forms {

class LockWait {
public:
    LockWait();
    ~LockWait();  // the dialog goes, the watcher before it comes back
    LockWait(const LockWait&) = delete;
    LockWait& operator=(const LockWait&) = delete;

private:
    std::unique_ptr<dlg::Progress> progress_;
    Database::BusyWatcher previous_;
};

}  // namespace tv::forms
