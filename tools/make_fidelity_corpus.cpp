// Writes the models that every build must convert to the same bytes: the
// GCC, Clang and Windows builds are compared on them in CI.
//
//   make_fidelity_corpus OUTPUT_DIR [COUNT]
//
// model-NNN.3ds (COUNT models, default 120): one to four meshes of random
// triangles with mapping coordinates, from a few faces to tens of
// thousands, at scales from tiny to far from the origin, with sliver-thin
// faces and faces that repeat a corner. Every sixth model has a coarser
// companion lod2-NNN.3ds. The numbers come from a fixed seed through
// integer steps only, so the files are the same wherever the tool runs.

#include "chunk_builder.h"

#include <cstdint>
#include <iostream>
#include <random>
#include <string>

using namespace build3ds;

namespace
{

class Random
{
public:
    explicit Random(std::uint32_t seed) : m_engine(seed) {}
    std::uint32_t Below(std::uint32_t limit) { return static_cast<std::uint32_t>(m_engine() % limit); }
    // A float in [-scale, scale) with 24 random bits.
    float Signed(float scale)
    {
        const auto bits = static_cast<std::int32_t>(m_engine() >> 8) - (1 << 23);
        return scale * static_cast<float>(bits) / static_cast<float>(1 << 23);
    }

private:
    std::mt19937 m_engine;
};

Mesh RandomMesh(Random& random, const std::string& name, int faceCount)
{
    Mesh mesh;
    mesh.name = name;
    const float scale = static_cast<float>(1 << random.Below(16)) / 256.0f;
    const int vertexCount = std::min(65535, 3 + faceCount / 2 + static_cast<int>(random.Below(64)));
    for (int v = 0; v < vertexCount; ++v)
    {
        mesh.vertices.push_back({random.Signed(scale), random.Signed(scale), random.Signed(scale)});
        mesh.mapCoords.push_back({random.Signed(1.0f), random.Signed(1.0f)});
    }
    // Every fifth vertex lies next to the line through the two before it.
    for (int v = 2; v < vertexCount; v += 5)
    {
        const Vector3 a = mesh.vertices[v - 2], b = mesh.vertices[v - 1];
        const float t = random.Signed(1.0f), nudge = random.Signed(scale * 1e-5f);
        mesh.vertices[v] = {a.x + t * (b.x - a.x) + nudge, a.y + t * (b.y - a.y),
                            a.z + t * (b.z - a.z) - nudge};
    }
    const auto vertex = [&] {
        return static_cast<std::uint16_t>(random.Below(static_cast<std::uint32_t>(vertexCount)));
    };
    for (int f = 0; f < faceCount; ++f)
    {
        // Mostly neighbours, so that vertex normals sum many faces.
        const auto a = static_cast<std::uint16_t>(f % (vertexCount - 2));
        if (random.Below(4) == 0)
            mesh.faces.push_back({vertex(), vertex(), random.Below(10) == 0 ? a : vertex()});
        else
            mesh.faces.push_back({a, static_cast<std::uint16_t>(a + 1), static_cast<std::uint16_t>(a + 2)});
    }
    return mesh;
}

Bytes Model(Random& random, int meshCount, int maxFaces)
{
    std::vector<Bytes> parts = {Material("Skin", "skin.bmp"), Material("Plain")};
    for (int m = 0; m < meshCount; ++m)
    {
        Mesh mesh =
            RandomMesh(random, "Part" + std::to_string(m), 1 + static_cast<int>(random.Below(maxFaces)));
        std::vector<std::uint16_t> plain;
        for (std::size_t f = 0; f < mesh.faces.size(); f += 3)
            plain.push_back(static_cast<std::uint16_t>(f));
        mesh.groups = {{"Plain", plain}};
        parts.push_back(Object(mesh));
    }
    return File(parts);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
    {
        std::cerr << "usage: make_fidelity_corpus OUTPUT_DIR [COUNT]\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const int count = argc == 3 ? std::stoi(argv[2]) : 120;
    std::filesystem::create_directories(dir);
    Random random(20261207);
    for (int i = 0; i < count; ++i)
    {
        char name[32];
        std::snprintf(name, sizeof name, "%03d.3ds", i);
        // Every tenth model has large meshes; the rest stay small and many.
        const int maxFaces = i % 10 == 0 ? 30000 : 3000;
        WriteFile(dir / (std::string("model-") + name),
                  Model(random, 1 + static_cast<int>(random.Below(4)), maxFaces));
        if (i % 6 == 0)
            WriteFile(dir / (std::string("lod2-") + name), Model(random, 1, 500));
    }
    return 0;
}
