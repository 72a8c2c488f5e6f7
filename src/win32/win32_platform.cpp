#include "win32/win32_platform.h"

#include "platform/console_text.h"
#include "platform/text_path.h"

#include <windows.h>

void CWin32Notifier::ShowMessage(const std::string& text, platform::MessageKind kind,
                                 platform::MessageOwner owner)
{
    HWND hOwner = nullptr;
    if (owner == platform::MessageOwner::ActiveWindow)
        hOwner = m_hOwner && ::IsWindow(m_hOwner) ? m_hOwner : ::GetActiveWindow();
    UINT style = MB_OK | (kind == platform::MessageKind::Info ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    // A box without an owner would leave the main window enabled, and a
    // command given there would start inside the run that shows the box:
    // task-modal disables every window of the thread instead.
    if (!hOwner)
        style |= MB_TASKMODAL;
    ::MessageBoxW(hOwner, platform::Widen(platform::BoxText(text)).c_str(),
                  platform::Widen(platform::Caption(kind)).c_str(), style);
}

platform::CursorHandle CWin32Notifier::SetWaitCursor()
{
    m_bWaiting = true;
    return reinterpret_cast<platform::CursorHandle>(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)));
}

void CWin32Notifier::RestoreCursor(platform::CursorHandle cursor)
{
    m_bWaiting = false;
    ::SetCursor(reinterpret_cast<HCURSOR>(cursor));
}

void AnnotateForScreenReaders(const std::vector<AccessibleText>& texts)
{
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccPropServices* pServices = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IAccPropServices, reinterpret_cast<void**>(&pServices))))
    {
        for (const AccessibleText& text : texts)
            pServices->SetHwndPropStr(text.hWnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                      text.property, text.text.c_str());
        pServices->Release();
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
}
