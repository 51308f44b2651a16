// SPDX-License-Identifier: GPL-3.0-or-later
// tidylander: the window program. `tidylander FILE` opens and scans FILE at start-up, so that a
// file manager can open a file with it.
#include "gui/dialogs/OKCANCL2.h"
#include "gui/dialogs/kleurenkiezen.h"
#include "gui/window/tidylandmain.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <exception>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    try {
        TForm2 Form2;

        // The two dialogs are created once, hidden, and reused by every operation.
        TOKRightDlg OKRightDlg(&Form2);
        Tkleuren kleuren(&Form2);
        Form2.useDialogs(OKRightDlg, kleuren);

        // On a screen smaller than a window, the window shrinks to fit it.
        if (const QScreen* screen = Form2.screen()) {
            const QRect available = screen->availableGeometry();
            Form2.fitInto(available);
            OKRightDlg.fitInto(available);
            kleuren.fitInto(available);
        }

        Form2.show();
        const QStringList arguments = QApplication::arguments();
        if (arguments.size() > 1)
            QTimer::singleShot(0, &Form2,
                               [&Form2, file = arguments.at(1)] { Form2.openFile(file); });
        QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("tidylander"),
                              QString::fromUtf8(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("tidylander"), QString());
    }
    return 0;
}
