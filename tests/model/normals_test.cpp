#include "reference_normals.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
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

// A million faces of every kind (random, sliver-thin, with repeated
// corners, from tiny to far from the origin) get exactly the reference's
// bits: whatever the compiler made of the vector helpers, every rounding
// to single precision happened.
TEST(Normals, EveryFaceAndVertexGetsTheReferenceBits)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    constexpr int kOwnTriangles = 21845, kFaces = 65535;
    for (int round = 0; round < 16; ++round)
    {
        const float scale = std::ldexp(1.0f, 3 * round - 20);
        const auto point = [&] {
            return Vector3{scale * unit(random), scale * unit(random), scale * unit(random)};
        };
        std::vector<Vector3> vertices;
        std::vector<FaceEntry> faces;
        for (std::uint32_t t = 0; t < kOwnTriangles; ++t)
        {
            const Vector3 a = point(), b = point();
            Vector3 c = point();
            if (t % 3 == 1) // the third corner next to the line through the other two
            {
                const float s = unit(random), nudge = scale * 1e-6f * unit(random);
                c = {a.x + s * (b.x - a.x) + nudge, a.y + s * (b.y - a.y), a.z + s * (b.z - a.z) - nudge};
            }
            vertices.insert(vertices.end(), {a, b, c});
            faces.push_back({{3 * t, 3 * t + 1, 3 * t + 2}, 0});
        }
        std::uniform_int_distribution<std::uint32_t> vertex(0, 3 * kOwnTriangles - 1);
        while (faces.size() < kFaces)
        {
            const std::uint32_t a = vertex(random);
            faces.push_back({{a, vertex(random), random() % 8 == 0 ? a : vertex(random)}, 0});
        }

        C3dsModel model;
        const MeshObject& mesh = Normals(model, vertices, faces);
        const ReferenceNormals expected = ComputeReferenceNormals(mesh);
        ASSERT_EQ(std::memcmp(mesh.faceNormals.data(), expected.face.data(), kFaces * sizeof(Vector3)), 0)
            << round;
        ASSERT_EQ(
            std::memcmp(mesh.vertexNormals.data(), expected.vertex.data(), vertices.size() * sizeof(Vector3)),
            0)
            << round;
    }
}
