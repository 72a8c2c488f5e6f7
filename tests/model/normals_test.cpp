#include "reference_normals.h"
#include "test_support.h"

using namespace build3ds;

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>

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
    EXPECT_EQ(Text(mesh.Data().faceNormals[1]), Text({0, 0, 0}));
    EXPECT_EQ(Text(mesh.Data().vertexNormals[0]), Text({0, 0, -1}));
    EXPECT_EQ(Text(mesh.Data().vertexNormals[3]), Text({0, 0, 0}));
    EXPECT_EQ(Text(mesh.Data().vertexNormals[4]), Text({0, 0, 0}));
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
        ASSERT_EQ(std::memcmp(mesh.Data().faceNormals.data(), expected.face.data(), kFaces * sizeof(Vector3)),
                  0)
            << round;
        ASSERT_EQ(std::memcmp(mesh.Data().vertexNormals.data(), expected.vertex.data(),
                              vertices.size() * sizeof(Vector3)),
                  0)
            << round;
    }
}

namespace
{

// The corner normals read literally off the rule: the surface of a face at
// a vertex grows by every face there whose mask shares a bit with one of
// the surface, until none is left; its faces are then summed in ascending
// order. Slow, and written apart from the code under test.
std::vector<Vector3> LiteralCornerNormals(const MeshObject& mesh)
{
    const std::vector<Vector3> vertexNormals = ComputeReferenceNormals(mesh).vertex;
    const std::size_t faceCount = mesh.Data().faces.size();
    const auto mask = [&](std::size_t f) {
        return f < mesh.Data().smoothGroups.size() ? mesh.Data().smoothGroups[f] : 0u;
    };
    const auto uses = [&](std::size_t f, std::uint32_t v) {
        const auto& idx = mesh.Data().faces[f].vertexIndex;
        return idx[0] == v || idx[1] == v || idx[2] == v;
    };
    std::vector<Vector3> corners(faceCount * 3);
    for (std::size_t f = 0; f < faceCount; ++f)
        for (int k = 0; k < 3; ++k)
        {
            const std::uint32_t v = mesh.Data().faces[f].vertexIndex[k];
            Vector3& out = corners[f * 3 + static_cast<std::size_t>(k)];
            out = f >= mesh.Data().smoothGroups.size() ? vertexNormals[v] : mesh.Data().faceNormals[f];
            if (f >= mesh.Data().smoothGroups.size() || mask(f) == 0)
                continue;
            std::vector<bool> in(faceCount, false);
            in[f] = true;
            for (bool bGrew = true; bGrew;)
            {
                bGrew = false;
                for (std::size_t g = 0; g < faceCount; ++g)
                    for (std::size_t h = 0; h < faceCount; ++h)
                        if (!in[g] && in[h] && uses(g, v) && (mask(g) & mask(h)) != 0)
                            in[g] = bGrew = true;
            }
            Vector3 sum, area, d1, d2;
            int count = 0;
            for (std::size_t g = 0; g < faceCount; ++g)
                if (in[g])
                {
                    const auto& gi = mesh.Data().faces[g].vertexIndex;
                    SubtractVector(mesh.Data().vertices[gi[0]], mesh.Data().vertices[gi[2]], d1);
                    SubtractVector(mesh.Data().vertices[gi[2]], mesh.Data().vertices[gi[1]], d2);
                    CrossProduct(d1, d2, area);
                    AddVector(sum, area, sum);
                    ++count;
                }
            DivideVector(sum, static_cast<float>(count), out);
            NormalizeVector(out);
        }
    return corners;
}

const MeshObject& CornerNormals(C3dsModel& model, MeshObject mesh, std::vector<std::uint32_t> masks)
{
    mesh.Data().smoothGroups = std::move(masks);
    model.m_meshes = {std::move(mesh)};
    model.m_nMeshCount = 1;
    model.ComputeNormals();
    model.ComputeCornerNormals(TestLog());
    return model.m_meshes[0];
}

bool SameBits(const Vector3& a, const Vector3& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

// Random masks from few bits make chains and islands; some lists are short
// or long; one round gives every face bit 0, which is today's shading.
TEST(Normals, SmoothingGroupsMatchTheLiteralRuleBitForBit)
{
    std::mt19937 random(99);
    std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
    for (int round = 0; round < 60; ++round)
    {
        // Every third mesh a strip of two faces per vertex, whose vertices
        // have few faces and few surfaces, and masks of four bits that
        // merge them often.
        const bool bStrip = round % 3 == 2;
        std::vector<FaceEntry> faces(1 + random() % 120);
        const std::uint32_t vertexCount =
            bStrip ? static_cast<std::uint32_t>(faces.size()) / 2 + 3 : 3 + random() % 40;
        std::vector<Vector3> vertices(vertexCount);
        for (Vector3& v : vertices)
            v = {coordinate(random), coordinate(random), coordinate(random)};
        const auto vertex = [&] { return static_cast<std::uint32_t>(random() % vertexCount); };
        for (std::uint32_t f = 0; f < faces.size(); ++f)
            faces[f] = bStrip ? FaceEntry{{f / 2, f / 2 + 1 + f % 2, f / 2 + 2 - f % 2}, 0}
                              : FaceEntry{{vertex(), vertex(), vertex()}, 0};
        std::vector<std::uint32_t> masks(round % 5 == 0   ? faces.size() + 3
                                         : round % 7 == 3 ? faces.size() / 2
                                                          : faces.size());
        for (std::uint32_t& m : masks)
            m = round == 1 ? 1u | (random() & 0x80000006u)
                : bStrip   ? random() & 15u
                           : (random() & random() & 0x8000000Fu);

        RecordingNotifier notes;
        C3dsModel model;
        const MeshObject& mesh = CornerNormals(model, MakeMesh(vertices, faces), masks);
        EXPECT_EQ(notes.m_messages.size(), masks.size() == faces.size() ? 0u : 1u);
        const std::vector<Vector3> expected = LiteralCornerNormals(mesh);
        for (std::size_t c = 0; c < expected.size(); ++c)
        {
            ASSERT_TRUE(SameBits(mesh.Data().cornerNormals[c], expected[c]))
                << round << " " << c << " " << Text(mesh.Data().cornerNormals[c]) << " " << Text(expected[c]);
            const Vector3& today = mesh.Data().vertexNormals[mesh.Data().faces[c / 3].vertexIndex[c % 3]];
            ASSERT_TRUE(round != 1 || SameBits(mesh.Data().cornerNormals[c], today)) << c;
        }
    }
}

TEST(Normals, SmoothingGroupsKeepHardEdgesHard)
{
    C3dsModel model;
    // A cube with one group per side (faces 2s and 2s + 1): flat, 24
    // corner normals, each its face's.
    MeshObject cube = LoadOk(File({Material("A"), Object(build3ds::Cube())})).m_meshes[0];
    const MeshObject& flat = CornerNormals(model, cube, {1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32});
    std::set<std::string> distinct;
    for (std::size_t c = 0; c < 36; ++c)
    {
        EXPECT_EQ(Text(flat.Data().cornerNormals[c]), Text(flat.Data().faceNormals[c / 3])) << c;
        distinct.insert(std::to_string(flat.Data().faces[c / 3].vertexIndex[c % 3]) +
                        Text(flat.Data().cornerNormals[c]));
    }
    EXPECT_EQ(distinct.size(), 24u);

    // A cylinder of 8 sides in group 1 and caps of mask 0: round about,
    // flat on the caps.
    std::vector<Vector3> ring;
    std::vector<FaceEntry> faces;
    for (std::uint32_t i = 0; i < 8; ++i)
    {
        const float angle = static_cast<float>(i) * 0.785398f;
        ring.push_back({std::cos(angle), std::sin(angle), 0});
        ring.push_back({std::cos(angle), std::sin(angle), 1});
        const std::uint32_t a = 2 * i, b = 2 * i + 1, c = (2 * i + 2) % 16, d = (2 * i + 3) % 16;
        faces.insert(faces.end(), {{{a, b, c}, 0}, {{b, d, c}, 0}});
    }
    for (std::uint32_t i = 1; i < 7; ++i)
        faces.insert(faces.end(), {{{0, 2 * i, 2 * i + 2}, 0}, {{1, 2 * i + 3, 2 * i + 1}, 0}});
    std::vector<std::uint32_t> masks(16, 1);
    masks.resize(faces.size(), 0);
    const MeshObject& cylinder = CornerNormals(model, MakeMesh(ring, faces), masks);
    for (std::size_t c = 0; c < cylinder.Data().cornerNormals.size(); ++c)
    {
        const Vector3& n = cylinder.Data().cornerNormals[c];
        EXPECT_TRUE(c < 48 ? std::abs(n.z) + std::abs(std::hypot(n.x, n.y) - 1.0f) < 1e-6f
                           : SameBits(n, cylinder.Data().faceNormals[c / 3]))
            << c;
    }

    // Two faces of mask 0 on one edge stay hard; the chain 1, 2, 1|2 (the
    // first two joined only through the third) is one surface.
    const MeshObject& hard = CornerNormals(
        model, MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{{0, 1, 2}, 0}, {{0, 3, 1}, 0}}),
        {0, 0});
    EXPECT_EQ(Text(hard.Data().cornerNormals[0]) + "|" + Text(hard.Data().cornerNormals[3]),
              Text({0, 0, -1}) + "|" + Text({0, -1, 0}));
    const MeshObject& chain =
        CornerNormals(model,
                      MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, -1, 0}},
                               {{{0, 1, 2}, 0}, {{0, 3, 1}, 0}, {{0, 2, 4}, 0}}),
                      {1, 2, 3});
    for (const std::size_t c : {3u, 6u})
        EXPECT_TRUE(SameBits(chain.Data().cornerNormals[c], chain.Data().cornerNormals[0]) &&
                    SameBits(chain.Data().cornerNormals[0], chain.Data().vertexNormals[0]));
}

