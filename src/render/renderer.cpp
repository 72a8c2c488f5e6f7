#include "render/renderer.h"

#include "model/c3ds_model.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

// The picture is rasterized as graphics processors are specified to: every
// vertex is transformed and lit in double precision and rounded once, in
// SnapVertex, to integers (positions to 1/16 pixel); from there on the
// edge functions, the top-left rule for pixels on an edge, the depth test
// (strictly nearer wins, so of two faces at one depth the one drawn first
// stays) and the perspective-correct interpolation are integer arithmetic.
// Two builds can then differ only if their double arithmetic differs,
// which IEEE 754 rules out for the operations used (+, -, *, /, sqrt;
// sine and cosine only for views turned by the user).

namespace
{

constexpr int kSubpixelBits = 4;
constexpr std::int64_t kSubpixel = 1 << kSubpixelBits;
// Snapped positions stay within +-2^18 (16384 pixels), so an edge function
// stays within 2^38 and its products with a nearness (at most 2^24) within
// 2^62: no 64-bit sum below overflows.
constexpr double kPositionLimit = 1 << 18;
constexpr double kNearnessOne = 1 << 24;
constexpr std::int64_t kWeightOne = 1 << 16;
constexpr double kMapLimit = 2147483647.0; // 2^31 - 1: 32767 repeats of a texture

// The product shot's focal length: the bounding sphere at distance
// radius * sqrt(1 + f^2) just fills the shorter side; f = 3 is a moderate
// telephoto, about 37 degrees across.
constexpr double kFocal = 3.0;

constexpr std::uint8_t kGrey[3] = {176, 176, 172};
constexpr std::uint8_t kWarning[3] = {236, 40, 150};

struct Vec
{
    double x = 0, y = 0, z = 0;
};

Vec Sub(const Vec& a, const Vec& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double Dot(const Vec& a, const Vec& b)
{
    const double xx = a.x * b.x, yy = a.y * b.y, zz = a.z * b.z;
    return xx + yy + zz;
}
Vec Cross(const Vec& a, const Vec& b)
{
    const double x = a.y * b.z - a.z * b.y, y = a.z * b.x - a.x * b.z, z = a.x * b.y - a.y * b.x;
    return {x, y, z};
}
Vec Unit(const Vec& v)
{
    const double length = std::sqrt(Dot(v, v));
    return length > 0 ? Vec{v.x / length, v.y / length, v.z / length} : v;
}

// Two lights that turn with the camera, as directions towards them in the
// camera's frame (x right, y up, z away from the viewer): a key light from
// the upper left and a weaker fill from the right, over a little ambient.
const Vec kKeyLight = Unit({-0.45, 0.6, -0.66});
const Vec kFillLight = Unit({0.8, -0.2, -0.55});
constexpr double kAmbient = 0.2, kKey = 0.65, kFill = 0.3;

// The light on a side facing along the normal (sign 1) or against it
// (sign -1), from the normal's products with the lights: negating a
// product is exact, so both sides cost two products in all.
double Light(double keyDot, double fillDot, double sign)
{
    const double key = std::max(0.0, sign * keyDot);
    const double fill = std::max(0.0, sign * fillDot);
    return std::min(1.0, kAmbient + kKey * key + kFill * fill);
}

// Nearest, halves away from zero: a half of the value's sign added, then
// truncated, without a branch (negating the sum of the magnitudes
// instead would give the same bits, IEEE 754 rounding symmetrically).
std::int64_t Round(double value, double limit = kPositionLimit)
{
    // std::clamp, as std::min and std::max, compiles to a branch.
    const double clamped = std::min(std::max(value, -limit), limit);
    return static_cast<std::int64_t>(clamped + std::copysign(0.5, clamped));
}

} // namespace

// The camera in the frame of the bounding sphere (its centre at the origin,
// its radius 1), and where its picture goes.
struct CRenderer::Camera
{
    Vec eye, right, up, forward;
    double nearDistance = 1;
    double centreX = 0, centreY = 0, scale = 1; // pixels per unit of x / z
    Vec centre;                                 // of the bounding sphere, in model units
    double inverseRadius = 1;
};

namespace
{

// The one rounding of a vertex to integers. Position: nearest 1/16 pixel;
// nearness: nearest 2^-24 of the near distance over the depth; light:
// nearest 1/255; mapping: nearest 2^-16. Halves round away from zero. A
// vertex behind the near side, or out of the range the rasterizer's
// integers cover, is marked invalid, and its faces are not drawn.
void SnapVertex(double x, double y, double depth, double nearDistance, double front, double back, double u,
                double v, CRenderer::ScreenVertex& s)
{
    const double fx = x * kSubpixel, fy = y * kSubpixel;
    if (!(depth >= nearDistance * 0.5) || !(std::abs(fx) < kPositionLimit) ||
        !(std::abs(fy) < kPositionLimit))
    {
        s = CRenderer::ScreenVertex{};
        return;
    }
    s.x = static_cast<std::int32_t>(Round(fx));
    s.y = static_cast<std::int32_t>(Round(fy));
    s.nearness = static_cast<std::int32_t>(Round(nearDistance / depth * kNearnessOne, kNearnessOne));
    s.front = static_cast<std::int32_t>(Round(front * 255.0, 255.0));
    s.back = static_cast<std::int32_t>(Round(back * 255.0, 255.0));
    s.u = Round(u * static_cast<double>(kWeightOne), kMapLimit);
    s.v = Round(v * static_cast<double>(kWeightOne), kMapLimit);
}

// A colour scaled by a light of 0 to 255.
std::uint8_t Lit(std::uint8_t colour, std::int64_t light)
{
    return static_cast<std::uint8_t>((colour * light + 127) / 255);
}

std::int64_t Wrap(std::int64_t value, std::int64_t size)
{
    const std::int64_t r = value % size;
    return r < 0 ? r + size : r;
}

} // namespace

bool ModelBounds(const C3dsModel& model, Vector3& low, Vector3& high)
{
    bool bAny = false;
    for (const MeshObject& object : model.m_meshes)
    {
        const MeshData& mesh = object.Data();
        if (mesh.vertices.empty())
            continue;
        if (!bAny)
            low = high = mesh.vertices.front();
        bAny = true;
        std::size_t i = 0;
#if defined(__SSE2__)
        // Four vertices at a time, twelve numbers in three vector
        // registers, whose minima and maxima are joined at the end: the
        // smallest of a set of numbers is the same in any order, and
        // minps(a, b) chooses as std::min(b, a).
        static_assert(sizeof(Vector3) == 3 * sizeof(float));
        const float* numbers = &mesh.vertices.front().x;
        const __m128 first = _mm_setr_ps(low.x, low.y, low.z, low.x);
        __m128 lows[3] = {first, _mm_shuffle_ps(first, first, _MM_SHUFFLE(1, 0, 2, 1)),
                          _mm_shuffle_ps(first, first, _MM_SHUFFLE(2, 1, 0, 2))};
        __m128 highs[3];
        const __m128 top = _mm_setr_ps(high.x, high.y, high.z, high.x);
        highs[0] = top;
        highs[1] = _mm_shuffle_ps(top, top, _MM_SHUFFLE(1, 0, 2, 1));
        highs[2] = _mm_shuffle_ps(top, top, _MM_SHUFFLE(2, 1, 0, 2));
        for (; i + 4 <= mesh.vertices.size(); i += 4)
            for (int k = 0; k < 3; ++k)
            {
                const __m128 four = _mm_loadu_ps(numbers + i * 3 + k * 4);
                lows[k] = _mm_min_ps(four, lows[k]);
                highs[k] = _mm_max_ps(four, highs[k]);
            }
        float lowNumbers[12], highNumbers[12];
        for (int k = 0; k < 3; ++k)
        {
            _mm_storeu_ps(lowNumbers + k * 4, lows[k]);
            _mm_storeu_ps(highNumbers + k * 4, highs[k]);
        }
        for (int k = 0; k < 12; ++k)
        {
            float& lowest = k % 3 == 0 ? low.x : k % 3 == 1 ? low.y : low.z;
            float& highest = k % 3 == 0 ? high.x : k % 3 == 1 ? high.y : high.z;
            lowest = std::min(lowest, lowNumbers[k]);
            highest = std::max(highest, highNumbers[k]);
        }
#endif
        // Without a test per vertex of whether it is the first, the loop
        // runs on vector registers.
        for (; i < mesh.vertices.size(); ++i)
        {
            const Vector3& p = mesh.vertices[i];
            low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
        }
    }
    return bAny;
}

ModelCounts CountModel(const C3dsModel& model)
{
    ModelCounts counts;
    counts.meshes = model.m_nMeshCount;
    for (const MeshObject& mesh : model.m_meshes)
    {
        counts.faces += mesh.faceCount;
        counts.vertices += mesh.vertexCount;
    }
    return counts;
}

void CRenderer::Draw(const C3dsModel& lod1, const C3dsModel* pLod2, const CTextureSet& textures,
                     const ViewAngles& view, RgbaImage& image, std::uint32_t background)
{
    const std::size_t pixelCount =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    image.pixels.resize(pixelCount * 4);
    const std::uint8_t fill[4] = {
        static_cast<std::uint8_t>(background >> 24), static_cast<std::uint8_t>(background >> 16),
        static_cast<std::uint8_t>(background >> 8), static_cast<std::uint8_t>(background)};
    if (background == 0)
        std::fill(image.pixels.begin(), image.pixels.end(), 0); // a memset: the thumbnails' clear background
    else
        for (std::size_t p = 0; p < pixelCount * 4; p += 4)
            std::copy(fill, fill + 4, &image.pixels[p]);
    m_depth.assign(pixelCount, 0);
    m_nTileColumns = (image.width + kTile - 1) / kTile;
    m_tileFloors.assign(static_cast<std::size_t>(m_nTileColumns) * ((image.height + kTile - 1) / kTile), 0);
    if (pixelCount == 0)
        return;

    Vector3 low, high, low2, high2;
    const bool bHasLod1 = ModelBounds(lod1, low, high);
    if (pLod2 && ModelBounds(*pLod2, low2, high2))
    {
        low = bHasLod1 ? Vector3{std::min(low.x, low2.x), std::min(low.y, low2.y), std::min(low.z, low2.z)}
                       : low2;
        high = bHasLod1
                   ? Vector3{std::max(high.x, high2.x), std::max(high.y, high2.y), std::max(high.z, high2.z)}
                   : high2;
    }
    else if (!bHasLod1)
        return;

    Camera camera;
    camera.centre = {(static_cast<double>(low.x) + high.x) * 0.5, (static_cast<double>(low.y) + high.y) * 0.5,
                     (static_cast<double>(low.z) + high.z) * 0.5};
    const Vec half = {high.x - camera.centre.x, high.y - camera.centre.y, high.z - camera.centre.z};
    const double radius = std::sqrt(Dot(half, half));
    camera.inverseRadius = radius > 0 ? 1.0 / radius : 1.0;

    // From the front (-y, as 3D Studio's front view looks), the right (+x)
    // and above (+z, up in 3D Studio). The product shot's direction is a
    // constant so that its pictures need no sine or cosine.
    Vec toEye = Unit({0.55, -0.8, 0.45});
    if (view.yawDegrees != 0 || view.pitchDegrees != 0)
    {
        constexpr double kDegree = 3.14159265358979323846 / 180.0;
        const double yaw = std::atan2(toEye.x, -toEye.y) + view.yawDegrees * kDegree;
        const double pitch =
            std::clamp(std::asin(toEye.z) + view.pitchDegrees * kDegree, -85 * kDegree, 85 * kDegree);
        toEye = {std::sin(yaw) * std::cos(pitch), -std::cos(yaw) * std::cos(pitch), std::sin(pitch)};
    }
    const double distance =
        std::sqrt(1.0 + kFocal * kFocal) / std::clamp(view.zoom, ViewAngles::kMinZoom, ViewAngles::kMaxZoom);
    camera.eye = {toEye.x * distance, toEye.y * distance, toEye.z * distance};
    camera.forward = {-toEye.x, -toEye.y, -toEye.z};
    camera.right = Unit(Cross(camera.forward, {0, 0, 1}));
    camera.up = Cross(camera.right, camera.forward);
    camera.nearDistance = distance - 1.0;

    // LOD 2 beside LOD 1, or below it in a picture taller than wide.
    Rect rects[2] = {{0, 0, image.width, image.height}, {0, 0, image.width, image.height}};
    if (pLod2 && image.width >= image.height)
        rects[0].right = rects[1].left = image.width / 2;
    else if (pLod2)
        rects[0].bottom = rects[1].top = image.height / 2;
    const C3dsModel* models[2] = {&lod1, pLod2};
    for (int m = 0; m < 2 && models[m]; ++m)
    {
        const Rect& rect = rects[m];
        camera.centreX = (rect.left + rect.right) * 0.5;
        camera.centreY = (rect.top + rect.bottom) * 0.5;
        camera.scale = kFocal * std::min(rect.right - rect.left, rect.bottom - rect.top) * 0.5;
        DrawModel(*models[m], textures, camera, rect, image);
    }
}

void CRenderer::Project(const MeshData& mesh, std::uint32_t i, bool bMapped, const Camera& camera,
                        ScreenVertex& vertex)
{
    const Vector3& p = mesh.vertices[i];
    const Vec local = {(p.x - camera.centre.x) * camera.inverseRadius,
                       (p.y - camera.centre.y) * camera.inverseRadius,
                       (p.z - camera.centre.z) * camera.inverseRadius};
    const Vec d = Sub(local, camera.eye);
    const double depth = Dot(d, camera.forward);
    const double x = camera.centreX + Dot(d, camera.right) / depth * camera.scale;
    const double y = camera.centreY - Dot(d, camera.up) / depth * camera.scale;
    // The vertex normals the file carries point to the side from
    // which a face's corners a, b, c run clockwise: the inside of a
    // model made in 3D Studio, whose faces run counter-clockwise
    // seen from outside. The front side is lit with them turned
    // round, so that the rounding they give to hard edges shows.
    const Vector3& n = mesh.vertexNormals[i];
    const Vec normal = {Dot({n.x, n.y, n.z}, camera.right), Dot({n.x, n.y, n.z}, camera.up),
                        Dot({n.x, n.y, n.z}, camera.forward)};
    const MapCoord uv = bMapped ? mesh.mapCoords[i] : MapCoord{};
    const double keyDot = Dot(normal, kKeyLight), fillDot = Dot(normal, kFillLight);
    SnapVertex(x, y, depth, camera.nearDistance, Light(keyDot, fillDot, -1.0), Light(keyDot, fillDot, 1.0),
               uv.u, 1.0 - static_cast<double>(uv.v), vertex);
}

#if defined(__SSE2__)
// Project for the two vertices first and first + 1 side by side, on SSE2's
// vector registers: each lane the same IEEE operations in the same order
// as Project's, and so the same bits (the min and max instructions choose
// as std::min and std::max do, and truncating to 32 bits is exact for the
// clamped values). Half the instructions of two calls of Project.
void CRenderer::ProjectPair(const MeshData& mesh, std::uint32_t first, bool bMapped, const Camera& camera,
                            ScreenVertex* out)
{
    const Vector3& p0 = mesh.vertices[first];
    const Vector3& p1 = mesh.vertices[first + 1];
    const Vector3& n0 = mesh.vertexNormals[first];
    const Vector3& n1 = mesh.vertexNormals[first + 1];
    const auto pair = [](float a, float b) { return _mm_set_pd(b, a); };
    const auto all = [](double value) { return _mm_set1_pd(value); };
    const auto dot = [](__m128d ax, __m128d ay, __m128d az, __m128d bx, __m128d by, __m128d bz) {
        return _mm_add_pd(_mm_add_pd(_mm_mul_pd(ax, bx), _mm_mul_pd(ay, by)), _mm_mul_pd(az, bz));
    };
    const auto dotWith = [&](__m128d ax, __m128d ay, __m128d az, const Vec& b) {
        return dot(ax, ay, az, all(b.x), all(b.y), all(b.z));
    };

    const __m128d inverseRadius = all(camera.inverseRadius);
    const __m128d dx = _mm_sub_pd(
        _mm_mul_pd(_mm_sub_pd(pair(p0.x, p1.x), all(camera.centre.x)), inverseRadius), all(camera.eye.x));
    const __m128d dy = _mm_sub_pd(
        _mm_mul_pd(_mm_sub_pd(pair(p0.y, p1.y), all(camera.centre.y)), inverseRadius), all(camera.eye.y));
    const __m128d dz = _mm_sub_pd(
        _mm_mul_pd(_mm_sub_pd(pair(p0.z, p1.z), all(camera.centre.z)), inverseRadius), all(camera.eye.z));
    const __m128d depth = dotWith(dx, dy, dz, camera.forward);
    const __m128d scale = all(camera.scale);
    const __m128d x = _mm_add_pd(all(camera.centreX),
                                 _mm_mul_pd(_mm_div_pd(dotWith(dx, dy, dz, camera.right), depth), scale));
    const __m128d y =
        _mm_sub_pd(all(camera.centreY), _mm_mul_pd(_mm_div_pd(dotWith(dx, dy, dz, camera.up), depth), scale));

    const __m128d nx = pair(n0.x, n1.x), ny = pair(n0.y, n1.y), nz = pair(n0.z, n1.z);
    const __m128d normalX = dotWith(nx, ny, nz, camera.right);
    const __m128d normalY = dotWith(nx, ny, nz, camera.up);
    const __m128d normalZ = dotWith(nx, ny, nz, camera.forward);
    const __m128d keyDot = dotWith(normalX, normalY, normalZ, kKeyLight);
    const __m128d fillDot = dotWith(normalX, normalY, normalZ, kFillLight);
    const __m128d zero = _mm_setzero_pd();
    const __m128d signBit = all(-0.0);
    // Light: std::max(0.0, v) as max(v, 0), std::min(1.0, v) as min(v, 1).
    const auto light = [&](__m128d key, __m128d fill) {
        const __m128d sum =
            _mm_add_pd(_mm_add_pd(all(kAmbient), _mm_mul_pd(all(kKey), _mm_max_pd(key, zero))),
                       _mm_mul_pd(all(kFill), _mm_max_pd(fill, zero)));
        return _mm_min_pd(sum, all(1.0));
    };
    const __m128d front = light(_mm_mul_pd(all(-1.0), keyDot), _mm_mul_pd(all(-1.0), fillDot));
    const __m128d back = light(_mm_mul_pd(all(1.0), keyDot), _mm_mul_pd(all(1.0), fillDot));

    // Round: std::min(std::max(v, -limit), limit) as min(limit, max(-limit,
    // v)), then a half of the value's sign added and truncated.
    const auto round = [&](__m128d value, double limit) {
        const __m128d clamped = _mm_min_pd(all(limit), _mm_max_pd(all(-limit), value));
        return _mm_cvttpd_epi32(_mm_add_pd(clamped, _mm_or_pd(_mm_and_pd(clamped, signBit), all(0.5))));
    };
    const __m128d fx = _mm_mul_pd(x, all(kSubpixel)), fy = _mm_mul_pd(y, all(kSubpixel));
    const __m128d nearDistance = all(camera.nearDistance);
    const __m128d valid =
        _mm_and_pd(_mm_cmpge_pd(depth, _mm_mul_pd(nearDistance, all(0.5))),
                   _mm_and_pd(_mm_cmplt_pd(_mm_andnot_pd(signBit, fx), all(kPositionLimit)),
                              _mm_cmplt_pd(_mm_andnot_pd(signBit, fy), all(kPositionLimit))));
    const int validLanes = _mm_movemask_pd(valid);

    const MapCoord uv0 = bMapped ? mesh.mapCoords[first] : MapCoord{};
    const MapCoord uv1 = bMapped ? mesh.mapCoords[first + 1] : MapCoord{};
    const __m128d u = pair(uv0.u, uv1.u);
    const __m128d v = _mm_sub_pd(all(1.0), pair(uv0.v, uv1.v));
    const __m128d weightOne = all(static_cast<double>(kWeightOne));
    const __m128i rounded[7] = {
        round(fx, kPositionLimit),
        round(fy, kPositionLimit),
        round(_mm_mul_pd(_mm_div_pd(nearDistance, depth), all(kNearnessOne)), kNearnessOne),
        round(_mm_mul_pd(front, all(255.0)), 255.0),
        round(_mm_mul_pd(back, all(255.0)), 255.0),
        round(_mm_mul_pd(u, weightOne), kMapLimit),
        round(_mm_mul_pd(v, weightOne), kMapLimit)};
    std::int32_t lanes[7][4];
    for (int k = 0; k < 7; ++k)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes[k]), rounded[k]);
    for (int j = 0; j < 2; ++j)
        out[j] = (validLanes >> j & 1) ? ScreenVertex{lanes[0][j], lanes[1][j], lanes[2][j], lanes[3][j],
                                                      lanes[4][j], lanes[5][j], lanes[6][j]}
                                       : ScreenVertex{};
}
#endif

