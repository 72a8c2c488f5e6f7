#include "model/c3ds_model.h"

#include "platform/progress.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>
#include <string>

namespace
{

// The face's normal before normalisation: its length is twice the area, so
// that summing these weighs each face by its area. Inlined in all three
// callers: GCC leaves a call in the corner pass, which costs it a thirtieth.
[[gnu::always_inline]] inline Vector3 AreaNormal(const MeshData& data, const FaceEntry& face)
{
    const std::uint32_t a = face.vertexIndex[0], b = face.vertexIndex[1], c = face.vertexIndex[2];
    assert(a < data.vertices.size() && b < data.vertices.size() && c < data.vertices.size());
    Vector3 d1, d2, n;
    SubtractVector(data.vertices[a], data.vertices[c], d1);
    SubtractVector(data.vertices[c], data.vertices[b], d2);
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
    MeshData& data = mesh.Data();
    data.faceNormals.assign(static_cast<std::size_t>(mesh.faceCount), Vector3{});
    data.vertexNormals.assign(static_cast<std::size_t>(mesh.vertexCount), Vector3{});
    std::vector<std::uint32_t> faceCounts(static_cast<std::size_t>(mesh.vertexCount), 0);

    for (std::int32_t f = 0; f < mesh.faceCount; ++f)
    {
        const FaceEntry& face = data.faces[f];
        const std::uint32_t a = face.vertexIndex[0], b = face.vertexIndex[1], c = face.vertexIndex[2];
        const Vector3 n = AreaNormal(data, face);
        data.faceNormals[f] = n;

        // A face that uses a vertex at two or three corners counts once.
        const auto addTo = [&](std::uint32_t v) {
            AddVector(data.vertexNormals[v], n, data.vertexNormals[v]);
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
    for (Vector3& normal : data.faceNormals)
        NormalizeVector(normal);

    for (std::int32_t v = 0; v < mesh.vertexCount; ++v)
    {
        // A vertex that no face uses has no direction: it keeps (0, 0, 0).
        const std::uint32_t count = faceCounts[v];
        if (count == 0)
            continue;
        DivideByCount(data.vertexNormals[v], count);
        NormalizeVector(data.vertexNormals[v]);
    }
}

// The face's cross product in double precision, which neither overflows
// nor underflows for any float positions (differences below 2^129, above
// 2^-150): zero only for a face without area.
void ExactAreaNormal(const MeshData& data, const FaceEntry& face, double (&n)[3])
{
    const Vector3& a = data.vertices[face.vertexIndex[0]];
    const Vector3& b = data.vertices[face.vertexIndex[1]];
    const Vector3& c = data.vertices[face.vertexIndex[2]];
    const double d1[3] = {double{a.x} - c.x, double{a.y} - c.y, double{a.z} - c.z};
    const double d2[3] = {double{c.x} - b.x, double{c.y} - b.y, double{c.z} - b.z};
    n[0] = d1[1] * d2[2] - d1[2] * d2[1];
    n[1] = d1[2] * d2[0] - d1[0] * d2[2];
    n[2] = d1[0] * d2[1] - d1[1] * d2[0];
}

bool IsFinite(const Vector3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool IsZero(const Vector3& v)
{
    return v.x == 0 && v.y == 0 && v.z == 0;
}

// Whether a face of non-zero area was left without a direction.
bool FaceVanished(const MeshData& data, std::size_t f)
{
    const Vector3& normal = data.faceNormals[f];
    if (!IsFinite(normal))
        return true;
    if (!IsZero(normal))
        return false;
    double exact[3];
    ExactAreaNormal(data, data.faces[f], exact);
    return exact[0] != 0 || exact[1] != 0 || exact[2] != 0;
}

// Whether every position is 0 or of a magnitude in [2^-50, 2^50). Then no
// normal can vanish: a difference of two positions is a multiple of at
// least 2^-73 (the spacing of floats at 2^-50), so a cross product that is
// not 0 is at least 2^-146, which a float holds (as a subnormal); none
// exceeds 2^103, and the sum of 65,535 of them at a vertex stays below
// 2^120; the normalization runs in double. Nearly every model is such
// (trigonometry leaves magnitudes near 1e-8 where 0 was meant, so the
// bound is well below those), and this one pass over the positions' bits
// spares them the closer look.
bool PositionsInSafeRange(const MeshData& data)
{
    // Signed comparisons of the magnitudes' bits (31 of them), which SSE2
    // has for four at once.
    constexpr std::int32_t kMagnitude = 0x7FFFFFFF, kLowest = (127 - 50) << 23, kHighest = (127 + 50) << 23;
    const auto outside = [](float c) {
        const std::int32_t magnitude = std::bit_cast<std::int32_t>(c) & kMagnitude;
        return (static_cast<std::int32_t>(magnitude > 0) & static_cast<std::int32_t>(magnitude < kLowest)) |
               static_cast<std::int32_t>(magnitude >= kHighest);
    };
    // In blocks of bare floats, which the compiler takes four at a time.
    static_assert(sizeof(Vector3) == 3 * sizeof(float));
    constexpr std::size_t kBlock = 256;
    float block[3 * kBlock];
    std::int32_t any = 0;
    for (std::size_t first = 0; first < data.vertices.size(); first += kBlock)
    {
        const std::size_t count = std::min(kBlock, data.vertices.size() - first);
        std::memcpy(block, &data.vertices[first], count * sizeof(Vector3));
        for (std::size_t i = 0; i < 3 * count; ++i)
            any |= outside(block[i]);
    }
    return any == 0;
}

bool NormalsVanished(const MeshData& data)
{
    for (std::size_t f = 0; f < data.faceNormals.size(); ++f)
        if (FaceVanished(data, f))
            return true;
    for (const Vector3& normal : data.vertexNormals)
        if (!IsFinite(normal))
            return true;
    return false;
}

// The power of two that brings the largest position of the mesh into
// [0.5, 1): multiplying by it is exact, so the normals keep the design's
// rounding, only without leaving the range of a float.
std::int16_t NormalExponent(const MeshData& data)
{
    float largest = 0;
    for (const Vector3& p : data.vertices)
        largest = std::max({largest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    int exponent = 0;
    std::frexp(largest, &exponent);
    return static_cast<std::int16_t>(exponent);
}

std::vector<Vector3> ScaledPositions(const MeshObject& mesh)
{
    const MeshData& data = mesh.Data();
    std::vector<Vector3> scaled(data.vertices.size());
    const int e = -mesh.normalExponent;
    for (std::size_t v = 0; v < scaled.size(); ++v)
        scaled[v] = {std::ldexp(data.vertices[v].x, e), std::ldexp(data.vertices[v].y, e),
                     std::ldexp(data.vertices[v].z, e)};
    return scaled;
}

// Runs compute on the mesh with its positions scaled by its normal
// exponent, and gives the positions back.
template <typename Compute> void OnScaledPositions(MeshObject& mesh, Compute compute)
{
    MeshData& data = mesh.Data();
    std::vector<Vector3> positions = ScaledPositions(mesh);
    data.vertices.swap(positions);
    compute();
    data.vertices.swap(positions);
}

// The normals of a mesh whose plain computation lost a face's direction.
void RescueNormals(MeshObject& mesh)
{
    MeshData& data = mesh.Data();
    mesh.normalExponent = NormalExponent(data);
    if (mesh.normalExponent != 0)
        OnScaledPositions(mesh, [&] { ComputeMeshNormals(mesh); });
    // A face far smaller than the mesh's largest positions may still
    // underflow: its own exact cross product gives its direction.
    for (std::size_t f = 0; f < data.faceNormals.size(); ++f)
    {
        if (!FaceVanished(data, f))
            continue;
        double n[3];
        ExactAreaNormal(data, data.faces[f], n);
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        data.faceNormals[f] = {RoundToSingle(n[0] / length), RoundToSingle(n[1] / length),
                               RoundToSingle(n[2] / length)};
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

// The faces around one vertex, in ascending order, each once: the face (a
// 16-bit number in the file), which of its corners are the vertex (bits 29,
// 30 and 31 for the first, second and third), and its mask (0 for none).
constexpr std::uint32_t kFaceBits = 0x1FFFFFFFu;
constexpr std::uint32_t kNone = ~0u;

struct Around
{
    std::uint32_t faceAndCorners;
    std::uint32_t mask;
};

// Which corners of a face are its vertex v, as the bits of Around.
std::uint32_t CornersAt(const std::uint32_t* v, std::uint32_t vertex)
{
    return (v[0] == vertex ? 1u : 0u) | (v[1] == vertex ? 2u : 0u) | (v[2] == vertex ? 4u : 0u);
}

void PutAt(MeshData& data, std::uint32_t faceAndCorners, const Vector3& normal)
{
    Vector3* corner = data.cornerNormals.data() + std::size_t{faceAndCorners & kFaceBits} * 3;
    if (faceAndCorners & 1u << 29)
        corner[0] = normal;
    if (faceAndCorners & 1u << 30)
        corner[1] = normal;
    if (faceAndCorners & 1u << 31)
        corner[2] = normal;
}

// The corners of the faces with a mask around one vertex, by the surfaces
// there, whatever their number and however they chain: first the surfaces,
// then each one's sum in ascending face order, as the rounding after every
// addition asks (summing while the surfaces still merge would add in
// another order). A few faces are joined pair by pair; many through the
// bits of their masks.
class CVertexSolver
{
public:
    void Solve(MeshData& data, const Around* begin, std::size_t n)
    {
        constexpr std::size_t kFew = 8;
        m_surfaceOf.resize(n);
        m_sums.resize(n);
        m_counts.resize(n);
        std::uint32_t* const surfaceOf = m_surfaceOf.data();
        if (n <= kFew)
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
            m_bits.Reset();
            for (std::size_t i = 0; i < n; ++i)
                if (begin[i].mask != 0)
                    m_bits.Join(begin[i].mask);
            std::array<std::uint32_t, 32> firstOfSurface;
            firstOfSurface.fill(kNone);
            for (std::size_t i = 0; i < n; ++i)
            {
                surfaceOf[i] = kNone;
                if (begin[i].mask == 0)
                    continue;
                std::uint32_t& firstFace =
                    firstOfSurface[static_cast<std::size_t>(m_bits.Surface(begin[i].mask))];
                if (firstFace == kNone)
                    firstFace = static_cast<std::uint32_t>(i);
                surfaceOf[i] = firstFace;
            }
        }

        for (std::size_t i = 0; i < n; ++i)
        {
            const std::uint32_t s = surfaceOf[i];
            if (s == i)
            {
                m_sums[s] = Vector3{};
                m_counts[s] = 0;
            }
            if (s != kNone)
            {
                AddVector(m_sums[s], AreaNormal(data, data.faces[begin[i].faceAndCorners & kFaceBits]),
                          m_sums[s]);
                ++m_counts[s];
            }
        }
        for (std::size_t i = 0; i < n; ++i)
        {
            const std::uint32_t s = surfaceOf[i];
            if (s == kNone)
                continue;         // mask 0 or none: put by the caller
            if (m_counts[s] != 0) // not yet made a unit vector
            {
                DivideByCount(m_sums[s], m_counts[s]);
                NormalizeVector(m_sums[s]);
                m_counts[s] = 0;
            }
            PutAt(data, begin[i].faceAndCorners, m_sums[s]);
        }
    }

private:
    std::vector<std::uint32_t> m_surfaceOf; // per face there, the first face of its surface
    std::vector<Vector3> m_sums;            // per surface, by its first face
    std::vector<std::uint32_t> m_counts;
    BitSurfaces m_bits;
};

// The surfaces at one vertex while its faces come in ascending order, as
// long as there are at most two: a face whose mask shares bits with one
// surface's joins it, and its normal is added to that surface's sum in the
// order the rule asks. A face that joins both merges them when the second
// is a single face that came after all of the first's: the sum of the two
// is then the merged surface's sum in ascending order. Any other merge, or
// a third surface, leaves the vertex to CVertexSolver.
struct TwoSurfaces
{
    std::uint32_t bits[2];   // the union of the masks of each one's faces; 0: none yet
    std::uint16_t counts[2]; // its faces (a mesh has at most 65,535: the file counts them in 16 bits)
    std::uint16_t last[2];   // its latest face
    Vector3 sums[2];

    // The bits of two surfaces never overlap, but here.
    bool General() const { return (bits[0] & bits[1]) != 0; }

    void Join(std::uint16_t face, std::uint32_t mask, const Vector3& areaNormal)
    {
        const bool in0 = (bits[0] & mask) != 0, in1 = (bits[1] & mask) != 0;
        std::size_t k = in1 ? 1 : 0;
        if (in0 == in1)
        {
            if (General())
                return;
            if (in0)
            {
                // The first surface always began first; the second, a
                // single face after all of the first's, is added last.
                // The sums hold no negative zero (a sum from +0 drops its
                // sign), so adding its sum adds its face's normal.
                if (counts[1] != 1 || last[1] < last[0])
                {
                    bits[0] = bits[1] = ~0u;
                    return;
                }
                AddVector(sums[0], sums[1], sums[0]);
                bits[0] |= bits[1];
                ++counts[0];
                bits[1] = counts[1] = 0;
                sums[1] = Vector3{};
                k = 0;
            }
            else if (bits[0] == 0)
                k = 0;
            else if (bits[1] == 0)
                k = 1;
            else
            {
                bits[0] = bits[1] = ~0u;
                return;
            }
        }
        bits[k] |= mask;
        AddVector(sums[k], areaNormal, sums[k]);
        ++counts[k];
        last[k] = face;
    }
};

// The corner normals of one mesh; false when its masks do not match its
// faces (those it has none for keep their vertices' normals).
//
// One walk over the faces in ascending order forms the sums of the
// surfaces at every vertex of at most two surfaces that never merge, the
// usual case. The vertices where surfaces chain into each other or number
// more than two are gathered apart and solved whole.
bool ComputeMeshCornerNormals(MeshObject& mesh)
{
    MeshData& data = mesh.Data();
    const auto faceCount = static_cast<std::size_t>(mesh.faceCount);
    const auto vertexCount = static_cast<std::size_t>(mesh.vertexCount);
    const std::size_t covered = std::min(data.smoothGroups.size(), faceCount);
    data.cornerNormals.resize(faceCount * 3);
    const auto maskOf = [&](std::size_t f) { return f < covered ? data.smoothGroups[f] : 0u; };

    assert(faceCount <= 0xFFFF);
    std::vector<TwoSurfaces> surfaces(vertexCount);
    std::vector<std::uint32_t> faceCounts(vertexCount, 0); // all faces there, masked or not
    for (std::size_t f = 0; f < faceCount; ++f)
    {
        const std::uint32_t* v = data.faces[f].vertexIndex;
        const std::uint32_t mask = maskOf(f);
        const bool b = v[1] != v[0], c = v[2] != v[0] && v[2] != v[1];
        ++faceCounts[v[0]];
        faceCounts[v[1]] += b;
        faceCounts[v[2]] += c;
        if (mask == 0)
            continue;
        const Vector3 n = AreaNormal(data, data.faces[f]);
        const auto face = static_cast<std::uint16_t>(f);
        surfaces[v[0]].Join(face, mask, n);
        if (b)
            surfaces[v[1]].Join(face, mask, n);
        if (c)
            surfaces[v[2]].Join(face, mask, n);
    }

    // Each surface's sum made a unit vector; a surface of all the faces
    // there has the sum, and so the normal, of the vertex. A general
    // vertex gets a range of faceCounts[v] places in the list of faces
    // around general vertices, and faceCounts[v] becomes 1 + the first.
    std::vector<std::uint32_t> generalFirst;
    std::uint32_t aroundCount = 0;
    for (std::size_t v = 0; v < vertexCount; ++v)
    {
        TwoSurfaces& s = surfaces[v];
        const std::uint32_t count = faceCounts[v];
        faceCounts[v] = 0;
        if (s.General())
        {
            generalFirst.push_back(aroundCount);
            faceCounts[v] = 1 + aroundCount;
            aroundCount += count;
            continue;
        }
        for (std::size_t k = 0; k < 2; ++k)
        {
            if (s.counts[k] == count)
                s.sums[k] = data.vertexNormals[v];
            else if (s.counts[k] == 1)
            {
                // The unit vector of a single face's sum is its face normal,
                // but for the sign of a zero, which the sum from zero drops.
                const Vector3& normal = data.faceNormals[s.last[k]];
                s.sums[k] = {normal.x + 0.0f, normal.y + 0.0f, normal.z + 0.0f};
            }
            else if (s.counts[k] != 0)
            {
                DivideByCount(s.sums[k], s.counts[k]);
                NormalizeVector(s.sums[k]);
            }
        }
    }

    // Every corner; those of a masked face at a general vertex are put
    // again below.
    for (std::size_t f = 0; f < faceCount; ++f)
    {
        const std::uint32_t* v = data.faces[f].vertexIndex;
        Vector3* corner = data.cornerNormals.data() + f * 3;
        if (f >= covered)
        {
            for (std::size_t j = 0; j < 3; ++j)
                corner[j] = data.vertexNormals[v[j]]; // no mask: today's normal
        }
        else if (const std::uint32_t mask = data.smoothGroups[f]; mask == 0)
        {
            for (std::size_t j = 0; j < 3; ++j)
                corner[j] = data.faceNormals[f]; // flat
        }
        else
        {
            for (std::size_t j = 0; j < 3; ++j)
            {
                const TwoSurfaces& s = surfaces[v[j]];
                corner[j] = s.sums[(s.bits[0] & mask) == 0];
            }
        }
    }

    if (!generalFirst.empty())
    {
        // The faces around each general vertex, laid out vertex after
        // vertex in ascending order.
        generalFirst.push_back(aroundCount);
        std::vector<Around> around(aroundCount);
        for (std::size_t f = 0; f < faceCount; ++f)
        {
            const std::uint32_t* v = data.faces[f].vertexIndex;
            const bool distinct[3] = {true, v[1] != v[0], v[2] != v[0] && v[2] != v[1]};
            for (std::size_t j = 0; j < 3; ++j)
                if (distinct[j] && faceCounts[v[j]] != 0)
                    around[faceCounts[v[j]]++ - 1] = {
                        static_cast<std::uint32_t>(f) | CornersAt(v, v[j]) << 29, maskOf(f)};
        }
        CVertexSolver solver;
        for (std::size_t g = 0; g + 1 < generalFirst.size(); ++g)
            solver.Solve(data, around.data() + generalFirst[g], generalFirst[g + 1] - generalFirst[g]);
    }
    return faceCount == 0 || data.smoothGroups.size() == faceCount;
}

} // namespace

bool C3dsModel::ComputeCornerNormals(platform::CMessageLog& log, IProgress* pProgress)
{
    std::string names;
    for (std::int32_t i = 0; i < m_nMeshCount; ++i)
    {
        // A mesh takes milliseconds; a model may have thousands.
        if (pProgress &&
            !pProgress->Continue(static_cast<std::uint64_t>(i), static_cast<std::uint64_t>(m_nMeshCount)))
            return false;
        MeshObject& mesh = m_meshes.at(static_cast<std::size_t>(i));
        if (!mesh.HasData())
            continue; // no faces: nothing to shade
        bool bMatched = true;
        if (mesh.normalExponent == 0)
            bMatched = ComputeMeshCornerNormals(mesh);
        else
            OnScaledPositions(mesh, [&] { bMatched = ComputeMeshCornerNormals(mesh); });
        if (!bMatched)
            names += (names.empty() ? "\"" : ", \"") + mesh.name + "\"";
    }
    if (!names.empty())
        log.Warning("The smoothing groups do not match the faces of " + names +
                    "; a face without a group is smoothed across all its edges");
    return true;
}

bool C3dsModel::ComputeNormals(IProgress* pProgress)
{
    for (std::int32_t i = 0; i < m_nMeshCount; ++i)
    {
        if (pProgress &&
            !pProgress->Continue(static_cast<std::uint64_t>(i), static_cast<std::uint64_t>(m_nMeshCount)))
            return false;
        MeshObject& mesh = m_meshes.at(static_cast<std::size_t>(i));
        mesh.normalExponent = 0;
        if (!mesh.HasData())
            continue; // no vertices: no normals
        ComputeMeshNormals(mesh);
        if (!PositionsInSafeRange(mesh.Data()) && NormalsVanished(mesh.Data()))
            RescueNormals(mesh);
    }
    return true;
}
