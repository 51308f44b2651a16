// SPDX-License-Identifier: GPL-3.0-or-later
// Starting the external updater for the update check of the main window.
#pragma once

#include <QProcess>
#include <QString>

#include <functional>

namespace tidy {

// The updater is a program of its own, looked up through PATH like any command.
inline const QString kUpdaterProgram = QStringLiteral("ZorbInternetUpdater.exe");

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

    // Starts `program` with the single argument "/CHECK/SILENT". `ended` is called once, from
    // the event loop: true when the program ran and ended (whatever its exit code), false when
    // it could not be started.
    void start(const QString& program, std::function<void(bool started)> ended);

private:
    void report(bool started);

    QProcess process_;
    std::function<void(bool)> ended_;
};

} // namespace tidy
