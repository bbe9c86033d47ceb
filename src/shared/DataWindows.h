#pragma once
// What the data windows do alike with their rows and their data file: the
// logged-in user looked up in the user table, the question before a delete
// and the row a delete leaves current, and the 返回 that leaves the data file.

#include "platform/db/Recordset.h"
#include "platform/dialogs/Dialogs.h"

namespace tv::forms {
class DataControl;
}

namespace tv {

// The logged-in user (admin / 472619 standing in for nobody, and kept in the
// shared state) in the user table of `users`: it ends on that row, or past
// the last row.
void findLoggedInUser(forms::DataControl* users);

// Asks "您真的要删除这个记录吗?" (Yes / No, titled "删除记录"): the answer.
dlg::Button askDelete();

// Where a delete left its recordset.
enum class AfterDelete {
    Next,   // on the row after the deleted one
    Last,   // the deleted row was the last: on the new last row, "已到尾记录！" told
    Empty,  // no row is left
};
// Moves on from a deleted row: to the row after it, or to the last row.
AfterDelete moveAfterDelete(Recordset& rs);

// "工作路径：" and the data file at `path`, as the status bar's first panel
// names a data file; and that text written there.
QString workPathText(const QString& path);
void showWorkPath(const QString& path);

// The data file the window `window` works on while it is loaded ("" when it
// is not, or works on none).
QString dataFileOf(const char* window);

// Shows the window `window` on the data file `file`: a window not loaded is
// loaded on it (one opened from a data window takes `file` at its load), a
// window loaded on it comes forward. A window loaded on another data file
// keeps it: it comes forward, the keeper is told which file it works on and
// that its 返回 must close it before `file` is worked on (`made`: `file` was
// just made by 新建), and false is returned.
bool showOnDataFile(const char* window, const QString& file, bool made = false);

// A data window's 返回: no data file is open any more, and the status bar's
// first panel shows the program's folder again; a failure on the way says
// "结束返回！". The window unloads itself after it.
void leaveDataFile();

}  // namespace tv
