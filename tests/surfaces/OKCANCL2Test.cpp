// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/OKCANCL2.h"

#include "SurfaceXml.h"
#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

template <typename T> T* control(QWidget& dialog, const char* name) {
    T* w = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!w)
        ADD_FAILURE() << "no control " << name;
    return w;
}

// Runs `whileShown` once the modal dialog is up, then the adapter's answer comes back.
tidy::NameAnswer askWhile(TOKRightDlg& dialog, const std::string& current,
                          const std::function<void()>& whileShown) {
    QTimer::singleShot(0, &dialog, [&] {
        whileShown();
        // A dialog the actions did not close would wait for a user forever.
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog.reject();
        }
    });
    return askNameWithDialog(dialog, current);
}

TEST(OKCANCL2Test, FormHasItsControlsWhereTheyBelong) {
    TOKRightDlg dialog;
    EXPECT_EQ(dialog.objectName(), "OKRightDlg");
    EXPECT_EQ(dialog.windowTitle(), "Dialog");
    EXPECT_EQ(dialog.size(), QSize(608, 221));
    EXPECT_EQ(dialog.minimumSize(), QSize(608, 221));
    EXPECT_EQ(dialog.maximumSize(), QSize(608, 221));

    struct Expected {
        const char* name;
        QString text;
        QRect geometry;
    };
    const Expected controls[] = {
        {"Edit1", "", QRect(72, 112, 353, 38)},
        {"OKBtn", "OK", QRect(508, 112, 75, 25)},
        {"CancelBtn", "Cancel", QRect(508, 142, 75, 25)},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.name);
        QWidget* w = control<QWidget>(dialog, e.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), e.geometry);
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            EXPECT_EQ(b->text(), e.text);
        }
    }
    QLabel* label = control<QLabel>(dialog, "Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Geef nieuwe naam voor surface");
    EXPECT_EQ(label->pos(), QPoint(72, 80));
    EXPECT_TRUE(control<QPushButton>(dialog, "OKBtn")->isDefault());
    EXPECT_FALSE(control<QPushButton>(dialog, "CancelBtn")->isDefault());
}

TEST(OKCANCL2Test, TabOrderIsOkCancelEdit) {
    TOKRightDlg dialog;
    QStringList order;
    QWidget* w = control<QWidget>(dialog, "OKBtn");
    for (int i = 0; i < 3 && w; ++i) {
        order << w->objectName();
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
    }
    EXPECT_EQ(order, (QStringList{"OKBtn", "CancelBtn", "Edit1"}));
    EXPECT_EQ(w->objectName(), "OKBtn");
}

TEST(OKCANCL2Test, OkReturnsTheEditedText) {
    TOKRightDlg dialog;
    QString shown;
    const auto answer = askWhile(dialog, "Grond Zürich", [&] {
        QLineEdit* edit = control<QLineEdit>(dialog, "Edit1");
        shown = edit->text();
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("Maaiveld Ø "));
        QTest::mouseClick(control<QPushButton>(dialog, "OKBtn"), Qt::LeftButton);
    });
    EXPECT_EQ(shown, QStringLiteral("Grond Zürich"));
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.text, "Maaiveld Ø ");
    EXPECT_FALSE(dialog.isVisible());
}

TEST(OKCANCL2Test, EnterConfirmsTheUntouchedName) {
    TOKRightDlg dialog;
    const auto answer = askWhile(dialog, "EG", [&] {
        QTest::keyClick(control<QLineEdit>(dialog, "Edit1"), Qt::Key_Return);
    });
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.text, "EG");
}

TEST(OKCANCL2Test, CancelEscapeAndCloseBoxAreNotOk) {
    const std::function<void(TOKRightDlg&)> ways[] = {
        [](TOKRightDlg& d) {
            QTest::mouseClick(control<QPushButton>(d, "CancelBtn"), Qt::LeftButton);
        },
        [](TOKRightDlg& d) { QTest::keyClick(control<QLineEdit>(d, "Edit1"), Qt::Key_Escape); },
        [](TOKRightDlg& d) { d.close(); },
    };
    TOKRightDlg dialog; // one instance for every showing, as in the program
    for (const auto& leave : ways) {
        const auto answer = askWhile(dialog, "EG", [&] {
            QTest::keyClicks(control<QLineEdit>(dialog, "Edit1"), QStringLiteral("X"));
            leave(dialog);
        });
        EXPECT_FALSE(answer.ok);
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST(OKCANCL2Test, RenamesAFileThroughTheDialog) {
    tidytest::TempDir dir;
    const std::string path = dir.write(
        "a.xml", surfacetest::landXml("<Surfaces><Surface name=\"A\"/><Surface name=\"B\"/>"
                                      "</Surfaces>"));
    TOKRightDlg dialog;
    int showing = 0;
    std::vector<std::string> lines;
    tidy::RenameSurfaces(
        path,
        [&](const std::string& current) {
            return askWhile(dialog, current, [&] {
                QLineEdit* edit = control<QLineEdit>(dialog, "Edit1");
                if (showing++ == 0) {
                    edit->setText(QStringLiteral("Ä1"));
                    QTest::keyClick(edit, Qt::Key_Return);
                } else {
                    edit->setText(QStringLiteral("ignored"));
                    QTest::keyClick(edit, Qt::Key_Escape);
                }
            });
        },
        [&](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(lines, (std::vector<std::string>{" Ä1.trm ", " B.trm "}));
    EXPECT_EQ(surfacetest::surfaceNames(path), (std::vector<std::string>{"Ä1", "B"}));
}

} // namespace
