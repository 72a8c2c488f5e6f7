#pragma once

#include "dialog/preview_state.h"

#include <windows.h>

#include <string>

// The picture of the chosen models beside the designed controls, a child
// window of the main dialog with a sunken frame: drag to turn the model,
// the wheel to zoom, a double click for the first view; with the focus,
// which it takes last in the tab order, the arrow keys turn it, + and -
// zoom and Home brings back the first view. The pictures are drawn off
// the window's thread; each finished one is posted here.
class CPreviewWindow
{
public:
    // Sent to the parent when a read or a picture has finished, so that
    // the lines under the area may say something new.
    static constexpr UINT kMsgChanged = WM_APP + 20;

    CPreviewWindow();
    ~CPreviewWindow();
    CPreviewWindow(const CPreviewWindow&) = delete;
    CPreviewWindow& operator=(const CPreviewWindow&) = delete;

    // Makes the window as the parent's last child; false if it could not.
    bool Create(HWND hParent);
    // Puts it at rect (pixels of the parent's client area).
    void Move(const RECT& rect);
    HWND Handle() const { return m_hWnd; }

    CPreviewState m_state;

private:
    static constexpr UINT kMsgWake = WM_APP + 21;
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void TellSize();
    // Tells screen readers what the area shows now.
    void Describe();

    HWND m_hWnd = nullptr;
    POINT m_lastDragPoint{};
    std::wstring m_strDescription;
};
