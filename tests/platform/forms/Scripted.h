#pragma once
// Scripted dialogs for the window toolkit's tests: every dialog must have
// been answered, an unanswered one fails the test where it happens.

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace tv::test {

class ScriptedTest : public ::testing::Test {
protected:
    void SetUp() override {
        tv::dlg::script::begin();
        tv::dlg::script::setUnexpectedHandler([](const tv::dlg::Call& c) {
            ADD_FAILURE() << "unexpected " << c.kind.toStdString() << ": " << c.text.toStdString();
        });
    }
    void TearDown() override {
        tv::forms::Registry::clear();
        EXPECT_EQ(tv::dlg::script::pending(), 0) << "answers left unused";
        tv::dlg::script::setUnexpectedHandler(savedHandler);
        tv::dlg::script::end();
    }
    std::function<void(const tv::dlg::Call&)> savedHandler = tv::dlg::script::unexpectedHandler();
    // The message boxes shown so far, as "text|title|style".
    static QStringList boxes() {
        QStringList out;
        for (const auto& c : tv::dlg::script::calls())
            if (c.kind == QLatin1String("msgBox")) out << QStringLiteral("%1|%2|%3").arg(c.text, c.title).arg(c.style);
        return out;
    }
};

}  // namespace tv::test
