// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/window/UpdateCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <utility>

namespace tidy {

namespace {
// How long a program still running at the end gets to end by itself once asked to.
constexpr int kGraceMs = 1000;
} // namespace

UpdaterRun::UpdaterRun() {
    // The updater talks to nobody: it must not wait for input that never comes, and what it
    // prints goes where ours goes instead of piling up in a buffer.
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(&process_, &QProcess::finished, &process_, [this] { report(true); });
    QObject::connect(&process_, &QProcess::errorOccurred, &process_,
                     [this](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             report(false);
                     });
}

UpdaterRun::~UpdaterRun() {
    ended_ = nullptr; // the window that asked is going away
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(kGraceMs)) {
        process_.kill();
        process_.waitForFinished(-1);
    }
}

QString locateUpdater(const QString& name) {
    QStringList folders;
    if (const QString own = QCoreApplication::applicationDirPath(); !own.isEmpty())
        folders.push_back(own);
    for (const QString& entry :
         qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(entry))
            folders.push_back(entry);
    return QStandardPaths::findExecutable(name, folders);
}

void UpdaterRun::start(const QString& name, std::function<void(bool started)> ended) {
    ended_ = std::move(ended);
    const QString program = locateUpdater(name);
    if (program.isEmpty())
        QMetaObject::invokeMethod(
            &process_, [this] { report(false); }, Qt::QueuedConnection);
    else
        process_.start(program, {QStringLiteral("/CHECK/SILENT")});
}

void UpdaterRun::report(bool started) {
    if (auto ended = std::exchange(ended_, nullptr))
        ended(started);
}

} // namespace tidy
