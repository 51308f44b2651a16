// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/window/MessageBoxes.h"

#include <QLabel>
#include <QScreen>
#include <algorithm>

namespace {

// Shows `box` with every line of its text on one line: the box grows to the widest line, as far
// as the screen allows, instead of wrapping the lines into a narrow column.
void keepLinesWhole(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr)
        return;
    int widest = 0;
    for (const QString& line : box.text().split(QLatin1Char('\n')))
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    // Beyond the width the toolkit allows a message box, a longer line wraps after all.
    constexpr int kWidestBox = 800;
    const QScreen* screen = box.screen();
    const int room =
        screen ? std::min(screen->availableGeometry().width() * 3 / 4, kWidestBox) : kWidestBox;
    label->setMinimumWidth(std::min(widest + 1, room));
}

} // namespace

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, parent->windowTitle(), text, QMessageBox::Ok, parent);
    keepLinesWhole(box);
    box.exec();
}
