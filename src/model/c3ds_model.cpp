#include "model/c3ds_model.h"

#include "model/chunk_ids.h"
#include "platform/file_system.h"
#include "platform/progress.h"
#include "platform/text_path.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <istream>
#include <memory>
#include <unordered_map>

namespace
{

// Real files nest five or six levels deep; the bound keeps a hostile file
// from recursing without end.
constexpr int kMaxDepth = 64;

// Thrown inside the walk when the file contradicts itself; Load catches it
// and reports the reason once.
struct DamagedFile
{
    std::string reason;
};

[[noreturn]] void Damaged(std::string reason)
{
    throw DamagedFile{std::move(reason)};
}

// Thrown inside the walk when the progress says to stop.
struct StoppedLoad
{
};

// The reasons the header alone can show; the walk words them the same.
const char* const kShortMainChunk = "the main chunk is shorter than its header";
const char* const kFileEndsEarly = "the file ends before the end of its main chunk";

void ReportNotA3dsFile(const std::string& path, platform::CMessageLog& log)
{
    log.Error("Unable to load PRIMARY chunk from file: " + path + "    \n\nNot a valid 3ds file",
              platform::MessageOwner::None);
}

void ReportDamage(const std::string& path, const std::string& reason, platform::CMessageLog& log)
{
    log.Error("The file " + path + " is damaged and cannot be converted:\n\n" + reason + ".",
              platform::MessageOwner::None);
}

// The bytes read between two questions to the progress: often enough to
// stop a slow disk within a fraction of a second, rarely enough to cost
// nothing.
constexpr std::size_t kProgressStep = 4 << 20;

// A size that is not known before the end: a stream that cannot seek.
constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};

std::uint16_t LoadU16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t LoadU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The file stores little-endian IEEE floats; arrays are read in place and
// turned round only on a big-endian host.
void FixFloatOrder([[maybe_unused]] float* values, [[maybe_unused]] std::size_t count)
{
    if constexpr (std::endian::native == std::endian::big)
    {
        for (std::size_t i = 0; i < count; ++i)
        {
            std::uint32_t bits;
            std::memcpy(&bits, &values[i], 4);
            bits = LoadU32(reinterpret_cast<const unsigned char*>(&bits));
            std::memcpy(&values[i], &bits, 4);
        }
    }
}

std::string QuotedName(const MeshObject& mesh)
{
    return "mesh \"" + mesh.name + "\"";
}

// One chunk while it is read: where its data starts and ends in the file,
// and how far the reading has come.
struct Chunk
{
    std::uint16_t id = 0;
    std::uint32_t length = 0;
    std::size_t pos = 0; // the next byte to read
    std::size_t end = 0; // one past the chunk's last byte

    std::size_t Left() const { return end - pos; }
};

// Walks the chunk tree of a whole file held in memory and fills a model.
// Every child must fit its parent and the primary chunk the file, so no
// read leaves the buffer; a contradiction throws DamagedFile.
class CChunkReader
{
public:
    CChunkReader(const unsigned char* data, std::size_t size, C3dsModel& model, platform::CMessageLog& log,
                 IProgress* pProgress, std::uint64_t total)
        : m_pData(data), m_nSize(size), m_model(model), m_log(log), m_pProgress(pProgress), m_nTotal(total)
    {
    }

    // The primary chunk's header; false when the file has none.
    bool ReadPrimaryHeader(Chunk& primary) const
    {
        return ReadHeader(0, primary) && primary.id == kChunkPrimary;
    }

    void ReadFile(Chunk& primary)
    {
        if (primary.length < kChunkHeaderSize)
            Damaged(kShortMainChunk);
        // Bytes after the primary chunk are never looked at.
        if (m_nSize < primary.length)
            Damaged(kFileEndsEarly);
        // One array of the right size at once: growing it by doubling
        // would hold up to three times the objects' records while it
        // moves them, and millions of empty objects make that the cost.
        Chunk counted = primary;
        m_model.m_meshes.reserve(CountObjects(counted, 0));
        ReadMainChunks(primary);
    }

private:
    // The header at offset at; false when the file ends first.
    bool ReadHeader(std::size_t at, Chunk& chunk) const
    {
        if (m_nSize - at < kChunkHeaderSize)
            return false;
        chunk.id = LoadU16(m_pData + at);
        chunk.length = LoadU32(m_pData + at + 2);
        chunk.pos = at + kChunkHeaderSize;
        chunk.end = at + chunk.length;
        return true;
    }

