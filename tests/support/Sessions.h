#pragma once
// The session driver of the data window tests. A session opens the window on
// a data file of its own and takes steps in it as a user would; the opening
// and every step write one line: "== setup" or the step, " -> ", the dialogs
// it raised and what the window then shows. The lines of a list of sessions
// are compared with a golden file (Golden.h), whose legend says what each
// field of a line is.
//
// A session is a pair: its setup words (each fixture says which it knows) and
// its steps, ';' between. The steps every window test knows:
//   Name            clicks a button or a check box
//   Name=text       types text into a text box or a combo box (into one that
//                   takes no typing: chooses text from its list)
//   Name:=text      chooses text from a combo box's list
//   DBGridN@r       clicks row r of a grid; DBGridN@@r double-clicks it
//   DBGridN#r.c=x   types x into the cell at row r, column c of a grid
//   Name<Key        presses Key there; <Key presses it where the focus is
//   DataN>Button    clicks an arrow button of a data source (MoveNext ...)
//   yes             answers Yes to the next question
//   !sql            runs one SQL statement on the data file through a
//                   connection of its own, as another program would
//   badprinter      makes the printer fail
// A fixture adds words of its own (sql, look, ...) in ownStep().

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"
#include "platform/print/Printer.h"
#include "platform/shell/Shell.h"
#include "shared/SharedState.h"
#include "support/Golden.h"
#include "support/WindowTest.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace tv::test {

// The setup words and the steps of one session.
using Session = std::pair<QString, QString>;

class SessionTest : public WindowTest {
protected:
    // Where the window tests differ in how a step is taken, each fixture
    // says in its constructor.
    struct Manner {
        // "Name=text" into a text box types key by key, the box focused and
        // each key handled; otherwise the text is set whole.
        bool typeKeyByKey = false;
        // What a step posts (a cell editor ends Enter by a queued call) is
        // handled before its line is written.
        bool settleEvents = false;
    };

    // ---- what a fixture gives

    // Makes the session's data file `data` (named after n, the number of
    // lines written before the session) with the setup words' changes, sets
    // the shared state and shows the window.
    virtual void openSession(const QString& setup, qsizetype n) = 0;
    // The window the steps go to.
    virtual tv::forms::Form& window() = 0;
    // What the loaded window shows, " | " between the fields.
    virtual QString view() = 0;
    // A step of the fixture's own: what it adds to the step's line, or
    // nothing when `step` is none of them (and so names a control).
    virtual std::optional<QString> ownStep(const QString& step) {
        Q_UNUSED(step);
        return std::nullopt;
    }
    // A control by the name a step gives it.
    virtual QWidget* control(const QString& name) { return window().control<QWidget>(name); }
    // Called before each step (a fixture of two windows picks the one it goes to).
    virtual void enterStep(const QString& step) { Q_UNUSED(step); }

    // ---- the driver

    void SetUp() override {
        WindowTest::SetUp();
        failing = tv::dlg::script::unexpectedHandler();
        // A dialog not answered gets OK, or No to a question; the line shows it.
        tv::dlg::script::setUnexpectedHandler([](const tv::dlg::Call&) {});
        main = &showMainStandIn();
    }
    void TearDown() override {
        tv::dlg::script::setUnexpectedHandler(failing);
        WindowTest::TearDown();
    }

    // Every window gone, fresh shared state and printer, then openSession().
    void startSession(const QString& setup, qsizetype n) {
        tv::forms::Registry::unloadAll();
        main->show();
        main->panels[1].clear();
        tv::resetState();
        tv::print::Printer::useFiles({}, {});
        openSession(setup, n);
    }

    // The lines of the sessions, paths as they are.
    QStringList runSessions(const std::vector<Session>& sessions) {
        QStringList lines;
        for (const auto& [setup, steps] : sessions) {
            startSession(setup, lines.size());
            lines << "== " + setup + " -> " + shown();
            for (const QString& step : steps.split(';', Qt::SkipEmptyParts)) lines << step + " -> " + run(step);
        }
        return lines;
    }
    // The lines of the sessions against the golden file tests/fixtures/<golden>,
    // where the test's folder reads $DIR and the program's folder $PROGRAM.
    void expectSessions(const std::vector<Session>& sessions, const char* golden) {
        const QString text = runSessions(sessions)
                                 .join('\n')
                                 .replace(dir.path(), "$DIR")
                                 .replace(tv::shell::programFolder(), "$PROGRAM");
        expectGolden(text, QString::fromUtf8(golden));
    }

