#include "ui/static_link.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

std::function<bool(const QUrl&)> CLinkTarget::s_openUrl = [](const QUrl& url) {
    return QDesktopServices::openUrl(url);
};

bool CLinkTarget::Open()
{
    if (m_strTarget.empty())
        return false;
    const QUrl url = QUrl::fromUserInput(QString::fromStdString(m_strTarget));
    return url.isValid() && s_openUrl(url);
}

const QColor CStaticLink::s_unvisitedColor = QColor(0, 0, 255);
const QColor CStaticLink::s_visitedColor = QColor(128, 0, 128);

CStaticLink::CStaticLink(const std::string& target) : m_textColor(s_unvisitedColor)
{
    m_target.m_strTarget = target;
    setCursor(Qt::PointingHandCursor);
}

void CStaticLink::paintEvent(QPaintEvent* event)
{
    // Only plain text is drawn as a link; anything else the default way.
    if (text().isEmpty() || textFormat() == Qt::RichText)
    {
        QLabel::paintEvent(event);
        return;
    }
    QFont underlined = font();
    underlined.setUnderline(true);
    QPainter painter(this);
    painter.setFont(underlined);
    painter.setPen(m_textColor);
    // No background of its own: the dialog shows behind the text.
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, text());
}

void CStaticLink::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
    {
        OnLButtonDown();
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void CStaticLink::OnLButtonDown()
{
    if (m_target.m_strTarget.empty())
        m_target.m_strTarget = text().toStdString();
    if (m_target.m_strTarget.empty())
        return;
    if (m_target.Open())
    {
        m_textColor = s_visitedColor;
        update();
    }
    else
    {
        QApplication::beep();
    }
}
