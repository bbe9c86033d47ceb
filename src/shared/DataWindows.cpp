#include "shared/DataWindows.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/StatusPanels.h"
#include "platform/shell/Shell.h"
#include "shared/SharedState.h"

#include <exception>

namespace tv {

void findLoggedInUser(forms::DataControl* users) {
    SharedState& s = state();
    if (s.CurrentUser.isEmpty() && s.CurrentPassword.isEmpty()) {
        s.CurrentUser = QStringLiteral("admin");
        s.CurrentPassword = QStringLiteral("472619");
    }
    users->findFirst({{QStringLiteral("yhxm"), s.CurrentUser}, {QStringLiteral("mima"), s.CurrentPassword}});
}

dlg::Button askDelete() {
    return dlg::msgBox(QStringLiteral("您真的要删除这个记录吗?"), dlg::YesNo | dlg::Info, QStringLiteral("删除记录"));
}

AfterDelete moveAfterDelete(Recordset& rs) {
    if (rs.recordCount() == 0)
        return AfterDelete::Empty;
    if (!rs.eof()) {
        rs.moveNext();
        return AfterDelete::Next;
    }
    rs.moveLast();
    dlg::msgBox(QStringLiteral("已到尾记录！"), dlg::OkOnly, dlg::kNoteTitle);
    return AfterDelete::Last;
}

QString workPathText(const QString& path) { return QStringLiteral("工作路径：") + path; }

void showWorkPath(const QString& path) { forms::setStatusPanel(forms::Panel::WorkPath, workPathText(path)); }

void leaveDataFile() {
    try {
        state().DataFilePath.clear();
        forms::setStatusPanel(forms::Panel::WorkPath, shell::programFolder());
    } catch (const std::exception&) {
        dlg::msgBox(QStringLiteral("结束返回！"), dlg::Info, dlg::kNoteTitle);
    }
}

}  // namespace tv
