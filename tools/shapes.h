#pragma once

#include "chunk_builder.h"

// Larger generated meshes for timing runs and fuzz seeds.
namespace build3ds
{

// A grid of quads split into triangles: about 2 * (n - 1)^2 faces on n * n
// vertices, slightly bent so that no two normals are alike.
Mesh Grid(const std::string& name, int n);
// count vertices on a twisted ribbon and as many triangles (up to 65535 each).
Mesh Ribbon(const std::string& name, int count);
// count vertices at random in a unit cube and as many triangles between
// random ones (the same for a seed on every build): large faces that
// cover each other many times over, the worst case of drawing.
Mesh RandomFaces(const std::string& name, int count, std::uint32_t seed = 1);

} // namespace build3ds
