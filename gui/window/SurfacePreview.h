// SPDX-License-Identifier: GPL-3.0-or-later
// The preview of one surface: its triangles in plan view with the faces outside the boundary
// marked, in a window of its own beside the main window, to see what a cleaning will take away;
// beside it what a check finds in the surface, with the faces and points concerned marked.
#pragma once

#include "core/cleaning/CheckSurfaces.h"
#include "core/surfaces/SurfaceModel.h"
#include "core/surfaces/SurfacePicture.h"

#include <QImage>
#include <QWidget>
#include <string>

class QLabel;
class QListWidget;
class QTreeWidget;

class SurfacePreview final : public QWidget {
    Q_OBJECT

public:
    // Shows the preview of the surface on list line `line` (0-based) of the file at `path`: the
    // one already open for it is raised, otherwise a new one reads its own copy of the file.
    // `owner` keeps the previews; they are not modal and never write.
    static SurfacePreview* open(QWidget* owner, const std::string& path, int line);

    SurfacePreview(const std::string& path, int line, QWidget* owner);

    // The status line: the surface, its counts, and what keeps the picture from being whole.
    QString statusText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class SurfaceCanvas;

    void load();
    void showFindings();
    QString describeCounts() const;

    std::string path_;
    int line_;
    tidy::SurfaceModel model_;
    std::vector<tidy::Finding> findings_;
    tidy::SurfaceMarks marks_;
    QString problem_; // shown instead of a picture, or under it; empty when all is well
    bool surfaceRead_ = false;
    bool drawable_ = false;
    QWidget* canvas_ = nullptr;
    QLabel* status_ = nullptr;
    QTreeWidget* findingList_ = nullptr;
    QListWidget* legend_ = nullptr;
};
