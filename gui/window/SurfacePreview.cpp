// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/window/SurfacePreview.h"

#include "gui/widgets/ScreenFit.h"
#include "gui/window/CorePath.h"

#include "core/landxml/Document.h"
#include "core/landxml/FileRun.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
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
            image_ = toImage(tidy::drawSurface(preview_.model_, viewport_, w, h));
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
    canvas_ = canvas;
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(canvas, 1);
    layout->addWidget(status_);
    // Smaller where the screen is: on a small one the status line would fall off its bottom.
    tidy::openWithin(*this, kInitialSize, owner != nullptr ? *owner : *this);
    load();
}

void SurfacePreview::load() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        // Its own copy of the file, dropped as soon as the surface is read; nothing is written.
        const tidy::Document document = tidy::Document::open(path_);
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
    } catch (const std::exception& error) {
        problem_ = QString::fromUtf8(error.what());
    }
    QApplication::restoreOverrideCursor();
    const QString name = QString::fromStdString(model_.name);
    setWindowTitle(surfaceRead_ ? tr("%1 \u2014 %2").arg(name, describeCounts())
                                : tr("Surface preview"));
    status_->setText(statusText());
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
