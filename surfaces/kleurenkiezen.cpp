// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/kleurenkiezen.h"

#include "surfaces/Palette.h"
#include "ui_kleurenkiezen.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

constexpr int kGridSide = 16;

QColor paletteColor(std::int32_t index) {
    const tidy::PaletteEntry e = tidy::Palette::entry(index);
    return QColor(e.red, e.green, e.blue);
}

QFont segoeUi(int pixelSize) {
    QFont font(QStringLiteral("Segoe UI"));
    font.setPixelSize(pixelSize);
    return font;
}

// Hands every cell to the dialog's painter, which draws the whole cell itself; the current cell
// gets a focus frame on top so keyboard users can see where they are.
class PaletteCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        Tkleuren::StringGrid1DrawCell(*painter, index.column(), index.row(), option.rect);
        if (option.state & QStyle::State_HasFocus) {
            painter->save();
            painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
            painter->restore();
        }
    }
};

} // namespace

Tkleuren::Tkleuren(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::Tkleuren>()) {
    ui_->setupUi(this);
    setFont(segoeUi(12));
    for (QLabel* label : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label4}) {
        label->setFont(segoeUi(23));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    // The surface's name follows the prompt. Where Segoe UI is missing a wider font takes its
    // place, so the prompt gets the room it needs and the name moves right rather than over it.
    ui_->Label2->adjustSize();
    const int nameLeft = std::max(ui_->Label4->x(), ui_->Label2->geometry().right() + 10);
    ui_->Label4->setGeometry(nameLeft, ui_->Label4->y(), width() - 20 - nameLeft,
                             ui_->Label4->height());

    QTableWidget* grid = ui_->StringGrid1;
    grid->setItemDelegate(new PaletteCellDelegate(grid));
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    connect(grid, &QTableWidget::cellClicked, this, &Tkleuren::StringGrid1Click);
    connect(grid, &QTableWidget::cellDoubleClicked, this, &Tkleuren::StringGrid1DblClick);
    connect(ui_->Button1, &QPushButton::clicked, this, &Tkleuren::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &Tkleuren::Button2Click);
}

Tkleuren::~Tkleuren() = default;

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

bool Tkleuren::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void Tkleuren::showEvent(QShowEvent* event) {
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
