// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/dialogs/kleurenkiezen.h"

#include "core/surfaces/Palette.h"
#include "gui/dialogs/PreviewCircle.h"
#include "window/AppTestSupport.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {

using tidytest::control;

QColor paletteColor(int index) {
    const tidy::PaletteEntry e = tidy::Palette::entry(index);
    return QColor(e.red, e.green, e.blue);
}
QTableWidget* grid(Tkleuren& d) {
    return control<QTableWidget>(d, "StringGrid1");
}
// The colour the preview circle shows at its centre, as painted.
QColor preview(Tkleuren& d) {
    QWidget* circle = control<PreviewCircle>(d, "Shape1");
    return circle->grab().toImage().pixelColor(circle->rect().center());
}
QRect cellRect(Tkleuren& d, int index) {
    return grid(d)->visualRect(grid(d)->model()->index(index / 16, index % 16));
}
void clickCell(Tkleuren& d, int index) {
    QTest::mouseClick(grid(d)->viewport(), Qt::LeftButton, {}, cellRect(d, index).center());
}
int countPixels(const QImage& image, const QRect& area, const std::function<bool(QColor)>& is) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += is(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

// Shows the dialog for `preset` as the program does and returns the outcome: checks the labels and
// the palette entry the preview opens with (`opensWith`, 0 for black), then runs `actions`. The
// showing before left the preview green, a colour no case expects, so one not repainted shows.
std::int32_t pick(
    Tkleuren& d, std::int32_t preset, int opensWith, const std::function<void()>& actions = [] {}) {
    tidytest::answerModal(
        d, [&] { d.close(); }, [&] { return pickColorWithDialog(d, "S", 3); });
    EXPECT_EQ(preview(d), QColor(0, 255, 0));
    const std::string name = "Maaiveld Ø " + std::to_string(preset);
    const auto whileShown = [&] {
        EXPECT_EQ(control<QLabel>(d, "Label4")->text(), QString::fromStdString(name));
        EXPECT_EQ(control<QLabel>(d, "Label1")->text(), QString::number(preset));
        EXPECT_EQ(preview(d), paletteColor(opensWith));
        actions();
    };
    const std::int32_t result =
        tidytest::answerModal(d, whileShown, [&] { return pickColorWithDialog(d, name, preset); });
    EXPECT_EQ(d.SelectedColor, result);
    return result;
}

void press(Tkleuren& d, Qt::Key key) {
    QTest::keyClick(d.focusWidget(), key);
}
void click(Tkleuren& d, const char* button) {
    QTest::mouseClick(control<QPushButton>(d, button), Qt::LeftButton);
}
// The preview and the index shown are those of palette entry `index`.
void expectShown(Tkleuren& d, int index) {
    EXPECT_EQ(preview(d), paletteColor(index));
    EXPECT_EQ(control<QLabel>(d, "Label1")->text(), QString::number(index));
}

// On every screen all 16 x 16 cells fit in the grid and the surface's name follows the prompt.
TEST(kleurenkiezenTest, FitsEveryScreen) {
    for (const QSize available : tidytest::kScreens) {
        SCOPED_TRACE(std::to_string(available.width()) + "x" + std::to_string(available.height()));
        Tkleuren d;
        d.fitInto(QRect(QPoint(0, 0), available));
        const double factor = tidytest::expectFitted(d, {1146, 786}, available, "Label3");
        QTableWidget* g = grid(d);
        EXPECT_NEAR(g->columnWidth(15), 40 * factor, 1.0);
        EXPECT_LE(16 * g->columnWidth(15), g->width());
        EXPECT_LE(16 * g->rowHeight(15), g->height());
        QLabel* prompt = control<QLabel>(d, "Label2");
        EXPECT_GT(control<QLabel>(d, "Label4")->x(),
                  prompt->x() + prompt->fontMetrics().horizontalAdvance(prompt->text()));
    }
}

// The preview shows the preset's colour only for a preset from 1 to 255. "Select" chooses the
// clicked cell (row times 16 plus column), else the preset, 0 for a negative one; a double-click
// chooses as "Select" does.
TEST(kleurenkiezenTest, SelectChoosesTheClickedCellElseThePreset) {
    Tkleuren d;
    EXPECT_EQ(pick(d, 200, 200, [&] { click(d, "Button1"); }), 200);
    EXPECT_EQ(pick(d, 256, 0, [&] { click(d, "Button1"); }), 256);
    EXPECT_EQ(pick(d, -1, 0, [&] { click(d, "Button1"); }), 0);
    const auto clickThenSelect = [&] {
        clickCell(d, 37);
        expectShown(d, 37);
        click(d, "Button1");
    };
    EXPECT_EQ(pick(d, 255, 255, clickThenSelect), 37);
    const auto doubleClick = [&] { // the events of a real double-click
        QWidget* viewport = grid(d)->viewport();
        const QPoint at = cellRect(d, 255).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    };
    EXPECT_EQ(pick(d, 0, 0, doubleClick), 255);
}

// "cancel" and Escape give -1 after any clicks; the close box leaves the preset or the click.
TEST(kleurenkiezenTest, CancelGivesNoneTheCloseBoxLeavesTheChoice) {
    Tkleuren d;
    const auto clicksThenCancel = [&] {
        clickCell(d, 1);
        clickCell(d, 37);
        click(d, "Button2");
    };
    EXPECT_EQ(pick(d, 1, 1, clicksThenCancel), -1);
    const auto arrowThenEscape = [&] {
        press(d, Qt::Key_Left);
        press(d, Qt::Key_Escape);
    };
    EXPECT_EQ(pick(d, 20, 20, arrowThenEscape), -1);
    EXPECT_EQ(pick(d, -7, 0, [&] { d.close(); }), -7);
    const auto clickThenClose = [&] {
        clickCell(d, 19);
        d.close();
    };
    EXPECT_EQ(pick(d, 12, 12, clickThenClose), 19);
}

// The keyboard starts on the preset's cell; a move chooses as a click does, and Tab goes on to
// "Select", then "cancel".
TEST(kleurenkiezenTest, TheKeyboardStartsOnThePresetsCell) {
    Tkleuren d;
    const auto moveThenSelect = [&] {
        press(d, Qt::Key_Right);
        press(d, Qt::Key_Down);
        expectShown(d, 54);
        press(d, Qt::Key_Tab);
        press(d, Qt::Key_Tab);
        EXPECT_EQ(d.focusWidget(), control<QWidget>(d, "Button1"));
        press(d, Qt::Key_Return);
    };
    EXPECT_EQ(pick(d, 37, 37, moveThenSelect), 54);
    const auto spaceThenCancel = [&] {
        press(d, Qt::Key_Space);
        EXPECT_EQ(d.SelectedColor, 0);
        press(d, Qt::Key_Tab);
        EXPECT_EQ(d.focusWidget(), control<QWidget>(d, "Button2"));
        press(d, Qt::Key_Space);
    };
    EXPECT_EQ(pick(d, -1, 0, spaceThenCancel), -1);
    const auto enterOnTheCellThenOnCancel = [&] {
        press(d, Qt::Key_Enter);
        press(d, Qt::Key_Tab);
        press(d, Qt::Key_Return);
    };
    EXPECT_EQ(pick(d, 200, 200, enterOnTheCellThenOnCancel), -1);
}

// Activation repaints the preview by the preset, never reading the palette outside its range.
TEST(kleurenkiezenTest, ActivationRepaintsThePreviewByThePreset) {
    Tkleuren d;
    const struct {
        std::int32_t preset, selected;
        QColor preview;
    } cases[] = {
        {0, 37, QColor(0, 0, 0)}, {200, 37, QColor(104, 86, 69)}, {200, 256, QColor(0, 0, 0)}};
    for (const auto& c : cases) {
        d.PresetColor = c.preset;
        d.SelectedColor = c.selected;
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&d, &activate);
        EXPECT_EQ(preview(d), c.preview) << c.preset << " " << c.selected;
        EXPECT_EQ(d.SelectedColor, c.selected) << "activation does not choose";
    }
}

