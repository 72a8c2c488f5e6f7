#pragma once

#include "model/vector3.h"
#include "platform/messages.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

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

// One named object of the file. After a successful Load faceCount and
// vertexCount are at most 65,535 (the file counts them in 16 bits), every
// face's vertex numbers are below vertexCount, mapCoordCount is 0 or at least vertexCount,
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
    // The smoothing-group mask of each face as the file lists them (chunk
    // 0x4150); a well-formed mesh has one per face, or none at all.
    std::vector<std::uint32_t> smoothGroups;
    // Each face's first, second and third corner normal, when the normals
    // follow the smoothing groups (ComputeCornerNormals); empty otherwise,
    // and every corner then takes its vertex's normal.
    std::vector<Vector3> cornerNormals;
    // The object's local axes have a negative determinant: the modelling
    // program mirrored it, and its faces may be turned inside out.
    bool mirrored = false;
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

    // Reads the file at path; the normals are left to ComputeNormals, the
    // next step of a conversion. On failure log has
    // the reason (missing file, not a .3ds file, damaged file), the model is
    // empty, and the result is false. Warnings (a later version, mirrored
    // meshes) go to log too. Called once per model.
    [[nodiscard]] bool Load(const char* path, platform::CMessageLog& log);
    // The same over an open binary stream, read to its end; path names it
    // in messages.
    [[nodiscard]] bool Load(std::istream& file, const std::string& path, platform::CMessageLog& log);

    // Fills faceNormals and vertexNormals of every mesh from the positions.
    void ComputeNormals();
    // Fills cornerNormals of every mesh as the smoothing groups shade it,
    // from the positions and the normals of ComputeNormals: a corner of a
    // face of mask 0 takes the face normal; any other corner the unit
    // direction of the area-weighted normals of the faces at its vertex
    // that are joined to its face through shared bits. A face the mesh has
    // no mask for keeps its vertices' normals, and one warning names the
    // meshes whose masks do not match their faces (too few or too many).
    void ComputeCornerNormals(platform::CMessageLog& log);

    std::int32_t m_nMaterialCount = 0;
    std::int32_t m_nMeshCount = 0;
    std::vector<MaterialEntry> m_materials;
    std::vector<MeshObject> m_meshes;

    // The same over a file's bytes in memory.
    [[nodiscard]] bool LoadBytes(const unsigned char* data, std::size_t size, const std::string& path,
                                 platform::CMessageLog& log);

private:
    void Clear();
    // One warning naming the meshes that the modelling program mirrored.
    void WarnOfMirroredMeshes(platform::CMessageLog& log) const;
};

// Multiplies every vertex position of the model by multiplier. False, with
// the model untouched and the reason in log, when a coordinate would leave
// the range of a float (and reach the project file as "inf").
[[nodiscard]] bool Scale(C3dsModel& model, float multiplier, platform::CMessageLog& log);
