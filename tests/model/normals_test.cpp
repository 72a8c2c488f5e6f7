#include "reference_normals.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace
{

const MeshObject& Normals(C3dsModel& model, std::vector<Vector3> vertices, std::vector<FaceEntry> faces)
{
    model.m_meshes = {MakeMesh(std::move(vertices), std::move(faces))};
    model.m_nMeshCount = 1;
    model.ComputeNormals();
    return model.m_meshes[0];
}

// The vector as text, where -0 and 0 are the same.
std::string Text(const Vector3& v)
{
    return std::to_string(v.x + 0.0f) + " " + std::to_string(v.y + 0.0f) + " " + std::to_string(v.z + 0.0f);
}

} // namespace

// The winding gives the sign (a, b, c counter-clockwise seen from +z gives
// -z); a collinear face has the zero normal and adds nothing to its
// corners; a vertex of no face gets the zero normal.
TEST(Normals, WindingDegenerateFacesAndUnusedVertices)
{
    C3dsModel model;
    const MeshObject& mesh = Normals(model, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {5, 5, 5}},
                                     {{{0, 1, 2}, 0}, {{0, 1, 3}, 0}});
    EXPECT_EQ(Text(mesh.faceNormals[1]), Text({0, 0, 0}));
    EXPECT_EQ(Text(mesh.vertexNormals[0]), Text({0, 0, -1}));
    EXPECT_EQ(Text(mesh.vertexNormals[3]), Text({0, 0, 0}));
    EXPECT_EQ(Text(mesh.vertexNormals[4]), Text({0, 0, 0}));
}

// The linear computation gives the definition's bits: for each vertex, the
// faces that use it, summed in face order.
TEST(Normals, LinearSumsMatchTheQuadraticDefinitionBitForBit)
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

        C3dsModel model;
        const MeshObject& mesh = Normals(model, vertices, faces);
        const std::vector<Vector3> expected = QuadraticVertexNormals(mesh);
        for (std::size_t v = 0; v < expected.size(); ++v)
            ASSERT_EQ(std::memcmp(&mesh.vertexNormals[v], &expected[v], sizeof(Vector3)), 0)
                << round << " " << v;
    }
}
