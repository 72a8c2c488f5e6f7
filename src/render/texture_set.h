#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class C3dsModel;

// A decoded picture, four bytes (red, green, blue, alpha) per pixel, rows
// from the top.
struct RgbaImage
{
    std::int32_t width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

// The texture files that the materials of a model name, decoded from the
// model's folder. A file that is missing, unreadable or too large counts as
// missing and is drawn in grey; nothing is reported, the counts tell.
class CTextureSet
{
public:
    // Decodes every texture of the model not decoded yet, looking in folder
    // (the model's own) for the name as written and, where the file system
    // tells cases apart, for the name in any case.
    void Load(const C3dsModel& model, const std::string& folder);

    // The decoded texture for a material's map name; nullptr when missing.
    const RgbaImage* Find(const std::string& mapName) const;

    std::int32_t m_nFoundCount = 0;
    std::int32_t m_nMissingCount = 0;

private:
    std::map<std::string, RgbaImage> m_textures; // an empty image: missing
};

// Decodes a BMP, TGA, PNG or JPEG file's bytes; false for anything else,
// for a damaged file, and for a picture of more than 8192 pixels a side.
[[nodiscard]] bool DecodePicture(const unsigned char* data, std::size_t size, RgbaImage& image);

// The picture as PNG bytes; false when encoding failed.
[[nodiscard]] bool EncodePng(const RgbaImage& image, std::vector<unsigned char>& png);
