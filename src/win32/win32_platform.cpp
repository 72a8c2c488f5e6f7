#include "win32/win32_platform.h"

#include "platform/text_path.h"

#include <windows.h>

void CWin32Notifier::ShowMessage(const std::string& text, platform::MessageKind kind,
                                 platform::MessageOwner owner)
{
    const HWND hOwner = owner == platform::MessageOwner::ActiveWindow ? ::GetActiveWindow() : nullptr;
    const UINT style =
        MB_OK | (kind == platform::MessageKind::Info ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    ::MessageBoxW(hOwner, platform::Widen(text).c_str(), platform::Widen(platform::Caption(kind)).c_str(),
                  style);
}

platform::CursorHandle CWin32Notifier::SetWaitCursor()
{
    return reinterpret_cast<platform::CursorHandle>(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)));
}

void CWin32Notifier::RestoreCursor(platform::CursorHandle cursor)
{
    ::SetCursor(reinterpret_cast<HCURSOR>(cursor));
}
