// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/widgets/UiFont.h"

#include <QApplication>
#include <QFontDatabase>

namespace tidy {

namespace {

QString uiFontFamily() {
    static const QString family = [] {
        for (const char* candidate : {"Segoe UI", "Selawik", "Liberation Sans", "Arimo",
                                      "Nimbus Sans", "Arial", "DejaVu Sans"})
            if (QFontDatabase::hasFamily(QString::fromLatin1(candidate)))
                return QString::fromLatin1(candidate);
        return QApplication::font().family();
    }();
    return family;
}

} // namespace

QFont uiFont(int pixelSize) {
    QFont font(uiFontFamily());
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace tidy
