// Explorer's preview pane for .3ds files: the dialog's preview (a drag
// turns the model, the wheel zooms, a double-click brings back the first
// view) with the counts and the size under the picture. The model is read
// from the stream on the pane's thread and parsed on a worker thread, so
// that a large model leaves the pane alive with a "Loading…" line.

#include "shell/module.h"

#include "model/c3ds_model.h"
#include "platform/text_path.h"
#include "render/model_preview.h"

#include <ocidl.h>
#include <shobjidl.h>
#include <windowsx.h>

#include <mutex>
#include <new>

namespace
{

constexpr const wchar_t* kWindowClass = L"Vnp3dsPreviewPane";
constexpr UINT kMsgLoaded = WM_APP + 1;

// What the worker thread hands to the pane: it fills the models and posts
// kMsgLoaded to the window, unless the pane was unloaded meanwhile.
struct LoadState
{
    std::mutex mutex;
    HWND hWnd = nullptr; // null once the pane no longer waits
    std::shared_ptr<const PreviewModels> pModels;
};

std::uint32_t ToRgba(COLORREF color)
{
    return static_cast<std::uint32_t>(GetRValue(color)) << 24 | GetGValue(color) << 16 |
           GetBValue(color) << 8 | 0xFF;
}

class CPreviewHandler final : public IInitializeWithStream,
                              public IPreviewHandler,
                              public IPreviewHandlerVisuals,
                              public IObjectWithSite,
                              public IOleWindow,
                              public shell::CRefCounted
{
public:
    ~CPreviewHandler() override
    {
        Unload();
        if (m_pSite)
            m_pSite->Release();
        if (m_hFont)
            DeleteObject(m_hFont);
        if (m_hBackground)
            DeleteObject(m_hBackground);
    }

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPreviewHandler)
            *ppv = static_cast<IPreviewHandler*>(this);
        else if (riid == IID_IInitializeWithStream)
            *ppv = static_cast<IInitializeWithStream*>(this);
        else if (riid == IID_IPreviewHandlerVisuals)
            *ppv = static_cast<IPreviewHandlerVisuals*>(this);
        else if (riid == IID_IObjectWithSite)
            *ppv = static_cast<IObjectWithSite*>(this);
        else if (riid == IID_IOleWindow)
            *ppv = static_cast<IOleWindow*>(this);
        else
            *ppv = nullptr;
        return shell::HandOut(*this, ppv);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    IFACEMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

    // IInitializeWithStream: the stream is read at DoPreview.
    IFACEMETHODIMP Initialize(IStream* pStream, DWORD) override
    {
        return shell::KeepStream(pStream, m_pStream);
    }

    // IPreviewHandler
    IFACEMETHODIMP SetWindow(HWND hParent, const RECT* pRect) override
    {
        if (!hParent || !pRect)
            return E_INVALIDARG;
        m_hParent = hParent;
        m_rect = *pRect;
        if (m_hWnd)
        {
            ::SetParent(m_hWnd, m_hParent);
            MoveToRect();
        }
        return S_OK;
    }
    IFACEMETHODIMP SetRect(const RECT* pRect) override
    {
        if (!pRect)
            return E_INVALIDARG;
        m_rect = *pRect;
        MoveToRect();
        return S_OK;
    }
    IFACEMETHODIMP DoPreview() override
    {
        if (!m_hParent || !m_pStream)
            return E_UNEXPECTED;
        if (m_hWnd)
            return S_OK;
        try
        {
            if (!CreatePane())
                return HRESULT_FROM_WIN32(GetLastError());
            StartLoad();
            return S_OK;
        }
        catch (const std::exception&)
        {
            return E_OUTOFMEMORY; // no C++ exception crosses into the caller
        }
    }
    IFACEMETHODIMP Unload() override
    {
        if (m_pLoad)
        {
            const std::lock_guard lock(m_pLoad->mutex);
            m_pLoad->hWnd = nullptr; // a load still running ends unseen
        }
        m_pLoad.reset();
        if (m_hWnd)
            ::DestroyWindow(m_hWnd); // destroys the caption with it
        m_hWnd = m_hCaption = nullptr;
        m_preview.pModels.reset();
        if (m_pStream)
            m_pStream->Release();
        m_pStream = nullptr;
        return S_OK;
    }
    IFACEMETHODIMP SetFocus() override
    {
        if (m_hWnd)
            ::SetFocus(m_hWnd);
        return S_OK;
    }
    IFACEMETHODIMP QueryFocus(HWND* phWnd) override
    {
        if (!phWnd)
            return E_POINTER;
        *phWnd = ::GetFocus();
        return *phWnd ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }
    // The pane has no keys of its own: the frame's accelerators go to it.
    IFACEMETHODIMP TranslateAccelerator(MSG* pMessage) override
    {
        IPreviewHandlerFrame* pFrame = nullptr;
        if (!m_pSite ||
            FAILED(m_pSite->QueryInterface(IID_IPreviewHandlerFrame, reinterpret_cast<void**>(&pFrame))))
            return S_FALSE;
        const HRESULT result = pFrame->TranslateAccelerator(pMessage);
        pFrame->Release();
        return result;
    }

