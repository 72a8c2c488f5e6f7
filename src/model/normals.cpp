#include "model/c3ds_model.h"

#include "platform/notifier.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <memory>
#include <string>

namespace
{

// The face's normal before normalisation: its length is twice the area, so
// that summing these weighs each face by its area.
Vector3 AreaNormal(const MeshObject& mesh, const FaceEntry& face)
{
    const std::uint32_t a = face.vertexIndex[0], b = face.vertexIndex[1], c = face.vertexIndex[2];
    assert(a < mesh.vertices.size() && b < mesh.vertices.size() && c < mesh.vertices.size());
    Vector3 d1, d2, n;
    SubtractVector(mesh.vertices[a], mesh.vertices[c], d1);
    SubtractVector(mesh.vertices[c], mesh.vertices[b], d2);
    CrossProduct(d1, d2, n);
    return n;
}

// The division of a sum by its face count multiplies by the count's
// reciprocal; the reciprocals of the counts that vertices commonly have are
// computed once.
void DivideByCount(Vector3& sum, std::uint32_t count)
{
    static const auto s_reciprocals = [] {
        std::array<double, 64> table{};
        for (std::size_t n = 1; n < table.size(); ++n)
            table[n] = 1.0 / static_cast<double>(static_cast<float>(n));
        return table;
    }();
    if (count < s_reciprocals.size())
        MultiplyVector(sum, s_reciprocals[count], sum);
    else
        DivideVector(sum, static_cast<float>(count), sum);
}

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
        const Vector3 n = AreaNormal(mesh, face);
        mesh.faceNormals[f] = n;

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

    // Apart from the sums: a loop of only this lets the processor overlap
    // the square roots and divisions of many faces, which wait on each
    // other's latency when they sit between the sums.
    for (Vector3& normal : mesh.faceNormals)
        NormalizeVector(normal);

    for (std::int32_t v = 0; v < mesh.vertexCount; ++v)
    {
        // A vertex that no face uses has no direction: it keeps (0, 0, 0).
        const std::uint32_t count = faceCounts[v];
        if (count == 0)
            continue;
        DivideByCount(mesh.vertexNormals[v], count);
        NormalizeVector(mesh.vertexNormals[v]);
    }
}

// The smoothing groups at one vertex: faces whose masks share a bit are one
// surface there, and so are faces joined through a chain of such faces
// (masks 1, 1|2 and 2). Uniting the bits of each mask gives those surfaces
// whatever the face order: a surface is a set of bits.
class BitSurfaces
{
public:
    void Reset() { m_nUsed = 0; }

    void Join(std::uint32_t mask)
    {
        const int first = Find(std::countr_zero(mask));
        for (std::uint32_t rest = mask & (mask - 1); rest != 0; rest &= rest - 1)
            m_parent[static_cast<std::size_t>(Find(std::countr_zero(rest)))] =
                static_cast<std::uint8_t>(first);
    }

    // The surface of a mask that Join has seen: the root of its bits.
    int Surface(std::uint32_t mask) { return Find(std::countr_zero(mask)); }

private:
    int Find(int bit)
    {
        if ((m_nUsed & (1u << bit)) == 0)
        {
            m_nUsed |= 1u << bit;
            m_parent[static_cast<std::size_t>(bit)] = static_cast<std::uint8_t>(bit);
        }
        while (m_parent[static_cast<std::size_t>(bit)] != bit)
            bit = m_parent[static_cast<std::size_t>(bit)];
        return bit;
    }

    std::array<std::uint8_t, 32> m_parent{};
    std::uint32_t m_nUsed = 0; // the bits met since Reset
};

