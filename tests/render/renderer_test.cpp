#include "render/renderer.h"

#include "model/c3ds_model.h"
#include "platform/text_path.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace build3ds;

namespace
{

RgbaImage Draw(const C3dsModel& lod1, const C3dsModel* pLod2 = nullptr, int width = 96, int height = 96,
               const CTextureSet& textures = {})
{
    RgbaImage image;
    image.width = width;
    image.height = height;
    CRenderer().Draw(lod1, pLod2, textures, ViewAngles{}, image);
    return image;
}

C3dsModel Model(const Mesh& mesh, const std::string& mapName = "")
{
    return LoadOk(File({Material("M", mapName), Object(mesh)}));
}

// The pictures are the same on every build, so each is compared whole with
// a reference picture that was checked by eye once (tests/data/render).
// VNP_UPDATE_REFERENCES=1 writes them anew instead.
void ExpectReference(const RgbaImage& image, const std::string& name)
{
    const std::string path = VNP_TEST_DATA_DIR "/render/" + name + ".png";
    std::vector<unsigned char> png;
    if (std::getenv("VNP_UPDATE_REFERENCES"))
    {
        ASSERT_TRUE(EncodePng(image, png));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
        return;
    }
    const std::string bytes = ReadWholeFile(path);
    RgbaImage reference;
    ASSERT_TRUE(DecodePicture(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), reference))
        << path;
    EXPECT_EQ(reference.width, image.width);
    EXPECT_TRUE(reference.pixels == image.pixels) << name << " differs from " << path;
}

// Which pixels were drawn (alpha 255), and of those how many satisfy pred.
template <typename Pred>
std::pair<int, int> Count(const RgbaImage& image, Pred pred, int fromX = 0, int toX = 1 << 30)
{
    int drawn = 0, matching = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = fromX; x < std::min(toX, image.width); ++x)
        {
            const std::uint8_t* p = &image.pixels[static_cast<std::size_t>((y * image.width + x) * 4)];
            if (p[3] == 255)
            {
                ++drawn;
                matching += pred(p) ? 1 : 0;
            }
        }
    return {drawn, matching};
}

bool IsWarning(const std::uint8_t* p)
{
    return p[0] > 2 * p[1] && p[2] > p[1];
}

} // namespace

TEST(Renderer, DrawsACubeAndTheSameBoxInsideOutInTheWarningColour)
{
    const RgbaImage cube = Draw(Model(Cube()));
    ExpectReference(cube, "cube");
    const auto [drawn, warning] = Count(cube, IsWarning);
    EXPECT_GT(drawn, 96 * 96 / 4); // framed: the cube fills the picture
    EXPECT_EQ(warning, 0);
    EXPECT_EQ(cube.pixels[3], 0); // the corners stay transparent

    // Each face turned round: the same outline, every pixel seen from behind.
    Mesh insideOut = Cube();
    for (Triangle& face : insideOut.faces)
        std::swap(face[1], face[2]);
    const RgbaImage box = Draw(Model(insideOut));
    ExpectReference(box, "inside_out_box");
    EXPECT_EQ(Count(box, IsWarning), std::make_pair(drawn, drawn));
    for (std::size_t i = 3; i < box.pixels.size(); i += 4)
        ASSERT_EQ(box.pixels[i], cube.pixels[i]) << "outline differs at pixel " << i / 4;
}