    // IPreviewHandlerVisuals: the pane's colours and font.
    IFACEMETHODIMP SetBackgroundColor(COLORREF color) override
    {
        m_background = color;
        if (m_hBackground)
            DeleteObject(m_hBackground);
        m_hBackground = nullptr;
        Refresh();
        return S_OK;
    }
    IFACEMETHODIMP SetFont(const LOGFONTW* pFont) override
    {
        if (!pFont)
            return E_INVALIDARG;
        const HFONT hFont = ::CreateFontIndirectW(pFont);
        if (!hFont)
            return E_FAIL;
        if (m_hFont)
            DeleteObject(m_hFont);
        m_hFont = hFont;
        if (m_hCaption)
            ::SendMessageW(m_hCaption, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont), FALSE);
        Refresh();
        return S_OK;
    }
    IFACEMETHODIMP SetTextColor(COLORREF color) override
    {
        m_text = color;
        Refresh();
        return S_OK;
    }

    // IObjectWithSite
    IFACEMETHODIMP SetSite(IUnknown* pSite) override
    {
        if (m_pSite)
            m_pSite->Release();
        m_pSite = pSite;
        if (m_pSite)
            m_pSite->AddRef();
        return S_OK;
    }
    IFACEMETHODIMP GetSite(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        return m_pSite ? m_pSite->QueryInterface(riid, ppv) : E_FAIL;
    }

    // IOleWindow
    IFACEMETHODIMP GetWindow(HWND* phWnd) override
    {
        if (!phWnd)
            return E_POINTER;
        *phWnd = m_hWnd;
        return m_hWnd ? S_OK : E_FAIL;
    }
    IFACEMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    bool CreatePane()
    {
        static const ATOM s_windowClass = [] {
            WNDCLASSEXW windowClass = {};
            windowClass.cbSize = sizeof windowClass;
            windowClass.style = CS_DBLCLKS; // no CS_HREDRAW/VREDRAW: a resize repaints only once
            windowClass.lpfnWndProc = &WindowProc;
            windowClass.hInstance = shell::ModuleInstance();
            windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            windowClass.lpszClassName = kWindowClass;
            return ::RegisterClassExW(&windowClass);
        }();
        if (!s_windowClass)
            return false;
        m_hWnd = ::CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, m_rect.left,
                                   m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top,
                                   m_hParent, nullptr, shell::ModuleInstance(), this);
        if (!m_hWnd)
            return false;
        m_hCaption = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 0,
                                       0, 0, 0, m_hWnd, nullptr, shell::ModuleInstance(), nullptr);
        ::SendMessageW(m_hCaption, WM_SETFONT,
                       reinterpret_cast<WPARAM>(m_hFont ? m_hFont : ::GetStockObject(DEFAULT_GUI_FONT)),
                       FALSE);
        SetCaption("Loading\u2026");
        return true;
    }

    // The bytes are read here, on the pane's thread, where the stream
    // lives; the parsing and the normals, which take longer, on a worker.
    void StartLoad()
    {
        auto pJob = std::make_unique<LoadJob>();
        std::string reason;
        if (FAILED(shell::ReadStreamBytes(m_pStream, pJob->bytes, pJob->name, reason)))
        {
            ShowModels(Failed(reason));
            return;
        }
        m_pLoad = pJob->pLoad = std::make_shared<LoadState>();
        m_pLoad->hWnd = m_hWnd;
        // The worker holds the DLL loaded until its last instruction, which
        // FreeLibraryAndExitThread runs from outside it: COM may unload an
        // idle DLL while a worker of an unloaded pane still finishes.
        HMODULE hSelf = nullptr;
        HANDLE hThread = nullptr;
        if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                 reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&LoadThread)), &hSelf))
        {
            pJob->hSelf = hSelf;
            hThread = ::CreateThread(nullptr, 0, &LoadThread, pJob.get(), 0, nullptr);
            if (!hThread)
                ::FreeLibrary(hSelf);
        }
        if (!hThread)
        {
            m_pLoad.reset();
            ShowModels(Failed("The model could not be read."));
            return;
        }
        pJob.release(); // the thread owns it now
        ::CloseHandle(hThread);
    }

    // What the worker thread reads and where it hands its result.
    struct LoadJob
    {
        std::shared_ptr<LoadState> pLoad;
        std::vector<unsigned char> bytes;
        std::string name;
        HMODULE hSelf = nullptr;
    };

    static DWORD WINAPI LoadThread(void* pParameter)
    {
        HMODULE hSelf = nullptr;
        {
            const std::unique_ptr<LoadJob> pJob(static_cast<LoadJob*>(pParameter));
            hSelf = pJob->hSelf;
            std::shared_ptr<const PreviewModels> pModels;
            try
            {
                auto pRead = std::make_shared<PreviewModels>();
                std::string reason;
                if (FAILED(shell::ModelFromBytes(std::move(pJob->bytes), pJob->name, pRead->pLod1, reason)))
                    pRead->reason = reason;
                pModels = std::move(pRead);
            }
            catch (const std::bad_alloc&)
            {
                // Without even that much memory the pane stays empty.
            }
            pJob->bytes = {}; // freed before the pane draws, whatever the read did
            const std::lock_guard lock(pJob->pLoad->mutex);
            pJob->pLoad->pModels = std::move(pModels);
            if (pJob->pLoad->hWnd)
                ::PostMessageW(pJob->pLoad->hWnd, kMsgLoaded, 0, 0);
        }
        ::FreeLibraryAndExitThread(hSelf, 0);
    }

    static std::shared_ptr<const PreviewModels> Failed(const std::string& reason)
    {
        auto pModels = std::make_shared<PreviewModels>();
        pModels->reason = reason;
        return pModels;
    }

    void OnLoaded()
    {
        if (!m_pLoad)
            return;
        std::shared_ptr<const PreviewModels> pModels;
        {
            const std::lock_guard lock(m_pLoad->mutex);
            pModels = m_pLoad->pModels;
        }
        m_pLoad.reset();
        ShowModels(std::move(pModels));
    }

    void ShowModels(std::shared_ptr<const PreviewModels> pModels)
    {
        m_preview.pModels = std::move(pModels);
        // The dialog's lines but the textures': a stream brings none to
        // find or miss.
        std::string caption = m_preview.pModels ? PreviewCaption(*m_preview.pModels, 1.0f) : std::string();
        if (const std::size_t textures = caption.find("\nTextures: "); textures != std::string::npos)
            caption.erase(textures, caption.find('\n', textures + 1) - textures);
        SetCaption(caption);
    }

    void SetCaption(const std::string& caption)
    {
        const std::wstring text = platform::Widen(caption);
        ::SetWindowTextW(m_hCaption, text.c_str());
        ::SetWindowTextW(m_hWnd, text.c_str()); // for screen readers, and for the tests
        Layout();
        Refresh();
    }

    void MoveToRect()
    {
        if (m_hWnd)
            ::SetWindowPos(m_hWnd, nullptr, m_rect.left, m_rect.top, m_rect.right - m_rect.left,
                           m_rect.bottom - m_rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The caption's lines at the bottom, the picture above them.
    void Layout()
    {
        if (!m_hWnd || !m_hCaption)
            return;
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        wchar_t text[1024] = {};
        ::GetWindowTextW(m_hCaption, text, 1024);
        const HDC hdc = ::GetDC(m_hCaption);
        const HGDIOBJ hOld =
            ::SelectObject(hdc, reinterpret_cast<HGDIOBJ>(::SendMessageW(m_hCaption, WM_GETFONT, 0, 0)));
        RECT measure = {0, 0, client.right, 0};
        ::DrawTextW(hdc, text, -1, &measure, DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
        ::SelectObject(hdc, hOld);
        ::ReleaseDC(m_hCaption, hdc);
        const int height = std::min<int>(measure.bottom + 4, client.bottom);
        ::SetWindowPos(m_hCaption, nullptr, 0, client.bottom - height, client.right, height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void Refresh()
    {
        if (m_hWnd)
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
        if (m_hCaption)
            ::InvalidateRect(m_hCaption, nullptr, TRUE);
    }

    HBRUSH BackgroundBrush()
    {
        if (!m_hBackground)
            m_hBackground = ::CreateSolidBrush(m_background);
        return m_hBackground;
    }

    // The picture over the area above the caption, drawn whole in one
    // call: no background is erased first, so a resize does not flicker.
    void Paint(HDC hdc)
    {
        RECT client, caption;
        ::GetClientRect(m_hWnd, &client);
        ::GetWindowRect(m_hCaption, &caption);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&caption), 2);
        RECT picture = {0, 0, client.right, std::max<LONG>(caption.top, 0)};
        if (!m_preview.HasPicture() || picture.right <= 0 || picture.bottom <= 0)
        {
            ::FillRect(hdc, &picture, BackgroundBrush());
            return;
        }
        RgbaImage image;
        image.width = picture.right;
        image.height = picture.bottom;
        try
        {
            const PreviewModels& models = *m_preview.pModels;
            m_preview.renderer.Draw(*models.pLod1, models.pLod2.get(), models.textures, m_preview.view, image,
                                    ToRgba(m_background));
        }
        catch (const std::bad_alloc&)
        {
            ::FillRect(hdc, &picture, BackgroundBrush());
            return;
        }
        // A device-independent bitmap of 32 bits is blue, green, red, unused.
        for (std::size_t i = 0; i < image.pixels.size(); i += 4)
            std::swap(image.pixels[i], image.pixels[i + 2]);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = image.width;
        info.bmiHeader.biHeight = -image.height; // rows from the top
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        ::SetDIBitsToDevice(hdc, 0, 0, static_cast<DWORD>(image.width), static_cast<DWORD>(image.height), 0,
                            0, 0, static_cast<UINT>(image.height), image.pixels.data(), &info,
                            DIB_RGB_COLORS);
    }

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
            ::SetWindowLongPtrW(
                hWnd, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* pThis = reinterpret_cast<CPreviewHandler*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (!pThis || message == WM_NCDESTROY)
        {
            if (pThis)
                ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
            return ::DefWindowProcW(hWnd, message, wParam, lParam);
        }
        try
        {
            return pThis->OnMessage(hWnd, message, wParam, lParam);
        }
        catch (const std::exception&)
        {
            return 0; // out of memory for a caption: the pane stays as it was
        }
    }

    LRESULT OnMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        switch (message)
        {
        case WM_ERASEBKGND:
            return 1; // Paint covers every pixel
        case WM_PAINT:
        {
            PAINTSTRUCT paint;
            const HDC hdc = ::BeginPaint(hWnd, &paint);
            Paint(hdc);
            ::EndPaint(hWnd, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SIZE:
            Layout();
            break;
        case WM_CTLCOLORSTATIC:
            ::SetTextColor(reinterpret_cast<HDC>(wParam), m_text);
            ::SetBkColor(reinterpret_cast<HDC>(wParam), m_background);
            return reinterpret_cast<LRESULT>(BackgroundBrush());
        case kMsgLoaded:
            OnLoaded();
            return 0;
        case WM_LBUTTONDOWN:
            ::SetFocus(hWnd); // the wheel goes to the window with the focus
            ::SetCapture(hWnd);
            m_lastDragPoint = point;
            return 0;
        case WM_LBUTTONUP:
            ::ReleaseCapture();
            return 0;
        case WM_MOUSEMOVE:
            if (!(wParam & MK_LBUTTON) || ::GetCapture() != hWnd)
                return 0;
            m_preview.view.Orbit(point.x - m_lastDragPoint.x, point.y - m_lastDragPoint.y);
            m_lastDragPoint = point;
            break;
        case WM_LBUTTONDBLCLK:
            m_preview.view = ViewAngles{};
            break;
        case WM_MOUSEWHEEL:
            m_preview.view.Zoom(GET_WHEEL_DELTA_WPARAM(wParam));
            break;
        default:
            return ::DefWindowProcW(hWnd, message, wParam, lParam);
        }
        ::InvalidateRect(hWnd, nullptr, FALSE);
        return 0;
    }

    IStream* m_pStream = nullptr;
    IUnknown* m_pSite = nullptr;
    HWND m_hParent = nullptr;
    HWND m_hWnd = nullptr;
    HWND m_hCaption = nullptr;
    RECT m_rect = {};
    COLORREF m_background = ::GetSysColor(COLOR_WINDOW);
    COLORREF m_text = ::GetSysColor(COLOR_WINDOWTEXT);
    HBRUSH m_hBackground = nullptr;
    HFONT m_hFont = nullptr;
    std::shared_ptr<LoadState> m_pLoad;
    // The pane's picture: the models read, and the view the hand turned to.
    struct
    {
        std::shared_ptr<const PreviewModels> pModels;
        CRenderer renderer;
        ViewAngles view;
        bool HasPicture() const { return pModels && pModels->pLod1 && pModels->reason.empty(); }
    } m_preview;
    POINT m_lastDragPoint = {};
};

} // namespace

namespace shell
{

HRESULT CreatePreviewHandler(REFIID riid, void** ppv)
{
    return CreateHandler<CPreviewHandler>(riid, ppv);
}

} // namespace shell