void CRenderer::DrawModel(const C3dsModel& model, const CTextureSet& textures, const Camera& camera,
                          const Rect& rect, RgbaImage& image)
{
    std::vector<const RgbaImage*> materialTextures;
    for (const MaterialEntry& material : model.m_materials)
        materialTextures.push_back(textures.Find(material.mapName));

    for (const MeshObject& object : model.m_meshes)
    {
        const MeshData& mesh = object.Data();
        // A loaded model keeps these sizes; a model made otherwise must not
        // make the drawing read past an array.
        const std::size_t count = std::min(mesh.vertices.size(), mesh.vertexNormals.size());
        const bool bMapped = object.mapCoordCount > 0 && mesh.mapCoords.size() >= count;
        // The cache no larger than the mesh's vertices (a power of two, for
        // the mask), so that drawing needs no more memory than the model
        // holds beside the picture and its depth.
        const std::size_t cacheSize = std::bit_floor(std::clamp<std::size_t>(count, 1, kCacheSize));
        if (m_cache.size() != cacheSize)
        {
            m_cache = std::vector<ScreenVertex>(cacheSize);
            m_cachedIndices = std::vector<std::uint32_t>(cacheSize);
        }
        std::fill(m_cachedIndices.begin(), m_cachedIndices.end(), 0);
        const auto mask = static_cast<std::uint32_t>(cacheSize - 1);
        // Where the vector registers have room for two, a vertex missing
        // from the cache is projected with the other of its pair (most
        // faces use their neighbours' vertices), whose places in the cache
        // are next to each other.
#if defined(__SSE2__)
        const std::uint32_t block = cacheSize >= 2 ? 2 : 1;
#else
        const std::uint32_t block = 1;
#endif
        std::uint32_t* const cachedIndices = m_cachedIndices.data();
        ScreenVertex* const cache = m_cache.data();
        for (const FaceEntry& face : mesh.faces)
        {
            const std::uint32_t* index = face.vertexIndex;
            if (index[0] >= count || index[1] >= count || index[2] >= count)
                continue;
            // The corners in the cache, unless two of them share a block
            // of places there: then the later would replace the earlier,
            // so they are copied out.
            const auto clash = [&](int a, int b) {
                return ((index[a] & ~(block - 1)) != (index[b] & ~(block - 1))) &
                       ((index[a] & mask & ~(block - 1)) == (index[b] & mask & ~(block - 1)));
            };
            ScreenVertex copies[3];
            const ScreenVertex* corners[3];
            const bool bClash = clash(0, 1) | clash(0, 2) | clash(1, 2); // without a branch
            for (int c = 0; c < 3; ++c)
            {
                // The cache's arrays through locals: the compiler cannot
                // tell that the stores below leave the vectors' own
                // pointers unchanged, and would reload them at each corner.
                const std::uint32_t slot = index[c] & mask;
                if (cachedIndices[slot] != index[c] + 1)
                {
#if defined(__SSE2__)
                    const std::uint32_t first = index[c] & ~(block - 1);
                    if (block == 2 && first + 2 <= count)
                    {
                        ProjectPair(mesh, first, bMapped, camera, &cache[first & mask]);
                        cachedIndices[first & mask] = first + 1;
                        cachedIndices[(first & mask) + 1] = first + 2;
                        corners[c] = bClash ? &(copies[c] = cache[slot]) : &cache[slot];
                        continue;
                    }
#endif
                    cachedIndices[slot] = index[c] + 1;
                    Project(mesh, index[c], bMapped, camera, cache[slot]);
                }
                corners[c] = bClash ? &(copies[c] = cache[slot]) : &cache[slot];
            }
            if (corners[0]->nearness == 0 || corners[1]->nearness == 0 || corners[2]->nearness == 0)
                continue;
            const auto material = static_cast<std::size_t>(face.materialIndex);
            const RgbaImage* pTexture =
                bMapped && material < materialTextures.size() ? materialTextures[material] : nullptr;
            DrawTriangle(corners, pTexture, rect, image);
        }
    }
}

