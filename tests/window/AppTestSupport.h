// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the window tests: a settings folder of the test's own, access to controls, modal
// dialogs answered and the fit on every screen.
#pragma once

#include "TestSupport.h"
#include "gui/widgets/ScreenFit.h"

#include <QApplication>
#include <QDialog>
#include <QSettings>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace tidytest {

// Points the per-user settings at a fresh temporary folder for the life of the object.
class TempSettings {
public:
    TempSettings() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(dir_.path().string()));
    }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
};

// The child of `window` with that object name and type; fails the test when there is none.
template <typename T> T* control(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no control " << name;
    return found;
}

// Shape of the cursor the application shows over every window, or nothing when none is forced.
inline std::optional<Qt::CursorShape> forcedCursor() {
    if (const QCursor* cursor = QApplication::overrideCursor())
        return cursor->shape();
    return std::nullopt;
}

// Runs `actions` once `dialog` is up, while `show` opens it modally, and returns what `show`
// returns. A dialog the actions leave open fails the test and is closed: it would wait forever.
template <typename Show>
auto answerModal(QDialog& dialog, const std::function<void()>& actions, Show&& show) {
    QTimer::singleShot(0, &dialog, [&] {
        actions();
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog.reject();
        }
    });
    return show();
}

// The screens every window must fit, as available areas in device-independent pixels; the
// first is the only one the full-size layouts fit, and 960 x 540 is 1920 x 1080 at scale factor 2.
inline const QSize kScreens[] = {{1920, 1080}, {1366, 768}, {1280, 720}, {1024, 768}, {960, 540}};

// Checks a window after fitInto(available): full size where it fits, elsewhere shrunk by one
// factor with its proportions kept, inside the screen with its frame, every control inside it,
// the 23-pixel font of `label` scaled alike. Returns the factor.
inline double expectFitted(const QWidget& window, QSize full, QSize available, const char* label) {
    const double factor = double(window.width()) / full.width();
    EXPECT_TRUE(available == kScreens[0] ? window.size() == full : factor < 1.0);
    EXPECT_TRUE(QRect(QPoint(0, 0), available)
                    .contains(QRect(window.pos(), window.size() + tidy::kFrameAllowance)));
    EXPECT_NEAR(window.height(), full.height() * factor, 1.0) << "proportions kept";
    EXPECT_NEAR(control<QWidget>(window, label)->font().pixelSize(), 23 * factor, 1.0);
    for (const QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(window.rect().contains(child->geometry())) << child->objectName().toStdString();
    return factor;
}

} // namespace tidytest
