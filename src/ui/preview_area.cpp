#include "ui/preview_area.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>

CPreviewArea::CPreviewArea(QWidget* parent)
    : QFrame(parent),
      m_state([this] { QMetaObject::invokeMethod(this, &CPreviewArea::OnWake, Qt::QueuedConnection); })
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Preview"));
    setAccessibleDescription(QString::fromUtf8(CPreviewState::kHint));
}

void CPreviewArea::OnWake()
{
    // Also when a waiting caller collected the news already.
    m_state.Collect();
    setAccessibleDescription(QString::fromStdString(m_state.Description()));
    update();
    emit Changed();
}

void CPreviewArea::TellSize()
{
    // Device pixels, so that a scaled screen gets a sharp picture.
    const qreal ratio = devicePixelRatioF();
    const QColor background = palette().color(QPalette::Base);
    m_state.SetSize(static_cast<std::int32_t>(contentsRect().width() * ratio),
                    static_cast<std::int32_t>(contentsRect().height() * ratio),
                    static_cast<std::uint32_t>(background.rgb()) << 8 | 0xFF);
}

void CPreviewArea::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    TellSize();
}

void CPreviewArea::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        TellSize();
}

void CPreviewArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect inside = contentsRect();
    painter.fillRect(inside, palette().color(QPalette::Base));
    TellSize(); // the first picture is asked for once the area shows
    if (const RgbaImage* pImage = m_state.Picture())
    {
        const QImage picture(pImage->pixels.data(), pImage->width, pImage->height, QImage::Format_RGBA8888);
        // A picture drawn while the hand moves has half the pixels.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(inside, picture);
    }
    else if (!m_state.IsReading() && m_state.Caption(1).empty())
    {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(inside, Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(CPreviewState::kHint));
    }
    drawFrame(&painter);
    if (hasFocus())
    {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = inside.adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
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
    m_state.Orbit(pos.x() - m_lastPos.x(), pos.y() - m_lastPos.y());
    m_lastPos = pos;
}

void CPreviewArea::mouseDoubleClickEvent(QMouseEvent*)
{
    m_state.Reset();
}

void CPreviewArea::wheelEvent(QWheelEvent* event)
{
    m_state.Zoom(event->angleDelta().y());
}

void CPreviewArea::keyPressEvent(QKeyEvent* event)
{
    static const std::pair<int, PreviewKey> keys[] = {
        {Qt::Key_Left, PreviewKey::Left},     {Qt::Key_Right, PreviewKey::Right},
        {Qt::Key_Up, PreviewKey::Up},         {Qt::Key_Down, PreviewKey::Down},
        {Qt::Key_Plus, PreviewKey::ZoomIn},   {Qt::Key_Equal, PreviewKey::ZoomIn},
        {Qt::Key_Minus, PreviewKey::ZoomOut}, {Qt::Key_Home, PreviewKey::Home}};
    for (const auto& [key, previewKey] : keys)
        if (event->key() == key && m_state.OnKey(previewKey))
            return;
    QFrame::keyPressEvent(event);
}
