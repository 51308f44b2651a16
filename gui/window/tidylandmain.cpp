// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/window/tidylandmain.h"

#include "gui/dialogs/OKCANCL2.h"
#include "gui/dialogs/kleurenkiezen.h"
#include "gui/widgets/KeyboardButtons.h"
#include "gui/widgets/ScreenFit.h"
#include "gui/widgets/UiFont.h"
#include "gui/window/Manual.h"
#include "gui/window/MessageBoxes.h"
#include "gui/window/SurfacePreview.h"
#include "gui/window/UpdateCheck.h"
#include "ui_tidylandmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsDropShadowEffect>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <utility>
#include <version.h>

namespace {

using tidy::uiFont;

constexpr QSize kClientSize(1263, 766);
constexpr int kListItemHeight = 25;
constexpr int kCounterGap = 6; // least space between a caption and its counter

// Gives every row of a list the same height, whatever the font.
class FixedRowHeightDelegate final : public QStyledItemDelegate {
public:
    FixedRowHeightDelegate(int height, QObject* parent)
        : QStyledItemDelegate(parent), height_(height) {}

    void setHeight(int height) { height_ = height; }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(height_);
        return size;
    }

private:
    int height_;
};

// The local file that a drag carries (the first, when it carries several), or "".
QString draggedFile(const QMimeData* mime) {
    if (mime != nullptr)
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile())
                return url.toLocalFile();
    return {};
}

// A path typed or pasted into the file box; a pasted file URL counts as its path.
QString typedPath(const QString& text) {
    const QString path = text.trimmed();
    if (path.startsWith(QLatin1String("file:"))) {
        const QUrl url(path);
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return path;
}

} // namespace

TForm2::TForm2(tidy::SettingsStore store, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TForm2>()), store_(std::move(store)), timer1_(this),
      timer2_(this), updaterProgram_(tidy::kUpdaterProgram) {
    ui_->setupUi(this);
    ui_->Label17->setText(QString::fromLatin1(tidy::kVersion));
    ui_->ListBox1->setItemDelegate(new FixedRowHeightDelegate(kListItemHeight, ui_->ListBox1));
    applyFonts();

    for (QLabel* status : {ui_->Label9, ui_->Label10}) {
        auto* glow = new QGraphicsDropShadowEffect(status);
        glow->setOffset(0, 0);
        glow->setBlurRadius(5);
        glow->setColor(Qt::white);
        status->setGraphicsEffect(glow);
        status->hide();
    }

    setFixedSize(kClientSize);
    if (const QScreen* screen = this->screen())
        move(tidy::centredIn(size(), screen->availableGeometry()));
    ui_->Button2->setFocus();
    // A file dropped anywhere on the window is opened; the file box passes drops on to it.
    setAcceptDrops(true);

    connect(ui_->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    connect(ui_->Button3, &QPushButton::clicked, this, &TForm2::Button3Click);
    connect(ui_->Button4, &QPushButton::clicked, this, &TForm2::Button4Click);
    connect(ui_->Button5, &QPushButton::clicked, this, &TForm2::Button5Click);
    connect(ui_->Button6, &QPushButton::clicked, this, &TForm2::Button6Click);
    ui_->Edit1->installEventFilter(this);
    connect(ui_->Edit1, &QLineEdit::returnPressed, this, [this] {
        // Enter on an empty box (or the blank after a save) is no request to open anything.
        if (const QString path = typedPath(ui_->Edit1->text()); !path.isEmpty())
            openFile(path);
    });
    // A double-click or Enter on a surface line opens that surface's preview.
    connect(ui_->ListBox1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        SurfacePreview::open(this, currentPath(), ui_->ListBox1->row(item));
    });

    installDefaultHooks();
    installShortcuts();

    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setSingleShot(true);
    timer1_.setInterval(std::chrono::milliseconds(10000));
    connect(&timer1_, &QTimer::timeout, this, &TForm2::Timer1Timer);
    timer2_.setObjectName(QStringLiteral("Timer2"));
    timer2_.setSingleShot(true);
    timer2_.setInterval(std::chrono::milliseconds(2000));
    connect(&timer2_, &QTimer::timeout, this, &TForm2::Timer2Timer);
    timer1_.start();
}

TForm2::~TForm2() = default;

int TForm2::px(int pixels) const {
    return tidy::scaled(pixels, scale_);
}

