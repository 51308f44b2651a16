// SPDX-License-Identifier: GPL-3.0-or-later
// The window's path under the benchmark: the real main window on the offscreen platform opens and
// scans FILE (Button4Click), then runs "Edit and save" over it (Button1Click) with both options
// ticked, every dialog answered at once. FILE is replaced, so give it a copy.
//
//     window_edit_and_save FILE
//
// Prints the wall time of each handler and how often the removed-triangle counter and the
// progress bar were painted, so that the cost of keeping the window up to date is in the figure.
#include "gui/settings/SettingsStore.h"
#include "gui/window/tidylandmain.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <exception>

namespace {

class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

template <typename Work> double millisecondsOf(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_edit_and_save FILE\n");
        return 2;
    }
    const QString file = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1]));

    // The user's own settings stay untouched; both options are stored as ticked, so the window
    // shows them ticked whenever it becomes active.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    try {
        tidy::SettingsStore().writeOptions(true, true);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "window_edit_and_save: %s\n", error.what());
        return 1;
    }

    TForm2 form;
    form.setUpdaterProgram(QStringLiteral("tidylander-bench-no-updater"));
    form.setUpdateCheckIntervals(std::chrono::hours(1), std::chrono::hours(1));
    int informs = 0;
    bool failed = false;
    TForm2::Hooks& hooks = form.hooks();
    hooks.chooseOpenFile = [&](const QString&) -> std::optional<QString> { return file; };
    hooks.chooseSaveFile = [&](const QString&) { return file; };
    hooks.inform = [&](const QString&) { ++informs; };
    hooks.showError = [&](const QString& message) {
        std::fprintf(stderr, "window_edit_and_save: %s\n", message.toLocal8Bit().constData());
        failed = true;
    };
    form.show();
    form.activateWindow();
    QApplication::processEvents();

    PaintCounter label4;
    PaintCounter progressBar;
    form.findChild<QLabel*>(QStringLiteral("Label4"))->installEventFilter(&label4);
    form.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->installEventFilter(&progressBar);

    const double scanMs = millisecondsOf([&] { form.Button4Click(); });
    const double editMs = millisecondsOf([&] { form.Button1Click(); });
    // A completed save leaves a single blank in the file box.
    if (failed ||
        form.findChild<QLineEdit*>(QStringLiteral("Edit1"))->text() != QStringLiteral(" ")) {
        std::fprintf(stderr, "window_edit_and_save: the edit and save did not complete\n");
        return 1;
    }
    std::printf(
        "scan_ms %.1f\nedit_and_save_ms %.1f\nlabel4_paints %d\nprogress_paints %d\n"
        "informs %d\nremoved %s\n",
        scanMs, editMs, label4.paints, progressBar.paints, informs,
        form.findChild<QLabel*>(QStringLiteral("Label4"))->text().toLocal8Bit().constData());
    return 0;
}
