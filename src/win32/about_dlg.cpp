#include "win32/about_dlg.h"

#include "dialog/control_ids.h"
#include "vnp_config.h"

#include <algorithm>

void CAboutDlg::DoModal(HWND hOwner)
{
    ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIdDialogAbout), hOwner, &DialogProc,
                      reinterpret_cast<LPARAM>(this));
}

void CAboutDlg::OnInitDialog(HWND hDlg)
{
    // The captions show the bare addresses; the targets add the scheme.
    m_linkMail.m_target.m_strTarget = "mailto:" VNP_CONTACT_EMAIL "?subject=3ds to VNP converter v1.1";
    m_linkMail.SubclassDlgItem(kIdMailLink, hDlg);
    m_linkWeb.m_target.m_strTarget = "http://" VNP_CONTACT_WEB;
    m_linkWeb.SubclassDlgItem(kIdWebLink, hDlg);
    ScalePicture(hDlg);
    CenterWindow(hDlg);
}

void CAboutDlg::ScalePicture(HWND hDlg)
{
    // A bitmap static takes its bitmap's size, 128 pixels a side, which at
    // 192 DPI is half the place the template gives it (87 x 80 units): the
    // picture is drawn again into the largest square of that place.
    HWND hStatic = nullptr;
    for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild && !hStatic;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        if ((::GetWindowLongW(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            hStatic = hChild;
    const CBitmapHandle hSource(
        static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIdBitmapAbout),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP source{};
    if (!hStatic || !hSource || !::GetObjectW(hSource.Get(), sizeof source, &source))
        return;
    RECT place = {7, 7, 7 + 87, 7 + 80};
    ::MapDialogRect(hDlg, &place);
    const int border = 2 * ::GetSystemMetrics(SM_CXEDGE);
    const int side = std::min(place.right - place.left, place.bottom - place.top) - border;
    if (side <= 0 || side == source.bmWidth)
        return;
    const HDC hScreen = ::GetDC(hDlg);
    const HDC hFrom = ::CreateCompatibleDC(hScreen), hTo = ::CreateCompatibleDC(hScreen);
    CBitmapHandle hScaled(::CreateCompatibleBitmap(hScreen, side, side));
    const HGDIOBJ hOldFrom = ::SelectObject(hFrom, hSource.Get());
    const HGDIOBJ hOldTo = ::SelectObject(hTo, hScaled.Get());
    ::SetStretchBltMode(hTo, HALFTONE);
    ::SetBrushOrgEx(hTo, 0, 0, nullptr);
    ::StretchBlt(hTo, 0, 0, side, side, hFrom, 0, 0, source.bmWidth, source.bmHeight, SRCCOPY);
    ::SelectObject(hFrom, hOldFrom);
    ::SelectObject(hTo, hOldTo);
    ::DeleteDC(hFrom);
    ::DeleteDC(hTo);
    ::ReleaseDC(hDlg, hScreen);
    // The bitmap the static loaded from the template stays its own.
    ::SendMessageW(hStatic, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hScaled.Get()));
    m_hPicture = std::move(hScaled);
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        reinterpret_cast<CAboutDlg*>(lParam)->OnInitDialog(hDlg);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (CStaticLink* pLink = CStaticLink::FromHandle(reinterpret_cast<HWND>(lParam)))
            return reinterpret_cast<INT_PTR>(pLink->CtlColor(reinterpret_cast<HDC>(wParam)));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
        {
            ::EndDialog(hDlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
