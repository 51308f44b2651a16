// SPDX-License-Identifier: GPL-3.0-or-later
// The window's manual, opened with F1: the man page tidylander(1), built into the program so that
// it reads the same offline and on every system, also where no man page is installed.
#pragma once

class QWidget;

// Shows the manual in a window of its own beside `owner`, or raises the one already open.
void showManual(QWidget* owner);
