// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace tidy {

// Enter on a focused button presses it, as Space does; the toolkit leaves Enter to a window's
// default button. For a window's keyPressEvent: true when `event` pressed a button.
inline bool pressFocusedButton(const QWidget& window, const QKeyEvent& event) {
    if (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter)
        return false;
    auto* button = qobject_cast<QPushButton*>(window.focusWidget());
    if (button == nullptr || !button->isEnabled())
        return false;
    button->click();
    return true;
}

} // namespace tidy
