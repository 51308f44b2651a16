// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/surfaces/RenameSurfaces.h"

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class TOKRightDlg;
}

// The rename dialog: offers one surface name in Edit1. OK (also Enter) accepts the text shown and
// is disabled while it is blank; Cancel (also Esc and the close box) keeps the old name. It holds
// no data of its own; the caller fills Edit1, runs it modally and reads Edit1 back.
class TOKRightDlg final : public QDialog {
    Q_OBJECT

public:
    explicit TOKRightDlg(QWidget* parent = nullptr);
    ~TOKRightDlg() override;

    // Shrinks the dialog uniformly (geometry and font) where it does not fit into `available`.
    // Called once, before the dialog is first shown.
    void fitInto(const QRect& available);

    QString editText() const;
    void setEditText(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TOKRightDlg> ui_;
};

// Shows `dialog` modally with `currentName` in Edit1; the answer is whether it closed with OK
// and the text Edit1 then held. Fits RenameObserver::askName.
tidy::NameAnswer askNameWithDialog(TOKRightDlg& dialog, const std::string& currentName);
