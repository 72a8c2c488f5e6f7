#include "render/renderer.h"

#include "model/c3ds_model.h"
#include "platform/text_path.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <tuple>

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

    // The same square turned round: seen from behind, it is the warning
    // colour all over, texture or not, so that an inside-out mesh shows
    // whatever its materials.
    Mesh turned = quad;
    for (Triangle& face : turned.faces)
        std::swap(face[1], face[2]);
    const C3dsModel turnedModel = Model(turned, "CHECKER.TGA");
    CTextureSet turnedTextures;
    turnedTextures.Load(turnedModel, platform::Utf8FromPath(dir.Path()));
    ASSERT_EQ(turnedTextures.m_nFoundCount, 1);
    EXPECT_EQ(Count(Draw(turnedModel, nullptr, 96, 96, turnedTextures), IsWarning),
              std::make_pair(drawn, drawn));

    CTextureSet none;
    none.Load(model, platform::Utf8FromPath(dir / "elsewhere"));
    EXPECT_EQ(none.m_nMissingCount, 1);
    // A file that is there but no picture is found, and drawn grey.
    std::filesystem::create_directory(dir / "elsewhere");
    WriteFile(dir / "elsewhere" / "checker.tga", Str("not a picture"));
    CTextureSet undrawable;
    undrawable.Load(model, platform::Utf8FromPath(dir / "elsewhere"));
    EXPECT_EQ(std::tuple(undrawable.m_nFoundCount, undrawable.m_nUndrawableCount, undrawable.m_nMissingCount),
              std::tuple(1, 1, 0));
    EXPECT_EQ(undrawable.Find("CHECKER.TGA"), nullptr);
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

// Of two faces at the same depth the one drawn first stays: only a
// strictly nearer face replaces a pixel. Here a face and the same face
// turned round, seen from behind; large faces (checked tile by tile) and
// small ones (pixel by pixel) alike.
TEST(Renderer, GivesAPixelOfCoincidentFacesToTheEarlierFace)
{
    Mesh pair;
    pair.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}};
    for (const int side : {96, 12})
    {
        pair.faces = {{0, 1, 2}, {0, 2, 1}};
        const auto [drawn, warning] = Count(Draw(Model(pair), nullptr, side, side), IsWarning);
        EXPECT_GT(drawn, side * side / 8) << side;
        EXPECT_EQ(warning, 0) << side;
        pair.faces = {{0, 2, 1}, {0, 1, 2}};
        EXPECT_EQ(Count(Draw(Model(pair), nullptr, side, side), IsWarning), std::make_pair(drawn, drawn))
            << side;
    }
    // A face a hair nearer (half a thousandth of the model's size, towards the
    // camera) wins, though drawn later: a tile is passed over only where
    // the face cannot be nearer at any of its pixels. Both square to the
    // camera (from the front, the right and above), so that each has one
    // depth all over and the margin is the same at every pixel.
    const Vector3 toEye = {0.55f / 1.0735f, -0.8f / 1.0735f, 0.45f / 1.0735f}; // about unit length
    const Vector3 right = {0.8f / 0.9708f, 0.55f / 0.9708f, 0};                // square to toEye and upright
    const Vector3 up = {right.y * toEye.z, -right.x * toEye.z, right.x * toEye.y - right.y * toEye.x};
    const auto at = [&](float a, float b, float near) {
        return Vector3{a * right.x + b * up.x + near * toEye.x, a * right.y + b * up.y + near * toEye.y,
                       a * right.z + b * up.z + near * toEye.z};
    };
    pair.vertices = {at(0, 0, 0),       at(1, 0, 0),       at(0, 1, 0),
                     at(0, 0, 0.0005f), at(1, 0, 0.0005f), at(0, 1, 0.0005f)};
    pair.faces = {{0, 2, 1}, {3, 4, 5}};
    const auto [drawn, warning] = Count(Draw(Model(pair)), IsWarning);
    EXPECT_GT(warning, drawn * 19 / 20);
}

// Large faces covering each other many times over, textured: the faces
// passed over because nearer ones hide them must leave every pixel as
// drawing each face whole gives (the reference was drawn so).
TEST(Renderer, PassesOverHiddenFacesWithoutChangingAPixel)
{
    Mesh mesh;
    std::uint32_t state = 7;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const auto unit = [&] { return static_cast<float>(next()) / static_cast<float>(1u << 24); };
    for (int i = 0; i < 3000; ++i)
    {
        mesh.vertices.push_back({unit(), unit(), unit()});
        mesh.mapCoords.push_back({unit() * 4, unit() * 4});
    }
    for (int i = 0; i < 3000; ++i)
        mesh.faces.push_back({static_cast<std::uint16_t>(next() % 3000),
                              static_cast<std::uint16_t>(next() % 3000),
                              static_cast<std::uint16_t>(next() % 3000)});
    const C3dsModel model = Model(mesh, "checker.tga");
    const Bytes red = {0, 0, 255}, blue = {255, 0, 0}; // BGR
    const Bytes checker =
        Cat({Bytes{0, 0, 2}, Zeros(9), U16(2), U16(2), Bytes{24, 0x20}, red, blue, blue, red});
    CTextureSet textures;
    ASSERT_TRUE(textures.Add("checker.tga", checker.data(), checker.size()));
    ExpectReference(Draw(model, nullptr, 128, 112, textures), "random_faces");
}
