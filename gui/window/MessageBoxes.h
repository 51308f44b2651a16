// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMessageBox>

// A modal message box titled like `parent`, with each line of `text` kept on one line as far as
// the screen allows.
void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text);
