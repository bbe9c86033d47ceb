#include "platform/forms/LockWait.h"

#include "platform/dialogs/Progress.h"

#include <QDir>
#include <QFileInfo>

namespace tv::forms {

LockWait::LockWait() {
    previous_ = Database::setBusyWatcher([this](const QString& path) {
        if (!progress_) {
            // The name on a line of its own: a long folder is shortened, never the name.
            const QFileInfo file(path);
            progress_ = std::make_unique<dlg::Progress>(
                QStringLiteral("请稍候"),
                QStringLiteral("“%1”正被其他程序使用，正在等待它……\n（在 %2）\n按“取消”不再等待。")
                    .arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath())),
                0);
            progress_->showNow();
        }
        return progress_->stillWorking();
    });
}

LockWait::~LockWait() {
    Database::setBusyWatcher(std::move(previous_));
    progress_.reset();
}

}  // namespace tv::forms
