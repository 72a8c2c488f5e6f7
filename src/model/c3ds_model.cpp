#include "model/c3ds_model.h"

#include "model/chunk_ids.h"
#include "platform/notifier.h"
#include "platform/text_path.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>

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

} // namespace

bool C3dsModel::Load(const char* path)
{
    // Only a regular file is read: opening a pipe would wait for a writer
    // for ever, and a folder or a device is no model.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(platform::FileSystemPath(path), error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    {
        platform::ShowError(std::string("Unable to read ") + path +
                            ": it is not a file (a folder, a pipe or a device cannot be converted)");
        return false;
    }

    // A larger buffer than the default 8 KiB: strings are read byte by byte
    // and arrays in one piece, both from the stream's buffer.
    auto buffer = std::make_unique<char[]>(1 << 16);
    std::ifstream file;
    file.rdbuf()->pubsetbuf(buffer.get(), 1 << 16);
    file.open(platform::FileSystemPath(path), std::ios::binary);
    if (!file.is_open())
    {
        platform::ShowError(std::string("Unable to find the file: ") + path);
        return false;
    }
    return Load(file, path);
}

bool C3dsModel::Load(std::istream& file, const std::string& path)
{
    m_pFile = &file;
    m_nDepth = 0;

    ChunkRecord primary;
    m_pChunk = &primary;
    if (ReadChunkHeader(primary) < kChunkHeaderSize || primary.id != kChunkPrimary)
    {
        platform::ShowError("Unable to load PRIMARY chunk from file: " + path + "    \n\nNot a valid 3ds file",
                            platform::MessageOwner::None);
        Clear();
        return false;
    }

    try
    {
        // Every child must fit in its parent, so one check of the primary
        // chunk against the file size keeps all seeks inside the file. Bytes
        // after the primary chunk are never looked at.
        file.seekg(0, std::ios::end);
        const std::streamoff fileSize = file.tellg();
        file.seekg(kChunkHeaderSize, std::ios::beg);
        if (primary.length < kChunkHeaderSize)
            Damaged("the main chunk is shorter than its header");
        if (fileSize < 0 || !file || static_cast<std::uint64_t>(fileSize) < primary.length)
            Damaged("the file ends before the end of its main chunk");

        ReadMainChunks(primary);
        CheckMeshes();
    }
    catch (const DamagedFile& damage)
    {
        platform::ShowError("The file " + path + " is damaged and cannot be converted:\n\n" + damage.reason + ".",
                            platform::MessageOwner::None);
        Clear();
        return false;
    }

    ComputeNormals();
    m_materialsByName.clear();
    m_nIndexedMaterials = 0;
    m_pFile = nullptr;
    m_pChunk = nullptr;
    return true;
}

void C3dsModel::Clear()
{
    m_nMaterialCount = 0;
    m_nMeshCount = 0;
    m_materials.clear();
    m_meshes.clear();
    m_materialsByName.clear();
    m_nIndexedMaterials = 0;
    m_pFile = nullptr;
    m_pChunk = nullptr;
}

std::uint32_t C3dsModel::ReadChunkHeader(ChunkRecord& chunk)
{
    unsigned char header[kChunkHeaderSize];
    m_pFile->read(reinterpret_cast<char*>(header), kChunkHeaderSize);
    chunk.bytesRead = static_cast<std::uint32_t>(m_pFile->gcount());
    chunk.id = chunk.bytesRead >= 2 ? LoadU16(header) : 0;
    chunk.length = chunk.bytesRead >= kChunkHeaderSize ? LoadU32(header + 2) : 0;
    return chunk.bytesRead;
}

void C3dsModel::SkipChunk()
{
    ChunkRecord& chunk = *m_pChunk;
    const std::uint32_t left = chunk.length - chunk.bytesRead;
    if (left > 0)
    {
        m_pFile->seekg(static_cast<std::streamoff>(left), std::ios::cur);
        if (!*m_pFile)
            Damaged("the file cannot be read to its end");
    }
    chunk.bytesRead = chunk.length;
}

void C3dsModel::ReadBytes(ChunkRecord& chunk, void* data, std::uint32_t count)
{
    // Compared with what is left, which cannot overflow.
    if (count > chunk.length - chunk.bytesRead)
        Damaged("the data of a chunk runs past its end");
    m_pFile->read(static_cast<char*>(data), count);
    if (static_cast<std::uint32_t>(m_pFile->gcount()) != count)
        Damaged("the file ends inside a chunk");
    chunk.bytesRead += count;
}

std::uint16_t C3dsModel::ReadWord(ChunkRecord& chunk)
{
    unsigned char bytes[2];
    ReadBytes(chunk, bytes, 2);
    return LoadU16(bytes);
}

