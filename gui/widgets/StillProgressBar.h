// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProgressBar>
#include <QStyleOptionProgressBar>
#include <QStylePainter>

// A progress bar that shows an empty range (0 to 0) as an empty, still bar. The toolkit shows
// such a range as a busy animation that never ends and keeps repainting the window.
class StillProgressBar final : public QProgressBar {
public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent*) override {
        QStyleOptionProgressBar option;
        initStyleOption(&option);
        if (option.minimum == option.maximum) {
            option.minimum = 0;
            option.maximum = 1;
            option.progress = 0;
        }
        QStylePainter painter(this);
        painter.drawControl(QStyle::CE_ProgressBar, option);
    }
};