    // Takes one step; what the window then shows, and what the step adds.
    QString run(const QString& step) {
        enterStep(step);
        QString extra;
        if (step == "yes")
            tv::dlg::script::answerMsgBox(tv::dlg::Yes);
        else if (step == "badprinter")
            tv::print::Printer::useFiles(dir.filePath("no/such/x.pdf"), {});
        else if (step.startsWith('!'))
            tv::test::execSql(data, step.mid(1));
        else if (std::optional<QString> own = ownStep(step))
            extra = *own;
        else
            onControl(step);
        if (manner.settleEvents)
            QCoreApplication::processEvents();
        return shown() + extra;
    }

    // The dialogs since the last line, ';' between: a message box as
    // "title:text" ("?" after a question), another as "kind:text".
    static QString said() {
        QStringList out;
        for (const tv::dlg::Call& c : tv::dlg::script::calls())
            out << (c.kind == "msgBox" ? c.title + ':' + c.text + (c.style & 4 ? "?" : "") : c.kind + ':' + c.text);
        tv::dlg::script::clearCalls();
        return out.join(';');
    }
    // The dialogs | what the window shows; of a closed window "closed", the
    // main window's panel 1 and the data file named in the shared state.
    QString shown() {
        const QString dialogs = said();
        if (!window().isLoaded())
            return dialogs + " | closed | " + main->panels[1] + " | " + tv::state().DataFilePath;
        return dialogs + " | " + view();
    }
    // The widget that has the focus: the application's, or else the window's.
    QWidget* focused() {
        QWidget* w = QApplication::focusWidget();
        return w ? w : window().widget()->focusWidget();
    }

    Manner manner;
    MainStandIn* main = nullptr;
    QString data;  // the session's data file

private:
    void onControl(const QString& step) {
        static const QRegularExpression split("[=@#<>]|:=");
        const QString name = step.section(split, 0, 0), arg = step.section(split, 1);
        QWidget* c = name.isEmpty() ? nullptr : control(name);
        if (auto* grid = qobject_cast<QTableView*>(c); grid && step.contains('#')) {
            grid->setFocus();
            grid->setCurrentIndex(grid->model()->index(arg.section('.', 0, 0).toInt() - 1,
                                                       arg.section('.', 1).section('=', 0, 0).toInt() - 1));
            const QString typed = arg.section('=', 1);
            QTest::keyClick(grid, typed[0].toLatin1());
            QTest::keyClicks(focused(), typed.mid(1));
        } else if (grid && step.contains('@')) {
            const QModelIndex i = grid->model()->index(arg.section('@', -1).toInt() - 1, 1);
            grid->scrollTo(i);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(i).center());
            if (arg.startsWith('@'))
                QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(i).center());
        } else if (auto* box = qobject_cast<QLineEdit*>(c); box && step.contains('=')) {
            type(box, arg);
        } else if (auto* combo = qobject_cast<QComboBox*>(c); combo && step.contains('=')) {
            combo->setCurrentIndex(combo->findText(arg));
            if (combo->isEditable() && !step.contains(":="))
                combo->setEditText(arg);
            else
                emit combo->activated(combo->currentIndex());
        } else if (auto* arrow = c && step.contains('>') ? c->findChild<QAbstractButton*>(arg) : nullptr) {
            QTest::mouseClick(arrow, Qt::LeftButton);
        } else if (step.contains('<')) {
            if (c)
                c->setFocus();
            QTest::keyClick(focused(), QKeySequence::fromString(arg)[0].key());
        } else if (auto* button = qobject_cast<QAbstractButton*>(c)) {
            button->click();
        } else {
            ADD_FAILURE() << "no step " << step.toStdString();
        }
    }
    void type(QLineEdit* box, const QString& text) {
        if (!manner.typeKeyByKey) {
            box->setText(text);
            return;
        }
        box->setFocus();
        box->selectAll();
        box->del();
        for (const QChar ch : text) box->insert(ch);  // each key handled
    }

    std::function<void(const tv::dlg::Call&)> failing;
};

}  // namespace tv::test
