#pragma once

#include "platform/notifier.h"

// The platform services on Windows: MessageBoxW with the caption, the
// exclamation or information icon and an OK button, owned by the active
// window or by none; the system wait cursor.
class CWin32Notifier final : public platform::INotifier
{
public:
    void ShowMessage(const std::string& text, platform::MessageKind kind,
                     platform::MessageOwner owner) override;
    platform::CursorHandle SetWaitCursor() override;
    void RestoreCursor(platform::CursorHandle cursor) override;
};
