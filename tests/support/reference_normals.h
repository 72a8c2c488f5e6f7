#pragma once

#include "model/c3ds_model.h"

#include <vector>

// The vertex normals as first defined: for every vertex, a pass over all
// faces in ascending order, summing the unnormalised face normals of those
// that use it. Quadratic; the reference for the fast computation.
std::vector<Vector3> QuadraticVertexNormals(const MeshObject& mesh);
