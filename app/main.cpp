// SPDX-License-Identifier: GPL-3.0-or-later
// tidylander: the window program.
#include "app/tidylandmain.h"
#include "surfaces/OKCANCL2.h"
#include "surfaces/kleurenkiezen.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    try {
        TForm2 Form2;

        // The two dialogs are created once, hidden, and reused by every operation.
        TOKRightDlg OKRightDlg(&Form2);
        Tkleuren kleuren(&Form2);
        Form2.useDialogs(OKRightDlg, kleuren);

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
