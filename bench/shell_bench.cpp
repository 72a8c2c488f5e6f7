// The Explorer extension's figures on a model of 65,535 faces, under Wine
// (scripts/bench_shell.sh): a 256-pixel thumbnail from the stream's first
// byte to the bitmap (goal 20 ms), the preview pane's first picture (goal
// 100 ms), and the memory the handler takes for a thumbnail (goal: three
// times the file plus the picture). Not a test: it prints the figures.
//
//   shell_bench.exe PATH\3ds2vnp-shell.dll [RUNS]

#include "shell/module.h"

#include "model/c3ds_model.h"
#include "render/renderer.h"
#include "shapes.h"

#include <objbase.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <thumbcache.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

using namespace build3ds;

namespace
{

constexpr IID kThumbnailProviderInterface = {
    0xE357FCCD, 0xA995, 0x4576, {0xB0, 0x1F, 0x23, 0x46, 0x30, 0x15, 0x4E, 0x96}};
constexpr UINT kThumbnailSize = 256;

using Clock = std::chrono::steady_clock;

// The bytes live through operator new, and their most since the last reset.
std::size_t s_nLiveBytes = 0, s_nPeakBytes = 0;

} // namespace

void* operator new(std::size_t size)
{
    auto* p = static_cast<std::size_t*>(std::malloc(size + 16));
    if (!p)
        throw std::bad_alloc();
    *p = size;
    s_nLiveBytes += size;
    s_nPeakBytes = std::max(s_nPeakBytes, s_nLiveBytes);
    return reinterpret_cast<char*>(p) + 16;
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return operator new(size);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
void operator delete(void* pointer) noexcept
{
    if (!pointer)
        return;
    auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(pointer) - 16);
    s_nLiveBytes -= *p;
    std::free(p);
}
void operator delete[](void* pointer) noexcept
{
    operator delete(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept
{
    operator delete(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept
{
    operator delete(pointer);
}

namespace
{
using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
GetClassObject s_getClassObject = nullptr;

template <class T> T* Make(const CLSID& clsid, REFIID riid)
{
    IClassFactory* pFactory = nullptr;
    void* pObject = nullptr;
    if (SUCCEEDED(s_getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&pFactory))))
    {
        pFactory->CreateInstance(nullptr, riid, &pObject);
        pFactory->Release();
    }
    return static_cast<T*>(pObject);
}

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One thumbnail through the handler, as Explorer's surrogate asks for it.
bool Thumbnail(IStream* pStream, UINT size = kThumbnailSize)
{
    IInitializeWithStream* pInit =
        Make<IInitializeWithStream>(shell::kThumbnailProviderId, IID_IInitializeWithStream);
    IThumbnailProvider* pProvider = nullptr;
    HBITMAP hBitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    const bool bDrawn =
        pInit && SUCCEEDED(pInit->Initialize(pStream, STGM_READ)) &&
        SUCCEEDED(pInit->QueryInterface(kThumbnailProviderInterface, reinterpret_cast<void**>(&pProvider))) &&
        SUCCEEDED(pProvider->GetThumbnail(size, &hBitmap, &alpha));
    if (hBitmap)
        DeleteObject(hBitmap);
    if (pProvider)
        pProvider->Release();
    if (pInit)
        pInit->Release();
    return bDrawn;
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t text[256] = {};
    GetWindowTextW(hWnd, text, 256);
    return text;
}

// From DoPreview to the first picture painted; negative when the pane
// could not be opened.
double FirstPreviewPicture(const Bytes& file, HWND hParent)
{
    IInitializeWithStream* pInit =
        Make<IInitializeWithStream>(shell::kPreviewHandlerId, IID_IInitializeWithStream);
    IPreviewHandler* pHandler = nullptr;
    IOleWindow* pWindow = nullptr;
    IStream* pStream = SHCreateMemStream(file.data(), static_cast<UINT>(file.size()));
    const RECT rect = {0, 0, 400, 400};
    double elapsed = -1;
    if (pInit && SUCCEEDED(pInit->Initialize(pStream, STGM_READ)) &&
        SUCCEEDED(pInit->QueryInterface(IID_IPreviewHandler, reinterpret_cast<void**>(&pHandler))) &&
        SUCCEEDED(pHandler->SetWindow(hParent, &rect)))
    {
        const Clock::time_point start = Clock::now();
        HWND hPane = nullptr;
        if (SUCCEEDED(pHandler->DoPreview()) &&
            SUCCEEDED(pHandler->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&pWindow))) &&
            SUCCEEDED(pWindow->GetWindow(&hPane)))
        {
            while (WindowText(hPane) == L"Loading\u2026")
            {
                MSG message;
                if (GetMessageW(&message, nullptr, 0, 0) <= 0)
                    break;
                DispatchMessageW(&message);
            }
            RedrawWindow(hPane, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            elapsed = Milliseconds(Clock::now() - start);
        }
        pHandler->Unload();
    }
    if (pWindow)
        pWindow->Release();
    if (pHandler)
        pHandler->Release();
    if (pInit)
        pInit->Release();
    pStream->Release();
    return elapsed;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: shell_bench PATH\\3ds2vnp-shell.dll [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 30;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HMODULE hServer = LoadLibraryW(argv[1]);
    s_getClassObject = hServer ? reinterpret_cast<GetClassObject>(
                                     reinterpret_cast<void*>(GetProcAddress(hServer, "DllGetClassObject")))
                               : nullptr;
    if (!s_getClassObject)
    {
        std::fprintf(stderr, "shell_bench: cannot load the extension\n");
        return 1;
    }
    const Bytes file = File({Material("Skin", "skin.bmp"), Object(Ribbon("Ribbon", 65535))});
    std::printf("model: 65535 faces, 65535 vertices, %zu bytes\n", file.size());

    IStream* pFirst = SHCreateMemStream(file.data(), static_cast<UINT>(file.size()));
    const bool bDrawn = Thumbnail(pFirst);
    pFirst->Release();
    // The memory the handler's code takes, counted by this program's
    // operator new (Wine's process counters do not follow the heap): the
    // same sources as the DLL's read the stream and draw, and the bitmap
    // handed to Explorer is added.
    IStream* pStream = SHCreateMemStream(file.data(), static_cast<UINT>(file.size()));
    s_nPeakBytes = s_nLiveBytes = 0;
    {
        std::unique_ptr<C3dsModel> pModel;
        std::string reason;
        if (FAILED(shell::ReadStreamModel(pStream, pModel, reason)))
            return 1;
        CRenderer renderer;
        RgbaImage image;
        image.width = image.height = kThumbnailSize;
        renderer.Draw(*pModel, nullptr, CTextureSet{}, ViewAngles{}, image);
    }
    pStream->Release();
    const double picture = kThumbnailSize * kThumbnailSize * 4.0;
    const double used = static_cast<double>(s_nPeakBytes) + picture;
    if (!bDrawn)
    {
        std::fprintf(stderr, "shell_bench: no thumbnail\n");
        return 1;
    }
    std::printf("thumbnail memory: %.2f MB at the peak (goal %.2f MB: 3 x %.2f MB file + %.2f MB picture)\n",
                used / 1e6, (3.0 * file.size() + picture) / 1e6, file.size() / 1e6, picture / 1e6);

    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
    {
        IStream* pEach = SHCreateMemStream(file.data(), static_cast<UINT>(file.size()));
        const Clock::time_point start = Clock::now();
        Thumbnail(pEach);
        times.push_back(Milliseconds(Clock::now() - start));
        pEach->Release();
    }
    std::printf("thumbnail %u px: median %.1f ms, slowest %.1f ms over %d runs (goal 20 ms)\n",
                kThumbnailSize, Median(times), *std::max_element(times.begin(), times.end()), runs);

    // Where the time goes: the same reader and renderer, called here.
    std::vector<double> loads, draws;
    for (int i = 0; i < runs; ++i)
    {
        const Clock::time_point start = Clock::now();
        C3dsModel model;
        platform::CMessageLog log;
        if (!model.LoadBytes(file.data(), file.size(), "bench", log))
            return 1;
        model.ComputeNormals();
        const Clock::time_point loaded = Clock::now();
        CRenderer renderer;
        RgbaImage image;
        image.width = image.height = kThumbnailSize;
        renderer.Draw(model, nullptr, CTextureSet{}, ViewAngles{}, image);
        loads.push_back(Milliseconds(loaded - start));
        draws.push_back(Milliseconds(Clock::now() - loaded));
    }
    std::printf("  of which reading and normals: median %.1f ms; drawing: median %.1f ms\n", Median(loads),
                Median(draws));

    // The bounds that stand in for a watchdog (neither the reader nor the
    // renderer can be stopped): the largest file taken, 100 MB, drawn at
    // 1024 pixels, and the densest one, whose faces exceed the bound and
    // are refused after reading. Both must end well within 5 s.
    {
        std::vector<Bytes> ribbons(54, Object(Ribbon("Ribbon", 65535)));
        ribbons.insert(ribbons.begin(), Material("Skin", "skin.bmp"));
        const Bytes largest = File(ribbons);
        IStream* pLargest = SHCreateMemStream(largest.data(), static_cast<UINT>(largest.size()));
        Clock::time_point start = Clock::now();
        const bool bLargest = Thumbnail(pLargest, 1024);
        std::printf("largest model taken, %.1f MB, 3.5 million faces: %s at 1024 px in %.0f ms (limit 5 s)\n",
                    largest.size() / 1e6, bLargest ? "drawn" : "NOT DRAWN",
                    Milliseconds(Clock::now() - start));
        pLargest->Release();

        Mesh dense;
        dense.name = "Dense";
        for (int i = 0; i < 256; ++i)
            dense.vertices.push_back(
                {static_cast<float>(i % 16), static_cast<float>(i / 16), static_cast<float>(i % 3)});
        for (int i = 0; i < 65535; ++i)
        {
            const auto a = static_cast<std::uint16_t>(i % 254);
            dense.faces.push_back({a, static_cast<std::uint16_t>(a + 1), static_cast<std::uint16_t>(a + 2)});
        }
        std::vector<Bytes> meshes(185, Object(dense));
        meshes.insert(meshes.begin(), Material("Grey"));
        const Bytes densest = File(meshes);
        IStream* pDensest = SHCreateMemStream(densest.data(), static_cast<UINT>(densest.size()));
        start = Clock::now();
        const bool bDensest = Thumbnail(pDensest, 1024);
        std::printf("densest model, %.1f MB, 12.1 million faces: %s in %.0f ms (limit 5 s)\n",
                    densest.size() / 1e6, bDensest ? "DRAWN" : "refused", Milliseconds(Clock::now() - start));
        pDensest->Release();
    }

    WNDCLASSW paneClass = {};
    paneClass.lpfnWndProc = DefWindowProcW;
    paneClass.hInstance = GetModuleHandleW(nullptr);
    paneClass.lpszClassName = L"VnpBenchPane";
    RegisterClassW(&paneClass);
    const HWND hParent =
        CreateWindowExW(0, L"VnpBenchPane", L"pane", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 500, 500,
                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hParent)
    {
        std::printf("preview: needs a display (run under Xvfb)\n");
        return 0;
    }
    times.clear();
    for (int i = 0; i < runs; ++i)
        if (const double elapsed = FirstPreviewPicture(file, hParent); elapsed >= 0)
            times.push_back(elapsed);
    if (times.empty())
    {
        std::fprintf(stderr, "shell_bench: the preview pane did not open\n");
        return 1;
    }
    std::printf(
        "preview first picture 400 x 400 pane: median %.1f ms, slowest %.1f ms over %zu runs (goal 100 ms)\n",
        Median(times), *std::max_element(times.begin(), times.end()), times.size());
    DestroyWindow(hParent);
    return 0;
}
