#include "win32/about_dlg.h"

#include "dialog/control_ids.h"
#include "vnp_config.h"

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
    CenterWindow(hDlg);
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
