#pragma once

#include "model/vector3.h"
#include "render/texture_set.h"

#include <cstdint>
#include <vector>

class C3dsModel;
struct MeshData;

// Where the camera stands, as a turn away from the product shot (from the
// front, the right and above): degrees round the model's upright axis and
// up or down, and a zoom factor (1: the model's bounding sphere fills the
// picture's shorter side). The zoom is held between kMinZoom and kMaxZoom,
// which keep the camera outside the model's bounding sphere.
struct ViewAngles
{
    static constexpr float kMinZoom = 0.25f;
    static constexpr float kMaxZoom = 2.0f;
    static constexpr float kMinPitch = -110.0f;
    static constexpr float kMaxPitch = 60.0f;
    // Half a degree a pixel: a drag across a preview turns the model round.
    static constexpr float kDegreesPerPixel = 0.5f;

    float yawDegrees = 0;
    float pitchDegrees = 0;
    float zoom = 1;

    // The hand's moves, as every preview takes them: a drag of dx, dy
    // pixels turns the view; a wheel turn (120 a notch) comes an eighth
    // nearer or goes an eighth further.
    void Orbit(int dx, int dy);
    void Zoom(int wheelDelta);
};

// What the picture of a model shows, for the line under it.
struct ModelCounts
{
    std::int32_t meshes = 0, faces = 0, vertices = 0;
};
ModelCounts CountModel(const C3dsModel& model);

// The box round every vertex of the model; false for a model without any.
bool ModelBounds(const C3dsModel& model, Vector3& low, Vector3& high);

// Draws models as the project file presents them: the positions as they
// will be written, Gouraud-shaded by two lights fixed to the camera with
// the vertex normals the file carries, textured where the texture was
// found, a neutral grey where not, and faces seen from behind in a warning
// colour, so that an inside-out mesh shows. The pixels are computed in
// integers after one rounding of each vertex, so every build and platform
// draws the same picture.
class CRenderer
{
public:
    // Fills image (its width and height as given; one of 0 pixels stays empty) with
    // background (RGBA, 0 for transparent) and draws the LOD 1 model, and
    // the LOD 2 model beside it (below it in a picture taller than wide),
    // both framed to their common bounding box.
    void Draw(const C3dsModel& lod1, const C3dsModel* pLod2, const CTextureSet& textures,
              const ViewAngles& view, RgbaImage& image, std::uint32_t background = 0);

    // A vertex after its one rounding: position in pixels with four bits of
    // fraction, nearness (2^24 at the near side of the bounding sphere,
    // falling as 1 / distance), the light on a face's front and back side
    // (0 to 255), and the mapping coordinates times 2^16. A nearness of 0
    // marks a vertex that cannot be drawn.
    // Without default values: a face's spare copies are not to be zeroed
    // for each face; make one with ScreenVertex{}.
    struct ScreenVertex
    {
        std::int32_t x, y, nearness;
        std::int32_t front, back;
        std::int32_t u, v;
    };

private:
    struct Camera;
    struct Rect
    {
        std::int32_t left, top, right, bottom; // right and bottom outside
    };

    void DrawModel(const C3dsModel& model, const CTextureSet& textures, const Camera& camera,
                   const Rect& rect, RgbaImage& image);
    static void Project(const MeshData& mesh, std::uint32_t index, bool bMapped, const Camera& camera,
                        ScreenVertex& vertex);
    static void ProjectPair(const MeshData& mesh, std::uint32_t first, bool bMapped, const Camera& camera,
                            ScreenVertex* out);
    void DrawTriangle(const ScreenVertex* corners[3], const RgbaImage* pTexture, const Rect& rect,
                      RgbaImage& image);
    // The pixels of a large face in its box (left, top, right, bottom),
    // tile by tile, each through shade; see m_tileFloors.
    template <typename Shade>
    void DrawTiles(const std::int64_t (&box)[4], std::int64_t area, const ScreenVertex* const (&v)[3],
                   const std::int64_t (&bias)[3], const std::int64_t (&rowStart)[3],
                   const std::int64_t (&stepX)[3], const std::int64_t (&stepY)[3], const Shade& shade,
                   const RgbaImage& image);

    std::vector<std::int32_t> m_depth; // nearness drawn at each pixel; kept between pictures
    // The least nearness drawn in each tile of kTile x kTile pixels, rows
    // of m_nTileColumns: a face whose nearness over a tile stays at or
    // below it cannot pass the strict depth test at any of the tile's
    // pixels, so a large face behind nearer ones costs a test per tile, not
    // per pixel. Only large faces bring it up to date; it may lag behind
    // the depth, which keeps it a lower bound.
    static constexpr std::int32_t kTile = 8;
    std::vector<std::int32_t> m_tileFloors;
    std::int32_t m_nTileColumns = 0;
    // The vertices met last, by vertex number modulo the size: a face's
    // neighbours share its corners, so most are found here, and the memory
    // stays bounded for a mesh of any size.
    static constexpr std::size_t kCacheSize = 4096;
    std::vector<std::uint32_t> m_cachedIndices; // vertex number + 1; 0 for none
    std::vector<ScreenVertex> m_cache;
};
