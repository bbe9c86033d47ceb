// The one guard every event handler runs in.
#include "platform/forms/Guard.h"

#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/print/Printer.h"

#include <QAbstractButton>

#include <exception>

namespace tv::forms {

void guard(const std::function<void()>& handler) {
    QString text;
    try {
        handler();
        return;
    } catch (const tv::DbError& e) {
        text = e.text();
    } catch (const tv::print::PrintError& e) {
        text = e.text();
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("发生了未知的错误。");
    }
    // The job that was being printed is dropped before the user is told.
    try {
        tv::print::Printer& printer = tv::print::Printer::device();
        if (printer.isOpen())
            printer.abort();
    } catch (...) {
    }
    try {
        tv::dlg::msgBox(text, tv::dlg::Info, QStringLiteral("提示！"));
    } catch (...) {
    }
}

void onClick(QAbstractButton* button, std::function<void()> handler) {
    QObject::connect(button, &QAbstractButton::clicked, button, [h = std::move(handler)] { guard(h); });
}

}  // namespace tv::forms