namespace
{

// The edge function of the edge a -> b at p: positive on the inside of a
// triangle whose corners run clockwise on the screen (y downwards).
std::int64_t Edge(const CRenderer::ScreenVertex& a, const CRenderer::ScreenVertex& b, std::int64_t px,
                  std::int64_t py)
{
    return (std::int64_t{b.x} - a.x) * (py - a.y) - (std::int64_t{b.y} - a.y) * (px - a.x);
}

// A pixel centre exactly on an edge belongs to the triangle whose top or
// left edge it is, so that two faces sharing an edge never both cover it
// and never both miss it. For clockwise corners a left edge goes up, and a
// top edge is level and goes right.
std::int64_t TopLeftBias(const CRenderer::ScreenVertex& a, const CRenderer::ScreenVertex& b)
{
    const bool bTopLeft = (b.y < a.y) | ((b.y == a.y) & (b.x > a.x)); // without a branch
    return static_cast<std::int64_t>(bTopLeft) - 1;
}

} // namespace

// Out of line, so that the row-by-row drawing of small faces, the common
// case, compiles as if this were not there.
template <typename Shade>
[[gnu::noinline]] void CRenderer::DrawTiles(const std::int64_t (&box)[4], std::int64_t area,
                                            const ScreenVertex* const (&v)[3], const std::int64_t (&bias)[3],
                                            const std::int64_t (&rowStart)[3], const std::int64_t (&stepX)[3],
                                            const std::int64_t (&stepY)[3], const Shade& shade,
                                            const RgbaImage& image)
{
    const auto [left, top, right, bottom] = box;
    // Bounds of the edge functions and of the weighted nearness over a
    // tile (both linear over the screen), exact in 128 bits: a weight
    // reaches 2^39 at a far corner, times a nearness of up to 2^24. A
    // pixel is drawn only where its weights are not negative and its
    // weighted nearness reaches (depth + 1) * area, and the depth there
    // is at least the tile's floor.
    using Wide = __int128;
    const std::int32_t nearest = std::max(std::max(v[0]->nearness, v[1]->nearness), v[2]->nearness);
    Wide nearnessStepX = 0, nearnessStepY = 0;
    for (int e = 0; e < 3; ++e)
    {
        nearnessStepX += Wide{stepX[e]} * v[e]->nearness;
        nearnessStepY += Wide{stepY[e]} * v[e]->nearness;
    }
    const auto rise = [](auto step, std::int64_t span) { return step > 0 ? step * span : decltype(step){0}; };
    for (std::int64_t tileY = top / kTile; tileY <= bottom / kTile; ++tileY)
    {
        const std::int64_t y0 = std::max(top, tileY * kTile),
                           y1 = std::min(bottom, tileY * kTile + kTile - 1);
        for (std::int64_t tileX = left / kTile; tileX <= right / kTile; ++tileX)
        {
            std::int32_t& floor = m_tileFloors[static_cast<std::size_t>(tileY * m_nTileColumns + tileX)];
            if (nearest <= floor)
                continue;
            const std::int64_t x0 = std::max(left, tileX * kTile),
                               x1 = std::min(right, tileX * kTile + kTile - 1);
            std::int64_t w[3];
            bool bMissed = false;
            Wide weighted = 0;
            for (int e = 0; e < 3; ++e)
            {
                w[e] = rowStart[e] + (x0 - left) * stepX[e] + (y0 - top) * stepY[e];
                bMissed |= w[e] + rise(stepX[e], x1 - x0) + rise(stepY[e], y1 - y0) + bias[e] < 0;
                weighted += Wide{w[e]} * v[e]->nearness;
            }
            if (bMissed || weighted + rise(nearnessStepX, x1 - x0) + rise(nearnessStepY, y1 - y0) <
                               (Wide{floor} + 1) * area)
                continue;
            bool bDrawn = false;
            for (std::int64_t y = y0; y <= y1; ++y)
            {
                std::int64_t pixelW[3] = {w[0], w[1], w[2]};
                for (std::int64_t x = x0; x <= x1; ++x)
                {
                    shade(x, y, pixelW, bDrawn);
                    pixelW[0] += stepX[0];
                    pixelW[1] += stepX[1];
                    pixelW[2] += stepX[2];
                }
                w[0] += stepY[0];
                w[1] += stepY[1];
                w[2] += stepY[2];
            }
            if (!bDrawn)
                continue;
            std::int32_t least = std::numeric_limits<std::int32_t>::max();
            const std::int64_t lastY = std::min<std::int64_t>(image.height - 1, tileY * kTile + kTile - 1);
            const std::int64_t lastX = std::min<std::int64_t>(image.width - 1, tileX * kTile + kTile - 1);
            for (std::int64_t y = tileY * kTile; y <= lastY; ++y)
            {
                const std::int32_t* row = &m_depth[static_cast<std::size_t>(y * image.width)];
                for (std::int64_t x = tileX * kTile; x <= lastX; ++x)
                    least = std::min(least, row[x]);
            }
            floor = least;
        }
    }
}