    // count bytes of the chunk's data, which must hold them.
    const unsigned char* Take(Chunk& chunk, std::size_t count)
    {
        if (count > chunk.Left())
            Damaged("the data of a chunk runs past its end");
        const unsigned char* p = m_pData + chunk.pos;
        chunk.pos += count;
        return p;
    }

    std::uint16_t ReadWord(Chunk& chunk) { return LoadU16(Take(chunk, 2)); }

    // The objects the walk of ReadMainChunks will meet, from the chunk
    // headers alone. Where the structure breaks the count stops: the walk
    // then reports the damage in its place.
    std::size_t CountObjects(Chunk& parent, int depth) const
    {
        std::size_t count = 0;
        Chunk child;
        while (depth < kMaxDepth && parent.pos < parent.end && ReadHeader(parent.pos, child) &&
               child.length >= kChunkHeaderSize && child.length <= parent.Left())
        {
            if (child.id == kChunkObject)
                ++count;
            else if (child.id == kChunkEditor)
                count += CountObjects(child, depth + 1);
            parent.pos = child.end;
        }
        return count;
    }

    // A zero-terminated string: the first kMaxNameLength bytes are kept and
    // the rest consumed, so that the walk stays in step with the file.
    template <typename Text> void ReadString(Chunk& chunk, Text& text)
    {
        const unsigned char* begin = m_pData + chunk.pos;
        const auto* zero = static_cast<const unsigned char*>(std::memchr(begin, 0, chunk.Left()));
        if (zero == nullptr)
            Damaged("the data of a chunk runs past its end");
        const auto length = static_cast<std::size_t>(zero - begin);
        text = std::string_view(reinterpret_cast<const char*>(begin), std::min(length, kMaxNameLength));
        chunk.pos += length + 1;
    }

    // A name chunk: its data up to the first zero byte, or to its end, cut
    // to kMaxNameLength bytes. (The walk goes on after the chunk, wherever
    // a handler stopped reading it.)
    void ReadNameChunk(const Chunk& chunk, std::string& text) const
    {
        const unsigned char* begin = m_pData + chunk.pos;
        const std::size_t count = std::min(chunk.Left(), kMaxNameLength);
        const auto* zero = static_cast<const unsigned char*>(std::memchr(begin, 0, count));
        text.assign(reinterpret_cast<const char*>(begin),
                    zero ? static_cast<std::size_t>(zero - begin) : count);
    }

    template <typename Handler> void Walk(Chunk& parent, Handler handle)
    {
        if (++m_nDepth > kMaxDepth)
            Damaged("its chunks are nested more than 64 levels deep");
        while (parent.pos < parent.end)
        {
            Chunk child;
            if (!ReadHeader(parent.pos, child))
                Damaged("the file ends inside a chunk");
            if (child.length < kChunkHeaderSize)
                Damaged("a chunk is shorter than its own header");
            if (child.length > parent.Left())
                Damaged("a chunk runs past the end of the chunk that holds it");
            handle(child);
            parent.pos = child.end;
        }
        --m_nDepth;
    }

    void ReadMainChunks(Chunk& parent)
    {
        Walk(parent, [this](Chunk& chunk) {
            switch (chunk.id)
            {
            case kChunkVersion:
                ReadVersion(chunk);
                break;
            case kChunkEditor:
                ReadMainChunks(chunk);
                break;
            case kChunkObject:
            {
                if (m_pProgress && !m_pProgress->Continue(chunk.pos, m_nTotal))
                    throw StoppedLoad{};
                ++m_model.m_nMeshCount;
                MeshObject& mesh = m_model.m_meshes.emplace_back();
                ReadString(chunk, mesh.name);
                ReadObjectChunks(mesh, chunk);
                break;
            }
            case kChunkMaterial:
                ++m_model.m_nMaterialCount;
                ReadMaterialChunks(m_model.m_materials.emplace_back(), chunk);
                break;
            default:
                break;
            }
        });
    }

