#pragma once

#include "model/vector3.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <unordered_map>
#include <vector>

// The reader's view of one chunk. bytesRead counts the header too, and only
// bytes that reads actually delivered.
struct ChunkRecord
{
    std::uint16_t id = 0;
    std::uint32_t length = 0;
    std::uint32_t bytesRead = 0;
};

struct MapCoord
{
    float u = 0, v = 0;
};

// One triangle: the vertex numbers of its first, second and third corner, and
// the position of its material in C3dsModel::m_materials.
struct FaceEntry
{
    std::uint32_t vertexIndex[3] = {0, 0, 0};
    std::int32_t materialIndex = 0;
};

// Names hold at most kMaxNameLength bytes: the file format's fixed fields
// have room for 255 characters and a terminating zero.
inline constexpr std::size_t kMaxNameLength = 255;

struct MaterialEntry
{
    std::string name;
    std::string mapName; // file name of the first texture map; empty when there is none
};

// One named object of the file. After a successful Load every face's vertex
// numbers are below vertexCount, mapCoordCount is 0 or at least vertexCount,
// and every position and mapping coordinate is a finite number.
struct MeshObject
{
    std::int32_t vertexCount = 0;
    std::int32_t faceCount = 0;
    std::int32_t mapCoordCount = 0; // 0: the mesh has no mapping coordinates
    std::string name;
    std::vector<Vector3> vertices;
    std::vector<Vector3> vertexNormals;
    std::vector<Vector3> faceNormals;
    std::vector<MapCoord> mapCoords; // indexed by vertex number
    std::vector<FaceEntry> faces;
};

// One loaded .3ds file: its named objects as meshes and its materials, in
// file order. The counts always equal the sizes of the arrays; reach the
// records with at(), which checks the index.
class C3dsModel
{
public:
    C3dsModel() = default;
    C3dsModel(const C3dsModel&) = delete;
    C3dsModel& operator=(const C3dsModel&) = delete;
    C3dsModel(C3dsModel&&) = default;
    C3dsModel& operator=(C3dsModel&&) = default;

    // Reads the file at path and computes its normals. On failure the user
    // has been told why (missing file, not a .3ds file, damaged file), the
    // model is empty, and the result is false. Called once per model.
    [[nodiscard]] bool Load(const char* path);
    // The same over an open, seekable binary stream; path names it in messages.
    [[nodiscard]] bool Load(std::istream& file, const std::string& path);

    // Fills faceNormals and vertexNormals of every mesh from the positions.
    void ComputeNormals();

    std::int32_t m_nMaterialCount = 0;
    std::int32_t m_nMeshCount = 0;
    std::vector<MaterialEntry> m_materials;
    std::vector<MeshObject> m_meshes;

private:
    std::uint32_t ReadChunkHeader(ChunkRecord& chunk);
    void SkipChunk();
    std::uint32_t ReadString(ChunkRecord& chunk, std::string& text);
    std::uint16_t ReadWord(ChunkRecord& chunk);
    void ReadBytes(ChunkRecord& chunk, void* data, std::uint32_t count);
    void ReadNameChunk(ChunkRecord& chunk, std::string& text);

    template <typename Handler> void Walk(ChunkRecord& parent, Handler handle);
    void ReadMainChunks(ChunkRecord& parent);
    void ReadObjectChunks(MeshObject& mesh, ChunkRecord& parent);
    void ReadMaterialChunks(MaterialEntry& material, ChunkRecord& parent);
    void ReadVersion(ChunkRecord& chunk);
    void ReadVertexList(MeshObject& mesh, ChunkRecord& chunk);
    void ReadFaceList(MeshObject& mesh, ChunkRecord& chunk);
    void ReadFaceMaterials(MeshObject& mesh, ChunkRecord& chunk);
    void ReadMapCoords(MeshObject& mesh, ChunkRecord& chunk);
    std::int32_t FindMaterial(const std::string& name);
    void CheckMeshes() const;
    void Clear();

    std::istream* m_pFile = nullptr; // the source while Load runs
    ChunkRecord* m_pChunk = nullptr; // the chunk whose header was read last, innermost level
    int m_nDepth = 0;
    // Material names to the first index with that name, for the materials
    // read so far: a file of many materials and many groups stays linear.
    std::unordered_map<std::string, std::int32_t> m_materialsByName;
    std::int32_t m_nIndexedMaterials = 0;
};