std::uint32_t C3dsModel::ReadString(ChunkRecord& chunk, std::string& text)
{
    // Keeps the first kMaxNameLength bytes and consumes the rest of the
    // string, so that the walk stays in step with the file.
    text.clear();
    std::uint32_t consumed = 0;
    for (;;)
    {
        char c;
        ReadBytes(chunk, &c, 1);
        ++consumed;
        if (c == '\0')
            return consumed;
        if (text.size() < kMaxNameLength)
            text += c;
    }
}

void C3dsModel::ReadNameChunk(ChunkRecord& chunk, std::string& text)
{
    // The chunk's data up to its first zero byte, or to its end.
    char data[kMaxNameLength + 1];
    const std::uint32_t count =
        std::min<std::uint32_t>(chunk.length - chunk.bytesRead, static_cast<std::uint32_t>(sizeof data));
    ReadBytes(chunk, data, count);
    const auto length = std::find(data, data + std::min<std::size_t>(count, kMaxNameLength), '\0') - data;
    text.assign(data, static_cast<std::size_t>(length));
    SkipChunk();
}

template <typename Handler> void C3dsModel::Walk(ChunkRecord& parent, Handler handle)
{
    if (++m_nDepth > kMaxDepth)
        Damaged("its chunks are nested more than 64 levels deep");

    ChunkRecord child;
    ChunkRecord* pParent = m_pChunk;
    m_pChunk = &child;
    while (parent.bytesRead < parent.length)
    {
        const std::uint32_t parentLeft = parent.length - parent.bytesRead;
        if (ReadChunkHeader(child) < kChunkHeaderSize)
            Damaged("the file ends inside a chunk");
        if (child.length < kChunkHeaderSize)
            Damaged("a chunk is shorter than its own header");
        if (child.length > parentLeft)
            Damaged("a chunk runs past the end of the chunk that holds it");
        handle(child);
        parent.bytesRead += child.bytesRead;
    }
    m_pChunk = pParent;
    --m_nDepth;
}

void C3dsModel::ReadMainChunks(ChunkRecord& parent)
{
    Walk(parent, [this](ChunkRecord& chunk) {
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
            ++m_nMeshCount;
            MeshObject& mesh = m_meshes.emplace_back();
            ReadString(chunk, mesh.name);
            ReadObjectChunks(mesh, chunk);
            break;
        }
        case kChunkMaterial:
            ++m_nMaterialCount;
            ReadMaterialChunks(m_materials.emplace_back(), chunk);
            break;
        default:
            SkipChunk();
            break;
        }
    });
}

void C3dsModel::ReadVersion(ChunkRecord& chunk)
{
    unsigned char bytes[4] = {0, 0, 0, 0};
    ReadBytes(chunk, bytes, std::min<std::uint32_t>(chunk.length - chunk.bytesRead, 4));
    SkipChunk();
    if ((LoadU32(bytes) & 0xFFFF) > 3)
        platform::ShowMessage("This 3DS file is over version 3 so it may load incorrectly", "Warning",
                              platform::MessageKind::Exclamation, platform::MessageOwner::None);
}

void C3dsModel::ReadObjectChunks(MeshObject& mesh, ChunkRecord& parent)
{
    Walk(parent, [this, &mesh](ChunkRecord& chunk) {
        switch (chunk.id)
        {
        case kChunkTriMesh:
            ReadObjectChunks(mesh, chunk);
            break;
        case kChunkVertexList:
            ReadVertexList(mesh, chunk);
            break;
        case kChunkFaceList:
            ReadFaceList(mesh, chunk);
            break;
        case kChunkFaceMaterial:
            ReadFaceMaterials(mesh, chunk);
            break;
        case kChunkMapCoords:
            ReadMapCoords(mesh, chunk);
            break;
        default:
            SkipChunk();
            break;
        }
    });
}

void C3dsModel::ReadVertexList(MeshObject& mesh, ChunkRecord& chunk)
{
    const std::uint16_t count = ReadWord(chunk);
    if (std::uint64_t{count} * sizeof(Vector3) > chunk.length - chunk.bytesRead)
        Damaged(QuotedName(mesh) + " has fewer vertex positions than its vertex list counts");
    mesh.vertices.assign(count, Vector3{});
    ReadBytes(chunk, mesh.vertices.data(), count * static_cast<std::uint32_t>(sizeof(Vector3)));
    FixFloatOrder(reinterpret_cast<float*>(mesh.vertices.data()), count * 3u);
    mesh.vertexCount = count;
    SkipChunk(); // anything beyond the counted positions
}

