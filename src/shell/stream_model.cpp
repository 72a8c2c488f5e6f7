// The one way the handlers read a model: through the stream Explorer
// hands them, bounded before anything is allocated, and silently.

#include "shell/module.h"

#include "model/c3ds_model.h"
#include "platform/progress.h"
#include "platform/text_path.h"
#include "render/renderer.h"

#include <new>
#include <utility>

namespace
{

// The file's name in messages when the stream has none: the handlers
// never learn the path.
constexpr const char* kStreamName = "(the selected file)";

std::string Plural(std::int32_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

namespace shell
{

HRESULT ReadStreamBytes(IStream* pStream, std::vector<unsigned char>& bytes, std::string& name,
                        std::string& reason)
{
    bytes.clear();
    name.clear();
    if (!pStream)
    {
        reason = "There is no file to show.";
        return E_UNEXPECTED;
    }
    STATSTG stat = {};
    if (FAILED(pStream->Stat(&stat, STATFLAG_DEFAULT)))
    {
        reason = "The file cannot be read.";
        return E_FAIL;
    }
    if (stat.pwcsName)
    {
        name = platform::Narrow(stat.pwcsName);
        CoTaskMemFree(stat.pwcsName);
    }
    if (stat.cbSize.QuadPart > kMaxStreamBytes)
    {
        reason = "The file is larger than 100 MB.";
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    }
    if (stat.cbSize.QuadPart == 0)
    {
        reason = "The file is empty.";
        return E_FAIL;
    }
    // From the start, wherever an earlier reader left the stream.
    LARGE_INTEGER start = {};
    if (FAILED(pStream->Seek(start, STREAM_SEEK_SET, nullptr)))
    {
        reason = "The file cannot be read.";
        return E_FAIL;
    }
    try
    {
        const auto size = static_cast<ULONG>(stat.cbSize.QuadPart);
        bytes.resize(size);
        ULONG total = 0;
        while (total < size)
        {
            ULONG got = 0;
            const HRESULT result = pStream->Read(bytes.data() + total, size - total, &got);
            if (FAILED(result))
            {
                bytes.clear();
                reason = "The file cannot be read.";
                return result;
            }
            if (got == 0)
                break; // shorter than Stat said: it changed meanwhile; the walk finds the end
            total += got;
        }
        bytes.resize(total);
        return S_OK;
    }
    catch (const std::bad_alloc&)
    {
        bytes.clear();
        reason = "There is not enough memory to show the model.";
        return E_OUTOFMEMORY;
    }
}

HRESULT ModelFromBytes(std::vector<unsigned char>&& bytes, const std::string& name,
                       std::unique_ptr<C3dsModel>& pModel, std::string& reason)
{
    pModel.reset();
    try
    {
        // Nothing is shown: a message box in Explorer's surrogate process
        // would wait for a click nobody sees. The first error is the reason.
        platform::CMessageLog log;
        // The reader asks as it goes whether to go on: past the time a
        // picture may take, it stops.
        struct CDeadline final : IProgress
        {
            const std::chrono::steady_clock::time_point end = std::chrono::steady_clock::now() + kMaxReadTime;
            bool Continue(std::uint64_t, std::uint64_t) override
            {
                return std::chrono::steady_clock::now() < end;
            }
        } deadline;
        auto pLoaded = std::make_unique<C3dsModel>();
        if (!pLoaded->LoadBytes(bytes.data(), bytes.size(), name.empty() ? kStreamName : name, log,
                                &deadline))
        {
            reason = pLoaded->IsStopped()       ? "The model takes too long to read."
                     : log.FirstError().empty() ? "The model could not be read."
                                                : log.FirstError();
            return E_FAIL;
        }
        // The model holds what it needs of them: a thumbnail's peak is the
        // model with its normals, not that and the file.
        std::vector<unsigned char>().swap(bytes);
        std::int64_t faces = 0;
        for (const MeshObject& mesh : pLoaded->m_meshes)
            faces += mesh.faceCount;
        if (faces > kMaxFaces)
        {
            reason = "The model has more than " + std::to_string(kMaxFaces) + " faces.";
            return E_FAIL;
        }
        pLoaded->ComputeNormals();
        pModel = std::move(pLoaded);
        return S_OK;
    }
    catch (const std::bad_alloc&)
    {
        reason = "There is not enough memory to show the model.";
        return E_OUTOFMEMORY;
    }
}

HRESULT ReadStreamModel(IStream* pStream, std::unique_ptr<C3dsModel>& pModel, std::string& reason)
{
    pModel.reset();
    std::vector<unsigned char> bytes;
    std::string name;
    const HRESULT result = ReadStreamBytes(pStream, bytes, name, reason);
    return FAILED(result) ? result : ModelFromBytes(std::move(bytes), name, pModel, reason);
}

std::string CountsText(const C3dsModel& model)
{
    const ModelCounts counts = CountModel(model);
    return Plural(counts.meshes, "mesh", "meshes") + ", " + Plural(counts.faces, "face", "faces") + ", " +
           Plural(counts.vertices, "vertex", "vertices");
}

HRESULT KeepStream(IStream* pStream, IStream*& pKept)
{
    if (!pStream)
        return E_INVALIDARG;
    if (pKept)
        return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    pKept = pStream;
    pKept->AddRef();
    return S_OK;
}

} // namespace shell
