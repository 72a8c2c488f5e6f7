#include "ui/qt_platform.h"

#include "platform/console_text.h"

#include <QApplication>
#include <QMessageBox>

void CQtNotifier::ShowMessage(const std::string& text, platform::MessageKind kind,
                              platform::MessageOwner owner)
{
    QWidget* pOwner = nullptr;
    if (owner == platform::MessageOwner::ActiveWindow)
        pOwner = m_pOwner ? m_pOwner.data() : QApplication::activeWindow();
    const QMessageBox::Icon icon =
        kind == platform::MessageKind::Info ? QMessageBox::Information : QMessageBox::Warning;
    // The logic's texts are 8-bit in the user's code page, as are paths.
    QMessageBox box(icon, QString::fromUtf8(platform::Caption(kind)),
                    QString::fromLocal8Bit(platform::BoxText(text)), QMessageBox::Ok, pOwner);
    // Paths may hold "<b>" or "&lt;": the text is shown as it is.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

platform::CursorHandle CQtNotifier::SetWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return m_nOverrides++;
}

void CQtNotifier::RestoreCursor(platform::CursorHandle cursor)
{
    while (m_nOverrides > cursor)
    {
        QApplication::restoreOverrideCursor();
        --m_nOverrides;
    }
}
