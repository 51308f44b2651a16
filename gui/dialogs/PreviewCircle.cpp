// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/dialogs/PreviewCircle.h"

#include <QPainter>

#include <algorithm>

PreviewCircle::PreviewCircle(QWidget* parent) : QWidget(parent) {}

void PreviewCircle::setBrushColor(const QColor& color) {
    if (color == brush_)
        return;
    brush_ = color;
    update();
}

void PreviewCircle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(brush_);
    const int diameter = std::min(width(), height()) - 1;
    QRect circle(0, 0, diameter, diameter);
    circle.moveCenter(rect().center());
    painter.drawEllipse(circle);
}
