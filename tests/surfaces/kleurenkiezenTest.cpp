// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/kleurenkiezen.h"

#include "app/AppTestSupport.h"
#include "app/ScreenFit.h"
#include "surfaces/Palette.h"
#include "surfaces/PreviewCircle.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
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
QColor preview(Tkleuren& d) {
    return control<PreviewCircle>(d, "Shape1")->brushColor();
}
QString label1(Tkleuren& d) {
    return control<QLabel>(d, "Label1")->text();
}

QPoint cellCentre(Tkleuren& d, int column, int row) {
    QTableWidget* g = grid(d);
    return g->visualRect(g->model()->index(row, column)).center();
}

void clickCell(Tkleuren& d, int column, int row) {
    QTest::mouseClick(grid(d)->viewport(), Qt::LeftButton, {}, cellCentre(d, column, row));
}

// The events of a real double-click: press, release, double-click, release.
void doubleClickCell(Tkleuren& d, int column, int row) {
    QWidget* viewport = grid(d)->viewport();
    const QPoint at = cellCentre(d, column, row);
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

void clickButton(Tkleuren& d, const char* name) {
    QTest::mouseClick(control<QPushButton>(d, name), Qt::LeftButton);
}

// Presses `keys` one after the other on whatever has the keyboard focus.
void pressKeys(Tkleuren& d, std::initializer_list<Qt::Key> keys) {
    for (const Qt::Key key : keys)
        QTest::keyClick(d.focusWidget(), key);
}

// Runs `whileShown` once the modal dialog is up and returns what the adapter hands back.
std::int32_t pickWhile(Tkleuren& dialog, const std::string& name, std::int32_t preset,
                       const std::function<void()>& whileShown) {
    QTimer::singleShot(0, &dialog, [&] {
        whileShown();
        // A dialog the actions did not close would wait for a user forever.
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog.reject();
        }
    });
    return pickColorWithDialog(dialog, name, preset);
}

// At full size where it fits; elsewhere shrunk by one factor, inside the screen, with all 16 x 16
// cells in the grid and the surface's name after the prompt. 960 x 540 is 1920 x 1080 at scale
// factor 2.
TEST(kleurenkiezenTest, FitsEveryScreen) {
    const QSize full(1146, 786);
    for (const QSize available : {QSize(1920, 1080), QSize(1366, 768), QSize(1280, 720),
                                  QSize(1024, 768), QSize(960, 540)}) {
        SCOPED_TRACE(std::to_string(available.width()) + "x" + std::to_string(available.height()));
        Tkleuren d;
        const QRect area(QPoint(0, 0), available);
        d.fitInto(area);
        const double factor = double(d.width()) / full.width();
        if (available.height() >= 1080) {
            EXPECT_EQ(d.size(), full);
        } else {
            EXPECT_LT(factor, 1.0);
        }
        EXPECT_LE(d.width() + tidy::kFrameAllowance.width(), available.width());
        EXPECT_LE(d.height() + tidy::kFrameAllowance.height(), available.height());
        EXPECT_NEAR(d.height(), full.height() * factor, 1.0) << "proportions kept";
        EXPECT_NEAR(control<QLabel>(d, "Label3")->font().pixelSize(), 23 * factor, 1.0);
        for (const QWidget* child : d.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(d.rect().contains(child->geometry())) << child->objectName().toStdString();
        }
        QTableWidget* g = grid(d);
        EXPECT_NEAR(g->columnWidth(15), 40 * factor, 1.0);
        EXPECT_LE(16 * g->columnWidth(15), g->width());
        EXPECT_LE(16 * g->rowHeight(15), g->height());
        QLabel* prompt = control<QLabel>(d, "Label2");
        EXPECT_GT(control<QLabel>(d, "Label4")->x(),
                  prompt->x() + prompt->fontMetrics().horizontalAdvance(prompt->text()));
    }
}

