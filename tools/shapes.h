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

} // namespace build3ds
