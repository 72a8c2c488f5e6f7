#pragma once

#include "platform/notifier.h"

// The platform services on Qt: a modal QMessageBox with the caption, the
// warning or information icon and an OK button; the wait cursor as the
// application's override cursor.
class QtNotifier final : public platform::INotifier
{
public:
    void ShowMessage(const std::string& text, platform::MessageKind kind,
                     platform::MessageOwner owner) override;
    // The handle is how many override cursors were set before this one.
    platform::CursorHandle SetWaitCursor() override;
    void RestoreCursor(platform::CursorHandle cursor) override;

private:
    platform::CursorHandle m_nOverrides = 0;
};