    void ReadVersion(Chunk& chunk)
    {
        unsigned char bytes[4] = {0, 0, 0, 0};
        const std::size_t count = std::min<std::size_t>(chunk.Left(), 4);
        std::memcpy(bytes, Take(chunk, count), count);
        if ((LoadU32(bytes) & 0xFFFF) > 3)
            m_log.Warning("This 3DS file is over version 3 so it may load incorrectly",
                          platform::MessageOwner::None);
    }

    void ReadObjectChunks(MeshObject& mesh, Chunk& parent)
    {
        Walk(parent, [this, &mesh](Chunk& chunk) {
            switch (chunk.id)
            {
            case kChunkTriMesh:
                ReadObjectChunks(mesh, chunk);
                break;
            case kChunkVertexList:
                mesh.vertexCount = ReadCountedArray(mesh, chunk, mesh.Data().vertices,
                                                    "vertex positions than its vertex list counts");
                break;
            case kChunkFaceList:
                ReadFaceList(mesh, chunk);
                break;
            case kChunkFaceMaterial:
                ReadFaceMaterials(mesh, chunk);
                break;
            case kChunkSmoothGroup:
                ReadSmoothGroups(mesh, chunk);
                break;
            case kChunkLocalAxes:
                ReadLocalAxes(mesh, chunk);
                break;
            case kChunkMapCoords:
                mesh.mapCoordCount = ReadCountedArray(mesh, chunk, mesh.Data().mapCoords,
                                                      "mapping coordinates than it counts");
                break;
            default:
                break;
            }
        });
    }

    // A count and that many records of floats (positions or mapping
    // coordinates); anything beyond the counted records is passed over.
    template <typename Record>
    std::int32_t ReadCountedArray(const MeshObject& mesh, Chunk& chunk, std::vector<Record>& records,
                                  const char* fewer)
    {
        const std::uint16_t count = ReadWord(chunk);
        if (std::size_t{count} * sizeof(Record) > chunk.Left())
            Damaged(QuotedName(mesh) + " has fewer " + fewer);
        records.resize(count);
        if (count > 0)
            std::memcpy(static_cast<void*>(records.data()), Take(chunk, count * sizeof(Record)),
                        count * sizeof(Record));
        FixFloatOrder(reinterpret_cast<float*>(records.data()), count * (sizeof(Record) / sizeof(float)));
        return count;
    }

    void ReadFaceList(MeshObject& mesh, Chunk& chunk)
    {
        constexpr std::size_t kFaceSize = 8; // three vertex numbers and a flags word
        const std::uint16_t count = ReadWord(chunk);
        if (std::size_t{count} * kFaceSize > chunk.Left())
            Damaged(QuotedName(mesh) + " has fewer faces than its face list counts");
        const unsigned char* p = Take(chunk, count * kFaceSize);
        mesh.Data().faces.assign(count, FaceEntry{});
        for (FaceEntry& face : mesh.Data().faces)
        {
            face.vertexIndex[0] = LoadU16(p);
            face.vertexIndex[1] = LoadU16(p + 2);
            face.vertexIndex[2] = LoadU16(p + 4);
            p += kFaceSize;
        }
        mesh.faceCount = count;
        // After the faces come the face list's own sub-chunks: the material
        // groups and the smoothing groups.
        Walk(chunk, [this, &mesh](Chunk& group) {
            if (group.id == kChunkFaceMaterial)
                ReadFaceMaterials(mesh, group);
            else if (group.id == kChunkSmoothGroup)
                ReadSmoothGroups(mesh, group);
        });
    }

