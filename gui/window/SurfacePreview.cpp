// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/window/SurfacePreview.h"

#include "gui/widgets/ScreenFit.h"
#include "gui/window/CorePath.h"

#include "core/landxml/Document.h"
#include "core/landxml/FileRun.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace {

constexpr QSize kInitialSize(960, 720);
// Beyond this many pixels per unit the float coordinates of a large survey run out of digits.
constexpr double kMostPixelsPerUnit = 1e4;
constexpr double kFewestPixelsPerUnit = 1e-9;

QImage toImage(const tidy::Picture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_Indexed8);
    QList<QRgb> colors;
    for (std::uint32_t rgb : tidy::kPicturePalette)
        colors.push_back(qRgb(int(rgb >> 16), int((rgb >> 8) & 0xFF), int(rgb & 0xFF)));
    image.setColorTable(colors);
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image.scanLine(y),
                    picture.pixels.data() + std::size_t(y) * std::size_t(picture.width),
                    std::size_t(picture.width));
    return image;
}

QColor pictureColor(int index) {
    const std::uint32_t rgb = tidy::kPicturePalette[std::size_t(index)];
    return {int(rgb >> 16), int((rgb >> 8) & 0xFF), int(rgb & 0xFF)};
}

// A square of the colour with a dark rim, as the legend and the findings show it.
QIcon swatch(int index) {
    QPixmap pixmap(14, 14);
    pixmap.fill(pictureColor(tidy::kBoundary));
    QPainter(&pixmap).fillRect(1, 1, 12, 12, pictureColor(index));
    return pixmap;
}

// The picture colour of a finding kind, or -1 for one the picture does not show.
int colorOf(tidy::FindingKind kind) {
    if (kind == tidy::FindingKind::OutsideFaces)
        return tidy::kOutsideFill;
    const int mark = tidy::markOf(kind);
    return mark < 0 ? -1 : tidy::kFirstMark + mark;
}

} // namespace

// The picture itself: redrawn by the core at every new viewport, so it stays sharp when zoomed.
// It follows the window's size until the user zooms or pans.
class SurfaceCanvas final : public QWidget {
public:
    explicit SurfaceCanvas(const SurfacePreview& preview) : preview_(preview) {
        setMinimumSize(200, 150);
        setMouseTracking(false);
        setCursor(Qt::OpenHandCursor);
    }

    void fit() {
        fitted_ = true;
        stale_ = true;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!preview_.drawable_) {
            painter.drawText(rect().adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                             preview_.problem_);
            return;
        }
        const double ratio = devicePixelRatioF();
        const int w = int(std::lround(width() * ratio));
        const int h = int(std::lround(height() * ratio));
        if (fitted_)
            viewport_ = tidy::fitViewport(preview_.model_, w, h);
        if (stale_ || image_.size() != QSize(w, h)) {
            image_ = toImage(tidy::drawSurface(preview_.model_, viewport_, w, h, preview_.marks_));
            image_.setDevicePixelRatio(ratio);
            stale_ = false;
        }
        painter.drawImage(QPoint(0, 0), image_);
    }

    void resizeEvent(QResizeEvent*) override { stale_ = true; }

    void wheelEvent(QWheelEvent* event) override {
        const double ratio = devicePixelRatioF();
        double factor = std::pow(1.0015, event->angleDelta().y());
        factor = std::clamp(factor, kFewestPixelsPerUnit / viewport_.scale,
                            kMostPixelsPerUnit / viewport_.scale);
        const QPointF at = event->position() * ratio;
        viewport_ = tidy::zoomAbout(viewport_, factor, at.x(), at.y());
        moved();
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton)
            return;
        dragFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        const QPointF by = (event->position() - dragFrom_) * devicePixelRatioF();
        dragFrom_ = event->position();
        viewport_ = tidy::panBy(viewport_, by.x(), by.y());
        moved();
    }

    void mouseReleaseEvent(QMouseEvent*) override { setCursor(Qt::OpenHandCursor); }

    void mouseDoubleClickEvent(QMouseEvent*) override { fit(); }

private:
    void moved() {
        fitted_ = false;
        stale_ = true;
        update();
    }

    const SurfacePreview& preview_;
    tidy::Viewport viewport_;
    QImage image_;
    QPointF dragFrom_;
    bool fitted_ = true;
    bool stale_ = true;
};

SurfacePreview* SurfacePreview::open(QWidget* owner, const std::string& path, int line) {
    for (SurfacePreview* open : owner->findChildren<SurfacePreview*>(Qt::FindDirectChildrenOnly)) {
        if (open->path_ == path && open->line_ == line) {
            open->showNormal();
            open->raise();
            open->activateWindow();
            return open;
        }
    }
    auto* preview = new SurfacePreview(path, line, owner);
    preview->show();
    return preview;
}