// The preview shows the preset's colour only for a preset from 1 to 255, else black; the
// presets run over both ends of that range.
TEST(kleurenkiezenTest, PreviewAndOutcomeFollowThePresetAndTheWayTheDialogIsLeft) {
    const QColor black(0, 0, 0);
    struct Case {
        const char* what;
        std::int32_t preset;
        std::function<void(Tkleuren&)> act;
        QColor preview;
        std::int32_t expected;
    };
    const auto select = [](Tkleuren& d) { clickButton(d, "Button1"); };
    const Case cases[] = {
        {"cancel after several clicks", 1,
         [](Tkleuren& d) {
             clickCell(d, 1, 0);
             clickCell(d, 5, 2);
             clickButton(d, "Button2");
         },
         QColor(255, 0, 0), -1},
        {"Select without a click", 200, select, QColor(191, 0, 255), 200},
        {"Select without a click, preset out of range", 256, select, black, 256},
        {"Select without a click, negative preset", -1, select, black, 0},
        {"Select after a click", 255,
         [](Tkleuren& d) {
             clickCell(d, 5, 2);
             clickButton(d, "Button1");
         },
         QColor(255, 255, 255), 37},
        {"close box, negative preset", -7, [](Tkleuren& d) { d.close(); }, black, -7},
        {"close box after a click", 12,
         [](Tkleuren& d) {
             clickCell(d, 3, 1);
             d.close();
         },
         paletteColor(12), 19},
        {"double-click on the last cell", 0, [](Tkleuren& d) { doubleClickCell(d, 15, 15); }, black,
         255},
        // The keyboard starts on the preset's cell; a move chooses as a click does.
        {"arrows, Tab, Tab, Enter on Select", 37,
         [](Tkleuren& d) {
             pressKeys(d, {Qt::Key_Right, Qt::Key_Down});
             EXPECT_EQ(label1(d), "54");
             EXPECT_EQ(preview(d), paletteColor(54));
             pressKeys(d, {Qt::Key_Tab, Qt::Key_Tab});
             EXPECT_EQ(d.focusWidget(), control<QPushButton>(d, "Button1"));
             pressKeys(d, {Qt::Key_Return});
         },
         paletteColor(37), 54},
        {"Space on the first cell, Tab, Space on cancel", -1,
         [](Tkleuren& d) {
             pressKeys(d, {Qt::Key_Space});
             EXPECT_EQ(d.SelectedColor, 0);
             pressKeys(d, {Qt::Key_Tab});
             EXPECT_EQ(d.focusWidget(), control<QPushButton>(d, "Button2"));
             pressKeys(d, {Qt::Key_Space});
         },
         black, -1},
        {"arrow, then Escape", 20,
         [](Tkleuren& d) {
             pressKeys(d, {Qt::Key_Left, Qt::Key_Escape});
         },
         paletteColor(20), 19},
        {"Enter on the preset's cell, then Enter on cancel", 200,
         [](Tkleuren& d) {
             pressKeys(d, {Qt::Key_Enter, Qt::Key_Tab, Qt::Key_Return});
         },
         QColor(191, 0, 255), -1},
    };
    Tkleuren d; // one instance for every showing, as in the program
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Leave the preview green, a colour no case expects, so one not repainted shows up.
        pickWhile(d, "S", 3, [&] { d.close(); });
        ASSERT_EQ(preview(d), QColor(0, 255, 0));
        // The adapter fills the labels before the dialog shows, over what the last showing left.
        const std::string name = std::string("Maaiveld Ø ") + c.what;
        QString shownName;
        QString shownIndex;
        QColor shownPreview;
        const std::int32_t result = pickWhile(d, name, c.preset, [&] {
            shownName = control<QLabel>(d, "Label4")->text();
            shownIndex = label1(d);
            shownPreview = preview(d);
            c.act(d);
        });
        EXPECT_EQ(shownName, QString::fromStdString(name));
        EXPECT_EQ(shownIndex, QString::number(c.preset));
        EXPECT_EQ(shownPreview, c.preview);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(d.SelectedColor, c.expected);
        EXPECT_FALSE(d.isVisible());
    }
}

