#pragma once

// The COM server's shared parts: the count of live objects that keeps the
// DLL loaded, a reference-counting base for the handlers, the model read
// from a handler's stream, and each handler's constructor.

#include <objidl.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

class C3dsModel;

namespace shell
{

// {3F8DD5B9-C166-4637-91BC-FD885ED80EE7}, {61EE78CD-4D92-4FFD-9E2D-628CAC85ADC7},
// {8078F126-E760-4F76-AE97-73C66AAA1DE1}: never change them, Explorer and
// the installer know the handlers by them.
inline constexpr CLSID kThumbnailProviderId = {
    0x3F8DD5B9, 0xC166, 0x4637, {0x91, 0xBC, 0xFD, 0x88, 0x5E, 0xD8, 0x0E, 0xE7}};
inline constexpr CLSID kPropertyHandlerId = {
    0x61EE78CD, 0x4D92, 0x4FFD, {0x9E, 0x2D, 0x62, 0x8C, 0xAC, 0x85, 0xAD, 0xC7}};
inline constexpr CLSID kPreviewHandlerId = {
    0x8078F126, 0xE760, 0x4F76, {0xAE, 0x97, 0x73, 0xC6, 0x6A, 0xAA, 0x1D, 0xE1}};

// Every live object and every IClassFactory::LockServer(TRUE) counts;
// DllCanUnloadNow allows the unload only at zero.
void AddModuleReference();
void ReleaseModuleReference();
// The DLL's own handle, for its window class.
HINSTANCE ModuleInstance();

// IUnknown's counting for a handler: the module stays loaded while one
// lives, and the last Release deletes it.
class CRefCounted
{
public:
    CRefCounted() { AddModuleReference(); }
    virtual ~CRefCounted() { ReleaseModuleReference(); }
    CRefCounted(const CRefCounted&) = delete;
    CRefCounted& operator=(const CRefCounted&) = delete;

    ULONG AddReference() { return ++m_nReferences; }
    ULONG ReleaseReference()
    {
        const ULONG left = --m_nReferences;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<ULONG> m_nReferences = 1;
};

// The end of QueryInterface once *ppv holds the interface asked for, or
// null when the handler has none of that kind: a reference for the caller.
template <typename T> HRESULT HandOut(T& handler, void** ppv)
{
    if (!*ppv)
        return E_NOINTERFACE;
    handler.AddRef();
    return S_OK;
}

// A class factory's CreateInstance for a handler class: a new handler
// asked for the interface riid, which then holds the only reference.
template <typename THandler> HRESULT CreateHandler(REFIID riid, void** ppv)
{
    auto* pHandler = new (std::nothrow) THandler;
    if (!pHandler)
        return E_OUTOFMEMORY;
    const HRESULT result = pHandler->QueryInterface(riid, ppv);
    pHandler->Release();
    return result;
}

// IInitializeWithStream::Initialize for a handler that reads its stream
// later: the stream kept, with a reference, the first time only.
HRESULT KeepStream(IStream* pStream, IStream*& pKept);

// Files larger than this get no picture and no details: reading them would
// cost Explorer's surrogate process more memory and time than a picture is worth.
inline constexpr std::uint64_t kMaxStreamBytes = 100'000'000;
// The reader gives up at kMaxReadTime; the renderer cannot be stopped once
// started, so the time a picture may take is bounded by its input: the
// size above and this many faces in all meshes together, which the
// renderer draws well within the 5 s Explorer is promised at 1024 pixels.
inline constexpr std::int64_t kMaxFaces = 4'000'000;
inline constexpr std::chrono::seconds kMaxReadTime{5};

// Reads the bytes of the model a handler was given, only through its
// stream: its size from Stat first, then at most kMaxStreamBytes bytes from
// its start. A failure HRESULT, and reason saying why, when the stream is
// larger than that, empty, or fails to read. name is the file's name as the
// stream gives it, for messages; empty when it gives none.
HRESULT ReadStreamBytes(IStream* pStream, std::vector<unsigned char>& bytes, std::string& name,
                        std::string& reason);
// Reads the bytes as a model without a message to anyone, and frees them
// once read, before the normals take their room. A failure HRESULT when
// they are no readable model or have more than kMaxFaces faces; reason
// then says why in the words of the dialog's preview.
HRESULT ModelFromBytes(std::vector<unsigned char>&& bytes, const std::string& name,
                       std::unique_ptr<C3dsModel>& pModel, std::string& reason);
// Both in turn.
HRESULT ReadStreamModel(IStream* pStream, std::unique_ptr<C3dsModel>& pModel, std::string& reason);

// "1 mesh, 12 faces, 8 vertices": the counts as the details show them.
std::string CountsText(const C3dsModel& model);

// Make a new handler and ask it for riid.
HRESULT CreateThumbnailProvider(REFIID riid, void** ppv);
HRESULT CreatePropertyHandler(REFIID riid, void** ppv);
HRESULT CreatePreviewHandler(REFIID riid, void** ppv);

} // namespace shell
