#pragma once

#include "platform/notifier.h"

#include <windows.h>

#include <oleacc.h>

#include <string>
#include <vector>

// The platform services on Windows: MessageBoxW with the caption, the
// exclamation or information icon and an OK button, owned by the active
// window or by none; the system wait cursor.
class CWin32Notifier final : public platform::INotifier
{
public:
    // The window that owns the messages for the active window: a run's
    // messages come while the user may be in another program, and must
    // still be the main window's.
    void SetOwner(HWND hOwner) { m_hOwner = hOwner; }
    // The wait cursor is on: the main window shows it over itself.
    bool IsWaiting() const { return m_bWaiting; }

    void ShowMessage(const std::string& text, platform::MessageKind kind,
                     platform::MessageOwner owner) override;
    platform::CursorHandle SetWaitCursor() override;
    void RestoreCursor(platform::CursorHandle cursor) override;

private:
    HWND m_hOwner = nullptr;
    bool m_bWaiting = false;
};

// What a screen reader announces for a window, where its label or class
// would say something else (Dynamic Annotation).
struct AccessibleText
{
    HWND hWnd = nullptr;
    MSAAPROPID property{}; // PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION
    std::wstring text;
};
void AnnotateForScreenReaders(const std::vector<AccessibleText>& texts);
