// SPDX-License-Identifier: GPL-3.0-or-later
// The surface preview on the offscreen platform: opened from the list, one per surface, closed
// with Escape, and a message instead of a picture where there is nothing to draw.
#include "gui/window/SurfacePreview.h"
#include "WindowFixture.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTreeWidget>

using tidytest::control;
using tidytest::dataPath;

namespace {

QList<SurfacePreview*> previews(const QWidget& owner) {
    return owner.findChildren<SurfacePreview*>(Qt::FindDirectChildrenOnly);
}

} // namespace

TEST(SurfacePreviewTest, AListLineOpensOnePreviewThatEscapeCloses) {
    tidytest::WindowFixture window;
    window.openAnswer = QString::fromStdString(dataPath("picture/inside_and_outside/input.xml"));
    TForm2& form = window.form;
    form.show();
    form.Button4Click();
    auto* list = control<QListWidget>(form, "ListBox1");
    ASSERT_EQ(list->count(), 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QPoint line = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line);
    ASSERT_EQ(previews(form).size(), 1);
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return); // raises the open one
    ASSERT_EQ(previews(form).size(), 1);

    SurfacePreview* preview = previews(form).front();
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(preview->isModal());
    EXPECT_EQ(preview->windowTitle(),
              QString::fromUtf8("side by side \u2014 4 faces, 2 outside (i=\"1\"), 6 points"));
    EXPECT_TRUE(preview->statusText().startsWith(
        "Surface \"side by side\": 4 faces, 2 outside (i=\"1\"), 6 points."));
    preview->resize(1200, 600); // a picture wider than high, as the surface is
    const QImage shown = preview->findChild<QWidget*>("picture")->grab().toImage();
    EXPECT_TRUE(shown.pixelColor(shown.width() / 4, shown.height() / 3) == QColor(0xDCE4EC));
    EXPECT_TRUE(shown.pixelColor(shown.width() * 3 / 4, shown.height() / 3) == QColor(0xD55E00));

    QTest::keyClick(preview, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(previews(form).isEmpty());
}

TEST(SurfacePreviewTest, NothingToDrawGivesAMessage) {
    const std::vector<std::pair<std::string, QString>> cases = {
        {dataPath("picture/no_faces/input.xml"), "This surface has no faces to draw."},
        {dataPath("picture/missing_point/input.xml"), "1 of 2 faces name points that do not exist"},
        {" ", "The file \"\" is no longer there; open it again to preview its surfaces."},
        {dataPath("picture/no_faces/expected.txt"),
         "expected.txt: line 5, column 5: not well-formed XML"},
    };
    QWidget owner;
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        SurfacePreview* preview = SurfacePreview::open(&owner, path, 0);
        EXPECT_TRUE(preview->statusText().contains(message)) << preview->statusText().toStdString();
        preview->grab(); // paints the message without a picture
        preview->close();
    }
}

// The preview opens inside the screen's available area, whatever its size, and can be resized.
TEST(SurfacePreviewTest, OpensInsideTheScreenAndResizes) {
    QWidget owner;
    SurfacePreview* preview =
        SurfacePreview::open(&owner, dataPath("picture/inside_and_outside/input.xml"), 0);
    const QRect available = preview->screen()->availableGeometry();
    EXPECT_TRUE(available.contains(QRect(preview->pos(), preview->size() + tidy::kFrameAllowance)));
    preview->resize(320, 240);
    EXPECT_EQ(preview->size(), QSize(320, 240));
    preview->close();
}

// A broken surface: its findings listed with severity and count, and each colour of the legend
// is in the picture.
TEST(SurfacePreviewTest, ListsTheFindingsAndMarksThem) {
    QWidget owner;
    SurfacePreview* preview =
        SurfacePreview::open(&owner, dataPath("../cases/render/faults-marked/in.xml"), 0);
    preview->resize(1200, 800);
    QStringList rows, legend;
    const auto* findings = preview->findChild<QTreeWidget*>("findings");
    for (int k = 0; k < findings->topLevelItemCount(); ++k) {
        const QTreeWidgetItem* item = findings->topLevelItem(k);
        rows << item->text(0) + ' ' + item->text(1) + ' ' + item->text(2);
    }
    EXPECT_EQ(rows, QStringList({"duplicate-point-id fault 1", "zero-area-face fault 2",
                                 "duplicate-face fault 1", "non-manifold-edge fault 3",
                                 "coincident-points fault 1", "outside-faces info 1"}));
    const QImage picture = preview->findChild<QWidget*>("picture")->grab().toImage();
    QSet<QRgb> painted;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            painted.insert(picture.pixel(x, y));
    const auto* colours = preview->findChild<QListWidget*>("legend");
    for (int k = 0; k < colours->count(); ++k) {
        legend << colours->item(k)->text();
        const QRgb swatch = colours->item(k)->icon().pixmap(14).toImage().pixel(7, 7);
        EXPECT_EQ(painted.contains(swatch), k + 1 < colours->count())
            << legend.back().toStdString();
    }
    // The outside face is on an edge of three faces: its mark hides the outside colour.
    EXPECT_EQ(legend,
              QStringList({"face", "duplicate-point-id", "zero-area-face", "duplicate-face",
                           "non-manifold-edge", "coincident-points", "face outside (i=\"1\")"}));
    preview->close();
}
