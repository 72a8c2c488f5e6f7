#pragma once

#include "dialog/converter_logic.h"
#include "win32/preview_window.h"

// <windows.h> comes before the other Windows headers, which build on it.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>

class CWin32Notifier;

// The main window on Windows (template 102): the dialog manager's controls,
// wired to the dialog logic, which holds the choices and the rules. A
// conversion runs on a worker thread; its messages come to this window's
// thread.
class CConverterDlg : private IWindowThread
{
public:
    // notifier: the installed one, whose messages this window owns.
    explicit CConverterDlg(CWin32Notifier& notifier);

    // A model given on the command line: chosen as LOD 1 when a drop would
    // take it, else the user is told why once the window shows.
    void SetInitialLod1(const std::string& path) { m_strInitialLod1 = path; }

    // Runs the dialog until "E&xit", Enter, Escape or the close box.
    INT_PTR DoModal();

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnInitDialog();
    void OnCommand(int id, int notification);
    bool OnSysCommand(WPARAM command);
    bool OnPaint();
    void OnToolTipText(NMTTDISPINFOW* info);
    void OnDropFiles(HDROP drop);
    void OnOpenLod1();
    void OnOpenLod2();
    void OnSetOutputDir();
    void OnAbout();
    void OnScaleFactorChange();
    void OnConvert();
    void OnClose(int id);
    bool OnSetCursor();
    void Call(const std::function<void()>& call) override;
    void OnRunEnded() override;

    void ShowState();
    void ShowProgress();
    void EnableConvert(bool bEnable);
    std::optional<std::string> ChooseModelFile();
    void BrowseForFolder(std::string& result, const wchar_t* title);
    void CreateToolTips();
    void NameForScreenReaders();

    // The preview to the right of the designed controls: the window grows
    // by it, and its place follows the dialog units at every DPI.
    static constexpr UINT kMsgLayout = WM_APP + 19;
    void CreatePreview();
    void LayoutPreview();
    void UpdatePreview();

    HWND m_hWnd = nullptr;
    HICON m_hIcon;
    CWin32Notifier& m_notifier;
    CConverterLogic m_logic;
    std::string m_strInitialLod1;
    int m_nEndAfterRun = 0; // the command to end with once the run has stopped

    HWND m_hTips = nullptr;
    HWND m_hPreviewCaption = nullptr;
    CPreviewWindow m_preview;
};
