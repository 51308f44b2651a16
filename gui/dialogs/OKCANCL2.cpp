// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/dialogs/OKCANCL2.h"

#include "gui/widgets/ScreenFit.h"
#include "ui_OKCANCL2.h"

#include <QPushButton>
#include <QScreen>

#include <algorithm>

TOKRightDlg::TOKRightDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TOKRightDlg>()) {
    ui_->setupUi(this);
    connect(ui_->OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    // A surface needs a name: OK (and Enter with it) waits for one that is not blank.
    connect(ui_->Edit1, &QLineEdit::textChanged, this, [this](const QString& text) {
        ui_->OKBtn->setEnabled(std::any_of(text.begin(), text.end(), [](QChar c) {
            return c != u' ' && c != u'\t' && c != u'\r' && c != u'\n';
        }));
    });
}

TOKRightDlg::~TOKRightDlg() = default;

void TOKRightDlg::fitInto(const QRect& available) {
    const double factor = tidy::fitFactor(size(), available.size());
    if (factor >= 1.0)
        return;
    tidy::scaleGeometry(*this, factor);
    QFont shrunk = font();
    if (shrunk.pixelSize() > 0)
        shrunk.setPixelSize(tidy::scaled(shrunk.pixelSize(), factor));
    else
        shrunk.setPointSizeF(shrunk.pointSizeF() * factor);
    setFont(shrunk);
}

QString TOKRightDlg::editText() const {
    return ui_->Edit1->text();
}

void TOKRightDlg::setEditText(const QString& text) {
    ui_->Edit1->setText(text);
}

void TOKRightDlg::showEvent(QShowEvent* event) {
    // Centred on the screen rather than over the main window.
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

tidy::NameAnswer askNameWithDialog(TOKRightDlg& dialog, const std::string& currentName) {
    dialog.setEditText(QString::fromStdString(currentName));
    const bool ok = dialog.exec() == QDialog::Accepted;
    return {ok, dialog.editText().toStdString()};
}