// The corner normals of one mesh; false when its masks do not match its
// faces (those it has none for keep their vertices' normals).
bool ComputeMeshCornerNormals(MeshObject& mesh)
{
    const auto faceCount = static_cast<std::size_t>(mesh.faceCount);
    const std::size_t covered = std::min(mesh.smoothGroups.size(), faceCount);
    mesh.cornerNormals.resize(faceCount * 3);

    // The faces around each vertex, in ascending order, each once, laid
    // out vertex after vertex: the face (a 16-bit number in the file),
    // which of its corners are the vertex (bits 29, 30 and 31 for the
    // first, second and third), and its mask (0 for none).
    constexpr std::uint32_t kFaceBits = 0x1FFFFFFFu;
    struct Around
    {
        std::uint32_t faceAndCorners;
        std::uint32_t mask;
    };
    std::vector<std::uint32_t> first(static_cast<std::size_t>(mesh.vertexCount) + 1, 0);
    for (std::size_t f = 0; f < faceCount; ++f)
    {
        const std::uint32_t* v = mesh.faces[f].vertexIndex;
        ++first[v[0] + 1];
        first[v[1] + 1] += v[1] != v[0];
        first[v[2] + 1] += v[2] != v[0] && v[2] != v[1];
    }
    for (std::size_t v = 1; v < first.size(); ++v)
        first[v] += first[v - 1];
    // Both arrays are filled whole below: no zeroing first.
    const auto around = std::make_unique_for_overwrite<Around[]>(first.back());
    std::vector<std::uint32_t> next(first.begin(), first.end() - 1);
    const auto areaNormals = std::make_unique_for_overwrite<Vector3[]>(faceCount);
    for (std::size_t f = 0; f < faceCount; ++f)
    {
        const std::uint32_t* v = mesh.faces[f].vertexIndex;
        const std::uint32_t mask = f < covered ? mesh.smoothGroups[f] : 0;
        const auto face = static_cast<std::uint32_t>(f);
        const std::uint32_t at0 = 1u | (v[1] == v[0] ? 2u : 0u) | (v[2] == v[0] ? 4u : 0u);
        around[next[v[0]]++] = {face | at0 << 29, mask};
        if (v[1] != v[0])
            around[next[v[1]]++] = {face | (2u | (v[2] == v[1] ? 4u : 0u)) << 29, mask};
        if (v[2] != v[0] && v[2] != v[1])
            around[next[v[2]]++] = {face | 4u << 29, mask};
        areaNormals[f] = AreaNormal(mesh, mesh.faces[f]);
    }

    constexpr std::uint32_t kNone = ~0u;
    BitSurfaces surfaces;
    // Per face around the vertex: the first face of its surface there, and
    // per surface its sum and count. On the stack for a few faces.
    constexpr std::size_t kFew = 8;
    std::array<std::uint32_t, kFew> fewSurfaces;
    std::array<Vector3, kFew> fewSums;
    std::array<std::uint32_t, kFew> fewCounts;
    std::vector<std::uint32_t> manySurfaces;
    std::vector<Vector3> manySums;
    std::vector<std::uint32_t> manyCounts;
    for (std::size_t v = 0; v + 1 < first.size(); ++v)
    {
        const Around* begin = around.get() + first[v];
        const auto n = static_cast<std::size_t>(first[v + 1] - first[v]);
        if (n == 0)
            continue; // a vertex of no face has no corner
        const auto put = [&](const Around& at, const Vector3& normal) {
            Vector3* corner = mesh.cornerNormals.data() + std::size_t{at.faceAndCorners & kFaceBits} * 3;
            if (at.faceAndCorners & 1u << 29)
                corner[0] = normal;
            if (at.faceAndCorners & 1u << 30)
                corner[1] = normal;
            if (at.faceAndCorners & 1u << 31)
                corner[2] = normal;
        };

        // Every face there in one surface (the usual case) has the sum that
        // today's vertex normal is.
        std::uint32_t shared = ~0u;
        for (std::size_t i = 0; i < n; ++i)
            shared &= begin[i].mask;
        if (shared != 0) // a face without a mask counts as 0 here
        {
            for (std::size_t i = 0; i < n; ++i)
                put(begin[i], mesh.vertexNormals[v]);
            continue;
        }

        // First the surfaces, then each one's sum in ascending face order,
        // as the rounding after every addition asks: summing while the
        // surfaces still merge would add in another order. A few faces are
        // joined pair by pair; many through the bits of their masks.
        const bool bFew = n <= kFew;
        if (!bFew)
        {
            manySurfaces.resize(n);
            manySums.resize(n);
            manyCounts.resize(n);
        }
        std::uint32_t* const surfaceOf = bFew ? fewSurfaces.data() : manySurfaces.data();
        Vector3* const sums = bFew ? fewSums.data() : manySums.data();
        std::uint32_t* const counts = bFew ? fewCounts.data() : manyCounts.data();
        if (bFew)
        {
            const auto root = [&](std::uint32_t i) {
                while (surfaceOf[i] != i)
                    i = surfaceOf[i];
                return i;
            };
            for (std::uint32_t i = 0; i < n; ++i)
            {
                surfaceOf[i] = begin[i].mask != 0 ? i : kNone;
                for (std::uint32_t j = 0; j < i; ++j)
                    if ((begin[i].mask & begin[j].mask) != 0)
                    {
                        const std::uint32_t a = root(i), b = root(j);
                        surfaceOf[std::max(a, b)] = std::min(a, b);
                    }
            }
            for (std::size_t i = 0; i < n; ++i)
                if (surfaceOf[i] != kNone)
                    surfaceOf[i] = surfaceOf[surfaceOf[i]]; // an earlier face's is final already
        }
        else
        {
            surfaces.Reset();
            for (std::size_t i = 0; i < n; ++i)
                if (begin[i].mask != 0)
                    surfaces.Join(begin[i].mask);
            std::array<std::uint32_t, 32> firstOfSurface;
            firstOfSurface.fill(kNone);
            for (std::size_t i = 0; i < n; ++i)
            {
                surfaceOf[i] = kNone;
                if (begin[i].mask == 0)
                    continue;
                std::uint32_t& firstFace =
                    firstOfSurface[static_cast<std::size_t>(surfaces.Surface(begin[i].mask))];
                if (firstFace == kNone)
                    firstFace = static_cast<std::uint32_t>(i);
                surfaceOf[i] = firstFace;
            }
        }

        // One surface of all faces there, joined through chains: the sum of
        // today's vertex normal again.
        if (std::all_of(surfaceOf, surfaceOf + n, [](std::uint32_t s) { return s == 0; }))
        {
            for (std::size_t i = 0; i < n; ++i)
                put(begin[i], mesh.vertexNormals[v]);
            continue;
        }

        for (std::size_t i = 0; i < n; ++i)
        {
            if (surfaceOf[i] == i)
            {
                sums[i] = Vector3{};
                counts[i] = 0;
            }
            if (surfaceOf[i] != kNone)
            {
                AddVector(sums[surfaceOf[i]], areaNormals[begin[i].faceAndCorners & kFaceBits],
                          sums[surfaceOf[i]]);
                ++counts[surfaceOf[i]];
            }
        }
        for (std::size_t i = 0; i < n; ++i)
        {
            const std::uint32_t f = begin[i].faceAndCorners & kFaceBits;
            const std::uint32_t s = surfaceOf[i];
            if (f >= covered)
                put(begin[i], mesh.vertexNormals[v]); // no mask: today's normal
            else if (s == kNone)
                put(begin[i], mesh.faceNormals[f]); // mask 0: flat
            else if (counts[s] == 1)
            {
                // Alone: the unit vector of its own sum is its face normal,
                // but for the sign of a zero, which the sum from zero drops.
                const Vector3& normal = mesh.faceNormals[f];
                put(begin[i], Vector3{normal.x + 0.0f, normal.y + 0.0f, normal.z + 0.0f});
            }
            else
            {
                if (counts[s] != 0) // not yet made a unit vector
                {
                    DivideByCount(sums[s], counts[s]);
                    NormalizeVector(sums[s]);
                    counts[s] = 0;
                }
                put(begin[i], sums[s]);
            }
        }
    }
    return faceCount == 0 || mesh.smoothGroups.size() == faceCount;
}

} // namespace

void C3dsModel::ComputeCornerNormals()
{
    std::string names;
    for (std::int32_t i = 0; i < m_nMeshCount; ++i)
    {
        MeshObject& mesh = m_meshes.at(static_cast<std::size_t>(i));
        if (!ComputeMeshCornerNormals(mesh))
            names += (names.empty() ? "\"" : ", \"") + mesh.name + "\"";
    }
    if (!names.empty())
        platform::ShowWarning("The smoothing groups do not match the faces of " + names +
                              "; a face without a group is smoothed across all its edges");
}

void C3dsModel::ComputeNormals()
{
    for (std::int32_t i = 0; i < m_nMeshCount; ++i)
        ComputeMeshNormals(m_meshes.at(static_cast<std::size_t>(i)));
}
