#include "reference_normals.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace build3ds;

namespace
{

C3dsModel WithMesh(MeshObject mesh)
{
    C3dsModel model;
    model.m_meshes.push_back(std::move(mesh));
    model.m_nMeshCount = 1;
    model.ComputeNormals();
    return model;
}

void ExpectVector(const Vector3& v, float x, float y, float z)
{
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

bool SameBits(const Vector3& a, const Vector3& b)
{
    return std::memcmp(&a, &b, sizeof(Vector3)) == 0;
}

} // namespace

TEST(Normals, TriangleWindingGivesTheSign)
{
    const C3dsModel model = WithMesh(MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}, 0}}));
    ExpectVector(model.m_meshes[0].faceNormals[0], 0, 0, -1);
    for (const Vector3& n : model.m_meshes[0].vertexNormals)
        ExpectVector(n, 0, 0, -1);
    const C3dsModel swapped = WithMesh(MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 2, 1}, 0}}));
    ExpectVector(swapped.m_meshes[0].faceNormals[0], 0, 0, 1);
}

TEST(Normals, DegenerateFaceCountsButAddsNothing)
{
    // Face 1 is collinear: zero normal, yet it counts for vertex 0, which
    // then averages (0,0,-1) with zero before normalising: still (0,0,-1).
    const C3dsModel model = WithMesh(MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}},
                                              {{{0, 1, 2}, 0}, {{0, 1, 3}, 0}}));
    ExpectVector(model.m_meshes[0].faceNormals[1], 0, 0, 0);
    ExpectVector(model.m_meshes[0].vertexNormals[0], 0, 0, -1);
    ExpectVector(model.m_meshes[0].vertexNormals[3], 0, 0, 0);
}

TEST(Normals, FlatSquareSharesOneNormalAndUnusedVertexIsZero)
{
    const C3dsModel model = WithMesh(MakeMesh({{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 0}, {5, 5, 5}},
                                              {{{0, 2, 1}, 0}, {{1, 2, 3}, 0}}));
    ExpectVector(model.m_meshes[0].vertexNormals[1], 0, 0, 1);
    ExpectVector(model.m_meshes[0].vertexNormals[2], 0, 0, 1);
    ExpectVector(model.m_meshes[0].vertexNormals[4], 0, 0, 0);
}

TEST(Normals, LinearSumsMatchQuadraticDefinitionBitForBit)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
    for (int round = 0; round < 20; ++round)
    {
        const int vertexCount = 3 + static_cast<int>(random() % 200);
        std::uniform_int_distribution<std::uint32_t> vertex(0, static_cast<std::uint32_t>(vertexCount - 1));
        std::vector<Vector3> vertices(static_cast<std::size_t>(vertexCount));
        for (Vector3& v : vertices)
            v = {coordinate(random), coordinate(random), coordinate(random)};
        // Faces that repeat corners too: each face counts once per vertex.
        std::vector<FaceEntry> faces(random() % 600);
        for (FaceEntry& face : faces)
            face = {{vertex(random), vertex(random), (random() % 8 == 0) ? 0u : vertex(random)}, 0};

        const C3dsModel model = WithMesh(MakeMesh(vertices, faces));
        const std::vector<Vector3> expected = QuadraticVertexNormals(model.m_meshes[0]);
        for (std::size_t v = 0; v < expected.size(); ++v)
            ASSERT_TRUE(SameBits(model.m_meshes[0].vertexNormals[v], expected[v])) << round << " vertex " << v;
    }
}

TEST(Normals, LoadedModelHasNormalArraysForEveryMesh)
{
    C3dsModel model;
    ASSERT_TRUE(LoadBytes(model, File({Material("A"), Object(Cube()), Object("Empty", {})})));
    EXPECT_EQ(model.m_meshes[0].faceNormals.size(), 12u);
    EXPECT_EQ(model.m_meshes[0].vertexNormals.size(), 8u);
    EXPECT_TRUE(model.m_meshes[1].faceNormals.empty());
}