TEST(Renderer, TexturesAQuadWithTheFileBesideTheModelAndGreyWithout)
{
    // A square facing the front, its texture a 2 x 2 checker of red and
    // blue (an uncompressed TGA, rows from the top).
    Mesh quad;
    quad.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}};
    quad.mapCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    quad.faces = {{0, 1, 2}, {0, 2, 3}};
    const C3dsModel model = Model(quad, "CHECKER.TGA");
    const TempDir dir;
    const Bytes red = {0, 0, 255}, blue = {255, 0, 0}; // BGR
    WriteFile(dir / "checker.tga",
              Cat({Bytes{0, 0, 2}, Zeros(9), U16(2), U16(2), Bytes{24, 0x20}, red, blue, blue, red}));

    CTextureSet textures;
    textures.Load(model, platform::Utf8FromPath(dir.Path()));
    EXPECT_EQ(textures.m_nFoundCount, 1); // found in another case, as 3D Studio wrote names
    const RgbaImage image = Draw(model, nullptr, 96, 96, textures);
    ExpectReference(image, "checker_quad");
    const auto isRed = [](const std::uint8_t* p) { return p[0] > 40 && p[1] == 0 && p[2] == 0; };
    const auto isBlue = [](const std::uint8_t* p) { return p[2] > 40 && p[0] == 0 && p[1] == 0; };
    const auto [drawn, reds] = Count(image, isRed);
    EXPECT_GT(drawn, 1000);
    EXPECT_NEAR(reds, Count(image, isBlue).second, drawn / 5); // about half each
    EXPECT_GT(reds, drawn * 2 / 5);
    // The texture's top left (red) is the square's top left.
    const int y = 30;
    int x = 0;
    while (image.pixels[static_cast<std::size_t>((y * 96 + x) * 4 + 3)] == 0)
        ++x;
    EXPECT_TRUE(isRed(&image.pixels[static_cast<std::size_t>((y * 96 + x + 2) * 4)]));

    CTextureSet none;
    none.Load(model, platform::Utf8FromPath(dir / "elsewhere"));
    EXPECT_EQ(none.m_nMissingCount, 1);
    const RgbaImage grey = Draw(model, nullptr, 96, 96, none);
    EXPECT_EQ(Count(grey, [](const std::uint8_t* p) { return p[0] > p[2] && p[0] - p[2] < 8; }).second,
              drawn);
}

TEST(Renderer, DrawsLod2BesideLod1AtTheCommonScale)
{
    const C3dsModel lod1 = Model(Cube("Big", 2.0f));
    const C3dsModel lod2 = Model(Cube("Small", 1.0f));
    CRenderer renderer;
    RgbaImage image;
    image.width = 128;
    image.height = 64;
    renderer.Draw(lod1, &lod2, {}, ViewAngles{}, image);
    ExpectReference(image, "lod2_beside_lod1");
    const auto all = [](const std::uint8_t*) { return true; };
    const int left = Count(image, all, 0, 64).first, right = Count(image, all, 64).first;
    // Half the size: a quarter of the area, give or take the perspective.
    EXPECT_GT(right, 0);
    EXPECT_NEAR(left, 4 * right, right);

    // A second picture from the same renderer starts from a clear depth buffer.
    const RgbaImage first = image;
    renderer.Draw(lod1, &lod2, {}, ViewAngles{}, image);
    EXPECT_TRUE(image.pixels == first.pixels);
}

TEST(Renderer, GivesAPixelOnASharedEdgeToTheFaceRightOfIt)
{
    // Two faces sharing the vertical edge through the centre of the
    // bounding box, which the camera sees at the middle column's pixel
    // centres (97 pixels wide): the left face from the front, the right
    // one from behind. The top-left rule gives the middle column to the
    // face whose left edge it is, whichever face is drawn first.
    Mesh pair;
    pair.vertices = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}};
    pair.faces = {{0, 1, 2}, {0, 1, 3}};
    const RgbaImage image = Draw(Model(pair), nullptr, 97, 97);
    int rows = 0;
    for (int y = 0; y < 97; ++y)
    {
        const auto at = [&](int x) { return &image.pixels[static_cast<std::size_t>((y * 97 + x) * 4)]; };
        if (at(48)[3] == 0)
            continue;
        ++rows;
        EXPECT_FALSE(IsWarning(at(47))) << "row " << y;
        EXPECT_TRUE(IsWarning(at(48))) << "row " << y;
    }
    EXPECT_GT(rows, 40);
}