void TForm2::applyFonts() {
    setFont(uiFont(px(19)));
    for (QLabel* label : findChildren<QLabel*>())
        label->setFont(uiFont(px(23)));
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setFont(uiFont(px(23)));
    ui_->Edit1->setFont(uiFont(px(26)));
    ui_->Label17->setFont(uiFont(px(21)));
    // The scan's wait message is long: at the base size it wraps into the two lines between
    // the buttons' left edge and the update status below it.
    ui_->Label9->setFont(uiFont(px(19)));

    // Captions size themselves to their text; the labels that operations write keep a fixed
    // width so that a long count or message is not cut off.
    for (QLabel* caption : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label5, ui_->Label6,
                            ui_->Label12, ui_->Label13, ui_->Label15, ui_->Label17})
        caption->adjustSize();
    // A face wider than Segoe UI would run a caption into its counter: narrow such a caption
    // rather than shrink it, so that all captions keep one height.
    const std::pair<QLabel*, QLabel*> counted[] = {
        {ui_->Label3, ui_->Label8},   {ui_->Label5, ui_->Label7},   {ui_->Label6, ui_->Label4},
        {ui_->Label12, ui_->Label14}, {ui_->Label13, ui_->Label11}, {ui_->Label15, ui_->Label16}};
    for (const auto& [caption, counter] : counted) {
        const int room = counter->x() - px(kCounterGap) - caption->x();
        for (int stretch = 95; caption->width() > room && stretch >= 50; stretch -= 5) {
            QFont narrower = caption->font();
            narrower.setStretch(stretch);
            caption->setFont(narrower);
            caption->adjustSize();
        }
    }
    // On a shrunk window the status line at the bottom keeps inside it.
    for (QLabel* written : {ui_->Label8, ui_->Label7, ui_->Label4, ui_->Label14, ui_->Label11,
                            ui_->Label16, ui_->Label10})
        written->resize(written->width(),
                        std::min(written->sizeHint().height(), height() - written->y()));
}

void TForm2::fitInto(const QRect& available) {
    const double factor = tidy::fitFactor(kClientSize, available.size());
    if (factor < 1.0) {
        scale_ = factor;
        tidy::scaleGeometry(*this, factor);
        if (auto* rows = dynamic_cast<FixedRowHeightDelegate*>(ui_->ListBox1->itemDelegate()))
            rows->setHeight(px(kListItemHeight));
        applyFonts();
    }
    move(tidy::centredIn(size(), available));
}