    // One 32-bit mask per face, without a count: as many as the chunk
    // holds. Whether they match the faces is judged when they are used.
    void ReadSmoothGroups(MeshObject& mesh, Chunk& chunk)
    {
        const std::size_t count = chunk.Left() / 4;
        const unsigned char* p = Take(chunk, count * 4);
        mesh.Data().smoothGroups.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            mesh.Data().smoothGroups[i] = LoadU32(p + i * 4);
    }

    // The object's X, Y and Z axes (then its origin, not needed here). The
    // vertices are stored in world space already; only the sign of the
    // axes' determinant matters: negative, the object was mirrored.
    void ReadLocalAxes(MeshObject& mesh, Chunk& chunk)
    {
        if (chunk.Left() < 36)
            return;
        float axes[9];
        std::memcpy(axes, Take(chunk, sizeof axes), sizeof axes);
        FixFloatOrder(axes, 9);
        const auto at = [&](int i) { return static_cast<double>(axes[i]); };
        const double determinant = at(0) * (at(4) * at(8) - at(5) * at(7)) -
                                   at(1) * (at(3) * at(8) - at(5) * at(6)) +
                                   at(2) * (at(3) * at(7) - at(4) * at(6));
        mesh.mirrored = determinant < 0.0;
    }

    void ReadFaceMaterials(MeshObject& mesh, Chunk& chunk)
    {
        std::string name;
        ReadString(chunk, name);
        const std::int32_t material = FindMaterial(name);
        const std::uint16_t count = ReadWord(chunk);
        if (std::size_t{count} * 2 > chunk.Left())
            Damaged(QuotedName(mesh) + " has a material group with fewer faces than it counts");
        const unsigned char* p = Take(chunk, count * std::size_t{2});
        for (std::uint16_t i = 0; i < count; ++i, p += 2)
        {
            // A face number beyond the face list, or a group before the face
            // list, names no face: it is passed over.
            const std::uint16_t face = LoadU16(p);
            if (face < mesh.Data().faces.size())
                mesh.Data().faces[face].materialIndex = material;
        }
    }

    // The first material read so far with exactly this name, letter case
    // included; 0 when there is none. Materials are complete when a group
    // is read, since a material chunk holds no groups. The index keeps a
    // file of many materials and many groups linear.
    std::int32_t FindMaterial(const std::string& name)
    {
        for (; m_nIndexedMaterials < m_model.m_nMaterialCount; ++m_nIndexedMaterials)
            m_materialsByName.emplace(
                m_model.m_materials.at(static_cast<std::size_t>(m_nIndexedMaterials)).name,
                m_nIndexedMaterials);
        const auto found = m_materialsByName.find(name);
        return found == m_materialsByName.end() ? 0 : found->second;
    }

    void ReadMaterialChunks(MaterialEntry& material, Chunk& parent)
    {
        Walk(parent, [this, &material](Chunk& chunk) {
            switch (chunk.id)
            {
            case kChunkMaterialName:
                ReadNameChunk(chunk, material.name);
                break;
            case kChunkTextureMap:
                ReadMaterialChunks(material, chunk);
                break;
            case kChunkMapFileName:
                ReadNameChunk(chunk, material.mapName);
                break;
            default:
                break;
            }
        });
    }

    const unsigned char* m_pData;
    std::size_t m_nSize;
    C3dsModel& m_model;
    platform::CMessageLog& m_log;
    IProgress* m_pProgress;
    std::uint64_t m_nTotal;
    int m_nDepth = 0;
    std::unordered_map<std::string, std::int32_t> m_materialsByName;
    std::int32_t m_nIndexedMaterials = 0;
};

