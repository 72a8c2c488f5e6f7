#pragma once

#include "dialog/preview_state.h"

#include <QFrame>
#include <QPoint>

// The picture of the chosen models beside the designed controls, framed:
// drag to turn the model, the wheel to zoom, a double click for the first
// view; with the focus, which it takes last in the tab order, the arrow
// keys turn it, + and - zoom and Home brings back the first view. The
// pictures are drawn off the window's thread, at device pixels.
class CPreviewArea : public QFrame
{
    Q_OBJECT

public:
    explicit CPreviewArea(QWidget* parent = nullptr);

    CPreviewState m_state;

signals:
    // A read or a picture has finished: the lines under the area may say
    // something new.
    void Changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnWake();
    void TellSize();

    QPoint m_lastPos;
};
