// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>

// A circle, as large as the widget's shorter side and centred in it, filled with one colour and
// outlined in black.
class PreviewCircle final : public QWidget {
    Q_OBJECT

public:
    explicit PreviewCircle(QWidget* parent = nullptr);

    void setBrushColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_ = Qt::black;
};
