#pragma once

// Builds .3ds files in memory for tests, benchmarks, fuzz seeds and the
// example model: nested chunks with computed lengths, and a way to state a
// wrong length on purpose.

#include "model/c3ds_model.h"
#include "model/chunk_ids.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

// Chunks that only the tests write; the reader passes over them.
inline constexpr std::uint16_t kChunkLight = 0x4600;
inline constexpr std::uint16_t kChunkDiffuseColor = 0xA020;
inline constexpr std::uint16_t kChunkBumpMap = 0xA230;
inline constexpr std::uint16_t kChunkKeyframer = 0xB000;

namespace build3ds
{

using Bytes = std::vector<unsigned char>;

Bytes U16(std::uint16_t value);
Bytes U32(std::uint32_t value);
Bytes F32(float value);
Bytes Str(const std::string& text); // with its terminating zero
Bytes Zeros(std::size_t count);
Bytes Cat(std::initializer_list<Bytes> parts);
Bytes Cat(const std::vector<Bytes>& parts);

// A chunk whose length counts its header and parts.
Bytes Chunk(std::uint16_t id, std::initializer_list<Bytes> parts = {});
Bytes Chunk(std::uint16_t id, const std::vector<Bytes>& parts);
// A chunk that states the given length, whatever it holds.
Bytes ChunkWithLength(std::uint16_t id, std::uint32_t length, std::initializer_list<Bytes> parts = {});

// levels chunks of the id, each holding the next, the innermost holding inner.
Bytes Nested(std::uint16_t id, int levels, const Bytes& inner);

using Triangle = std::array<std::uint16_t, 3>;

Bytes VertexList(const std::vector<Vector3>& vertices);
Bytes FaceList(const std::vector<Triangle>& faces, const std::vector<Bytes>& subChunks = {});
Bytes MaterialGroup(const std::string& material, const std::vector<std::uint16_t>& faces);
Bytes MapCoords(const std::vector<MapCoord>& coords);
Bytes Version(std::uint32_t version);

// A mesh as plain data, and the object chunk that holds it.
struct Mesh
{
    std::string name = "Box";
    std::vector<Vector3> vertices;
    std::vector<Triangle> faces;
    std::vector<MapCoord> mapCoords;
    // Material groups: material name and the faces that use it.
    std::vector<std::pair<std::string, std::vector<std::uint16_t>>> groups;
};
Bytes Object(const Mesh& mesh);
Bytes Object(const std::string& name, std::initializer_list<Bytes> children);

// A material with a name and, when mapName is not empty, a first texture map.
Bytes Material(const std::string& name, const std::string& mapName = "");

// A whole file: the primary chunk holding a version chunk and the editor
// chunk, which holds the given children.
Bytes File(std::initializer_list<Bytes> editorChildren);
Bytes File(const std::vector<Bytes>& editorChildren);

Mesh Triangle1(const std::string& name = "Tri"); // the one triangle (0,0,0) (1,0,0) (0,1,0) with mapping
Mesh Cube(const std::string& name = "Box", float size = 1.0f); // 8 vertices, 12 faces, mapping coordinates

std::istringstream AsStream(const Bytes& bytes);
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);

} // namespace build3ds