// The normals and the writer index the vertex data with the faces' vertex
// numbers; this is the one place that makes those indices safe.
void CheckMeshes(const std::vector<MeshObject>& meshes)
{
    for (const MeshObject& mesh : meshes)
    {
        for (std::size_t f = 0; f < mesh.Data().faces.size(); ++f)
        {
            for (const std::uint32_t v : mesh.Data().faces[f].vertexIndex)
            {
                if (v >= static_cast<std::uint32_t>(mesh.vertexCount))
                    Damaged(QuotedName(mesh) + ": face " + std::to_string(f + 1) + " uses vertex " +
                            std::to_string(v) + ", but the mesh has " + std::to_string(mesh.vertexCount) +
                            " vertices (an object of more than 65,535 vertices, which the format cannot "
                            "hold, gives this when saved)");
            }
        }
        if (mesh.mapCoordCount > 0 && mesh.mapCoordCount < mesh.vertexCount)
            Damaged(QuotedName(mesh) + " has mapping coordinates for " + std::to_string(mesh.mapCoordCount) +
                    " of its " + std::to_string(mesh.vertexCount) + " vertices");
        for (const Vector3& p : mesh.Data().vertices)
        {
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                Damaged(QuotedName(mesh) + " has a vertex position that is not a finite number");
        }
        for (const MapCoord& uv : mesh.Data().mapCoords)
        {
            if (!std::isfinite(uv.u) || !std::isfinite(uv.v))
                Damaged(QuotedName(mesh) + " has a mapping coordinate that is not a finite number");
        }
    }
}

} // namespace

const MeshData MeshObject::kNoData;

// An empty object costs its record, which must stay within the bound a
// file's objects may take (three times the 21 bytes each takes in the
// file, with the file itself held while they are read).
static_assert(sizeof(void*) != 8 || sizeof(MeshObject) <= 40);

MeshObject::MeshObject(const MeshObject& other)
    : name(other.name), vertexCount(other.vertexCount), faceCount(other.faceCount),
      mapCoordCount(other.mapCoordCount), normalExponent(other.normalExponent), mirrored(other.mirrored),
      m_pData(other.m_pData ? std::make_unique<MeshData>(*other.m_pData) : nullptr)
{
}

MeshObject& MeshObject::operator=(const MeshObject& other)
{
    if (this != &other)
        *this = MeshObject(other);
    return *this;
}

MeshData& MeshObject::Data()
{
    if (!m_pData)
        m_pData = std::make_unique<MeshData>();
    return *m_pData;
}

bool C3dsModel::Load(const char* path, platform::CMessageLog& log, IProgress* pProgress)
{
    // Only a regular file is read: opening a pipe would wait for a writer
    // for ever, and a folder or a device (Windows' CON or AUX) is no model.
    // Whatever else stops the reading, the user learns the system's reason.
    Clear();
    m_bStopped = false;
    platform::CFile file;
    platform::FileFacts facts;
    std::string reason;
    bool bNotFound = false;
    if (!platform::OpenForReading(path, file, facts, reason, bNotFound))
    {
        if (bNotFound)
            log.Error(std::string("Unable to find the file: ") + path);
        else
            log.Error(std::string("Unable to read ") + path + ": " + reason);
        return false;
    }
    const auto read = [&file](unsigned char* buffer, std::size_t count) -> std::size_t {
        const long got = platform::ReadSome(file, buffer, count);
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    };
    return LoadFrom(read, facts.size, path, log, pProgress);
}

bool C3dsModel::Load(std::istream& file, const std::string& path, platform::CMessageLog& log,
                     IProgress* pProgress)
{
    Clear();
    m_bStopped = false;
    std::uint64_t size = kUnknownSize;
    const std::streamoff start = file.tellg();
    if (start >= 0 && file.seekg(0, std::ios::end))
    {
        const std::streamoff end = file.tellg();
        file.seekg(start);
        size = static_cast<std::uint64_t>(std::max<std::streamoff>(end - start, 0));
    }
    file.clear();
    const auto read = [&file](unsigned char* buffer, std::size_t count) -> std::size_t {
        file.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(count));
        return static_cast<std::size_t>(file.gcount());
    };
    return LoadFrom(read, size, path, log, pProgress);
}

