#include "reference_normals.h"

std::vector<Vector3> QuadraticVertexNormals(const MeshObject& mesh)
{
    std::vector<Vector3> unnormalised(mesh.faces.size());
    for (std::size_t f = 0; f < mesh.faces.size(); ++f)
    {
        const auto& idx = mesh.faces[f].vertexIndex;
        Vector3 d1, d2;
        SubtractVector(mesh.vertices[idx[0]], mesh.vertices[idx[2]], d1);
        SubtractVector(mesh.vertices[idx[2]], mesh.vertices[idx[1]], d2);
        CrossProduct(d1, d2, unnormalised[f]);
    }
    std::vector<Vector3> normals(mesh.vertices.size());
    for (std::uint32_t v = 0; v < mesh.vertices.size(); ++v)
    {
        Vector3 sum;
        int shared = 0;
        for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        {
            const auto& idx = mesh.faces[f].vertexIndex;
            if (idx[0] == v || idx[1] == v || idx[2] == v)
            {
                AddVector(sum, unnormalised[f], sum);
                ++shared;
            }
        }
        if (shared > 0)
        {
            DivideVector(sum, static_cast<float>(shared), normals[v]);
            NormalizeVector(normals[v]);
        }
    }
    return normals;
}
