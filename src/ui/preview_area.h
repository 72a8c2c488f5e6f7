#pragma once

#include "render/model_preview.h"

#include <QPoint>
#include <QWidget>

// The picture of the chosen models beside the designed controls: drag to
// turn the model, the wheel to zoom, a double click for the first view.
// It takes no focus, so the dialog's tab order stays as designed.
class CPreviewArea : public QWidget
{
    Q_OBJECT

public:
    explicit CPreviewArea(QWidget* parent = nullptr);

    CModelPreview m_preview;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QPoint m_lastPos;
};
