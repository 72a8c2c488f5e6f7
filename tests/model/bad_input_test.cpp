#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace build3ds;

namespace
{

// Loads a file that must be refused as damaged: one message that names the
// file, and an empty model.
void ExpectDamaged(const Bytes& bytes, const std::string& detail = "")
{
    platform::RecordingBackend notes;
    C3dsModel model;
    EXPECT_FALSE(LoadBytes(model, bytes, "bad.3ds"));
    ASSERT_EQ(notes.m_messages.size(), 1u);
    const std::string& text = notes.m_messages[0].text;
    EXPECT_EQ(text.rfind("The file bad.3ds is damaged and cannot be converted:", 0), 0u) << text;
    EXPECT_NE(text.find(detail), std::string::npos) << text;
    EXPECT_EQ(notes.m_messages[0].caption, "Error");
    EXPECT_EQ(model.m_nMeshCount, 0);
    EXPECT_EQ(model.m_nMaterialCount, 0);
    EXPECT_TRUE(model.m_meshes.empty());
}

Bytes Editor(std::initializer_list<Bytes> children)
{
    return Chunk(kChunkPrimary, {Chunk(kChunkEditor, children)});
}

} // namespace

TEST(BadInput, LongNamesKeep255BytesAndTheWalkStaysInStep)
{
    const std::string longName(300, 'n');
    Mesh first = Triangle1(longName);
    first.groups = {{longName, {0}}};
    const Bytes file = File({Material("A"), Material(longName, std::string(280, 'm')), Object(first),
                             Object(Cube("After"))});
    C3dsModel model;
    ASSERT_TRUE(LoadBytes(model, file));
    ASSERT_EQ(model.m_nMeshCount, 2);
    EXPECT_EQ(model.m_meshes[0].name, std::string(255, 'n'));
    EXPECT_EQ(model.m_meshes[1].name, "After");
    EXPECT_EQ(model.m_materials[1].name, std::string(255, 'n'));
    EXPECT_EQ(model.m_materials[1].mapName, std::string(255, 'm'));
    // The group's name is cut the same way and still finds the material.
    EXPECT_EQ(model.m_meshes[0].faces[0].materialIndex, 1);
}

TEST(BadInput, LongVersionChunkIsConsumedToItsEnd)
{
    platform::RecordingBackend notes;
    C3dsModel model;
    const Bytes file = Chunk(kChunkPrimary, {Chunk(kChunkVersion, {U32(7), Zeros(36)}),
                                             Chunk(kChunkEditor, {Material("A"), Object(Triangle1())})});
    ASSERT_TRUE(LoadBytes(model, file));
    EXPECT_EQ(model.m_nMeshCount, 1);
    EXPECT_EQ(notes.m_messages.size(), 1u); // the version warning
}

TEST(BadInput, ExtraDataAfterCountedEntriesIsSkipped)
{
    const Bytes object = Object("Tri", {Chunk(kChunkTriMesh, {
        Chunk(kChunkVertexList, {U16(3), F32(0), F32(0), F32(0), F32(1), F32(0), F32(0), F32(0), F32(1), F32(0), Zeros(20)}),
        FaceList({{0, 1, 2}}),
        Chunk(kChunkMapCoords, {U16(3), Zeros(24), F32(99), F32(99)}),
    })});
    C3dsModel model;
    ASSERT_TRUE(LoadBytes(model, File({Material("A"), object})));
    const MeshObject& mesh = model.m_meshes[0];
    EXPECT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.mapCoords.size(), 3u);
    EXPECT_EQ(mesh.faceCount, 1);
}

