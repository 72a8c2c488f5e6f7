#include "ui/preview_area.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

CPreviewArea::CPreviewArea(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPreviewArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor background = palette().color(QPalette::Base);
    if (!m_preview.HasPicture())
    {
        painter.fillRect(rect(), background);
        return;
    }
    RgbaImage image;
    image.width = width();
    image.height = height();
    m_preview.Draw(image, static_cast<std::uint32_t>(background.rgb()) << 8 | 0xFF);
    painter.drawImage(0, 0, QImage(image.pixels.data(), image.width, image.height, QImage::Format_RGBA8888));
}

void CPreviewArea::mousePressEvent(QMouseEvent* event)
{
    m_lastPos = event->position().toPoint();
}

void CPreviewArea::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint pos = event->position().toPoint();
    m_preview.Orbit(pos.x() - m_lastPos.x(), pos.y() - m_lastPos.y());
    m_lastPos = pos;
    update();
}

void CPreviewArea::mouseDoubleClickEvent(QMouseEvent*)
{
    m_preview.Reset();
    update();
}

void CPreviewArea::wheelEvent(QWheelEvent* event)
{
    m_preview.Zoom(event->angleDelta().y());
    update();
}
