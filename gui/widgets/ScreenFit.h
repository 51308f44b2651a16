// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting a window laid out in fixed pixels onto a screen smaller than that layout.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace tidy {

// Room that a window manager's frame (title bar, borders) takes around a client area.
inline constexpr QSize kFrameAllowance(16, 48);

// The factor, at most 1, by which a client area of `client` pixels must shrink so that it fits,
// frame included, into `available`; 1 where it fits as it is.
double fitFactor(QSize client, QSize available);

// `pixels` times `factor`, rounded; at least 1 for a positive size.
int scaled(int pixels, double factor);

// Shrinks `form` (to a fixed size) and the geometry of its child controls by `factor`. The other
// windows among its children (dialogs) are left alone; fonts and other metrics are the form's.
void scaleGeometry(QWidget& form, double factor);

// The position that centres a window of client size `client`, frame included, in `available`,
// never above or left of it.
QPoint centredIn(QSize client, const QRect& available);

// Gives a resizable window the size `preferred`, less where the available area of the screen
// of `owner` is smaller (frame included), and centres it there.
void openWithin(QWidget& window, QSize preferred, const QWidget& owner);

} // namespace tidy