void C3dsModel::ReadFaceList(MeshObject& mesh, ChunkRecord& chunk)
{
    constexpr std::uint32_t kFaceSize = 8; // three vertex numbers and a flags word
    const std::uint16_t count = ReadWord(chunk);
    if (std::uint64_t{count} * kFaceSize > chunk.length - chunk.bytesRead)
        Damaged(QuotedName(mesh) + " has fewer faces than its face list counts");
    std::vector<unsigned char> data(count * kFaceSize);
    ReadBytes(chunk, data.data(), count * kFaceSize);
    mesh.faces.assign(count, FaceEntry{});
    for (std::uint32_t f = 0; f < count; ++f)
    {
        const unsigned char* p = &data[f * kFaceSize];
        mesh.faces[f].vertexIndex[0] = LoadU16(p);
        mesh.faces[f].vertexIndex[1] = LoadU16(p + 2);
        mesh.faces[f].vertexIndex[2] = LoadU16(p + 4);
    }
    mesh.faceCount = count;
    // The face list's sub-chunks (material and smoothing groups) are not
    // entered here: the object walk meets them next, as siblings.
}

void C3dsModel::ReadFaceMaterials(MeshObject& mesh, ChunkRecord& chunk)
{
    std::string name;
    ReadString(chunk, name);
    const std::int32_t material = FindMaterial(name);

    const std::uint16_t count = ReadWord(chunk);
    if (std::uint32_t{count} * 2 > chunk.length - chunk.bytesRead)
        Damaged(QuotedName(mesh) + " has a material group with fewer faces than it counts");
    for (std::uint16_t i = 0; i < count; ++i)
    {
        // A face number beyond the face list, or a group before the face
        // list, names no face: it is passed over.
        const std::uint16_t face = ReadWord(chunk);
        if (face < mesh.faces.size())
            mesh.faces[face].materialIndex = material;
    }
    SkipChunk();
}

// The first material read so far with exactly this name, letter case
// included; 0 when there is none. Materials are complete when a group is
// read, since a material chunk holds no groups.
std::int32_t C3dsModel::FindMaterial(const std::string& name)
{
    for (; m_nIndexedMaterials < m_nMaterialCount; ++m_nIndexedMaterials)
        m_materialsByName.emplace(m_materials.at(static_cast<std::size_t>(m_nIndexedMaterials)).name,
                                  m_nIndexedMaterials);
    const auto found = m_materialsByName.find(name);
    return found == m_materialsByName.end() ? 0 : found->second;
}

void C3dsModel::ReadMapCoords(MeshObject& mesh, ChunkRecord& chunk)
{
    const std::uint16_t count = ReadWord(chunk);
    if (std::uint64_t{count} * sizeof(MapCoord) > chunk.length - chunk.bytesRead)
        Damaged(QuotedName(mesh) + " has fewer mapping coordinates than it counts");
    mesh.mapCoords.assign(count, MapCoord{});
    ReadBytes(chunk, mesh.mapCoords.data(), count * static_cast<std::uint32_t>(sizeof(MapCoord)));
    FixFloatOrder(reinterpret_cast<float*>(mesh.mapCoords.data()), count * 2u);
    mesh.mapCoordCount = count;
    SkipChunk();
}

void C3dsModel::ReadMaterialChunks(MaterialEntry& material, ChunkRecord& parent)
{
    Walk(parent, [this, &material](ChunkRecord& chunk) {
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
            SkipChunk();
            break;
        }
    });
}

// The normals and the writer index the vertex data with the faces' vertex
// numbers; this is the one place that makes those indices safe.
void C3dsModel::CheckMeshes() const
{
    for (const MeshObject& mesh : m_meshes)
    {
        for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        {
            for (const std::uint32_t v : mesh.faces[f].vertexIndex)
            {
                if (v >= static_cast<std::uint32_t>(mesh.vertexCount))
                    Damaged(QuotedName(mesh) + ": face " + std::to_string(f + 1) + " uses vertex " +
                            std::to_string(v) + ", but the mesh has " + std::to_string(mesh.vertexCount) +
                            " vertices");
            }
        }
        if (mesh.mapCoordCount > 0 && mesh.mapCoordCount < mesh.vertexCount)
            Damaged(QuotedName(mesh) + " has mapping coordinates for " + std::to_string(mesh.mapCoordCount) +
                    " of its " + std::to_string(mesh.vertexCount) + " vertices");
        for (const Vector3& p : mesh.vertices)
        {
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                Damaged(QuotedName(mesh) + " has a vertex position that is not a finite number");
        }
        for (const MapCoord& uv : mesh.mapCoords)
        {
            if (!std::isfinite(uv.u) || !std::isfinite(uv.v))
                Damaged(QuotedName(mesh) + " has a mapping coordinate that is not a finite number");
        }
    }
}