void TForm2::installDefaultHooks() {
    const QString xmlFilter = QStringLiteral("*.xml");
    hooks_.chooseOpenFile = [this, xmlFilter](const QString& initialFolder) {
        QFileDialog dialog(this, QString(), initialFolder, xmlFilter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QStringLiteral("xml"));
        std::optional<QString> chosen;
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
        return chosen;
    };
    hooks_.chooseSaveFile = [this, xmlFilter](const QString& initialFolder) {
        // Qt asks before replacing an existing file; that question stays on.
        QFileDialog dialog(this, QString(), initialFolder, xmlFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("xml"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };
    hooks_.inform = [this](const QString& text) {
        showMessage(this, QMessageBox::Information, text);
    };
    hooks_.showError = [this](const QString& message) {
        showMessage(this, QMessageBox::Critical, message);
    };
}

void TForm2::setUpdaterProgram(const QString& program) {
    updaterProgram_ = program;
}

void TForm2::setUpdateCheckIntervals(std::chrono::milliseconds checkDelay,
                                     std::chrono::milliseconds statusTime) {
    // A running timer restarts with the new interval; one that has fired stays off.
    timer1_.setInterval(checkDelay);
    timer2_.setInterval(statusTime);
}

void TForm2::installShortcuts() {
    // A shortcut presses its button, so it does nothing while the button is disabled. Ctrl+Q
    // closes as the close box does, storing nothing.
    const std::pair<QKeyCombination, std::function<void()>> keys[] = {
        {Qt::CTRL | Qt::Key_O, [this] { ui_->Button4->click(); }},
        {Qt::CTRL | Qt::Key_S, [this] { ui_->Button1->click(); }},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_S, [this] { ui_->Button3->click(); }},
        {Qt::CTRL | Qt::Key_Q, [this] { close(); }},
        {QKeyCombination(Qt::Key_F1), [this] { showManual(this); }},
    };
    for (const auto& [key, action] : keys)
        new QShortcut(QKeySequence(key), this, action);
}

void TForm2::showEvent(QShowEvent* event) {
    FormShow();
    QWidget::showEvent(event);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // A file dragged onto the file box is opened, not spliced into its text as a URL.
    if (watched == ui_->Edit1 &&
        (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
        takeDrop(*static_cast<QDropEvent*>(event)))
        return true;
    if (watched == ui_->Edit1 && type == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // A click on the file box is a click on Button4. It runs once the edit has handled the
        // click itself, so the box keeps the focus and the caret it would get from it.
        if (mouse->button() == Qt::LeftButton &&
            ui_->Edit1->rect().contains(mouse->position().toPoint()))
            QMetaObject::invokeMethod(ui_->Button4, &QPushButton::click, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void TForm2::closeEvent(QCloseEvent* event) {
    // Closing stores nothing. The timers stop so that a window closed before the update check
    // never starts the updater.
    timer1_.stop();
    timer2_.stop();
    event->accept();
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    if (!tidy::pressFocusedButton(*this, *event))
        QWidget::keyPressEvent(event);
}

void TForm2::dragEnterEvent(QDragEnterEvent* event) {
    takeDrop(*event);
}

void TForm2::dropEvent(QDropEvent* event) {
    takeDrop(*event);
}

bool TForm2::takeDrop(QDropEvent& event) {
    const QString path = draggedFile(event.mimeData());
    if (path.isEmpty())
        return false;
    event.acceptProposedAction();
    // The scan runs once the drop has ended, so the program the file came from is not kept
    // waiting for it.
    if (event.type() == QEvent::Drop)
        QMetaObject::invokeMethod(
            this, [this, path] { openFile(path); }, Qt::QueuedConnection);
    return true;
}

void TForm2::FormShow() {
    restoreOptionsOnce();
}

void TForm2::restoreOptionsOnce() {
    // Once, before the window is first shown: the user cannot have touched the boxes yet. Never
    // on activation, which without a window manager (or with focus-stealing prevention) is the
    // user's first click, often the click on a box.
    if (std::exchange(optionsRestored_, true))
        return;
    const tidy::StoredOptions options = store_.readOptions();
    ui_->CheckBox1->setChecked(options.driehoeken);
    ui_->CheckBox2->setChecked(options.curve);
}

void TForm2::openFile(const QString& path) {
    // A file opened before the window was ever shown is scanned with the stored options, as
    // after the dialog.
    restoreOptionsOnce();
    const QString absolute = path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
    runOperation([&] { ScanFile(absolute); });
}

void TForm2::Button2Click() {
    try {
        store_.writeOptions(ui_->CheckBox1->isChecked(), ui_->CheckBox2->isChecked());
    } catch (const std::exception&) {
        // The user asked to leave: a failed store neither keeps the window open nor holds it
        // up with a message.
    }
    close();
}

void TForm2::Button4Click() {
    runOperation([this] { OpenAndScan(); });
}

void TForm2::Button1Click() {
    runOperation([this] { EditAndSave(false); });
}

void TForm2::Button3Click() {
    runOperation([this] { EditAndSave(true); });
}

void TForm2::Button5Click() {
    runOperation([this] { RenameSurfaces(); });
}

void TForm2::Button6Click() {
    runOperation([this] { AssignSurfaceColors(); });
}

void TForm2::useDialogs(TOKRightDlg& renameDialog, Tkleuren& paletteDialog) {
    hooks_.askName = [&renameDialog](const std::string& name) {
        return askNameWithDialog(renameDialog, name);
    };
    hooks_.pickColor = [&paletteDialog](const std::string& name, std::int32_t preset) {
        return pickColorWithDialog(paletteDialog, name, preset);
    };
}

void TForm2::Timer1Timer() {
    ui_->Label10->setText(QStringLiteral("Checking for new versions..."));
    ui_->Label10->show();
    timer1_.stop(); // once per run of the program
    // The window goes on while the updater runs; the status changes when it has ended.
    updater_.start(updaterProgram_, [this](bool started) {
        if (started)
            ui_->Label10->setText(QStringLiteral("No new version available..."));
        timer2_.start();
    });
}

void TForm2::Timer2Timer() {
    timer2_.stop();
    ui_->Label10->hide();
}
