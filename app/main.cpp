// SPDX-License-Identifier: GPL-3.0-or-later
// tidylander: the window program.
#include "app/tidylandmain.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    try {
        TForm2 Form2;

        // TODO(owner): create the rename dialog OKRightDlg (TOKRightDlg) and the palette dialog
        // kleuren (Tkleuren) here, once and hidden, when their classes land in surfaces/. They
        // live as long as the program and are reused by every operation.

        Form2.show();
        QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("tidylander"),
                              QString::fromUtf8(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("tidylander"), QString());
    }
    return 0;
}