void CRenderer::DrawTriangle(const ScreenVertex* corners[3], const RgbaImage* pTexture, const Rect& rect,
                             RgbaImage& image)
{
    const ScreenVertex* v[3] = {corners[0], corners[1], corners[2]};
    // The pixels whose centres (at 8/16) lie within the corners' box; a
    // face smaller than a pixel often has none and ends here.
    constexpr std::int64_t kHalf = kSubpixel / 2;
    // The smallest and largest of three without std::min({...}), which
    // compiles to branches.
    const auto least = [](std::int32_t a, std::int32_t b, std::int32_t c) {
        return std::min(std::min(a, b), c);
    };
    const auto most = [](std::int32_t a, std::int32_t b, std::int32_t c) {
        return std::max(std::max(a, b), c);
    };
    const std::int64_t left = std::max<std::int64_t>(
        rect.left, (least(v[0]->x, v[1]->x, v[2]->x) - kHalf + kSubpixel - 1) >> kSubpixelBits);
    const std::int64_t right =
        std::min<std::int64_t>(rect.right - 1, (most(v[0]->x, v[1]->x, v[2]->x) - kHalf) >> kSubpixelBits);
    const std::int64_t top = std::max<std::int64_t>(
        rect.top, (least(v[0]->y, v[1]->y, v[2]->y) - kHalf + kSubpixel - 1) >> kSubpixelBits);
    const std::int64_t bottom =
        std::min<std::int64_t>(rect.bottom - 1, (most(v[0]->y, v[1]->y, v[2]->y) - kHalf) >> kSubpixelBits);
    if (left > right || top > bottom)
        return;

    std::int64_t area = Edge(*v[0], *v[1], v[2]->x, v[2]->y);
    if (area == 0)
        return;
    // A face's front is the side from which its corners run counter-
    // clockwise, as 3D Studio makes them: on this screen, whose y grows
    // downwards, a negative area.
    const bool bBack = area > 0;
    if (!bBack)
    {
        std::swap(v[1], v[2]);
        area = -area;
    }

    // Edge i lies opposite corner i; its function is corner i's weight.
    const ScreenVertex* from[3] = {v[1], v[2], v[0]};
    const ScreenVertex* to[3] = {v[2], v[0], v[1]};
    std::int64_t bias[3], stepX[3], rowStart[3];
    const std::int64_t firstX = left * kSubpixel + kSubpixel / 2, firstY = top * kSubpixel + kSubpixel / 2;
    for (int e = 0; e < 3; ++e)
    {
        bias[e] = TopLeftBias(*from[e], *to[e]);
        stepX[e] = -(std::int64_t{to[e]->y} - from[e]->y) * kSubpixel;
        rowStart[e] = Edge(*from[e], *to[e], firstX, firstY);
    }
    const std::int64_t stepY[3] = {(std::int64_t{to[0]->x} - from[0]->x) * kSubpixel,
                                   (std::int64_t{to[1]->x} - from[1]->x) * kSubpixel,
                                   (std::int64_t{to[2]->x} - from[2]->x) * kSubpixel};

    // The pixel at x, y with the edge functions w there: drawn if inside
    // the face and nearer than what is drawn there, and then bDrawn set
    // (a flag the row-by-row loops never read, so the compiler drops it).
    const auto shade = [&](std::int64_t x, std::int64_t y, const std::int64_t(&w)[3], bool& bDrawn) {
        if (((w[0] + bias[0]) | (w[1] + bias[1]) | (w[2] + bias[2])) >= 0)
        {
            const std::int64_t weighted[3] = {w[0] * v[0]->nearness, w[1] * v[1]->nearness,
                                              w[2] * v[2]->nearness};
            const std::int64_t sum = weighted[0] + weighted[1] + weighted[2];
            const std::size_t pixel = static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x);
            // sum / area > depth, without the division for a pixel that
            // stays hidden: the weights and the depth are never
            // negative, and (depth + 1) * area stays below 2^63.
            if (sum >= (std::int64_t{m_depth[pixel]} + 1) * area)
            {
                m_depth[pixel] = static_cast<std::int32_t>(sum / area);
                // Perspective-correct weights, summing to about 2^16:
                // each corner's screen weight over its depth.
                std::int64_t t[3];
                const std::int64_t divisor = sum >> 16;
                for (int c = 0; c < 3; ++c)
                    t[c] = divisor > 0 ? weighted[c] / divisor : (weighted[c] << 16) / sum;
                const auto mix = [&](auto member) {
                    return (t[0] * (v[0]->*member) + t[1] * (v[1]->*member) + t[2] * (v[2]->*member)) >> 16;
                };
                const std::int64_t light = std::clamp<std::int64_t>(
                    bBack ? mix(&ScreenVertex::back) : mix(&ScreenVertex::front), 0, 255);
                const std::uint8_t* colour = bBack ? kWarning : kGrey;
                if (pTexture && !bBack)
                {
                    const std::int64_t tx =
                        Wrap((mix(&ScreenVertex::u) * pTexture->width) >> 16, pTexture->width);
                    const std::int64_t ty =
                        Wrap((mix(&ScreenVertex::v) * pTexture->height) >> 16, pTexture->height);
                    colour = &pTexture->pixels[static_cast<std::size_t>((ty * pTexture->width + tx) * 4)];
                }
                std::uint8_t* out = &image.pixels[pixel * 4];
                out[0] = Lit(colour[0], light);
                out[1] = Lit(colour[1], light);
                out[2] = Lit(colour[2], light);
                out[3] = 255;
                bDrawn = true;
            }
        }
    };
    bool bUnread = false;
    if (left == right)
    {
        // A face one column wide, as most of a dense mesh's faces are in a
        // small picture: down the column only.
        for (std::int64_t y = top; y <= bottom; ++y)
        {
            shade(left, y, rowStart, bUnread);
            rowStart[0] += stepY[0];
            rowStart[1] += stepY[1];
            rowStart[2] += stepY[2];
        }
        return;
    }
    // A face over several tiles each way goes tile by tile, passing over
    // the tiles it misses or where it lies behind all that is drawn; most
    // faces of a real model are smaller and go row by row below.
    if (right - left >= 2 * kTile && bottom - top >= 2 * kTile)
    {
        DrawTiles({left, top, right, bottom}, area, v, bias, rowStart, stepX, stepY, shade, image);
        return;
    }
    for (std::int64_t y = top; y <= bottom; ++y)
    {
        std::int64_t w[3] = {rowStart[0], rowStart[1], rowStart[2]};
        for (std::int64_t x = left; x <= right; ++x)
        {
            shade(x, y, w, bUnread);
            w[0] += stepX[0];
            w[1] += stepX[1];
            w[2] += stepX[2];
        }
        rowStart[0] += stepY[0];
        rowStart[1] += stepY[1];
        rowStart[2] += stepY[2];
    }
}

void ViewAngles::Orbit(int dx, int dy)
{
    yawDegrees = std::fmod(yawDegrees - static_cast<float>(dx) * kDegreesPerPixel, 360.0f);
    pitchDegrees = std::clamp(pitchDegrees + static_cast<float>(dy) * kDegreesPerPixel, kMinPitch, kMaxPitch);
}

void ViewAngles::Zoom(int wheelDelta)
{
    zoom = std::clamp(zoom * (1.0f + static_cast<float>(wheelDelta) / 960.0f), kMinZoom, kMaxZoom);
}