// A cube scaled so far that single precision overflows (2e19) or
// underflows (1e-23, 1e-40) in its cross products still gets the unit
// cube's normals, face, vertex and corner; so does a tiny face beside huge
// ones in one mesh. A cube where nothing vanishes (1e18) is not rescaled.
TEST(Normals, FacesOfHugeOrTinyModelsKeepTheirDirection)
{
    const MeshObject plain = LoadOk(File({Material("A"), Object(build3ds::Cube("Box", 1.0f))})).m_meshes[0];
    const std::vector<std::uint32_t> masks = {1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32}; // one group a side
    C3dsModel unit;
    const MeshObject expected = CornerNormals(unit, plain, masks);
    const auto near = [](const Vector3& a, const Vector3& b) {
        return std::fabs(a.x - b.x) < 1e-6f && std::fabs(a.y - b.y) < 1e-6f && std::fabs(a.z - b.z) < 1e-6f;
    };
    for (const float scale : {2e19f, -2e19f, 1e-23f, 1e-40f, 1e18f})
    {
        MeshObject scaled = plain;
        for (Vector3& v : scaled.Data().vertices)
            v = {v.x * scale, v.y * scale, v.z * scale};
        C3dsModel model;
        const MeshObject& mesh = CornerNormals(model, scaled, masks);
        EXPECT_EQ(mesh.normalExponent == 0, scale == 1e18f) << scale;
        for (std::size_t f = 0; f < mesh.Data().faces.size(); ++f)
            EXPECT_TRUE(near(mesh.Data().faceNormals[f], expected.Data().faceNormals[f]))
                << scale << " face " << f;
        for (std::size_t v = 0; v < mesh.Data().vertices.size(); ++v)
            EXPECT_TRUE(near(mesh.Data().vertexNormals[v], expected.Data().vertexNormals[v]))
                << scale << " vertex " << v;
        for (std::size_t c = 0; c < mesh.Data().cornerNormals.size(); ++c)
            EXPECT_TRUE(near(mesh.Data().cornerNormals[c], expected.Data().cornerNormals[c]))
                << scale << " corner " << c;
    }

    C3dsModel model;
    const MeshObject& mixed = Normals(model,
                                      {{-3e38f, -3e38f, 0},
                                       {3e38f, -3e38f, 0},
                                       {-3e38f, 3e38f, 0},
                                       {0, 0, 0},
                                       {0, 1e-30f, 0},
                                       {1e-30f, 0, 0}},
                                      {{{0, 1, 2}, 0}, {{3, 4, 5}, 0}, {{0, 0, 1}, 0}});
    EXPECT_EQ(Text(mixed.Data().faceNormals[0]), Text({0, 0, -1}));
    EXPECT_EQ(Text(mixed.Data().faceNormals[1]), Text({0, 0, 1}));
    EXPECT_EQ(Text(mixed.Data().faceNormals[2]), Text({0, 0, 0})); // no area: no direction
    EXPECT_EQ(Text(mixed.Data().vertexNormals[0]), Text({0, 0, -1}));
}
