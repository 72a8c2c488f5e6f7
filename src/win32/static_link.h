#pragma once

#include "win32/handles.h"

#include <string>

// What a link opens.
class CLinkTarget
{
public:
    // Opens the target through the shell ("open"); false with an empty
    // target or when the shell could not open it.
    bool Open() const;

    std::string m_strTarget; // UTF-8
};

// A static text of a dialog that behaves as a hyperlink: underlined in the
// dialog's own font, blue until followed and purple after a successful
// open, the hand cursor over it, and a click that opens its target (the
// default beep when that fails). The dialog hands its static colour
// requests on to CtlColor.
class CStaticLink
{
public:
    explicit CStaticLink(std::string target = std::string());
    ~CStaticLink();
    CStaticLink(const CStaticLink&) = delete;
    CStaticLink& operator=(const CStaticLink&) = delete;

    // Takes over the dialog's static control with the identifier.
    bool SubclassDlgItem(int id, HWND hDialog);
    // The colours and font of the text; null for a static that is not
    // plain text, which then takes its default course.
    HBRUSH CtlColor(HDC hdc);

    // The link that took over the window, or null.
    static CStaticLink* FromHandle(HWND hWnd);

    static constexpr COLORREF s_unvisitedColor = RGB(0, 0, 255);
    static constexpr COLORREF s_visitedColor = RGB(128, 0, 128);

    CLinkTarget m_target;
    COLORREF m_textColor = s_unvisitedColor;

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
    void OnLButtonDown();
    bool OnSetCursor();

    HWND m_hWnd = nullptr;
    CFontHandle m_underlineFont;
};
