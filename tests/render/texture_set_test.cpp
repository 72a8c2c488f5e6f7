#include "render/texture_set.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace build3ds;

namespace
{

// An uncompressed TGA of width x height, rows from the top; pixels beyond
// the bytes given are left out, as in a file that only claims its size.
Bytes Tga(std::uint16_t width, std::uint16_t height, const Bytes& pixels = {})
{
    return Cat({Bytes{0, 0, 2}, Zeros(9), U16(width), U16(height), Bytes{24, 0x20}, pixels});
}

bool Add(CTextureSet& set, const std::string& name, const Bytes& file)
{
    return set.Add(name, file.data(), file.size());
}

} // namespace

// All the textures of one picture together are held to one budget of
// pixels, each sized from its header before it is decoded: a texture past
// the budget is drawn grey (missing) with a note that names it, and a
// smaller one after it may still fit.
TEST(TextureSet, HoldsThePicturesTexturesToOneBudget)
{
    const Bytes square = Tga(2, 2, Zeros(12));
    CTextureSet set(10);
    EXPECT_TRUE(Add(set, "a.tga", square));
    ASSERT_NE(set.Find("a.tga"), nullptr);
    EXPECT_EQ(set.Find("a.tga")->width, 2);

    // 100 x 100 in a file long enough to hold them (in runs of 128): past
    // the budget, refused from the header alone.
    EXPECT_FALSE(Add(set, "BIG.TGA", Tga(100, 100, Zeros(200))));
    EXPECT_EQ(set.Find("BIG.TGA"), nullptr);
    ASSERT_EQ(set.m_notes.size(), 1u);
    EXPECT_NE(set.m_notes[0].find("BIG.TGA (100 x 100 pixels) is drawn grey: the textures of one picture "
                                  "may have 10 pixels in all"),
              std::string::npos)
        << set.m_notes[0];

    EXPECT_TRUE(Add(set, "b.tga", square));  // 8 of 10 pixels
    EXPECT_FALSE(Add(set, "c.tga", square)); // 12 would be over
    EXPECT_EQ(set.Find("c.tga"), nullptr);
    EXPECT_EQ(set.m_notes.size(), 2u);

    // Refused by the header whatever the budget: a file too short for the
    // pixels it claims (decoded, the missing bytes would be zeros), with a
    // note; past 8192 a side, or no picture at all, which count as missing.
    CTextureSet roomy(std::int64_t{1} << 40);
    const Bytes bmp = Cat({Bytes{'B', 'M'}, U32(54), U32(0), U32(54), U32(40), U32(2000), U32(2000), U16(1),
                           U16(24), Zeros(24)});
    for (const auto& [name, file] : {std::pair{"short.bmp", bmp}, std::pair{"short.tga", Tga(2000, 2000)}})
    {
        EXPECT_FALSE(Add(roomy, name, file)) << name;
        EXPECT_EQ(roomy.Find(name), nullptr) << name;
        ASSERT_FALSE(roomy.m_notes.empty());
        EXPECT_NE(roomy.m_notes.back().find("is too short for them"), std::string::npos)
            << roomy.m_notes.back();
    }
    roomy.m_notes.clear();
    EXPECT_FALSE(Add(roomy, "wide.tga", Tga(8193, 1, Zeros(3 * 8193))));
    EXPECT_FALSE(Add(roomy, "text.tga", Str("not a picture")));
    EXPECT_TRUE(roomy.m_notes.empty());
}
