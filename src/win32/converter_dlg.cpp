#include "win32/converter_dlg.h"

#include "dialog/control_ids.h"
#include "pipeline/conversion_job.h"
#include "platform/text_path.h"
#include "win32/about_dlg.h"
#include "win32/handles.h"
#include "win32/win32_platform.h"

#include <commctrl.h>
#include <commdlg.h>
#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>

#include <mutex>
#include <thread>
#include <vector>

namespace
{

// Room for any path the system can give, long ones included.
constexpr DWORD kPathBuffer = 32768;

// The dialog's own messages: a call of the run's worker (lParam points to
// the function), and the model given at start.
constexpr UINT kMsgRunCall = WM_APP + 1;
constexpr UINT kMsgStartupModel = WM_APP + 2;
constexpr UINT_PTR kProgressTimer = 1;

std::wstring WindowText(HWND hWnd)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hWnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Opens the browser at the current output folder.
int CALLBACK BrowseCallback(HWND hWnd, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data)
        ::SendMessageW(hWnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

// The controls that can be disabled and still show their tips: a disabled
// control takes no mouse input, which goes to the dialog instead, so each
// is also a tool of the dialog over the control's rectangle.
constexpr int kTipsWhenDisabled[] = {kIdConvert, kIdOpenLod2, kIdScaleFactor};

} // namespace

CConverterDlg::CConverterDlg(CWin32Notifier& notifier)
    : m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIdIconApp))), m_notifier(notifier)
{
}