// Every cell is its own colour with its index in white in the upper half; the current cell has a
// frame that shows whatever its colour.
TEST(kleurenkiezenTest, EveryCellShowsItsIndexInWhiteOnItsOwnColourAndTheCurrentOneAFrame) {
    Tkleuren d;
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    QTableWidget* g = grid(d);
    g->clearFocus(); // the keyboard's frame is not part of a cell
    const QImage image = g->viewport()->grab().toImage();
    ASSERT_EQ(image.devicePixelRatio(), 1.0);
    for (int index = 0; index < 256; ++index) {
        SCOPED_TRACE(index);
        const QColor fill = paletteColor(index);
        const QRect cell = cellRect(d, index);
        EXPECT_EQ(image.pixelColor(cell.center() + QPoint(8, 8)), fill); // away from the text
        if (fill == Qt::white)
            continue; // the text is there but does not show
        // Text pixels lie between the fill and white: lighter in every channel.
        const auto text = [&](QColor c) {
            return c != fill && c.red() >= fill.red() && c.green() >= fill.green() &&
                   c.blue() >= fill.blue();
        };
        const QRect inside = cell.adjusted(0, 0, -1, -1); // the grid line is the last pixel
        EXPECT_GT(countPixels(image, QRect(inside.topLeft(), inside.size() / 2), text), 0);
        EXPECT_EQ(countPixels(image, inside.adjusted(0, inside.height() / 2, 0, 0), text), 0);
    }
    g->setFocus();
    for (const int index : {0, 7, 255}) {
        SCOPED_TRACE(index);
        g->setCurrentCell(index / 16, index % 16);
        const QImage cell = g->viewport()->grab(cellRect(d, index)).toImage();
        // The lower half of the cell, where the index is not written, short of the grid line.
        const QRect lower(0, cell.height() / 2, cell.width() - 2, cell.height() / 2 - 2);
        EXPECT_GT(countPixels(cell, lower, [&](QColor c) { return c != paletteColor(index); }),
                  lower.height());
    }
}

TEST(kleurenkiezenTest, CellTooNarrowForItsIndexClipsIt) {
    // Cell 250 (column 10, row 15) in a cell too narrow for "250", on an image that starts green:
    // fill and text stay inside the cell.
    QImage image(120, 60, QImage::Format_RGB32);
    const QColor untouched = QColor(10, 200, 10);
    image.fill(untouched);
    {
        QPainter painter(&image);
        QFont font(QStringLiteral("Segoe UI"));
        font.setPixelSize(24);
        painter.setFont(font);
        Tkleuren::StringGrid1DrawCell(painter, 10, 15, QRect(10, 10, 14, 40));
    }
    const auto isUntouched = [&](QColor c) { return c == untouched; };
    EXPECT_EQ(countPixels(image, QRect(10, 10, 14, 40), isUntouched), 0);
    EXPECT_EQ(countPixels(image, QRect(24, 0, 96, 60), isUntouched), 96 * 60);
    EXPECT_EQ(countPixels(image, QRect(0, 0, 10, 60), isUntouched), 10 * 60);
}

} // namespace
