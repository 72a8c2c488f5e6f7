// The details of a .3ds file (Details pane, tooltip, property sheet): its
// counts in the comment, System.Comment, which Windows shows for every
// file type, so that no schema of our own needs registering. Read-only.

#include "shell/module.h"

#include "model/c3ds_model.h"

#include <propkey.h>
#include <propvarutil.h>
#include <shobjidl.h>

#include <new>

namespace
{

// System.Comment: the summary information's comment.
constexpr PROPERTYKEY kCommentKey = {
    {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}}, 6};

class CPropertyHandler final : public IInitializeWithStream,
                               public IPropertyStore,
                               public IPropertyStoreCapabilities,
                               public shell::CRefCounted
{
public:
    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPropertyStore)
            *ppv = static_cast<IPropertyStore*>(this);
        else if (riid == IID_IInitializeWithStream)
            *ppv = static_cast<IInitializeWithStream*>(this);
        else if (riid == IID_IPropertyStoreCapabilities)
            *ppv = static_cast<IPropertyStoreCapabilities*>(this);
        else
            *ppv = nullptr;
        return shell::HandOut(*this, ppv);
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
    IFACEMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

    // The model is read here and only its counts kept: the stream is not
    // held after the call, as Windows asks of property handlers. A file
    // that cannot be read fails, and Explorer shows no details.
    IFACEMETHODIMP Initialize(IStream* pStream, DWORD) override
    {
        if (!pStream)
            return E_INVALIDARG;
        if (m_bInitialized)
            return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
        std::unique_ptr<C3dsModel> pModel;
        std::string reason;
        if (const HRESULT result = shell::ReadStreamModel(pStream, pModel, reason); FAILED(result))
            return result;
        try
        {
            const std::string counts = shell::CountsText(*pModel);
            m_strComment.assign(counts.begin(), counts.end()); // digits, letters, commas: ASCII
        }
        catch (const std::bad_alloc&)
        {
            return E_OUTOFMEMORY;
        }
        m_bInitialized = true;
        return S_OK;
    }

    IFACEMETHODIMP GetCount(DWORD* pCount) override
    {
        if (!pCount)
            return E_POINTER;
        *pCount = m_bInitialized ? 1 : 0;
        return S_OK;
    }
    IFACEMETHODIMP GetAt(DWORD index, PROPERTYKEY* pKey) override
    {
        if (!pKey)
            return E_POINTER;
        if (!m_bInitialized || index != 0)
            return E_INVALIDARG;
        *pKey = kCommentKey;
        return S_OK;
    }
    IFACEMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT* pValue) override
    {
        if (!pValue)
            return E_POINTER;
        PropVariantInit(pValue);
        if (m_bInitialized && key == kCommentKey)
            return InitPropVariantFromString(m_strComment.c_str(), pValue);
        return S_OK; // VT_EMPTY: a property the file does not have
    }
    IFACEMETHODIMP SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return STG_E_ACCESSDENIED; }
    IFACEMETHODIMP Commit() override { return STG_E_ACCESSDENIED; }
    IFACEMETHODIMP IsPropertyWritable(REFPROPERTYKEY) override { return S_FALSE; }

private:
    bool m_bInitialized = false;
    std::wstring m_strComment;
};

} // namespace

namespace shell
{

HRESULT CreatePropertyHandler(REFIID riid, void** ppv)
{
    return CreateHandler<CPropertyHandler>(riid, ppv);
}

} // namespace shell
