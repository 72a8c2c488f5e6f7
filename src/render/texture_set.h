#pragma once

#include "pipeline/run_report.h"

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

// The texture files that the materials of a model name, found in the
// model's folder or below it as the texture check finds them, and decoded.
// A file that is missing, or found but unreadable, no picture or too large,
// is drawn in grey; the counts tell which.
// Every picture is sized from its header before it is decoded, and all the
// textures of one set together are held to one budget of pixels: past it a
// texture is drawn grey too, and m_notes says which and why, for the
// caller to show. The budget keeps a picture's memory and time bounded
// whatever the files claim (a few bytes of header can claim gigabytes).
class CTextureSet
{
public:
    // The preview's budget: one texture of 8192 x 8192 (256 MB decoded,
    // some seconds to decode); a picture written in a batch or for a file
    // manager, which must end within seconds, takes a quarter of it.
    static constexpr std::int64_t kDefaultBudget = std::int64_t{64} << 20; // pixels
    static constexpr std::int64_t kThumbnailBudget = std::int64_t{16} << 20;

    CTextureSet() = default;
    explicit CTextureSet(std::int64_t pixelBudget) : m_nBudget(pixelBudget), m_nPixelsLeft(pixelBudget) {}

    // Decodes every texture of the model not decoded yet, found as the
    // conversion's texture check finds them (FindTextures in folder, the
    // model's own). A run that has looked already hands over what it
    // found (found): those names are not looked for again, so that each
    // folder is listed once a run.
    void Load(const C3dsModel& model, const std::string& folder,
              const std::vector<TextureUse>* pFound = nullptr);

    // Decodes a texture's file bytes under a map name, within the budget;
    // false (the map then drawn grey) for a file that is no picture, is
    // damaged, or is too short for the pixels it claims or past the budget
    // (these two with a note).
    bool Add(const std::string& mapName, const unsigned char* data, std::size_t size);

    // The decoded texture for a material's map name; nullptr when missing.
    const RgbaImage* Find(const std::string& mapName) const;

    std::int32_t m_nFoundCount = 0;      // the files there, drawable or not
    std::int32_t m_nUndrawableCount = 0; // of those, the ones drawn grey
    std::int32_t m_nMissingCount = 0;
    std::vector<std::string> m_notes; // one line per texture drawn grey for its size

private:
    std::map<std::string, RgbaImage> m_textures; // an empty image: missing
    std::int64_t m_nBudget = kDefaultBudget, m_nPixelsLeft = kDefaultBudget;
};

// Decodes a BMP, TGA, PNG or JPEG file's bytes; false for anything else,
// for a damaged file, and for a picture of more than 8192 pixels a side.
[[nodiscard]] bool DecodePicture(const unsigned char* data, std::size_t size, RgbaImage& image);
// The width and height a picture's header declares, read without decoding
// it; false where DecodePicture would refuse the header. HoldsItsPixels:
// whether the file is long enough for them in its format, at the best
// compression the format allows (false: damaged, drawn grey).
[[nodiscard]] bool PictureSize(const unsigned char* data, std::size_t size, std::int32_t& width,
                               std::int32_t& height);
[[nodiscard]] bool HoldsItsPixels(const unsigned char* data, std::size_t size, std::int32_t width,
                                  std::int32_t height);

// The picture as PNG bytes; false when encoding failed.
[[nodiscard]] bool EncodePng(const RgbaImage& image, std::vector<unsigned char>& png);
