// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/dialogs/OKCANCL2.h"

#include "window/AppTestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

using tidytest::control;

// Shows `dialog` for `name` as the program does, runs `actions` once it is active (before
// activation the focus is not settled) and returns its answer.
tidy::NameAnswer ask(TOKRightDlg& dialog, const std::string& name,
                     const std::function<void(QLineEdit& edit)>& actions) {
    const auto whileShown = [&] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        auto* edit = control<QLineEdit>(dialog, "Edit1");
        EXPECT_EQ(edit->text(), QString::fromStdString(name));
        actions(*edit);
    };
    const tidy::NameAnswer answer =
        tidytest::answerModal(dialog, whileShown, [&] { return askNameWithDialog(dialog, name); });
    EXPECT_FALSE(dialog.isVisible());
    return answer;
}

void click(TOKRightDlg& dialog, const char* button) {
    QTest::mouseClick(control<QPushButton>(dialog, button), Qt::LeftButton);
}

// OK and Enter answer the text as it stands, blanks and all. One instance serves every showing,
// as in the program.
TEST(OKCANCL2Test, OkAndEnterAnswerTheText) {
    TOKRightDlg dialog;
    const tidy::NameAnswer typed = ask(dialog, "Grond Zürich", [&](QLineEdit& edit) {
        edit.clear();
        QTest::keyClicks(&edit, QStringLiteral("Maaiveld Ø "));
        click(dialog, "OKBtn");
    });
    EXPECT_TRUE(typed.ok);
    EXPECT_EQ(typed.text, "Maaiveld Ø ");
    const tidy::NameAnswer entered = ask(
        dialog, "EG", [&](QLineEdit&) { QTest::keyClick(dialog.focusWidget(), Qt::Key_Return); });
    EXPECT_TRUE(entered.ok);
    EXPECT_EQ(entered.text, "EG");
}

// OK and Enter wait for a name that is not blank; a click on the disabled OK leaves the focus.
TEST(OKCANCL2Test, BlankTextIsNoAnswer) {
    TOKRightDlg dialog;
    for (const char* blank : {"", "  "}) {
        SCOPED_TRACE(blank);
        const tidy::NameAnswer answer = ask(dialog, "EG", [&](QLineEdit& edit) {
            edit.setFocus();
            edit.clear();
            QTest::keyClicks(&edit, QString::fromLatin1(blank));
            click(dialog, "OKBtn");
            QTest::keyClick(&edit, Qt::Key_Return);
            EXPECT_EQ(dialog.focusWidget(), &edit);
            QTest::keyClick(&edit, Qt::Key_Escape);
        });
        EXPECT_FALSE(answer.ok);
    }
}

// Cancel, Escape, Enter on a focused Cancel and the close box keep the old name.
TEST(OKCANCL2Test, EveryOtherWayOutKeepsTheName) {
    TOKRightDlg dialog;
    auto* cancel = control<QPushButton>(dialog, "CancelBtn");
    const std::function<void()> ways[] = {
        [&] { click(dialog, "CancelBtn"); },
        [&] { QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape); },
        [&] {
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
        },
        [&] { dialog.close(); }};
    for (const auto& way : ways)
        EXPECT_FALSE(ask(dialog, "EG", [&](QLineEdit&) { way(); }).ok);
}

} // namespace
