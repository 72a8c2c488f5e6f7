#pragma once

#include "dialog/converter_logic.h"
#include "render/model_preview.h"

// <windows.h> comes before the other Windows headers, which build on it.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>

// The main window on Windows (template 102): the dialog manager's controls,
// wired to the dialog logic, which holds the choices and the rules.
class CConverterDlg
{
public:
    CConverterDlg();

    // A file to start with as the chosen LOD 1 file (a model given on the
    // command line), as the file chooser would choose it.
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

    void ShowState();
    void EnableConvert(bool bEnable);
    std::optional<std::string> ChooseModelFile();
    void BrowseForFolder(std::string& result, const wchar_t* title);
    void CreateToolTips();

    // The preview area to the right of the designed controls: the window
    // grows by it. The models are read on a worker thread, which posts
    // kMsgPreviewLoaded when done.
    struct PendingLoad;
    static constexpr UINT kMsgPreviewLoaded = WM_APP + 19;
    void CreatePreview();
    void UpdatePreview();
    void OnPreviewLoaded();
    static LRESULT CALLBACK PreviewProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintPreview();

    HWND m_hWnd = nullptr;
    HICON m_hIcon;
    CConverterLogic m_logic;
    std::string m_strInitialLod1;

    HWND m_hPreview = nullptr;
    HWND m_hPreviewCaption = nullptr;
    CModelPreview m_preview;
    std::string m_strPreviewKey;                 // the models shown or being read
    std::shared_ptr<PendingLoad> m_pPendingLoad; // the load whose result is awaited
    POINT m_lastDragPoint{};
};
