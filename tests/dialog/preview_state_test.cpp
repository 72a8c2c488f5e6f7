#include "dialog/preview_state.h"
#include "platform/messages.h"
#include "platform/text_path.h"
#include "render/model_preview.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace
{

// A strip of n quads (2 n faces) along x, with a pole at its far end that
// sticks out above it, so that a model without its last faces would have a
// smaller box.
C3dsModel Strip(int quads)
{
    std::vector<Vector3> vertices;
    std::vector<FaceEntry> faces;
    for (int i = 0; i <= quads; ++i)
    {
        vertices.push_back({static_cast<float>(i), 0, 0});
        vertices.push_back({static_cast<float>(i), 1, 0});
    }
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(quads); ++i)
    {
        faces.push_back({{2 * i, 2 * i + 2, 2 * i + 1}, 0});
        faces.push_back({{2 * i + 1, 2 * i + 2, 2 * i + 3}, 0});
    }
    const auto last = static_cast<std::uint32_t>(vertices.size());
    vertices.push_back({static_cast<float>(quads), 0.5f, 5});
    faces.push_back({{last - 2, last - 1, last}, 0});
    C3dsModel model;
    model.m_meshes.push_back(MakeMesh(vertices, faces));
    model.m_meshes.push_back(MakeMesh(vertices, faces));
    model.m_nMeshCount = 2;
    model.m_materials.push_back({"Grey", ""});
    model.m_nMaterialCount = 1;
    model.ComputeNormals();
    return model;
}

std::size_t FaceCount(const C3dsModel& model)
{
    std::size_t count = 0;
    for (const MeshObject& mesh : model.m_meshes)
        count += mesh.Data().faces.size();
    return count;
}

RgbaImage Draw(const C3dsModel& model, const ViewAngles& view, const CTextureSet& textures = {})
{
    RgbaImage image;
    image.width = 96;
    image.height = 64;
    CRenderer().Draw(model, nullptr, textures, view, image, 0xFFFFFFFF);
    return image;
}

} // namespace

// The model drawn while the hand moves: within the budget, the same faces
// every time (two draws of one view give the same pixels), framed as the
// whole model, and no copy at all for a model within the budget.
TEST(PreviewState, ReducesTheSameFacesEveryTime)
{
    const C3dsModel model = Strip(3000); // 2 x 6,001 faces
    const auto pFirst = ReduceModel(model, 1000);
    const auto pSecond = ReduceModel(model, 1000);
    ASSERT_TRUE(pFirst && pSecond);
    EXPECT_LE(FaceCount(*pFirst), 1000u);
    EXPECT_GE(FaceCount(*pFirst), 900u);
    for (const MeshObject& mesh : pFirst->m_meshes)
    {
        EXPECT_EQ(mesh.vertexCount, static_cast<std::int32_t>(mesh.Data().vertices.size()));
        EXPECT_EQ(mesh.Data().vertexNormals.size(), mesh.Data().vertices.size());
        EXPECT_EQ(mesh.faceCount, static_cast<std::int32_t>(mesh.Data().faces.size()));
        for (const FaceEntry& face : mesh.Data().faces)
            for (const std::uint32_t index : face.vertexIndex)
                EXPECT_LT(index, mesh.Data().vertices.size());
    }
    Vector3 low, high, reducedLow, reducedHigh;
    ASSERT_TRUE(ModelBounds(model, low, high) && ModelBounds(*pFirst, reducedLow, reducedHigh));
    EXPECT_EQ(high.z, reducedHigh.z);
    EXPECT_EQ(high.x, reducedHigh.x);

    const ViewAngles turned{30, -10, 1.2f};
    EXPECT_EQ(Draw(*pFirst, turned).pixels, Draw(*pSecond, turned).pixels);
    EXPECT_EQ(Draw(*pFirst, turned).pixels, Draw(*pFirst, turned).pixels);
    EXPECT_FALSE(ReduceModel(model, FaceCount(model)));
}

// The preview's keys turn and zoom the view within its bounds, and Home
// brings back the first view; a key it does not know is left alone.
TEST(PreviewState, KeysTurnAndZoomWithinBounds)
{
    CPreviewState preview([] {});
    EXPECT_TRUE(preview.OnKey(PreviewKey::Left));
    EXPECT_EQ(preview.View().yawDegrees, -CPreviewState::kDegreesPerKey);
    EXPECT_TRUE(preview.OnKey(PreviewKey::Right));
    EXPECT_TRUE(preview.OnKey(PreviewKey::Right));
    EXPECT_EQ(preview.View().yawDegrees, CPreviewState::kDegreesPerKey);
    EXPECT_TRUE(preview.OnKey(PreviewKey::Down));
    EXPECT_LT(preview.View().pitchDegrees, 0);
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(preview.OnKey(PreviewKey::ZoomIn));
    EXPECT_EQ(preview.View().zoom, CPreviewState::kMaxZoom);
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(preview.OnKey(PreviewKey::ZoomOut));
    EXPECT_EQ(preview.View().zoom, CPreviewState::kMinZoom);
    for (int i = 0; i < 40; ++i)
        preview.OnKey(PreviewKey::Up);
    EXPECT_EQ(preview.View().pitchDegrees, CPreviewState::kMaxPitch);
    EXPECT_TRUE(preview.OnKey(PreviewKey::Home));
    EXPECT_EQ(preview.View().yawDegrees, 0);
    EXPECT_EQ(preview.View().pitchDegrees, 0);
    EXPECT_EQ(preview.View().zoom, 1);
    EXPECT_FALSE(preview.OnKey(static_cast<PreviewKey>(99)));
}

// Read and drawn off the caller's thread: the picture at rest is the
// full model's, pixel for pixel, as a thumbnail of that size and view
// draws it; a turn ends at rest in the full picture of the new view.
TEST(PreviewState, PictureAtRestIsTheFullModels)
{
    const TempDir dir;
    build3ds::WriteFile(dir / "box.3ds", build3ds::File({build3ds::Material("Grey"),
                                                         build3ds::Object(build3ds::Cube("Box"))}));
    CPreviewState preview([] {});
    EXPECT_EQ(preview.Description(), CPreviewState::kHint);
    preview.SetSize(96, 64, 0xFFFFFFFF);
    preview.Choose(platform::Utf8FromPath(dir / "box.3ds"), std::nullopt);
    EXPECT_TRUE(preview.IsReading());
    preview.WaitUntilIdle();
    ASSERT_TRUE(preview.HasModel());
    EXPECT_EQ(preview.Description(), "box.3ds: 1 mesh, 12 faces; textures 0 found");
    C3dsModel model;
    platform::CMessageLog log;
    ASSERT_TRUE(model.Load(platform::Utf8FromPath(dir / "box.3ds").c_str(), log));
    model.ComputeNormals();
    CTextureSet textures; // looked for beside the model, as for a thumbnail
    textures.Load(model, platform::Utf8FromPath(dir.Path()));
    ASSERT_TRUE(preview.Picture());
    EXPECT_EQ(preview.Picture()->pixels, Draw(model, ViewAngles{}, textures).pixels);

    preview.Orbit(40, 10);
    preview.WaitUntilIdle();
    ASSERT_TRUE(preview.Picture());
    EXPECT_EQ(preview.Picture()->width, 96);
    EXPECT_EQ(preview.Picture()->pixels, Draw(model, preview.View(), textures).pixels);

    preview.Choose(std::nullopt, std::nullopt);
    EXPECT_FALSE(preview.Picture());
}
