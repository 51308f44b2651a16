// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/dialogs/OKCANCL2.h"

#include "window/AppTestSupport.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Every row of tests/data/name-dialog.csv on one instance, as in the program.
TEST(OKCANCL2Test, AnswerFollowsTheWayTheDialogIsLeft) {
    TOKRightDlg dialog;
    for (const auto& row : tidytest::dataTable("name-dialog.csv")) {
        SCOPED_TRACE(row[0]);
        const auto actions = [&] {
            // A user acts on the active dialog; before activation the focus is not settled.
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            EXPECT_EQ(tidytest::control<QLineEdit>(dialog, "Edit1")->text(),
                      QString::fromStdString(row.at(1)));
            tidytest::act(dialog, row.at(2));
        };
        const tidy::NameAnswer answer = tidytest::answerModal(
            dialog, actions, [&] { return askNameWithDialog(dialog, row[1]); });
        EXPECT_EQ(answer.ok, row.at(3) == "1");
        if (answer.ok) {
            EXPECT_EQ(answer.text, row.at(4));
        }
        EXPECT_FALSE(dialog.isVisible());
    }
}

} // namespace
