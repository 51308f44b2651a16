// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/OKCANCL2.h"

#include "app/AppTestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

using tidytest::control;

TEST(OKCANCL2Test, AnswerFollowsTheWayTheDialogIsLeft) {
    using Action = std::function<void(TOKRightDlg&, QLineEdit*)>;
    const auto key = [](Qt::Key k) {
        return [k](TOKRightDlg&, QLineEdit* edit) { QTest::keyClick(edit, k); };
    };
    struct Case {
        const char* what;
        std::string current;
        Action act;
        tidy::NameAnswer expected;
    };
    const Case cases[] = {
        {"OK after typing",
         "Grond Zürich",
         [](TOKRightDlg& d, QLineEdit* edit) {
             edit->clear();
             QTest::keyClicks(edit, QStringLiteral("Maaiveld Ø "));
             QTest::mouseClick(control<QPushButton>(d, "OKBtn"), Qt::LeftButton);
         },
         {true, "Maaiveld Ø "}},
        {"Enter on the untouched name", "EG", key(Qt::Key_Return), {true, "EG"}},
        {"Cancel",
         "EG",
         [](TOKRightDlg& d, QLineEdit*) {
             QTest::mouseClick(control<QPushButton>(d, "CancelBtn"), Qt::LeftButton);
         },
         {false, ""}},
        {"Escape", "EG", key(Qt::Key_Escape), {false, ""}},
        {"Enter on a focused Cancel",
         "EG",
         [](TOKRightDlg& d, QLineEdit*) {
             auto* cancel = control<QPushButton>(d, "CancelBtn");
             cancel->setFocus();
             QTest::keyClick(cancel, Qt::Key_Return);
         },
         {false, ""}},
        {"close box", "EG", [](TOKRightDlg& d, QLineEdit*) { d.close(); }, {false, ""}},
    };
    TOKRightDlg dialog; // one instance for every showing, as in the program
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString shown;
        QTimer::singleShot(0, &dialog, [&] {
            QLineEdit* edit = control<QLineEdit>(dialog, "Edit1");
            // A user acts on the active dialog; before activation the focus is not settled.
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            shown = edit->text();
            c.act(dialog, edit);
            // A dialog the actions did not close would wait for a user forever.
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the dialog is still open";
                dialog.reject();
            }
        });
        const tidy::NameAnswer answer = askNameWithDialog(dialog, c.current);
        EXPECT_EQ(shown, QString::fromStdString(c.current));
        EXPECT_EQ(answer.ok, c.expected.ok);
        if (c.expected.ok) {
            EXPECT_EQ(answer.text, c.expected.text);
        }
        EXPECT_FALSE(dialog.isVisible());
    }
}

} // namespace