INT_PTR CConverterDlg::DoModal()
{
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIdDialogConverter), nullptr,
                             &DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CConverterDlg::DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        reinterpret_cast<CConverterDlg*>(lParam)->m_hWnd = hDlg;
    }
    auto* pDialog = reinterpret_cast<CConverterDlg*>(::GetWindowLongPtrW(hDlg, DWLP_USER));
    return pDialog ? pDialog->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CConverterDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE; // the focus goes to the first control, "&Open file..."
    case WM_SYSCOMMAND:
        if (!OnSysCommand(wParam))
            return FALSE;
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(m_hIcon);
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
    {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code != TTN_GETDISPINFOW)
            return FALSE;
        OnToolTipText(reinterpret_cast<NMTTDISPINFOW*>(lParam));
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_SETCURSOR:
        if (!OnSetCursor())
            return FALSE;
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_TIMER:
        ShowProgress();
        return TRUE;
    case kMsgRunCall:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return TRUE;
    case kMsgStartupModel:
        m_logic.OnStartupModel(m_strInitialLod1);
        ShowState();
        return TRUE;
    case CPreviewWindow::kMsgChanged:
        UpdatePreview();
        return TRUE;
    case WM_DPICHANGED:
        // The dialog manager scales the designed controls and the window;
        // the preview and the tips' rectangles follow once it has.
        ::PostMessageW(m_hWnd, kMsgLayout, 0, 0);
        return FALSE;
    case kMsgLayout:
        LayoutPreview();
        return TRUE;
    case WM_MOUSEWHEEL:
    {
        // The wheel's message goes to the control with the focus, which
        // hands it up here: the preview zooms when the pointer is over it.
        const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (::WindowFromPoint(point) != m_preview.Handle())
            return FALSE;
        ::SendMessageW(m_preview.Handle(), message, wParam, lParam);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void CConverterDlg::OnInitDialog()
{
    wchar_t about[128] = {};
    const HMENU hSystemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hSystemMenu && ::LoadStringW(::GetModuleHandleW(nullptr), kIdsAboutBox, about, std::size(about)) > 0)
    {
        ::AppendMenuW(hSystemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(hSystemMenu, MF_STRING, kIdSysCommandAbout, about);
    }
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    CreateToolTips();
    CreatePreview();
    NameForScreenReaders();
    CenterWindow(m_hWnd); // grown by the preview
    ::CheckDlgButton(m_hWnd, kIdNoScaling, BST_CHECKED);
    m_logic.OnScaleMode(ScaleMode::ScaleNone);
    ::DragAcceptFiles(m_hWnd, TRUE);
    m_notifier.SetOwner(m_hWnd);
    // A message about the model would come before the window shows, and
    // without it as its owner.
    if (!m_strInitialLod1.empty())
        ::PostMessageW(m_hWnd, kMsgStartupModel, 0, 0);
    ShowState();
}

void CConverterDlg::CreateToolTips()
{
    // One tool per child control, identified by its window; the texts are
    // asked for when a tip is about to show (TTN_GETDISPINFOW).
    const HWND hTips = m_hTips = ::CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!hTips)
        return;
    ::SendMessageW(hTips, TTM_SETMAXTIPWIDTH, 0, 600);
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
    {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = m_hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(hChild);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(hTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    for (const int id : kTipsWhenDisabled)
    {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = m_hWnd;
        tool.uId = static_cast<UINT_PTR>(id);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(hTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void CConverterDlg::NameForScreenReaders()
{
    // A screen reader names an edit box after the label before it in the
    // template, which for these is another control: each gets its label's
    // name, and the two "Open file..." buttons are told apart, without
    // changing the designed captions or order.
    const std::pair<int, const wchar_t*> names[] = {{kIdLod1Path, L"Level of detail 1"},
                                                    {kIdLod2Path, L"Level of detail 2 (optional)"},
                                                    {kIdOutputDir, L"Output directory"},
                                                    {kIdScaleFactor, L"Scale factor"},
                                                    {kIdOpenLod1, L"Open file... (level of detail 1)"},
                                                    {kIdOpenLod2, L"Open file... (level of detail 2)"}};
    std::vector<AccessibleText> texts;
    for (const auto& [id, name] : names)
        texts.push_back({::GetDlgItem(m_hWnd, id), PROPID_ACC_NAME, name});
    AnnotateForScreenReaders(texts);
}

void CConverterDlg::OnToolTipText(NMTTDISPINFOW* info)
{
    UINT_PTR id = info->hdr.idFrom;
    if (info->uFlags & TTF_IDISHWND)
        id = static_cast<UINT_PTR>(::GetDlgCtrlID(reinterpret_cast<HWND>(id)));
    // The longest text has 78 characters: it fits the 80 of the request.
    const std::wstring text = platform::Widen(CConverterLogic::ToolTipText(static_cast<int>(id)));
    lstrcpynW(info->szText, text.c_str(), static_cast<int>(std::size(info->szText)));
    info->lpszText = info->szText;
}

void CConverterDlg::ShowProgress()
{
    // The progress timer calls this ten times a second: a text is set only
    // when it changed, so that the caption and the button don't flicker.
    for (const auto& [hWnd, text] :
         {std::pair{m_hWnd, m_logic.Title()},
          std::pair{::GetDlgItem(m_hWnd, kIdConvert), std::string(m_logic.ConvertCaption())}})
    {
        const std::wstring wide = platform::Widen(text);
        if (WindowText(hWnd) != wide)
            ::SetWindowTextW(hWnd, wide.c_str());
    }
    EnableConvert(m_logic.IsConvertEnabled());
}

void CConverterDlg::ShowState()
{
    ShowProgress();
    for (const int id : {kIdOpenLod1, kIdAbout, kIdSetOutputDir, kIdKeepSameDir, kIdScaleUp, kIdScaleDown,
                         kIdNoScaling, kIdSmoothingGroups, kIdCopyTextures})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), m_logic.IsChoiceEnabled());
    ::SetDlgItemTextW(m_hWnd, kIdLod1Path, platform::Widen(m_logic.Lod1Path()).c_str());
    ::SetDlgItemTextW(m_hWnd, kIdLod2Path, platform::Widen(m_logic.Lod2Path()).c_str());
    ::SetDlgItemTextW(m_hWnd, kIdOutputDir, platform::Widen(m_logic.OutputDir()).c_str());
    ::EnableWindow(::GetDlgItem(m_hWnd, kIdOpenLod2), m_logic.IsLod2ChooserEnabled());
    ::EnableWindow(::GetDlgItem(m_hWnd, kIdScaleFactor), m_logic.IsScaleFactorEnabled());
    UpdatePreview();
}

void CConverterDlg::EnableConvert(bool bEnable)
{
    ::EnableWindow(::GetDlgItem(m_hWnd, kIdConvert), bEnable);
}

void CConverterDlg::OnCommand(int id, int notification)
{
    if (id == kIdScaleFactor)
    {
        if (notification == EN_CHANGE)
            OnScaleFactorChange();
        return;
    }
    if (notification != BN_CLICKED)
        return;
    switch (id)
    {
    case IDOK:
    case IDCANCEL:
        OnClose(id);
        return;
    case kIdOpenLod1:
        OnOpenLod1();
        return;
    case kIdOpenLod2:
        OnOpenLod2();
        return;
    case kIdConvert:
        OnConvert();
        return;
    case kIdAbout:
        OnAbout();
        return;
    case kIdSetOutputDir:
        OnSetOutputDir();
        return;
    case kIdKeepSameDir:
        m_logic.OnKeepSameDir(::IsDlgButtonChecked(m_hWnd, kIdKeepSameDir) == BST_CHECKED);
        return;
    case kIdSmoothingGroups:
        m_logic.OnSmoothingGroups(::IsDlgButtonChecked(m_hWnd, kIdSmoothingGroups) == BST_CHECKED);
        return;
    case kIdCopyTextures:
        m_logic.OnCopyTextures(::IsDlgButtonChecked(m_hWnd, kIdCopyTextures) == BST_CHECKED);
        return;
    case kIdNoScaling:
        m_logic.OnScaleMode(ScaleMode::ScaleNone);
        break;
    case kIdScaleDown:
        m_logic.OnScaleMode(ScaleMode::ScaleDown);
        break;
    case kIdScaleUp:
        m_logic.OnScaleMode(ScaleMode::ScaleUp);
        break;
    default:
        return;
    }
    ShowState();
}

bool CConverterDlg::OnSysCommand(WPARAM command)
{
    if ((command & 0xFFF0) != kIdSysCommandAbout)
        return false;
    if (m_logic.IsChoiceEnabled())
        OnAbout();
    return true;
}

void CConverterDlg::OnConvert()
{
    m_logic.Convert(*this, m_preview.m_state.LoadedModels());
    if (m_logic.IsRunning())
    {
        ::SetTimer(m_hWnd, kProgressTimer, 100, nullptr);
        // Convert goes grey, and a disabled control takes no keys: the
        // focus goes where Escape and Enter still close.
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(m_hWnd, IDOK)), TRUE);
    }
    ShowState();
}

void CConverterDlg::OnClose(int id)
{
    // A run goes on writing: closing under it would leave it without a
    // window to report to.
    if (m_logic.IsRunning())
    {
        const auto ask = [this] {
            return ::MessageBoxW(m_hWnd, platform::Widen(CConverterLogic::kStopQuestion).c_str(), L"Warning",
                                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
        };
        if (m_nEndAfterRun || !m_logic.ConfirmStop(ask))
            return;
        if (m_logic.IsRunning())
        {
            // Gone for the user at once, never half enabled; the program
            // ends once the run has cleaned up.
            ::KillTimer(m_hWnd, kProgressTimer);
            ::ShowWindow(m_hWnd, SW_HIDE);
            m_nEndAfterRun = id;
            return;
        }
    }
    ::EndDialog(m_hWnd, id);
}

bool CConverterDlg::OnSetCursor()
{
    // The window's class cursor would replace the wait cursor at the next
    // move of the mouse.
    if (!m_notifier.IsWaiting())
        return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

void CConverterDlg::Call(const std::function<void()>& call)
{
    ::SendMessageW(m_hWnd, kMsgRunCall, 0, reinterpret_cast<LPARAM>(&call));
}

void CConverterDlg::OnRunEnded()
{
    ::KillTimer(m_hWnd, kProgressTimer);
    if (m_nEndAfterRun)
    {
        ::EndDialog(m_hWnd, m_nEndAfterRun);
        return;
    }
    ShowState();
    // Back where the run was started from, so that it can be run again.
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(m_hWnd, kIdConvert)), TRUE);
}

bool CConverterDlg::OnPaint()
{
    if (!::IsIconic(m_hWnd))
        return false;
    PAINTSTRUCT paint;
    const HDC hdc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(hdc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return true;
}

void CConverterDlg::OnDropFiles(HDROP drop)
{
    std::vector<std::string> paths;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i)
    {
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(platform::Narrow(path));
    }
    ::DragFinish(drop);
    if (const std::optional<std::string> model = CConverterLogic::DroppedModel(paths))
    {
        m_logic.OnLod1Chosen(model);
        ShowState();
    }
}

std::optional<std::string> CConverterDlg::ChooseModelFile()
{
    std::wstring path(kPathBuffer, L'\0');
    OPENFILENAMEW chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = ::GetActiveWindow();
    chooser.lpstrFilter = L"3d Studio Files (*.3ds)\0*.3ds\0All Files (*.*)\0*.*\0";
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = path.data();
    chooser.nMaxFile = kPathBuffer;
    chooser.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
    if (!::GetOpenFileNameW(&chooser))
        return std::nullopt;
    path.resize(path.find(L'\0'));
    return platform::Narrow(path);
}

void CConverterDlg::OnOpenLod1()
{
    m_logic.OnLod1Chosen(ChooseModelFile());
    ShowState();
}

void CConverterDlg::OnOpenLod2()
{
    m_logic.OnLod2Chosen(ChooseModelFile());
    ShowState();
}

void CConverterDlg::OnSetOutputDir()
{
    std::string folder = m_logic.OutputDir();
    BrowseForFolder(folder, L"Please select a destination folder for the converted file");
    m_logic.OnFolderChosen(folder);
    ShowState();
}

void CConverterDlg::BrowseForFolder(std::string& result, const wchar_t* title)
{
    wchar_t displayName[MAX_PATH] = {};
    const std::wstring start = platform::Widen(result);
    const COleScope ole; // the new-style browser needs OLE
    BROWSEINFOW browse{};
    browse.hwndOwner = m_hWnd;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE;
    browse.lpfn = &BrowseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
    const CItemIdList item(::SHBrowseForFolderW(&browse));
    if (!item)
        return;
    std::wstring path(kPathBuffer, L'\0');
    if (!::SHGetPathFromIDListEx(static_cast<PCIDLIST_ABSOLUTE>(item.Get()), path.data(), kPathBuffer,
                                 GPFIDL_DEFAULT))
        return;
    path.resize(path.find(L'\0'));
    result = platform::Narrow(path);
}

void CConverterDlg::OnAbout()
{
    CAboutDlg about;
    about.DoModal(m_hWnd);
}

void CConverterDlg::OnScaleFactorChange()
{
    m_logic.OnScaleFactorChange(platform::Narrow(WindowText(::GetDlgItem(m_hWnd, kIdScaleFactor))));
    UpdatePreview();
}

void CConverterDlg::CreatePreview()
{
    // The designed controls keep their places: the window grows to the
    // right, and the preview fills the new part.
    RECT window, units = {0, 0, kPreviewGrowth, 0};
    ::GetWindowRect(m_hWnd, &window);
    ::MapDialogRect(m_hWnd, &units);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left + units.right,
                   window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_hPreviewCaption = ::CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 0, 0,
                                          m_hWnd, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    // Created last, so that it comes last in the tab order.
    m_preview.Create(m_hWnd);
    LayoutPreview();
}

void CConverterDlg::LayoutPreview()
{
    RECT area = {kPreviewLeft, kPreviewTop, kPreviewLeft + kPreviewWidth, kPreviewTop + kPreviewHeight};
    RECT caption = {kPreviewLeft, kPreviewCaptionTop, kPreviewLeft + kPreviewWidth,
                    kPreviewCaptionTop + kPreviewCaptionHeight};
    ::MapDialogRect(m_hWnd, &area);
    ::MapDialogRect(m_hWnd, &caption);
    m_preview.Move(area);
    ::MoveWindow(m_hPreviewCaption, caption.left, caption.top, caption.right - caption.left,
                 caption.bottom - caption.top, TRUE);
    ::SendMessageW(m_hPreviewCaption, WM_SETFONT, ::SendMessageW(m_hWnd, WM_GETFONT, 0, 0), TRUE);
    for (const int id : kTipsWhenDisabled)
    {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = m_hWnd;
        tool.uId = static_cast<UINT_PTR>(id);
        const HWND hControl = ::GetDlgItem(m_hWnd, id);
        ::GetWindowRect(hControl, &tool.rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&tool.rect), 2);
        ::SendMessageW(m_hTips, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void CConverterDlg::UpdatePreview()
{
    const ConversionRequest request = m_logic.BuildRequest();
    CPreviewState& preview = m_preview.m_state;
    preview.Choose(request.lod1Path, request.lod2Path);
    const float multiplier = ConversionJob::Multiplier(request.scaleMode, request.scaleFactor).value_or(1.0f);
    std::string caption = preview.Caption(multiplier);
    for (std::size_t at = 0; (at = caption.find('\n', at)) != std::string::npos; at += 2)
        caption.insert(at, 1, '\r');
    ::SetWindowTextW(m_hPreviewCaption, platform::Widen(caption).c_str());
    ::InvalidateRect(m_preview.Handle(), nullptr, FALSE);
}
