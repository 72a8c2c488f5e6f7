// The DLL's entry points: the class factory for the three handlers, the
// count that says when the DLL may be unloaded, and the registration of a
// user's own (regsvr32), which writes under HKCU what the installer writes
// under HKLM.

#include "shell/module.h"

#include <objbase.h>
#include <olectl.h>
#include <shlobj.h>

#include <array>
#include <string>
#include <vector>

namespace
{

HMODULE s_hModule = nullptr;
std::atomic<long> s_nModuleReferences = 0;

class CClassFactory final : public IClassFactory
{
public:
    using Creator = HRESULT (*)(REFIID, void**);
    explicit CClassFactory(Creator create) : m_create(create) {}

    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory)
        {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The factories are static: their counts only keep the module loaded.
    IFACEMETHODIMP_(ULONG) AddRef() override
    {
        shell::AddModuleReference();
        return 2;
    }
    IFACEMETHODIMP_(ULONG) Release() override
    {
        shell::ReleaseModuleReference();
        return 1;
    }
    IFACEMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        return pOuter ? CLASS_E_NOAGGREGATION : m_create(riid, ppv);
    }
    IFACEMETHODIMP LockServer(BOOL bLock) override
    {
        if (bLock)
            shell::AddModuleReference();
        else
            shell::ReleaseModuleReference();
        return S_OK;
    }

private:
    Creator m_create;
};

CClassFactory s_thumbnailFactory(shell::CreateThumbnailProvider);
CClassFactory s_propertyFactory(shell::CreatePropertyHandler);
CClassFactory s_previewFactory(shell::CreatePreviewHandler);

std::wstring GuidText(const GUID& id)
{
    wchar_t text[40] = {};
    StringFromGUID2(id, text, 40);
    return text;
}

// Where Windows looks for a handler of .3ds files that no program has
// claimed as its own (SystemFileAssociations), and the lists of handlers.
const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kAssociation = kClasses + L"SystemFileAssociations\\.3ds";
const std::wstring kThumbnailHandlerSlot = L"{E357FCCD-A995-4576-B01F-234630154E96}";
const std::wstring kPreviewHandlerSlot = L"{8895B1C6-B41F-4C1C-A562-0D564250836F}";
// The 64-bit preview host (prevhost.exe) that runs preview handlers apart from Explorer.
const std::wstring kPreviewHostAppId = L"{6D2B5079-2F0B-48DD-AB7F-97CEC514D30B}";
const std::wstring kCurrentVersion = L"Software\\Microsoft\\Windows\\CurrentVersion\\";
const std::wstring kPropertyHandlers = kCurrentVersion + L"PropertySystem\\PropertyHandlers\\.3ds";
const std::wstring kPreviewHandlers = kCurrentVersion + L"PreviewHandlers";
// The Details pane, the tooltip and the property sheet: the counts go in
// the comment, which Windows shows for any file type.
const std::wstring kDetails = L"prop:System.ItemTypeText;System.Size;System.DateModified;System.Comment";

struct RegistryEntry
{
    std::wstring key;
    std::wstring name; // empty: the key's default value
    std::wstring value;
};

