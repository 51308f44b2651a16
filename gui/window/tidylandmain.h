// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the controls of the tool, one handler per operation, and the one place where
// an operation's error is caught and shown.
#pragma once

#include "core/surfaces/RenameSurfaces.h"
#include "gui/settings/SettingsStore.h"
#include "gui/window/UpdateCheck.h"

#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace Ui {
class TForm2;
}
class TOKRightDlg;
class Tkleuren;
class QLabel;
class QMimeData;
class ThrottledDisplay;
namespace tidy {
struct EditAndSaveObserver;
}

class TForm2 final : public QWidget {
    Q_OBJECT

public:
    // The window's modal effects, replaceable so that operations run without real dialogs.
    struct Hooks {
        // OpenDialog1: the confirmed path, or nothing when the user cancelled.
        std::function<std::optional<QString>(const QString& initialFolder)> chooseOpenFile;
        // SaveDialog1: the confirmed path, or "" when it was closed without a choice.
        std::function<QString(const QString& initialFolder)> chooseSaveFile;
        // An information box with one OK button; returns when it is closed.
        std::function<void(const QString& text)> inform;
        // An error box with the message of a failed operation; returns when it is closed.
        std::function<void(const QString& message)> showError;
        // The rename dialog for one surface: whether it closed with OK, and its text.
        std::function<tidy::NameAnswer(const std::string& currentName)> askName;
        // The palette dialog for one surface: the index it leaves in SelectedColor.
        std::function<std::int32_t(const std::string& name, std::int32_t preset)> pickColor;
    };

    explicit TForm2(tidy::SettingsStore store = {}, QWidget* parent = nullptr);
    ~TForm2() override;

    Hooks& hooks() { return hooks_; }

    // The rename and palette dialogs, created once at start-up, answer askName and pickColor.
    void useDialogs(TOKRightDlg& renameDialog, Tkleuren& paletteDialog);

    // The update check starts the program `program` (found by tidy::locateUpdater) once
    // `checkDelay` after the window was created, and hides its status line `statusTime` after
    // the program ended.
    void setUpdaterProgram(const QString& program);
    void setUpdateCheckIntervals(std::chrono::milliseconds checkDelay,
                                 std::chrono::milliseconds statusTime);

    // Shrinks the window uniformly (geometry and fonts) where it does not fit into `available`,
    // and centres it there; on a screen large enough only the centring changes. Called once,
    // before the window is shown.
    void fitInto(const QRect& available);

public slots:
    void FormShow();
    void Button2Click();
    void Button4Click();
    void Button1Click();
    void Button3Click();
    void Button5Click();
    void Button6Click();
    void Timer1Timer();
    void Timer2Timer();

    // Open and scan of `path` without the open dialog: a file named on the command line, dropped
    // on the window or typed into the file box.
    void openFile(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Runs one operation under a wait cursor; an exception it throws ends it where it stands
    // and its message is shown, so that no exception reaches Qt's event loop.
    void runOperation(const std::function<void()>& work);

    // Runs `showModal` with the normal cursor: the wait cursors of running operations are taken
    // off while a modal window is open and put back after.
    template <typename ShowModal>
    std::invoke_result_t<ShowModal> withNormalCursor(ShowModal&& showModal);

    // The hooks, each wrapped for use inside an operation.
    std::optional<QString> askOpenFile(const QString& initialFolder);
    QString askSaveFile(const QString& initialFolder);
    void informUser(const QString& text);
    void reportError(const QString& message);

    // The operations behind the buttons: each reads the controls, calls one core function and
    // writes what it reports back into the window.
    void OpenAndScan();
    void ScanFile(const QString& path);
    void resetCounters();
    void restoreOptionsOnce();
    // Takes a dragged file for open and scan; false when the drag holds no local file.
    bool takeDrop(QDropEvent& event);
    void EditAndSave(bool saveAs);
    tidy::EditAndSaveObserver editObserver(bool saveAs, ThrottledDisplay& removed,
                                           ThrottledDisplay& progress);
    void RenameSurfaces();
    void AssignSurfaceColors();
    void addLine(const std::string& line);
    std::string currentPath() const;

    void applyFonts();
    int px(int pixels) const; // a size of the full-size layout at the window's scale
    void installDefaultHooks();
    void installShortcuts();

    std::unique_ptr<Ui::TForm2> ui_;
    tidy::SettingsStore store_;
    Hooks hooks_;
    QTimer timer1_;
    QTimer timer2_;
    QString updaterProgram_;
    tidy::UpdaterRun updater_;
    int waitCursors_ = 0; // wait cursors pushed by running operations
    bool optionsRestored_ = false;
    double scale_ = 1.0; // below 1 on a screen smaller than the window
    // Shows the exact values of the running operation's throttled counters; empty when none run.
    std::function<void()> flushDisplays_;
};
