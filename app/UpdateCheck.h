// SPDX-License-Identifier: GPL-3.0-or-later
// Starting the external updater for the update check of the main window.
#pragma once

#include <QString>

namespace tidy {

// The updater is a program of its own, looked up through PATH like any command.
inline const QString kUpdaterProgram = QStringLiteral("ZorbInternetUpdater.exe");

// Starts `program` with the single argument "/CHECK/SILENT" and blocks until it ends. True when
// it could be started, whatever its exit code; false when it was not found or not runnable.
bool runUpdater(const QString& program);

} // namespace tidy
