#pragma once

#include "model/short_string.h"
#include "model/vector3.h"
#include "platform/messages.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class IProgress;

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

// The arrays of a mesh. An object without vertices (a light, a camera,
// an empty object) has none, so that a file of millions of them costs
// little more than their names.
struct MeshData
{
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
};

// One named object of the file. After a successful Load faceCount and
// vertexCount are at most 65,535 (the file counts them in 16 bits), every
// face's vertex numbers are below vertexCount, mapCoordCount is 0 or at least vertexCount,
// and every position and mapping coordinate is a finite number.
struct MeshObject
{
    MeshObject() = default;
    MeshObject(const MeshObject& other);
    MeshObject& operator=(const MeshObject& other);
    MeshObject(MeshObject&&) noexcept = default;
    MeshObject& operator=(MeshObject&&) noexcept = default;
    ~MeshObject() = default;

    // The arrays; read through a const object, a mesh without them shows
    // empty ones, and written through a mutable one, they are made.
    const MeshData& Data() const { return m_pData ? *m_pData : kNoData; }
    MeshData& Data();
    bool HasData() const { return m_pData != nullptr; }

    CShortString name;
    std::int32_t vertexCount = 0;
    std::int32_t faceCount = 0;
    std::int32_t mapCoordCount = 0; // 0: the mesh has no mapping coordinates
    // The power of two the positions were multiplied by for the normals:
    // 0 but where single precision made a normal vanish (see
    // ComputeNormals).
    std::int16_t normalExponent = 0;
    // The object's local axes have a negative determinant: the modelling
    // program mirrored it, and its faces may be turned inside out.
    bool mirrored = false;

private:
    static const MeshData kNoData;
    std::unique_ptr<MeshData> m_pData;
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
    // next step of a conversion. On failure log has the reason (missing
    // file, not a .3ds file, damaged file), the model is empty, and the
    // result is false. Warnings (a later version, mirrored meshes) go to
    // log too. Called once per model.
    //
    // The header is read first: a file that is no .3ds, or whose main
    // chunk claims more bytes than the file has, is refused before the
    // rest is read, and no more than the main chunk's bytes are held.
    // pProgress, when given, is asked every few megabytes while the bytes
    // arrive (done: bytes read) and then between objects while they are
    // read (done: the bytes read into objects; it starts over), total
    // being the file's size. When it says to stop, the result is false
    // without a word and IsStopped() is true.
    [[nodiscard]] bool Load(const char* path, platform::CMessageLog& log, IProgress* pProgress = nullptr);
    // The same over an open binary stream, from its position to its end;
    // path names it in messages.
    [[nodiscard]] bool Load(std::istream& file, const std::string& path, platform::CMessageLog& log,
                            IProgress* pProgress = nullptr);
    // Whether the last Load was stopped by its progress rather than failed.
    [[nodiscard]] bool IsStopped() const { return m_bStopped; }

    // Fills faceNormals and vertexNormals of every mesh from the positions.
    // Where single precision gives a face of non-zero area no direction
    // (its cross product overflows, as on a cube of 1e19, or underflows, as
    // on one of 1e-23), the mesh's normals are computed on its positions
    // scaled by a power of two that brings them near 1, and a face still
    // left without one takes the direction of its exact cross product.
    // Other meshes keep the bits of the plain computation. pProgress, when
    // given, is asked before each mesh (done: meshes finished); when it
    // says to stop, the result is false and the normals are incomplete.
    bool ComputeNormals(IProgress* pProgress = nullptr);
    // Fills cornerNormals of every mesh as the smoothing groups shade it,
    // from the positions and the normals of ComputeNormals: a corner of a
    // face of mask 0 takes the face normal; any other corner the unit
    // direction of the area-weighted normals of the faces at its vertex
    // that are joined to its face through shared bits. A face the mesh has
    // no mask for keeps its vertices' normals, and one warning names the
    // meshes whose masks do not match their faces (too few or too many).
    // pProgress as for ComputeNormals: false when it stopped the work.
    bool ComputeCornerNormals(platform::CMessageLog& log, IProgress* pProgress = nullptr);

    std::int32_t m_nMaterialCount = 0;
    std::int32_t m_nMeshCount = 0;
    std::vector<MaterialEntry> m_materials;
    std::vector<MeshObject> m_meshes;

    // The same over a file's bytes in memory.
    [[nodiscard]] bool LoadBytes(const unsigned char* data, std::size_t size, const std::string& path,
                                 platform::CMessageLog& log, IProgress* pProgress = nullptr);

private:
    // Reads the main chunk through read(buffer, count), which returns the
    // bytes it got (0 at the end); size is the bytes there are, or
    // kUnknownSize.
    template <typename Read>
    bool LoadFrom(Read read, std::uint64_t size, const std::string& path, platform::CMessageLog& log,
                  IProgress* pProgress);
    // LoadBytes, telling the progress total bytes in all.
    bool ReadBytes(const unsigned char* data, std::size_t size, const std::string& path,
                   platform::CMessageLog& log, IProgress* pProgress, std::uint64_t total);
    void Clear();
    // One warning naming the meshes that the modelling program mirrored.
    void WarnOfMirroredMeshes(platform::CMessageLog& log) const;

    bool m_bStopped = false;
};

// Multiplies every vertex position of the model by multiplier. False, with
// the model untouched and the reason in log, when a coordinate would leave
// the range of a float (and reach the project file as "inf").
[[nodiscard]] bool Scale(C3dsModel& model, float multiplier, platform::CMessageLog& log);
// Whether Scale would succeed, with its reason in log when not; for a
// model that is scaled as it is written rather than in place.
[[nodiscard]] bool CanScale(const C3dsModel& model, float multiplier, platform::CMessageLog& log);
