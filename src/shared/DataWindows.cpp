#include "shared/DataWindows.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/Form.h"
#include "platform/forms/StatusPanels.h"
#include "platform/shell/Shell.h"
#include "platform/values/OwnFiles.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"

#include <QDir>

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

QString dataFileOf(const char* window) {
    const auto* on = dynamic_cast<const windows::OnDataFile*>(forms::Registry::loaded(QString::fromLatin1(window)));
    return on ? on->dataFile() : QString();
}

bool showOnDataFile(const char* window, const QString& file, bool made) {
    forms::Form* form = forms::Registry::instance(QString::fromLatin1(window));
    if (!form)
        return false;
    const QString open = dataFileOf(window);
    if (!open.isEmpty() && !file.isEmpty() && !sameFile(open, file)) {
        form->show();
        const QString title = form->widget()->windowTitle(), was = QDir::toNativeSeparators(open),
                      chosen = QDir::toNativeSeparators(file);
        dlg::msgBox(made ? QStringLiteral("新的数据文件“%1”已经建好，但“%2”窗口正在处理数据文件“%3”，它没有换成新的数据"
                                          "文件。要处理新的数据文件，请先点该窗口的“返回”关闭它，然后再打开。")
                               .arg(chosen, title, was)
                         : QStringLiteral("“%1”窗口正在处理数据文件“%2”，它没有换成“%3”。要处理“%3”，请先点该窗口的"
                                          "“返回”关闭它，然后再打开。")
                               .arg(title, was, chosen),
                    dlg::Info, dlg::kNoteTitle);
        return false;
    }
    if (auto* opened = dynamic_cast<windows::OpenedOnDataFile*>(form); opened && !form->isLoaded())
        opened->openOn(file);
    form->show();
    return true;
}

void leaveDataFile() {
    try {
        state().DataFilePath.clear();
        forms::setStatusPanel(forms::Panel::WorkPath, shell::programFolder());
    } catch (const std::exception&) {
        dlg::msgBox(QStringLiteral("结束返回！"), dlg::Info, dlg::kNoteTitle);
    }
}

}  // namespace tv
