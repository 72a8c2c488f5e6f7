#include "model/c3ds_model.h"

#include <array>
#include <cassert>

namespace
{

// Each vertex normal is the unit direction of the sum of the (unnormalised,
// area-weighted) normals of the faces around it, added in ascending face
// order with a rounding to single precision after every addition. Walking
// the faces once in ascending order and adding each face to its corners
// forms exactly those sums, in that order, in time linear in the mesh size.
void ComputeMeshNormals(MeshObject& mesh)
{
    mesh.faceNormals.assign(static_cast<std::size_t>(mesh.faceCount), Vector3{});
    mesh.vertexNormals.assign(static_cast<std::size_t>(mesh.vertexCount), Vector3{});
    std::vector<std::uint32_t> faceCounts(static_cast<std::size_t>(mesh.vertexCount), 0);

    for (std::int32_t f = 0; f < mesh.faceCount; ++f)
    {
        const FaceEntry& face = mesh.faces[f];
        const std::uint32_t a = face.vertexIndex[0], b = face.vertexIndex[1], c = face.vertexIndex[2];
        assert(a < mesh.vertices.size() && b < mesh.vertices.size() && c < mesh.vertices.size());

        Vector3 d1, d2, n;
        SubtractVector(mesh.vertices[a], mesh.vertices[c], d1);
        SubtractVector(mesh.vertices[c], mesh.vertices[b], d2);
        CrossProduct(d1, d2, n);
        mesh.faceNormals[f] = n;
        NormalizeVector(mesh.faceNormals[f]);

        // A face that uses a vertex at two or three corners counts once.
        const auto addTo = [&](std::uint32_t v) {
            AddVector(mesh.vertexNormals[v], n, mesh.vertexNormals[v]);
            ++faceCounts[v];
        };
        addTo(a);
        if (b != a)
            addTo(b);
        if (c != a && c != b)
            addTo(c);
    }

    // The division by the face count multiplies by its reciprocal; the
    // reciprocals of the counts that vertices commonly have are computed once.
    static const auto s_reciprocals = [] {
        std::array<double, 64> table{};
        for (std::size_t n = 1; n < table.size(); ++n)
            table[n] = 1.0 / static_cast<double>(static_cast<float>(n));
        return table;
    }();
    for (std::int32_t v = 0; v < mesh.vertexCount; ++v)
    {
        // A vertex that no face uses has no direction: it keeps (0, 0, 0).
        const std::uint32_t count = faceCounts[v];
        if (count == 0)
            continue;
        Vector3& normal = mesh.vertexNormals[v];
        if (count < s_reciprocals.size())
            MultiplyVector(normal, s_reciprocals[count], normal);
        else
            DivideVector(normal, static_cast<float>(count), normal);
        NormalizeVector(normal);
    }
}

} // namespace

void C3dsModel::ComputeNormals()
{
    for (std::int32_t i = 0; i < m_nMeshCount; ++i)
        ComputeMeshNormals(m_meshes.at(static_cast<std::size_t>(i)));
}