std::vector<RegistryEntry> Entries(const std::wstring& dllPath)
{
    std::vector<RegistryEntry> entries;
    const auto server = [&](const CLSID& id, const std::wstring& title) {
        const std::wstring key = kClasses + L"CLSID\\" + GuidText(id);
        entries.push_back({key, L"", title});
        entries.push_back({key + L"\\InprocServer32", L"", dllPath});
        entries.push_back({key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
        return key;
    };
    server(shell::kThumbnailProviderId, L"3ds2vnp thumbnail provider");
    server(shell::kPropertyHandlerId, L"3ds2vnp property handler");
    const std::wstring preview = server(shell::kPreviewHandlerId, L"3ds2vnp preview handler");
    entries.push_back({preview, L"AppID", kPreviewHostAppId});
    entries.push_back({preview, L"DisplayName", L"3ds2vnp preview handler"});
    entries.push_back(
        {kAssociation + L"\\ShellEx\\" + kThumbnailHandlerSlot, L"", GuidText(shell::kThumbnailProviderId)});
    entries.push_back(
        {kAssociation + L"\\ShellEx\\" + kPreviewHandlerSlot, L"", GuidText(shell::kPreviewHandlerId)});
    entries.push_back({kAssociation, L"InfoTip", kDetails});
    entries.push_back({kAssociation, L"PreviewDetails", kDetails});
    entries.push_back({kAssociation, L"FullDetails", L"prop:System.PropGroup.Description;System.Comment"});
    entries.push_back({kPropertyHandlers, L"", GuidText(shell::kPropertyHandlerId)});
    entries.push_back({kPreviewHandlers, GuidText(shell::kPreviewHandlerId), L"3ds2vnp preview handler"});
    return entries;
}

// Keys that hold other programs' entries too: never removed, even empty.
bool IsSharedKey(const std::wstring& key)
{
    static const std::array<std::wstring, 4> shared = {L"Software\\Classes", L"Software\\Classes\\CLSID",
                                                       L"Software\\Microsoft\\Windows\\CurrentVersion",
                                                       L"Software"};
    for (const std::wstring& each : shared)
        if (_wcsicmp(each.c_str(), key.c_str()) == 0)
            return true;
    return key.find(L'\\') == std::wstring::npos;
}

// Removes the key and then each parent that our entries left empty.
void RemoveEmptyKeys(std::wstring key)
{
    while (!IsSharedKey(key))
    {
        HKEY hKey = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return;
        DWORD subKeys = 0, values = 0;
        const LSTATUS status = RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                                &values, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(hKey);
        if (status != ERROR_SUCCESS || subKeys != 0 || values != 0 ||
            RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str()) != ERROR_SUCCESS)
            return;
        key.resize(key.rfind(L'\\'));
    }
}

std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length = GetModuleFileNameW(s_hModule, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
        {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Whether the value holds what we wrote: another program's handler in
// one of the shared slots stays when ours is removed.
bool HoldsOurValue(const RegistryEntry& entry)
{
    std::wstring data(entry.value.size() + 1, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, entry.key.c_str(), entry.name.empty() ? nullptr : entry.name.c_str(),
                     RRF_RT_REG_SZ, nullptr, data.data(), &size) != ERROR_SUCCESS)
        return false;
    data.resize(size / sizeof(wchar_t) - 1);
    return _wcsicmp(data.c_str(), entry.value.c_str()) == 0;
}

} // namespace

namespace shell
{

void AddModuleReference()
{
    ++s_nModuleReferences;
}

void ReleaseModuleReference()
{
    --s_nModuleReferences;
}

HINSTANCE ModuleInstance()
{
    return s_hModule;
}

} // namespace shell

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        s_hModule = hInstance;
        DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CClassFactory* pFactory = clsid == shell::kThumbnailProviderId ? &s_thumbnailFactory
                              : clsid == shell::kPropertyHandlerId ? &s_propertyFactory
                              : clsid == shell::kPreviewHandlerId  ? &s_previewFactory
                                                                   : nullptr;
    return pFactory ? pFactory->QueryInterface(riid, ppv) : CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    return s_nModuleReferences == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    const std::wstring path = ModulePath();
    if (path.empty())
        return SELFREG_E_CLASS;
    for (const RegistryEntry& entry : Entries(path))
    {
        const auto size = static_cast<DWORD>((entry.value.size() + 1) * sizeof(wchar_t));
        if (RegSetKeyValueW(HKEY_CURRENT_USER, entry.key.c_str(),
                            entry.name.empty() ? nullptr : entry.name.c_str(), REG_SZ, entry.value.c_str(),
                            size) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    // Explorer asks the handlers of a file type again instead of its cached answers.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return S_OK;
}

STDAPI DllUnregisterServer()
{
    const std::vector<RegistryEntry> entries = Entries(ModulePath());
    for (const RegistryEntry& entry : entries)
        if (HoldsOurValue(entry))
            RegDeleteKeyValueW(HKEY_CURRENT_USER, entry.key.c_str(),
                               entry.name.empty() ? nullptr : entry.name.c_str());
    // Deepest keys first, so that each parent is empty when its turn comes.
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        RemoveEmptyKeys(entry->key);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return S_OK;
}