TEST(BadInput, CountsBeyondTheDataAreDamage)
{
    ExpectDamaged(File({Object("Big", {Chunk(kChunkVertexList, {U16(65535), Zeros(12)})})}), "\"Big\"");
    ExpectDamaged(File({Object("Big", {Chunk(kChunkMapCoords, {U16(1000), Zeros(8)})})}), "mapping");
    ExpectDamaged(File({Object("Big", {Chunk(kChunkFaceList, {U16(9), Zeros(16)})})}), "faces");
    ExpectDamaged(File({Object("Big", {VertexList({{0, 0, 0}}), FaceList({{0, 0, 0}}),
                                       Chunk(kChunkFaceMaterial, {Str("A"), U16(500), U16(0)})})}));
    ExpectDamaged(File({Object("Big", {Chunk(kChunkVertexList, {Bytes{1}})})}));
}

TEST(BadInput, BrokenChunkStructureIsDamage)
{
    // A child shorter than its header, one of length 0, one past its parent.
    ExpectDamaged(Editor({ChunkWithLength(0x1234, 5)}), "shorter than its own header");
    ExpectDamaged(Editor({ChunkWithLength(0x1234, 0), Zeros(10)}), "shorter than its own header");
    ExpectDamaged(Editor({ChunkWithLength(0x1234, 100, {Zeros(10)})}), "runs past");
    // The primary chunk claims more than the file holds.
    ExpectDamaged(ChunkWithLength(kChunkPrimary, 1000, {Material("A")}), "ends before");
    // Leftover bytes in a parent too few for a header.
    ExpectDamaged(Chunk(kChunkPrimary, {Material("A"), Zeros(3)}), "ends inside");
    // An object name that runs to the end of its chunk.
    ExpectDamaged(Editor({Chunk(kChunkObject, {Bytes{'a', 'b', 'c'}})}), "runs past");
}

TEST(BadInput, NestingIsBoundedAt64Levels)
{
    const auto nested = [](int levels) { return Chunk(kChunkPrimary, {Nested(kChunkEditor, levels, Material("A"))}); };
    C3dsModel model;
    EXPECT_TRUE(LoadBytes(model, nested(62)));
    EXPECT_EQ(model.m_nMaterialCount, 1);
    ExpectDamaged(nested(63), "64 levels");
    ExpectDamaged(nested(10000), "64 levels");
}

TEST(BadInput, IndicesAndNumbersThatTheWriterCannotUseAreDamage)
{
    Mesh outOfRange = Triangle1("Wing");
    outOfRange.faces = {{0, 1, 2}, {0, 3, 1}};
    ExpectDamaged(File({Material("A"), Object(outOfRange)}), "mesh \"Wing\": face 2 uses vertex 3");

    Mesh fewCoords = Triangle1("Tail");
    fewCoords.mapCoords.pop_back();
    ExpectDamaged(File({Material("A"), Object(fewCoords)}), "mesh \"Tail\" has mapping coordinates for 2 of its 3");

    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()})
    {
        Mesh position = Triangle1("Nose");
        position.vertices[1].y = bad;
        ExpectDamaged(File({Material("A"), Object(position)}), "vertex position that is not a finite number");
        Mesh coord = Triangle1("Nose");
        coord.mapCoords[2].u = bad;
        ExpectDamaged(File({Material("A"), Object(coord)}), "mapping coordinate that is not a finite number");
    }
}

TEST(BadInput, MaterialGroupsNamingNoFaceAreIgnored)
{
    // A face number past the face list, and a group before any face list.
    Mesh mesh = Triangle1();
    mesh.groups = {{"B", {0, 1, 7, 65535}}};
    C3dsModel model;
    ASSERT_TRUE(LoadBytes(model, File({Material("A"), Material("B"), Object(mesh)})));
    EXPECT_EQ(model.m_meshes[0].faces[0].materialIndex, 1);

    const Bytes early = Object("Early", {Chunk(kChunkTriMesh, {MaterialGroup("B", {0}), VertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                                                               FaceList({{0, 1, 2}})})});
    C3dsModel second;
    ASSERT_TRUE(LoadBytes(second, File({Material("A"), Material("B"), early})));
    EXPECT_EQ(second.m_meshes[0].faces[0].materialIndex, 0);
}
