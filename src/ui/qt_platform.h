#pragma once

#include "platform/notifier.h"

#include <QPointer>
#include <QWidget>

// The platform services on Qt: a modal QMessageBox with the caption, the
// warning or information icon and an OK button; the wait cursor as the
// application's override cursor.
class CQtNotifier final : public platform::INotifier
{
public:
    // The window that owns the messages for the active window: a run's
    // messages come while the user may be in another program, and must
    // still be the main window's.
    void SetOwner(QWidget* pOwner) { m_pOwner = pOwner; }

    void ShowMessage(const std::string& text, platform::MessageKind kind,
                     platform::MessageOwner owner) override;
    // The handle is how many override cursors were set before this one.
    platform::CursorHandle SetWaitCursor() override;
    void RestoreCursor(platform::CursorHandle cursor) override;

private:
    platform::CursorHandle m_nOverrides = 0;
    QPointer<QWidget> m_pOwner;
};