template <typename Read>
bool C3dsModel::LoadFrom(Read read, std::uint64_t size, const std::string& path, platform::CMessageLog& log,
                         IProgress* pProgress)
{
    // count bytes, or fewer at the end of the file.
    const auto readFully = [&read](unsigned char* buffer, std::size_t count) {
        std::size_t done = 0;
        for (std::size_t got = 1; done < count && got > 0; done += got)
            got = read(buffer + done, count - done);
        return done;
    };

    // The header decides what the rest may cost: a file that is no model
    // is refused after six bytes however large it is, and a main chunk is
    // never given more memory than the file has bytes.
    unsigned char header[kChunkHeaderSize];
    if (readFully(header, sizeof header) < sizeof header || LoadU16(header) != kChunkPrimary)
    {
        ReportNotA3dsFile(path, log);
        return false;
    }
    const std::uint32_t length = LoadU32(header + 2);
    if (length < kChunkHeaderSize || (size != kUnknownSize && length > size))
    {
        ReportDamage(path, length < kChunkHeaderSize ? kShortMainChunk : kFileEndsEarly, log);
        return false;
    }

    // The main chunk whole in memory, read in steps that the progress can
    // stop; bytes after it are never looked at. A stream of unknown size
    // grows its buffer as the bytes come, so its claim costs nothing
    // before they do.
    const std::uint64_t total = size != kUnknownSize ? size : length;
    std::unique_ptr<unsigned char[]> known;
    std::vector<unsigned char> grown;
    if (size != kUnknownSize)
        known = std::make_unique_for_overwrite<unsigned char[]>(length); // the reads fill it
    unsigned char* data = known.get();
    std::size_t have = sizeof header;
    if (known)
        std::memcpy(data, header, sizeof header);
    else
        grown.assign(header, header + sizeof header);
    while (have < length)
    {
        if (pProgress && !pProgress->Continue(have, total))
        {
            m_bStopped = true;
            return false;
        }
        const std::size_t step = std::min<std::size_t>(length - have, kProgressStep);
        if (!known)
        {
            grown.resize(have + step);
            data = grown.data();
        }
        const std::size_t got = readFully(data + have, step);
        have += got;
        if (got < step)
            break;
    }
    return ReadBytes(known ? data : grown.data(), have, path, log, pProgress, total);
}

bool C3dsModel::LoadBytes(const unsigned char* data, std::size_t size, const std::string& path,
                          platform::CMessageLog& log, IProgress* pProgress)
{
    return ReadBytes(data, size, path, log, pProgress, size);
}

bool C3dsModel::ReadBytes(const unsigned char* data, std::size_t size, const std::string& path,
                          platform::CMessageLog& log, IProgress* pProgress, std::uint64_t total)
{
    Clear();
    m_bStopped = false;
    CChunkReader reader(data, size, *this, log, pProgress, total);
    Chunk primary;
    if (!reader.ReadPrimaryHeader(primary))
    {
        ReportNotA3dsFile(path, log);
        return false;
    }
    try
    {
        reader.ReadFile(primary);
        CheckMeshes(m_meshes);
    }
    catch (const DamagedFile& damage)
    {
        ReportDamage(path, damage.reason, log);
        Clear();
        return false;
    }
    catch (const StoppedLoad&)
    {
        Clear();
        m_bStopped = true;
        return false;
    }
    WarnOfMirroredMeshes(log);
    return true;
}

void C3dsModel::WarnOfMirroredMeshes(platform::CMessageLog& log) const
{
    std::string names;
    int count = 0;
    for (const MeshObject& mesh : m_meshes)
        if (mesh.mirrored)
            names += (count++ == 0 ? "\"" : ", \"") + mesh.name + "\"";
    if (count == 1)
        log.Warning("Mesh " + names + " was mirrored; its faces may show their back",
                    platform::MessageOwner::None);
    else if (count > 1)
        log.Warning("Meshes " + names + " were mirrored; their faces may show their back",
                    platform::MessageOwner::None);
}

void C3dsModel::Clear()
{
    m_nMaterialCount = 0;
    m_nMeshCount = 0;
    m_materials.clear();
    m_meshes.clear();
}
