#include "chunk_builder.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace build3ds
{

Bytes U16(std::uint16_t value)
{
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
}

Bytes U32(std::uint32_t value)
{
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

Bytes F32(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return U32(bits);
}

Bytes Str(const std::string& text)
{
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

Bytes Zeros(std::size_t count)
{
    return Bytes(count, 0);
}

Bytes Cat(const std::vector<Bytes>& parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    return Cat(std::vector<Bytes>(parts));
}

Bytes Chunk(std::uint16_t id, const std::vector<Bytes>& parts)
{
    const Bytes body = Cat(parts);
    return Cat({U16(id), U32(static_cast<std::uint32_t>(body.size() + kChunkHeaderSize)), body});
}

Bytes Chunk(std::uint16_t id, std::initializer_list<Bytes> parts)
{
    return Chunk(id, std::vector<Bytes>(parts));
}

Bytes ChunkWithLength(std::uint16_t id, std::uint32_t length, std::initializer_list<Bytes> parts)
{
    return Cat({U16(id), U32(length), Cat(parts)});
}

Bytes Nested(std::uint16_t id, int levels, const Bytes& inner)
{
    // Headers first, then the content once: no copy per level.
    std::vector<Bytes> parts;
    for (int level = 0; level < levels; ++level)
        parts.push_back(Cat(
            {U16(id), U32(static_cast<std::uint32_t>((levels - level) * kChunkHeaderSize + inner.size()))}));
    parts.push_back(inner);
    return Cat(parts);
}

Bytes VertexList(const std::vector<Vector3>& vertices)
{
    std::vector<Bytes> parts{U16(static_cast<std::uint16_t>(vertices.size()))};
    for (const Vector3& v : vertices)
        parts.push_back(Cat({F32(v.x), F32(v.y), F32(v.z)}));
    return Chunk(kChunkVertexList, parts);
}

Bytes FaceList(const std::vector<Triangle>& faces, const std::vector<Bytes>& subChunks)
{
    std::vector<Bytes> parts{U16(static_cast<std::uint16_t>(faces.size()))};
    for (const Triangle& f : faces)
        parts.push_back(Cat({U16(f[0]), U16(f[1]), U16(f[2]), U16(0)}));
    parts.insert(parts.end(), subChunks.begin(), subChunks.end());
    return Chunk(kChunkFaceList, parts);
}

Bytes MaterialGroup(const std::string& material, const std::vector<std::uint16_t>& faces)
{
    std::vector<Bytes> parts{Str(material), U16(static_cast<std::uint16_t>(faces.size()))};
    for (const std::uint16_t f : faces)
        parts.push_back(U16(f));
    return Chunk(kChunkFaceMaterial, parts);
}

Bytes MapCoords(const std::vector<MapCoord>& coords)
{
    std::vector<Bytes> parts{U16(static_cast<std::uint16_t>(coords.size()))};
    for (const MapCoord& uv : coords)
        parts.push_back(Cat({F32(uv.u), F32(uv.v)}));
    return Chunk(kChunkMapCoords, parts);
}

Bytes Version(std::uint32_t version)
{
    return Chunk(kChunkVersion, {U32(version)});
}

Bytes Object(const Mesh& mesh)
{
    std::vector<Bytes> groups;
    for (const auto& [material, faces] : mesh.groups)
        groups.push_back(MaterialGroup(material, faces));
    std::vector<Bytes> children{VertexList(mesh.vertices)};
    if (!mesh.faces.empty())
        children.push_back(FaceList(mesh.faces, groups)); // the groups are sub-chunks of the face list
    if (!mesh.mapCoords.empty())
        children.push_back(MapCoords(mesh.mapCoords));
    return Chunk(kChunkObject, {Str(mesh.name), Chunk(kChunkTriMesh, children)});
}

Bytes Object(const std::string& name, std::initializer_list<Bytes> children)
{
    return Chunk(kChunkObject, {Str(name), Cat(children)});
}

Bytes Material(const std::string& name, const std::string& mapName)
{
    std::vector<Bytes> parts{Chunk(kChunkMaterialName, {Str(name)}),
                             Chunk(kChunkDiffuseColor, {Chunk(0x0011, {Bytes{200, 200, 200}})})};
    if (!mapName.empty())
        parts.push_back(Chunk(kChunkTextureMap, {Chunk(0xA300, {Str(mapName)}), Chunk(0xA351, {U16(0)})}));
    return Chunk(kChunkMaterial, parts);
}

Bytes File(const std::vector<Bytes>& editorChildren)
{
    return Chunk(kChunkPrimary, {Version(3), Chunk(kChunkEditor, editorChildren)});
}

Bytes File(std::initializer_list<Bytes> editorChildren)
{
    return File(std::vector<Bytes>(editorChildren));
}

Mesh Triangle1(const std::string& name)
{
    Mesh mesh;
    mesh.name = name;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces = {{0, 1, 2}};
    mesh.mapCoords = {{0, 0}, {1, 0}, {0, 1}};
    return mesh;
}

Mesh Cube(const std::string& name, float size)
{
    Mesh mesh;
    mesh.name = name;
    for (int i = 0; i < 8; ++i)
    {
        mesh.vertices.push_back({(i & 1) ? size : 0.0f, (i & 2) ? size : 0.0f, (i & 4) ? size : 0.0f});
        mesh.mapCoords.push_back({(i & 1) ? 1.0f : 0.0f, (i & 2) ? 1.0f : 0.0f});
    }
    mesh.faces = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                  {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    return mesh;
}

std::istringstream AsStream(const Bytes& bytes)
{
    return std::istringstream(std::string(bytes.begin(), bytes.end()), std::ios::binary);
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace build3ds
