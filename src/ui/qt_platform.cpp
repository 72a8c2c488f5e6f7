#include "ui/qt_platform.h"

#include <QApplication>
#include <QMessageBox>

void QtPlatformBackend::ShowMessage(const std::string& text, const std::string& caption,
                                    platform::MessageKind kind, platform::MessageOwner owner)
{
    QWidget* pOwner = owner == platform::MessageOwner::ActiveWindow ? QApplication::activeWindow() : nullptr;
    const QMessageBox::Icon icon =
        kind == platform::MessageKind::Information ? QMessageBox::Information : QMessageBox::Warning;
    // The logic's texts are 8-bit in the user's code page, as are paths.
    QMessageBox box(icon, QString::fromLocal8Bit(caption), QString::fromLocal8Bit(text), QMessageBox::Ok, pOwner);
    // Paths may hold "<b>" or "&lt;": the text is shown as it is.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

platform::CursorHandle QtPlatformBackend::SetWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return m_nOverrides++;
}

void QtPlatformBackend::RestoreCursor(platform::CursorHandle cursor)
{
    while (m_nOverrides > cursor)
    {
        QApplication::restoreOverrideCursor();
        --m_nOverrides;
    }
}
