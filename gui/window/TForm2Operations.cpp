// SPDX-License-Identifier: GPL-3.0-or-later
// The window's operations: each reads the controls, runs one core operation and writes what it
// reports into the window, composing the list lines and messages the window shows.
#include "core/cleaning/EditAndSave.h"
#include "core/cleaning/OutcomeMessages.h"
#include "core/landxml/Error.h"
#include "core/landxml/FileRun.h"
#include "core/surfaces/AssignSurfaceColors.h"
#include "core/surfaces/ScanDocument.h"
#include "gui/widgets/ThrottledDisplay.h"
#include "gui/window/CorePath.h"
#include "gui/window/tidylandmain.h"
#include "ui_tidylandmain.h"

#include <QApplication>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <exception>
#include <string_view>

namespace {

// Keeps the wait cursor up while an operation runs, on every way out of it.
class WaitCursor {
public:
    explicit WaitCursor(int& count) : count_(count) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++count_;
    }
    ~WaitCursor() {
        --count_;
        QApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    int& count_;
};

// Takes the wait cursors of running operations off for its lifetime and puts them back after.
class WaitCursorsLifted {
public:
    explicit WaitCursorsLifted(int& count) : count_(count), lifted_(count) {
        for (int i = 0; i < lifted_; ++i)
            QApplication::restoreOverrideCursor();
        count_ = 0;
    }
    ~WaitCursorsLifted() {
        for (int i = 0; i < lifted_; ++i)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        count_ = lifted_;
    }
    WaitCursorsLifted(const WaitCursorsLifted&) = delete;
    WaitCursorsLifted& operator=(const WaitCursorsLifted&) = delete;

private:
    int& count_;
    int lifted_;
};

// A list line holds at most 255 UTF-16 units; a longer text is cut there, never inside a
// character.
QString listLine(std::string_view utf8) {
    constexpr std::size_t kMaxUnits = 255;
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const std::size_t need = length == 4 ? 2 : 1; // beyond the BMP: a surrogate pair
        if (units + need > kMaxUnits)
            break;
        units += need;
        i += length;
    }
    return QString::fromStdString(std::string(utf8.substr(0, std::min(i, utf8.size()))));
}

void showNumber(QLabel& label, std::int32_t n) {
    label.setText(QString::number(n));
}

} // namespace

std::string TForm2::currentPath() const {
    return tidy::corePath(ui_->Edit1->text());
}

void TForm2::addLine(const std::string& line) {
    ui_->ListBox1->addItem(listLine(line));
}

void TForm2::resetCounters() {
    for (QLabel* counter :
         {ui_->Label8, ui_->Label7, ui_->Label4, ui_->Label14, ui_->Label11, ui_->Label16})
        counter->setText(QStringLiteral("#"));
}

void TForm2::OpenAndScan() {
    const std::optional<QString> chosen = askOpenFile(store_.readInitialFolder());
    ScanFile(chosen.value_or(QString()));
}

void TForm2::ScanFile(const QString& path) {
    // Counts of an earlier file never stand next to this one, also when it fails to load.
    resetCounters();
    ui_->Edit1->setText(path);
    // A cancel stores empty text, so the next dialog opens in its own default folder.
    store_.writeInitialFolder(path.isEmpty() ? QString() : QFileInfo(path).path());
    ui_->ListBox1->clear();

    tidy::ScanCounts counts;
    const tidy::ScanObserver observer{
        .listSurface = [this](const std::string& name) { addLine(name); },
        .showSurfaceCount = [this](std::int32_t n) { showNumber(*ui_->Label8, n); },
        .beginCounting =
            [this] {
                ui_->Label9->setText(QStringLiteral("Open file and counting triangles... a moment "
                                                    "please...(a xml >10Mb can take up to 2 "
                                                    "minutes)"));
                ui_->Label9->show();
                repaint();
            },
        .showTriangleCount = [this](std::int32_t n) { showNumber(*ui_->Label7, n); }};
    // A path of no file is shown and remembered, and nothing else happens.
    const tidy::FileRun run = tidy::runOnFile(currentPath(), [&](tidy::Document& document) {
        counts = tidy::ScanDocument(document, ui_->CheckBox2->isChecked(), observer);
        return std::string(); // the scan writes nothing
    });
    if (run == tidy::FileRun::NoFile)
        return;
    ui_->ProgressBar1->setMaximum(counts.triangleCount);
    ui_->ProgressBar1->setValue(0);
    ui_->Label9->hide();
    ui_->Button1->setEnabled(true);
    ui_->Button3->setEnabled(true);
    if (counts.surfaceCount > 0) {
        ui_->Button5->setEnabled(true);
        ui_->Button6->setEnabled(true);
    }
}

tidy::EditAndSaveObserver TForm2::editObserver(bool saveAs, ThrottledDisplay& removed,
                                               ThrottledDisplay& progress) {
    return {
        .triangles = {
            // "Edit and save" marks each listed surface with ".trm"; "Edit and save as" does not.
            .listSurface =
                [this, saveAs](const std::string& name) { addLine(saveAs ? name : name + ".trm"); },
            .showSurfaceCount = [this](std::int32_t n) { showNumber(*ui_->Label8, n); },
            .showRemovedCount = [&removed](std::int32_t n) { removed(n); },
            .setProgress = [&progress](std::int32_t p) { progress(p); }},
        .curves = {.planFeaturesFound =
                       [this, saveAs] {
                           if (!saveAs)
                               informUser(QStringLiteral(" curves gevonden "));
                       },
                   .showCurveCount = [this](std::int32_t n) { showNumber(*ui_->Label14, n); },
                   .showAdjustedCount = [this](std::int32_t n) { showNumber(*ui_->Label11, n); },
                   .markDeviation =
                       [this] { ui_->Label16->setText(ui_->Label16->text() + QLatin1Char('1')); }},
        .chooseSaveFile =
            [this] { return tidy::corePath(askSaveFile(store_.readInitialFolder())); },
    };
}

