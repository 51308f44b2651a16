// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>
#include <string>

class QPainter;
class QRect;

namespace Ui {
class Tkleuren;
}

// The palette dialog: a 16 x 16 grid of the palette's colours, a preview circle of the choice
// and its index. The outcome is SelectedColor, not the modal result: the clicked index after
// "Select" or a double-click (the preset when no cell was clicked, 0 for a negative one), -1
// after "cancel" or Escape, unchanged when the window is closed any other way.
class Tkleuren final : public QDialog {
    Q_OBJECT

public:
    explicit Tkleuren(QWidget* parent = nullptr);
    ~Tkleuren() override;

    // Both kept between showings, so the caller sets them before each one.
    std::int32_t SelectedColor = 0;
    // The surface's stored index; only decides whether the preview shows the choice or black.
    std::int32_t PresetColor = 0;

    // Label1: the index shown next to "Selected color is:".
    void setIndexText(std::int32_t index);
    // Label4: the name of the surface being coloured.
    void setSurfaceName(const QString& name);

    // Shrinks the dialog uniformly (geometry, fonts, cells) where it does not fit into
    // `available`. Called once, before the dialog is first shown.
    void fitInto(const QRect& available);

    // Paints grid cell (column, row) into `rect`: its palette colour with its index in white
    // from the top-left corner, clipped to the cell.
    static void StringGrid1DrawCell(QPainter& painter, int column, int row, const QRect& rect);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void FormActivate();
    void StringGrid1KeyMove(int row, int column, int previousRow, int previousColumn);
    void StringGrid1Click(int row, int column);
    void StringGrid1DblClick(int row, int column);
    void Button1Click();
    void Button2Click();

    void paintPreview();
    void chooseCell(int row, int column);
    void applyScale(); // fonts, cells and the name's place at the dialog's scale

    std::unique_ptr<Ui::Tkleuren> ui_;
    double scale_ = 1.0; // below 1 on a screen smaller than the dialog
};

// Prepares `dialog` for one surface (SelectedColor and PresetColor := preset, Label1 := preset,
// Label4 := name), runs it modally and returns SelectedColor. Fits ColorObserver's
// pickColor.
std::int32_t pickColorWithDialog(Tkleuren& dialog, const std::string& name, std::int32_t preset);