SurfacePreview::SurfacePreview(const std::string& path, int line, QWidget* owner)
    : QWidget(owner, Qt::Window), path_(path), line_(line) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* canvas = new SurfaceCanvas(*this);
    canvas->setObjectName(QStringLiteral("picture"));
    canvas_ = canvas;
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    findingList_ = new QTreeWidget(this);
    findingList_->setObjectName(QStringLiteral("findings"));
    findingList_->setHeaderLabels({tr("Finding"), tr("Severity"), tr("Count")});
    findingList_->setRootIsDecorated(false);
    findingList_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    findingList_->setSelectionMode(QAbstractItemView::NoSelection);
    legend_ = new QListWidget(this);
    legend_->setObjectName(QStringLiteral("legend"));
    legend_->setSelectionMode(QAbstractItemView::NoSelection);
    legend_->setFocusPolicy(Qt::NoFocus);
    // Beside the picture, in a splitter so that a small window can still give it all the room.
    auto* sidePane = new QWidget(this);
    auto* side = new QVBoxLayout(sidePane);
    side->setContentsMargins(4, 0, 0, 0);
    side->addWidget(new QLabel(tr("Findings"), sidePane));
    side->addWidget(findingList_, 2);
    side->addWidget(new QLabel(tr("In the picture"), sidePane));
    side->addWidget(legend_, 1);
    auto* panes = new QSplitter(this);
    panes->addWidget(canvas);
    panes->addWidget(sidePane);
    panes->setStretchFactor(0, 1);
    panes->setStretchFactor(1, 0);
    // Wide enough for the longest kind, its severity and a count of millions.
    const int sideWidth =
        fontMetrics().horizontalAdvance(QStringLiteral("duplicate-surface-name fault 1000000")) +
        80;
    panes->setSizes({kInitialSize.width() - sideWidth, sideWidth});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 4, 4);
    layout->addWidget(panes, 1);
    layout->addWidget(status_);
    // Smaller where the screen is: on a small one the status line would fall off its bottom.
    tidy::openWithin(*this, kInitialSize, owner != nullptr ? *owner : *this);
    load();
}

void SurfacePreview::load() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        // Its own copy of the file, dropped as soon as the surface is read; nothing is written.
        tidy::Document document = tidy::Document::open(path_);
        tidy::requireLandXmlRoot(document); // replaced since the scan by some other XML
        const pugi::xml_node surface = tidy::listedSurface(document, line_);
        if (!document.loaded())
            problem_ = tr("The file \"%1\" is no longer there; open it again to preview its "
                          "surfaces.")
                           .arg(tidy::qtPath(path_).trimmed());
        else if (!surface)
            problem_ = tr("The file no longer holds this surface; open it again.");
        else
            model_ = tidy::readSurfaceModel(document, surface);
        surfaceRead_ = bool(surface);
        if (surface)
            problem_ = QString::fromStdString(tidy::describeGaps(model_));
        drawable_ = surface && !model_.outside.empty();
        if (surface) {
            tidy::MarkedFindings found = tidy::findingsToMark(document, surface);
            findings_ = std::move(found.check.findings);
            marks_ = {std::move(found.faces), std::move(found.points)};
        }
    } catch (const std::exception& error) {
        problem_ = QString::fromUtf8(error.what());
    }
    QApplication::restoreOverrideCursor();
    const QString name = QString::fromStdString(model_.name);
    setWindowTitle(surfaceRead_ ? tr("%1 \u2014 %2").arg(name, describeCounts())
                                : tr("Surface preview"));
    status_->setText(statusText());
    showFindings();
}

void SurfacePreview::showFindings() {
    findingList_->clear();
    legend_->clear();
    if (!surfaceRead_)
        return;
    if (findings_.empty())
        new QTreeWidgetItem(findingList_, {tr("none")});
    for (const tidy::Finding& finding : findings_) {
        auto* item = new QTreeWidgetItem(findingList_,
                                         {QString::fromUtf8(tidy::findingName(finding.kind)),
                                          tidy::isFault(finding.kind) ? tr("fault") : tr("info"),
                                          QString::number(finding.count)});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        if (colorOf(finding.kind) >= 0)
            item->setIcon(0, swatch(colorOf(finding.kind)));
    }
    new QListWidgetItem(swatch(tidy::kInsideFill), tr("face"), legend_);
    for (const tidy::Finding& finding : findings_)
        if (colorOf(finding.kind) >= 0)
            new QListWidgetItem(swatch(colorOf(finding.kind)),
                                finding.kind == tidy::FindingKind::OutsideFaces
                                    ? tr("face outside (i=\"1\")")
                                    : QString::fromUtf8(tidy::findingName(finding.kind)),
                                legend_);
}

QString SurfacePreview::describeCounts() const {
    return tr("%1 faces, %2 outside (i=\"1\"), %3 points")
        .arg(model_.faceCount)
        .arg(model_.outsideFaceCount)
        .arg(model_.pointCount);
}

QString SurfacePreview::statusText() const {
    if (!surfaceRead_)
        return problem_;
    QString text =
        tr("Surface \"%1\": %2.").arg(QString::fromStdString(model_.name), describeCounts());
    if (!problem_.isEmpty())
        text += QLatin1Char(' ') + problem_;
    if (drawable_)
        text +=
            tr("  Wheel: zoom; drag: move; F, Home or double-click: whole surface; Esc: close.");
    return text;
}

void SurfacePreview::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_F:
    case Qt::Key_Home:
        static_cast<SurfaceCanvas*>(canvas_)->fit();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
