#include "test_support.h"

#include <gtest/gtest.h>

using namespace build3ds;

namespace
{

Mesh TwoFaces(std::vector<std::pair<std::string, std::vector<std::uint16_t>>> groups)
{
    Mesh mesh;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    mesh.faces = {{0, 1, 2}, {1, 3, 2}};
    mesh.groups = std::move(groups);
    return mesh;
}

} // namespace

TEST(MeshDecode, TriangleWithMappingCoordinates)
{
    C3dsModel model;
    ASSERT_TRUE(LoadBytes(model, File({Material("M"), Object(Triangle1())})));
    const MeshObject& mesh = model.m_meshes.at(0);
    EXPECT_EQ(mesh.name, "Tri");
    EXPECT_EQ(mesh.vertexCount, 3);
    EXPECT_EQ(mesh.faceCount, 1);
    EXPECT_EQ(mesh.mapCoordCount, 3);
    EXPECT_EQ(mesh.faces[0].vertexIndex[0], 0u);
    EXPECT_EQ(mesh.faces[0].vertexIndex[1], 1u);
    EXPECT_EQ(mesh.faces[0].vertexIndex[2], 2u);
    EXPECT_EQ(mesh.faces[0].materialIndex, 0);
    EXPECT_EQ(mesh.mapCoords[2].v, 1.0f);
    EXPECT_EQ(mesh.vertices[1].x, 1.0f);
}

TEST(MeshDecode, MaterialGroupsFindMaterialsByExactName)
{
    const Bytes materials = Cat({Material("A"), Material("B"), Material("C"), Material("C", "second.bmp")});
    // Group naming the third material: face 1 takes it, face 0 keeps 0.
    EXPECT_EQ(LoadOk(File({materials, Object(TwoFaces({{"C", {1}}}))})).m_meshes[0].faces[1].materialIndex, 2);
    EXPECT_EQ(LoadOk(File({materials, Object(TwoFaces({{"C", {1}}}))})).m_meshes[0].faces[0].materialIndex, 0);
    // Letter case matters; no match falls back to material 0.
    EXPECT_EQ(LoadOk(File({materials, Object(TwoFaces({{"b", {0, 1}}}))})).m_meshes[0].faces[1].materialIndex, 0);
    // The later group wins for a face named twice.
    const C3dsModel twice = LoadOk(File({materials, Object(TwoFaces({{"B", {0, 1}}, {"A", {1}}}))}));
    EXPECT_EQ(twice.m_meshes[0].faces[0].materialIndex, 1);
    EXPECT_EQ(twice.m_meshes[0].faces[1].materialIndex, 0);
}

TEST(MeshDecode, MaterialsReadAfterTheObjectAreNotFound)
{
    const C3dsModel model = LoadOk(File({Object(TwoFaces({{"B", {0, 1}}})), Material("A"), Material("B")}));
    EXPECT_EQ(model.m_meshes[0].faces[1].materialIndex, 0);
}

TEST(MeshDecode, MaterialGroupDirectlyInTriangleMesh)
{
    const Mesh mesh = TwoFaces({});
    const Bytes object = Object("Box", {Chunk(kChunkTriMesh, {VertexList(mesh.vertices), FaceList(mesh.faces),
                                                              Chunk(kChunkSmoothGroup, {U32(1), U32(1)}),
                                                              MaterialGroup("B", {1})})});
    const C3dsModel model = LoadOk(File({Material("A"), Material("B"), object}));
    EXPECT_EQ(model.m_meshes[0].faces[1].materialIndex, 1);
}

TEST(MeshDecode, ObjectWithoutMappingCoordinates)
{
    Mesh mesh = Triangle1();
    mesh.mapCoords.clear();
    const C3dsModel model = LoadOk(File({Material("A"), Object(mesh)}));
    EXPECT_EQ(model.m_meshes[0].mapCoordCount, 0);
    EXPECT_TRUE(model.m_meshes[0].mapCoords.empty());
}

TEST(MaterialDecode, NameAndFirstTextureMapOnly)
{
    const Bytes bumpOnly = Chunk(kChunkMaterial, {Chunk(kChunkMaterialName, {Str("Bumpy")}),
                                                  Chunk(kChunkBumpMap, {Chunk(kChunkMapFileName, {Str("bump.bmp")})})});
    const Bytes direct = Chunk(kChunkMaterial, {Chunk(kChunkMapFileName, {Str("first.bmp")}),
                                                Chunk(kChunkMapFileName, {Str("last.bmp")})});
    // A name chunk without a terminating zero holds its data to the chunk's end.
    const Bytes unterminated = Chunk(kChunkMaterial, {Chunk(kChunkMaterialName, {Bytes{'R', 'a', 'w'}})});
    const C3dsModel model = LoadOk(File({Material("Hull", "hull.bmp"), bumpOnly, direct, unterminated}));
    ASSERT_EQ(model.m_nMaterialCount, 4);
    EXPECT_EQ(model.m_materials[0].name, "Hull");
    EXPECT_EQ(model.m_materials[0].mapName, "hull.bmp");
    EXPECT_EQ(model.m_materials[1].name, "Bumpy");
    EXPECT_EQ(model.m_materials[1].mapName, "");
    EXPECT_EQ(model.m_materials[2].name, "");
    EXPECT_EQ(model.m_materials[2].mapName, "last.bmp");
    EXPECT_EQ(model.m_materials[3].name, "Raw");
}
