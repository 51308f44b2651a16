// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/widgets/ScreenFit.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tidy {

double fitFactor(QSize client, QSize available) {
    const QSize room = available - kFrameAllowance;
    if (client.isEmpty() || room.isEmpty())
        return 1.0;
    const double across = double(room.width()) / client.width();
    const double down = double(room.height()) / client.height();
    return std::min({1.0, across, down});
}

int scaled(int pixels, double factor) {
    const int result = int(std::lround(pixels * factor));
    return pixels > 0 ? std::max(result, 1) : result;
}

void scaleGeometry(QWidget& form, double factor) {
    for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        const QRect r = child->geometry();
        child->setGeometry(scaled(r.x(), factor), scaled(r.y(), factor), scaled(r.width(), factor),
                           scaled(r.height(), factor));
    }
    form.setFixedSize(scaled(form.width(), factor), scaled(form.height(), factor));
}

QPoint centredIn(QSize client, const QRect& available) {
    const QSize spare = available.size() - client - kFrameAllowance;
    return available.topLeft() +
           QPoint(std::max(spare.width() / 2, 0), std::max(spare.height() / 2, 0));
}

void openWithin(QWidget& window, QSize preferred, const QWidget& owner) {
    QSize size = preferred;
    if (const QScreen* screen = owner.screen()) {
        const QRect available = screen->availableGeometry();
        size = size.boundedTo(available.size() - kFrameAllowance);
        window.move(centredIn(size, available));
    }
    window.resize(size);
}

} // namespace tidy
