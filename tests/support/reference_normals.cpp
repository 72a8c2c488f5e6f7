#include "reference_normals.h"

#include <cmath>

namespace
{

double Kept(double value)
{
    volatile float rounded = static_cast<float>(value);
    return rounded;
}

// The normal's direction as a vector of doubles that hold floats.
struct Triple
{
    double x, y, z;
};

Vector3 Stored(const Triple& t)
{
    return {static_cast<float>(t.x), static_cast<float>(t.y), static_cast<float>(t.z)};
}

Triple Normalized(const Triple& t)
{
    const double length = std::sqrt(t.x * t.x + t.y * t.y + t.z * t.z);
    if (length == 0.0)
        return t;
    const double reciprocal = 1.0 / length;
    return {Kept(t.x * reciprocal), Kept(t.y * reciprocal), Kept(t.z * reciprocal)};
}

// (a - c) x (c - b), each difference and each product component rounded.
Triple FaceDirection(const Vector3& a, const Vector3& b, const Vector3& c)
{
    const double ux = Kept(double(a.x) - c.x), uy = Kept(double(a.y) - c.y), uz = Kept(double(a.z) - c.z);
    const double vx = Kept(double(c.x) - b.x), vy = Kept(double(c.y) - b.y), vz = Kept(double(c.z) - b.z);
    return {Kept(uy * vz - uz * vy), Kept(uz * vx - ux * vz), Kept(ux * vy - uy * vx)};
}

} // namespace

ReferenceNormals ComputeReferenceNormals(const MeshObject& mesh)
{
    ReferenceNormals result;
    std::vector<Triple> directions;
    // For every vertex, the faces that use it in ascending order, each once.
    std::vector<std::vector<std::size_t>> facesOf(mesh.Data().vertices.size());
    for (std::size_t f = 0; f < mesh.Data().faces.size(); ++f)
    {
        const auto& idx = mesh.Data().faces[f].vertexIndex;
        directions.push_back(FaceDirection(mesh.Data().vertices[idx[0]], mesh.Data().vertices[idx[1]],
                                           mesh.Data().vertices[idx[2]]));
        result.face.push_back(Stored(Normalized(directions.back())));
        for (int corner = 0; corner < 3; ++corner)
        {
            auto& faces = facesOf[idx[corner]];
            if (faces.empty() || faces.back() != f)
                faces.push_back(f);
        }
    }
    for (const auto& faces : facesOf)
    {
        Triple sum = {0, 0, 0};
        for (std::size_t f : faces)
            sum = {Kept(sum.x + directions[f].x), Kept(sum.y + directions[f].y),
                   Kept(sum.z + directions[f].z)};
        if (!faces.empty())
        {
            const double reciprocal = 1.0 / static_cast<double>(static_cast<float>(faces.size()));
            sum = Normalized({Kept(reciprocal * sum.x), Kept(reciprocal * sum.y), Kept(reciprocal * sum.z)});
        }
        result.vertex.push_back(Stored(sum));
    }
    return result;
}
