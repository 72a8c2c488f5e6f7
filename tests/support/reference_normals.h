#pragma once

#include "model/c3ds_model.h"

#include <vector>

// The face and vertex normals as first defined, computed one value at a
// time: each step in double precision, each result rounded to single
// precision through a volatile, a store that no optimizer may skip or keep
// wider. It shares no code with the model's vector helpers, so a fault in
// them, or a compiler's fault in what it makes of them, shows as a
// difference here.
struct ReferenceNormals
{
    std::vector<Vector3> face;
    std::vector<Vector3> vertex;
};

ReferenceNormals ComputeReferenceNormals(const MeshObject& mesh);
