#pragma once

#include "win32/handles.h"
#include "win32/static_link.h"

// The About box (template 100): what the tool is and does, and its two
// links, which start blue each time the box is opened.
class CAboutDlg
{
public:
    // Runs the box modally over the owner window.
    void DoModal(HWND hOwner);

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND hDlg);
    void ScalePicture(HWND hDlg);

    CStaticLink m_linkMail;
    CStaticLink m_linkWeb;
    CBitmapHandle m_hPicture; // the picture at the size of its place
};
