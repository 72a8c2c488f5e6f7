// Writes the example models: a crate with three materials (two textured,
// one plain) and a coarser version of it as level of detail 2.
//
//   make_examples OUTPUT_DIR

#include "chunk_builder.h"

#include <iostream>

using namespace build3ds;

namespace
{

Mesh Box(const std::string& name, Vector3 low, Vector3 high)
{
    Mesh mesh = Cube(name);
    for (Vector3& v : mesh.vertices)
    {
        v.x = v.x > 0 ? high.x : low.x;
        v.y = v.y > 0 ? high.y : low.y;
        v.z = v.z > 0 ? high.z : low.z;
    }
    return mesh;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: make_examples OUTPUT_DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];

    // The body: sides of wood, top and bottom with a painted label.
    Mesh body = Box("Crate", {-1.0f, -1.0f, 0.0f}, {1.0f, 1.0f, 1.5f});
    body.groups = {{"Wood", {4, 5, 6, 7, 8, 9, 10, 11}}, {"Label", {0, 1, 2, 3}}};
    // Two metal bands round the body.
    Mesh lower = Box("BandLow", {-1.05f, -1.05f, 0.2f}, {1.05f, 1.05f, 0.35f});
    lower.groups = {{"Metal", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}}};
    Mesh upper = Box("BandHigh", {-1.05f, -1.05f, 1.15f}, {1.05f, 1.05f, 1.3f});
    upper.groups = lower.groups;

    const Bytes materials =
        Cat({Material("Wood", "crate_wood.bmp"), Material("Metal", "crate_metal.bmp"), Material("Label")});
    WriteFile(dir / "crate.3ds", File({materials, Object(body), Object(lower), Object(upper)}));

    // LOD 2: the body alone, one material.
    Mesh coarse = Box("CrateLow", {-1.05f, -1.05f, 0.0f}, {1.05f, 1.05f, 1.5f});
    WriteFile(dir / "crate_lod2.3ds", File({Material("Wood", "crate_wood.bmp"), Object(coarse)}));
    return 0;
}