TEST(kleurenkiezenTest, ClickChoosesRowTimesSixteenPlusColumnAndActivationRepaintsByThePreset) {
    Tkleuren d;
    d.PresetColor = 0;
    d.SelectedColor = 0;
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    clickCell(d, 5, 2);
    EXPECT_EQ(d.SelectedColor, 37);
    EXPECT_EQ(label1(d), "37");
    EXPECT_EQ(preview(d), QColor(104, 86, 69));
    EXPECT_EQ(d.focusWidget(), grid(d));
    EXPECT_TRUE(d.isVisible());

    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&d, &activate);
    EXPECT_EQ(preview(d), QColor(0, 0, 0)); // the stored index was 0: back to black
    EXPECT_EQ(d.SelectedColor, 37) << "activation does not choose";

    d.PresetColor = 200;
    QApplication::sendEvent(&d, &activate);
    EXPECT_EQ(preview(d), QColor(104, 86, 69)); // a stored colour: the current choice

    // Whatever the fields hold, the palette is not read outside its range.
    d.SelectedColor = 256;
    QApplication::sendEvent(&d, &activate);
    EXPECT_EQ(preview(d), QColor(0, 0, 0));
}

int countPixels(const QImage& image, const QRect& area, const std::function<bool(QColor)>& is) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += is(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

// The keyboard's place shows: a frame on the current cell, whatever its colour, and on the button
// that Tab reached.
TEST(kleurenkiezenTest, KeyboardShowsWhereItIs) {
    Tkleuren d;
    d.SelectedColor = 0;
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    QTableWidget* g = grid(d);
    for (const int index : {0, 7, 117, 255}) {
        SCOPED_TRACE(index);
        const QRect cell = g->visualRect(g->model()->index(index / 16, index % 16));
        g->setCurrentCell(index / 16, index % 16);
        // The lower half of the cell, where the index is not written, short of the grid line.
        const QImage image = g->viewport()->grab(cell).toImage();
        const QRect lower(0, image.height() / 2, image.width() - 2, image.height() / 2 - 2);
        int framed = 0;
        for (int y = lower.top(); y <= lower.bottom(); ++y)
            for (int x = lower.left(); x <= lower.right(); ++x)
                framed += image.pixelColor(x, y) != paletteColor(index) ? 1 : 0;
        EXPECT_GT(framed, lower.height());
    }
    for (const char* name : {"Button2", "Button1"}) {
        SCOPED_TRACE(name);
        auto* button = control<QPushButton>(d, name);
        const QImage unfocused = button->grab().toImage();
        while (d.focusWidget() != button)
            pressKeys(d, {Qt::Key_Tab});
        EXPECT_NE(button->grab().toImage(), unfocused);
    }
}

TEST(kleurenkiezenTest, EveryCellShowsItsIndexInWhiteOnItsOwnColour) {
    Tkleuren d;
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QTableWidget* g = grid(d);
    g->clearFocus(); // the keyboard's frame is not part of a cell
    const QImage image = g->viewport()->grab().toImage();
    ASSERT_EQ(image.devicePixelRatio(), 1.0);
    for (int index = 0; index < 256; ++index) {
        SCOPED_TRACE(index);
        const QColor fill = paletteColor(index);
        const QRect cell = g->visualRect(g->model()->index(index / 16, index % 16));
        // Below and right of the index text, away from grid lines.
        EXPECT_EQ(image.pixelColor(cell.center() + QPoint(8, 8)), fill);
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
}

TEST(kleurenkiezenTest, CellTooNarrowForItsIndexClipsIt) {
    // Cell 250 (column 10, row 15) in a cell too narrow for "250", on an image that starts green:
    // fill and text stay inside the cell. Colour and text themselves are the test above.
    QImage image(120, 60, QImage::Format_RGB32);
    const QColor untouched = QColor(10, 200, 10);
    const QRect cell(10, 10, 14, 40);
    image.fill(untouched);
    {
        QPainter painter(&image);
        QFont font(QStringLiteral("Segoe UI"));
        font.setPixelSize(24);
        painter.setFont(font);
        Tkleuren::StringGrid1DrawCell(painter, 10, 15, cell);
    }
    const auto isUntouched = [&](QColor c) { return c == untouched; };
    EXPECT_EQ(countPixels(image, cell, isUntouched), 0);
    EXPECT_EQ(countPixels(image, QRect(24, 0, 96, 60), isUntouched), 96 * 60);
    EXPECT_EQ(countPixels(image, QRect(0, 0, 10, 60), isUntouched), 10 * 60);
}

} // namespace
