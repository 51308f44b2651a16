// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/dialogs/kleurenkiezen.h"

#include "core/surfaces/Palette.h"
#include "gui/widgets/KeyboardButtons.h"
#include "gui/widgets/ScreenFit.h"
#include "gui/widgets/UiFont.h"
#include "ui_kleurenkiezen.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

constexpr int kGridSide = 16;
constexpr int kCellSide = 40;

QColor paletteColor(std::int32_t index) {
    const tidy::PaletteEntry e = tidy::Palette::entry(index);
    return QColor(e.red, e.green, e.blue);
}

// Hands every cell to the dialog's painter, which draws the whole cell itself; the current cell
// gets a frame on top, black lined with white so that it shows on every colour, so keyboard users
// can see where they are.
class PaletteCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        Tkleuren::StringGrid1DrawCell(*painter, index.column(), index.row(), option.rect);
        if (option.state & QStyle::State_HasFocus) {
            painter->save();
            painter->setBrush(Qt::NoBrush);
            const QRect frame = option.rect.adjusted(2, 2, -4, -4);
            painter->setPen(QPen(Qt::white, 3));
            painter->drawRect(frame);
            painter->setPen(QPen(Qt::black, 1));
            painter->drawRect(frame);
            painter->restore();
        }
    }
};

} // namespace

Tkleuren::Tkleuren(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::Tkleuren>()) {
    ui_->setupUi(this);
    for (QLabel* label : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label4})
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    applyScale();

    QTableWidget* grid = ui_->StringGrid1;
    grid->setItemDelegate(new PaletteCellDelegate(grid));
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Tab leaves the grid for "cancel" and "Select" rather than walking its 256 cells.
    grid->setTabKeyNavigation(false);
    grid->installEventFilter(this);

    connect(grid, &QTableWidget::currentCellChanged, this, &Tkleuren::StringGrid1KeyMove);
    connect(grid, &QTableWidget::cellClicked, this, &Tkleuren::StringGrid1Click);
    connect(grid, &QTableWidget::cellDoubleClicked, this, &Tkleuren::StringGrid1DblClick);
    connect(ui_->Button1, &QPushButton::clicked, this, &Tkleuren::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &Tkleuren::Button2Click);
}

Tkleuren::~Tkleuren() = default;

void Tkleuren::applyScale() {
    const auto px = [this](int pixels) { return tidy::scaled(pixels, scale_); };
    setFont(tidy::uiFont(px(12)));
    for (QLabel* label : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label4})
        label->setFont(tidy::uiFont(px(23)));
    for (QHeaderView* header :
         {ui_->StringGrid1->horizontalHeader(), ui_->StringGrid1->verticalHeader()}) {
        header->setMinimumSectionSize(px(kCellSide));
        header->setDefaultSectionSize(px(kCellSide));
    }
    // The surface's name follows the prompt. Where Segoe UI is missing a wider font takes its
    // place, so the prompt gets the room it needs and the name moves right rather than over it.
    ui_->Label2->adjustSize();
    const int nameLeft = std::max(px(686), ui_->Label2->geometry().right() + px(10));
    ui_->Label4->setGeometry(nameLeft, ui_->Label4->y(), width() - px(20) - nameLeft,
                             ui_->Label4->height());
}

void Tkleuren::fitInto(const QRect& available) {
    const double factor = tidy::fitFactor(size(), available.size());
    if (factor >= 1.0)
        return;
    scale_ = factor;
    tidy::scaleGeometry(*this, factor);
    applyScale();
}

void Tkleuren::setIndexText(std::int32_t index) {
    ui_->Label1->setText(QString::number(index));
}

void Tkleuren::setSurfaceName(const QString& name) {
    ui_->Label4->setText(name);
}

void Tkleuren::StringGrid1DrawCell(QPainter& painter, int column, int row, const QRect& rect) {
    const int index = row * kGridSide + column;
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, paletteColor(index));
    // White also on the white cells, where it does not show: every cell is drawn the same way.
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop, QString::number(index));
    painter.restore();
}

bool Tkleuren::eventFilter(QObject* watched, QEvent* event) {
    // Enter or Space on the grid chooses its current cell as a click would.
    if (watched == ui_->StringGrid1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            // Before the grid ever had the focus there is no current cell: start at the first.
            QModelIndex current = ui_->StringGrid1->currentIndex();
            if (!current.isValid()) {
                const QSignalBlocker quiet(ui_->StringGrid1);
                ui_->StringGrid1->setCurrentCell(0, 0);
                current = ui_->StringGrid1->currentIndex();
            }
            chooseCell(current.row(), current.column());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tkleuren::keyPressEvent(QKeyEvent* event) {
    // Escape is "cancel", not a close that would keep the cell the keyboard moved to.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Button2Click();
        return;
    }
    // Neither button is the default, yet Enter presses the one that has the focus.
    if (!tidy::pressFocusedButton(*this, *event))
        QDialog::keyPressEvent(event);
}

bool Tkleuren::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void Tkleuren::showEvent(QShowEvent* event) {
    // The keyboard starts from the preset's cell; without one the grid picks its first cell
    // when it gets the focus, and that pick chooses nothing.
    {
        const QSignalBlocker quiet(ui_->StringGrid1);
        if (tidy::Palette::contains(SelectedColor))
            ui_->StringGrid1->setCurrentCell(SelectedColor / kGridSide, SelectedColor % kGridSide);
        else
            ui_->StringGrid1->setCurrentIndex(QModelIndex());
    }
    ui_->StringGrid1->setFocus();
    FormShow();
    QDialog::showEvent(event);
}

void Tkleuren::FormShow() {
    paintPreview();
}

void Tkleuren::FormActivate() {
    paintPreview();
}

void Tkleuren::paintPreview() {
    // A stored index outside 1 to 255 (0, a cancelled -1, anything foreign) previews as black.
    // The selection is checked too, so the palette is never read outside its range.
    const bool showChoice =
        PresetColor >= 1 && PresetColor <= 255 && tidy::Palette::contains(SelectedColor);
    ui_->Shape1->setBrushColor(paletteColor(showChoice ? SelectedColor : 0));
}

void Tkleuren::chooseCell(int row, int column) {
    const std::int32_t index = row * kGridSide + column;
    ui_->StringGrid1->setFocus();
    setIndexText(index);
    SelectedColor = index;
    ui_->Shape1->setBrushColor(paletteColor(index));
}

void Tkleuren::StringGrid1KeyMove(int row, int column, int previousRow, int previousColumn) {
    // A move from a cell to the next (arrow keys, Home, End, page keys) chooses it as a click
    // does, so the label, the preview and the outcome always agree. The first current cell
    // that the grid takes by itself is no move.
    if (row >= 0 && column >= 0 && previousRow >= 0 && previousColumn >= 0 &&
        ui_->StringGrid1->hasFocus())
        chooseCell(row, column);
}

void Tkleuren::StringGrid1Click(int row, int column) {
    chooseCell(row, column);
}

void Tkleuren::StringGrid1DblClick(int row, int column) {
    chooseCell(row, column);
    Button1Click();
}

void Tkleuren::Button1Click() {
    if (SelectedColor < 0)
        SelectedColor = 0;
    accept();
}

void Tkleuren::Button2Click() {
    SelectedColor = -1;
    reject();
}

std::int32_t pickColorWithDialog(Tkleuren& dialog, const std::string& name, std::int32_t preset) {
    dialog.SelectedColor = preset;
    dialog.PresetColor = preset;
    dialog.setIndexText(preset);
    dialog.setSurfaceName(QString::fromStdString(name));
    dialog.exec();
    return dialog.SelectedColor;
}
