// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UpdateCheck.h"

#include <QProcess>

namespace tidy {

bool runUpdater(const QString& program) {
    QProcess updater;
    updater.setProgram(program);
    updater.setArguments({QStringLiteral("/CHECK/SILENT")});
    // The updater talks to nobody: it must not wait for input that never comes, and what it
    // prints goes where ours goes instead of piling up in a buffer.
    updater.setStandardInputFile(QProcess::nullDevice());
    updater.setProcessChannelMode(QProcess::ForwardedChannels);
    updater.start();
    if (!updater.waitForStarted(-1))
        return false;
    updater.waitForFinished(-1);
    return true;
}

} // namespace tidy
