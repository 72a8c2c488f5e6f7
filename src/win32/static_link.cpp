#include "win32/static_link.h"

#include "platform/text_path.h"

#include <commctrl.h>
#include <shellapi.h>

namespace
{

constexpr UINT_PTR kSubclassId = 0x4C4E4B; // "LNK"
// The window property that leads from a control to its link.
constexpr const wchar_t* kLinkProperty = L"CStaticLink";

} // namespace

bool CLinkTarget::Open() const
{
    if (m_strTarget.empty())
        return false;
    const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", platform::Widen(m_strTarget).c_str(), nullptr,
                                             nullptr, SW_SHOWNORMAL);
    // The shell's convention: a result above 32 means it was opened.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

CStaticLink::CStaticLink(std::string target)
{
    m_target.m_strTarget = std::move(target);
}

CStaticLink::~CStaticLink()
{
    if (m_hWnd)
    {
        ::RemovePropW(m_hWnd, kLinkProperty);
        ::RemoveWindowSubclass(m_hWnd, &WindowProc, kSubclassId);
    }
}

bool CStaticLink::SubclassDlgItem(int id, HWND hDialog)
{
    m_hWnd = ::GetDlgItem(hDialog, id);
    return m_hWnd && ::SetPropW(m_hWnd, kLinkProperty, this) &&
           ::SetWindowSubclass(m_hWnd, &WindowProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

CStaticLink* CStaticLink::FromHandle(HWND hWnd)
{
    return hWnd ? static_cast<CStaticLink*>(::GetPropW(hWnd, kLinkProperty)) : nullptr;
}

LRESULT CALLBACK CStaticLink::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data)
{
    auto* pLink = reinterpret_cast<CStaticLink*>(data);
    switch (message)
    {
    case WM_NCHITTEST:
        // The mouse reaches the control even when its style has no notify
        // flag (the web link has none).
        return HTCLIENT;
    case WM_LBUTTONDOWN:
        pLink->OnLButtonDown();
        return 0;
    case WM_SETCURSOR:
        if (pLink->OnSetCursor())
            return TRUE;
        break;
    case WM_NCDESTROY:
        ::RemovePropW(hWnd, kLinkProperty);
        ::RemoveWindowSubclass(hWnd, &WindowProc, kSubclassId);
        pLink->m_hWnd = nullptr;
        break;
    }
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

HBRUSH CStaticLink::CtlColor(HDC hdc)
{
    // Only a plain text static (left, centred or right) is drawn as a link.
    if ((::GetWindowLongW(m_hWnd, GWL_STYLE) & 0xFF) > SS_RIGHT)
        return nullptr;
    if (!m_underlineFont)
    {
        LOGFONTW font{};
        const auto hFont = reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
        ::GetObjectW(hFont ? hFont : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)), sizeof font,
                     &font);
        font.lfUnderline = TRUE;
        m_underlineFont.Reset(::CreateFontIndirectW(&font));
    }
    ::SelectObject(hdc, m_underlineFont.Get());
    ::SetTextColor(hdc, m_textColor);
    ::SetBkMode(hdc, TRANSPARENT);
    // No background of its own: the dialog shows behind the text.
    return static_cast<HBRUSH>(::GetStockObject(HOLLOW_BRUSH));
}

void CStaticLink::OnLButtonDown()
{
    if (m_target.m_strTarget.empty())
    {
        wchar_t text[512] = {};
        ::GetWindowTextW(m_hWnd, text, static_cast<int>(std::size(text)));
        m_target.m_strTarget = platform::Narrow(text);
    }
    if (m_target.m_strTarget.empty())
        return;
    if (!m_target.Open())
    {
        ::MessageBeep(0);
        return;
    }
    m_textColor = s_visitedColor;
    // The text has no background of its own: the dialog erases behind it
    // before it is drawn again in the new colour.
    RECT rect;
    const HWND hParent = ::GetParent(m_hWnd);
    ::GetWindowRect(m_hWnd, &rect);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rect), 2);
    ::RedrawWindow(hParent, &rect, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

bool CStaticLink::OnSetCursor()
{
    // Windows has had a hand cursor of its own since Windows 2000; when it
    // cannot be had, the pointer stays as it is.
    static const HCURSOR s_hHandCursor = ::LoadCursorW(nullptr, IDC_HAND);
    if (!s_hHandCursor)
        return false;
    ::SetCursor(s_hHandCursor);
    return true;
}