void TForm2::EditAndSave(bool saveAs) {
    ui_->ListBox1->clear();
    // Faces are removed by the million: counters and the bar follow at a pace the eye can use,
    // and show their exact last values when the run ends, whichever way it ends.
    ThrottledDisplay removed([this](std::int32_t n) {
        showNumber(*ui_->Label4, n);
        ui_->Label4->repaint();
    });
    // The bar moves on every face: a look at the clock every 64 faces is soon enough.
    ThrottledDisplay progress(
        [this](std::int32_t p) {
            ui_->ProgressBar1->setValue(p);
            ui_->ProgressBar1->repaint();
        },
        64);
    // Every modal window of the run (save dialog, messages, the error box) shows exact values.
    flushDisplays_ = [&] {
        removed.flush();
        progress.flush();
    };
    const auto forgetDisplays = qScopeGuard([this] { flushDisplays_ = nullptr; });
    const tidy::EditAndSaveOptions options{ui_->CheckBox1->isChecked(), ui_->CheckBox2->isChecked(),
                                           saveAs};
    const std::string path = currentPath();
    const tidy::EditAndSaveResult result =
        tidy::EditAndSave(path, options, editObserver(saveAs, removed, progress));
    if (result.file == tidy::FileRun::NoFile)
        throw tidy::Error(tidy::noFileToEdit(path));
    if (result.file == tidy::FileRun::NotWritten)
        return; // the save dialog was closed: nothing written, the buttons stay enabled
    for (const std::string& message : tidy::outcomeMessages(options, result))
        informUser(QString::fromStdString(message));
    ui_->Edit1->setText(QStringLiteral(" "));
    ui_->Button2->setText(QStringLiteral(" Ready "));
    for (QPushButton* button : {ui_->Button1, ui_->Button3, ui_->Button5, ui_->Button6})
        button->setEnabled(false);
}

void TForm2::RenameSurfaces() {
    ui_->ListBox1->clear();
    const std::string path = currentPath();
    const tidy::RenameObserver observer{
        .askName =
            [this](const std::string& name) {
                return withNormalCursor([&] { return hooks_.askName(name); });
            },
        // The dialog comes back with the refused name, to be mended or cancelled.
        .refuseName =
            [this](const std::string& reason) {
                QString text = QString::fromStdString(reason);
                text[0] = text[0].toUpper();
                informUser(text);
            },
        .listSurface = [this](const std::string& name) { addLine(" " + name + ".trm "); }};
    // No file is no error here: the list stays empty and nothing happens.
    tidy::runOnFile(path, [&](tidy::Document& document) {
        return tidy::RenameSurfaces(document, observer).write ? path : std::string();
    });
}

void TForm2::AssignSurfaceColors() {
    ui_->ListBox1->clear();
    const std::string path = currentPath();
    const tidy::ColorObserver observer{
        .pickColor =
            [this](const std::string& name, std::int32_t preset) {
                return withNormalCursor([&] { return hooks_.pickColor(name, preset); });
            },
        .listSurface =
            [this](const std::string& name, std::int32_t color) {
                addLine(" " + name + " color " + std::to_string(color) + " ");
            }};
    // No file is no error here: the list stays empty and nothing happens.
    tidy::runOnFile(path, [&](tidy::Document& document) {
        return tidy::AssignSurfaceColors(document, observer).write ? path : std::string();
    });
}

void TForm2::runOperation(const std::function<void()>& work) {
    std::optional<QString> failure;
    {
        const WaitCursor wait(waitCursors_);
        try {
            work();
        } catch (const std::bad_alloc&) {
            failure = ui_->Edit1->text() + QStringLiteral(": not enough memory to load it");
        } catch (const std::exception& error) {
            failure = QString::fromStdString(tidy::shownText(error.what()));
        } catch (...) {
            failure = QStringLiteral("The operation failed with an unknown error.");
        }
    }
    if (failure)
        reportError(*failure);
}

template <typename ShowModal>
std::invoke_result_t<ShowModal> TForm2::withNormalCursor(ShowModal&& showModal) {
    if (flushDisplays_)
        flushDisplays_();
    const WaitCursorsLifted lifted(waitCursors_);
    return std::forward<ShowModal>(showModal)();
}

std::optional<QString> TForm2::askOpenFile(const QString& initialFolder) {
    return withNormalCursor([&] { return hooks_.chooseOpenFile(initialFolder); });
}

QString TForm2::askSaveFile(const QString& initialFolder) {
    return withNormalCursor([&] { return hooks_.chooseSaveFile(initialFolder); });
}

void TForm2::informUser(const QString& text) {
    withNormalCursor([&] { hooks_.inform(text); });
}

void TForm2::reportError(const QString& message) {
    withNormalCursor([&] { hooks_.showError(message); });
}
