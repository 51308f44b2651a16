// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the window tests: a settings folder of the test's own, and access to controls.
#pragma once

#include "TestSupport.h"

#include <QSettings>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

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

} // namespace tidytest
