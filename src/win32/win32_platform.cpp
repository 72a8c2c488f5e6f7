#include "win32/win32_platform.h"

#include "platform/text_path.h"

#include <windows.h>

void CWin32Backend::ShowMessage(const std::string& text, const std::string& caption,
                                platform::MessageKind kind, platform::MessageOwner owner)
{
    const HWND hOwner = owner == platform::MessageOwner::ActiveWindow ? ::GetActiveWindow() : nullptr;
    const UINT style =
        MB_OK | (kind == platform::MessageKind::Information ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    ::MessageBoxW(hOwner, platform::Widen(text).c_str(), platform::Widen(caption).c_str(), style);
}

platform::CursorHandle CWin32Backend::SetWaitCursor()
{
    return reinterpret_cast<platform::CursorHandle>(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)));
}

void CWin32Backend::RestoreCursor(platform::CursorHandle cursor)
{
    ::SetCursor(reinterpret_cast<HCURSOR>(cursor));
}
