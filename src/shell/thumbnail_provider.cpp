// Explorer's pictures of .3ds files: the picture `3ds2vnp --thumbnail cx`
// draws, from the stream alone, as a 32-bit bitmap with alpha.

#include "shell/module.h"

#include "model/c3ds_model.h"
#include "render/renderer.h"

#include <propsys.h>
#include <shobjidl.h>
#include <thumbcache.h>

#include <new>

namespace
{

// IThumbnailProvider, which MinGW's uuid library lacks.
constexpr IID kThumbnailProviderInterface = {
    0xE357FCCD, 0xA995, 0x4576, {0xB0, 0x1F, 0x23, 0x46, 0x30, 0x15, 0x4E, 0x96}};

// The command line's largest picture; Explorer asks for up to 2560.
constexpr UINT kMaxSize = 4096;

class CThumbnailProvider final : public IInitializeWithStream,
                                 public IThumbnailProvider,
                                 public shell::CRefCounted
{
public:
    ~CThumbnailProvider() override
    {
        if (m_pStream)
            m_pStream->Release();
    }

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == kThumbnailProviderInterface)
            *ppv = static_cast<IThumbnailProvider*>(this);
        else if (riid == IID_IInitializeWithStream)
            *ppv = static_cast<IInitializeWithStream*>(this);
        else
            *ppv = nullptr;
        return shell::HandOut(*this, ppv);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    IFACEMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

    // Only the stream is kept; it is read when the picture is asked for.
    IFACEMETHODIMP Initialize(IStream* pStream, DWORD) override
    {
        return shell::KeepStream(pStream, m_pStream);
    }

    IFACEMETHODIMP GetThumbnail(UINT cx, HBITMAP* phbmp, WTS_ALPHATYPE* pdwAlpha) override
    {
        if (!phbmp || !pdwAlpha)
            return E_POINTER;
        *phbmp = nullptr;
        *pdwAlpha = WTSAT_UNKNOWN;
        if (cx == 0 || cx > kMaxSize)
            return E_INVALIDARG;
        std::unique_ptr<C3dsModel> pModel;
        std::string reason;
        if (const HRESULT result = shell::ReadStreamModel(m_pStream, pModel, reason); FAILED(result))
            return result;
        try
        {
            // No textures come with a stream: every face is drawn as the
            // command line draws one whose texture file is missing.
            const CTextureSet noTextures;
            RgbaImage image;
            image.width = image.height = static_cast<std::int32_t>(cx);
            CRenderer renderer;
            renderer.Draw(*pModel, nullptr, noTextures, ViewAngles{}, image);
            pModel.reset();
            return ToBitmap(image, phbmp, pdwAlpha);
        }
        catch (const std::bad_alloc&)
        {
            return E_OUTOFMEMORY;
        }
    }

private:
    // A top-down DIB section in BGRA with straight alpha, the form
    // WTSAT_ARGB asks for (Windows' own sample providers hand back the
    // same); the renderer's pixels are either clear or opaque, so straight
    // and premultiplied alpha give the same bytes.
    static HRESULT ToBitmap(const RgbaImage& image, HBITMAP* phbmp, WTS_ALPHATYPE* pdwAlpha)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = image.width;
        info.bmiHeader.biHeight = -image.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* pBits = nullptr;
        const HBITMAP hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
        if (!hBitmap || !pBits)
            return E_OUTOFMEMORY;
        auto* pOut = static_cast<std::uint8_t*>(pBits);
        const std::uint8_t* pIn = image.pixels.data();
        for (std::size_t p = 0; p < image.pixels.size(); p += 4)
        {
            pOut[p] = pIn[p + 2];
            pOut[p + 1] = pIn[p + 1];
            pOut[p + 2] = pIn[p];
            pOut[p + 3] = pIn[p + 3];
        }
        *phbmp = hBitmap;
        *pdwAlpha = WTSAT_ARGB;
        return S_OK;
    }

    IStream* m_pStream = nullptr;
};

} // namespace

namespace shell
{

HRESULT CreateThumbnailProvider(REFIID riid, void** ppv)
{
    return CreateHandler<CThumbnailProvider>(riid, ppv);
}

} // namespace shell
