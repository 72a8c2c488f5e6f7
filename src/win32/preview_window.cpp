#include "win32/preview_window.h"

#include "platform/text_path.h"
#include "win32/win32_platform.h"

#include <windowsx.h>

#include <utility>
#include <vector>

namespace
{

constexpr const wchar_t* kPreviewClass = L"VnpPreviewArea";

std::uint32_t WindowColour()
{
    const COLORREF colour = ::GetSysColor(COLOR_WINDOW); // 0x00BBGGRR
    return static_cast<std::uint32_t>(GetRValue(colour)) << 24 | GetGValue(colour) << 16 |
           GetBValue(colour) << 8 | 0xFF;
}

} // namespace

CPreviewWindow::CPreviewWindow()
    : m_state([this] {
          // A window already gone takes no message; the post then fails.
          ::PostMessageW(m_hWnd, kMsgWake, 0, 0);
      })
{
}

CPreviewWindow::~CPreviewWindow() = default;

bool CPreviewWindow::Create(HWND hParent)
{
    const HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = hInstance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_SIZEALL);
    windowClass.lpszClassName = kPreviewClass;
    ::RegisterClassExW(&windowClass); // fails harmlessly when registered already
    m_hWnd =
        ::CreateWindowExW(WS_EX_CLIENTEDGE, kPreviewClass, L"Preview", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                          0, 0, 0, hParent, nullptr, hInstance, this);
    if (m_hWnd)
        Describe();
    return m_hWnd != nullptr;
}

void CPreviewWindow::Describe()
{
    // Its name is its window text; what it shows changes with the model.
    const std::wstring description = platform::Widen(m_state.Description());
    if (description == m_strDescription)
        return;
    m_strDescription = description;
    AnnotateForScreenReaders({{m_hWnd, PROPID_ACC_DESCRIPTION, description}});
}

void CPreviewWindow::Move(const RECT& rect)
{
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    TellSize();
}

void CPreviewWindow::TellSize()
{
    RECT area;
    ::GetClientRect(m_hWnd, &area);
    m_state.SetSize(area.right, area.bottom, WindowColour());
}

LRESULT CALLBACK CPreviewWindow::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
    {
        auto* pWindow =
            static_cast<CPreviewWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        pWindow->m_hWnd = hWnd;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pWindow));
    }
    auto* pWindow = reinterpret_cast<CPreviewWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    return pWindow ? pWindow->HandleMessage(message, wParam, lParam)
                   : ::DefWindowProcW(hWnd, message, wParam, lParam);
}

LRESULT CPreviewWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message)
    {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // Paint covers every pixel
    case kMsgWake:
        m_state.Collect();
        Describe();
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        ::SendMessageW(::GetParent(m_hWnd), kMsgChanged, 0, 0);
        return 0;
    case WM_SIZE:
        TellSize();
        return 0;
    case WM_SYSCOLORCHANGE:
        TellSize();
        return 0;
    case WM_GETDLGCODE:
        // The arrow keys and + and - come here, not to the dialog manager.
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
        ::SetFocus(m_hWnd);
        ::SetCapture(m_hWnd);
        m_lastDragPoint = point;
        return 0;
    case WM_LBUTTONUP:
        ::ReleaseCapture();
        return 0;
    case WM_MOUSEMOVE:
        if (wParam & MK_LBUTTON)
        {
            m_state.Orbit(point.x - m_lastDragPoint.x, point.y - m_lastDragPoint.y);
            m_lastDragPoint = point;
        }
        return 0;
    case WM_LBUTTONDBLCLK:
        m_state.Reset();
        return 0;
    case WM_MOUSEWHEEL:
        m_state.Zoom(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_KEYDOWN:
    {
        static const std::pair<WPARAM, PreviewKey> keys[] = {{VK_LEFT, PreviewKey::Left},
                                                             {VK_RIGHT, PreviewKey::Right},
                                                             {VK_UP, PreviewKey::Up},
                                                             {VK_DOWN, PreviewKey::Down},
                                                             {VK_ADD, PreviewKey::ZoomIn},
                                                             {VK_OEM_PLUS, PreviewKey::ZoomIn},
                                                             {VK_SUBTRACT, PreviewKey::ZoomOut},
                                                             {VK_OEM_MINUS, PreviewKey::ZoomOut},
                                                             {VK_HOME, PreviewKey::Home}};
        for (const auto& [key, previewKey] : keys)
            if (wParam == key && m_state.OnKey(previewKey))
                return 0;
        break;
    }
    case WM_CHAR:
        return 0; // the keys above; no beep for their characters
    default:
        break;
    }
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

void CPreviewWindow::Paint()
{
    PAINTSTRUCT paint;
    const HDC hdc = ::BeginPaint(m_hWnd, &paint);
    RECT area;
    ::GetClientRect(m_hWnd, &area);
    if (const RgbaImage* pImage = m_state.Picture())
    {
        // A device-independent bitmap of 32 bits is blue, green, red, unused.
        std::vector<std::uint8_t> pixels = pImage->pixels;
        for (std::size_t i = 0; i + 3 < pixels.size(); i += 4)
            std::swap(pixels[i], pixels[i + 2]);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = pImage->width;
        info.bmiHeader.biHeight = -pImage->height; // rows from the top
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        // A picture drawn while the hand moves has half the pixels.
        ::SetStretchBltMode(hdc, pImage->width == area.right ? COLORONCOLOR : HALFTONE);
        ::StretchDIBits(hdc, 0, 0, area.right, area.bottom, 0, 0, pImage->width, pImage->height,
                        pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    }
    else
    {
        ::FillRect(hdc, &area, ::GetSysColorBrush(COLOR_WINDOW));
        if (!m_state.IsReading() && m_state.Caption(1).empty())
        {
            const HGDIOBJ hOldFont = ::SelectObject(
                hdc, reinterpret_cast<HGDIOBJ>(::SendMessageW(::GetParent(m_hWnd), WM_GETFONT, 0, 0)));
            ::SetTextColor(hdc, ::GetSysColor(COLOR_GRAYTEXT));
            ::SetBkMode(hdc, TRANSPARENT);
            RECT text = area;
            ::DrawTextW(hdc, platform::Widen(CPreviewState::kHint).c_str(), -1, &text,
                        DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            ::SelectObject(hdc, hOldFont);
        }
    }
    if (::GetFocus() == m_hWnd)
    {
        RECT focus = area;
        ::InflateRect(&focus, -2, -2);
        ::DrawFocusRect(hdc, &focus);
    }
    ::EndPaint(m_hWnd, &paint);
}
