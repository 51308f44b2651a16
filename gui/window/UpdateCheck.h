// SPDX-License-Identifier: GPL-3.0-or-later
// Starting the external updater for the update check of the main window.
#pragma once

#include <QProcess>
#include <QString>

#include <functional>

namespace tidy {

// The updater is a program of its own, found by locateUpdater.
inline const QString kUpdaterProgram = QStringLiteral("ZorbInternetUpdater.exe");

// The absolute path of the program `name` in this program's own folder, else in the first
// absolute folder of PATH that holds it; "" when none does. The current folder and relative
// entries of PATH are never searched: a start by bare name on Windows would run a program of
// that name lying in the current folder, such as one downloaded beside a LandXML file.
QString locateUpdater(const QString& name);

// One run of the updater, never waited for on the window's thread: whatever the program does
// (hang, ignore signals), the window stays responsive.
class UpdaterRun final {
public:
    UpdaterRun();
    // A program still running is ended (asked first, then forced) and collected, so that no
    // process and no zombie outlives the window.
    ~UpdaterRun();
    UpdaterRun(const UpdaterRun&) = delete;
    UpdaterRun& operator=(const UpdaterRun&) = delete;

    // Starts the program `name`, found by locateUpdater, with the single argument
    // "/CHECK/SILENT". `ended` is called once, from the event loop: true when the program ran and
    // ended (whatever its exit code), false when it was not found or could not be started.
    void start(const QString& name, std::function<void(bool started)> ended);

private:
    void report(bool started);

    QProcess process_;
    std::function<void(bool)> ended_;
};

} // namespace tidy
