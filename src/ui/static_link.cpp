#include "ui/static_link.h"

#include "ui/app_strings.h"
#include "ui/template_dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace
{

// The shell's convention: results above 32 mean success.
constexpr int kOpened = 42;
constexpr int kNotOpened = 2;

} // namespace

std::function<bool(const QUrl&)> CLinkTarget::s_openUrl = [](const QUrl& url) {
    return QDesktopServices::openUrl(url);
};

int CLinkTarget::Open()
{
    if (m_strTarget.empty())
        return 0;
    const QUrl url = QUrl::fromUserInput(QString::fromStdString(m_strTarget));
    return url.isValid() && s_openUrl(url) ? kOpened : kNotOpened;
}

const QColor CStaticLink::s_unvisitedColor = QColor(0, 0, 255);
const QColor CStaticLink::s_visitedColor = QColor(128, 0, 128);

CStaticLink::CStaticLink(const char* target, bool bAutoDelete)
    : m_textColor(s_unvisitedColor), m_bAutoDelete(bAutoDelete)
{
    m_target.m_strTarget = target ? target : "";
    setCursor(Qt::PointingHandCursor);
    if (m_bAutoDelete)
        setAttribute(Qt::WA_DeleteOnClose);
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
    {
        QString target = LoadAppString(CTemplateDialog::ControlId(this));
        if (target.isEmpty())
            target = text();
        m_target.m_strTarget = target.toStdString();
        if (m_target.m_strTarget.empty())
            return;
    }
    if (m_target.Open() > 32)
    {
        m_textColor = s_visitedColor;
        update();
    }
    else
    {
        QApplication::beep();
    }
}
