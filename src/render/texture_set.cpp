#include "render/texture_set.h"

#include "model/c3ds_model.h"
#include "pipeline/texture_files.h"
#include "platform/file_system.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

namespace
{

// Pictures past these are not drawn: a texture of a real model is far
// smaller, and a hostile file must not make the preview take gigabytes.
constexpr std::uintmax_t kMaxTextureFileSize = 64 << 20;
constexpr int kMaxTextureSide = 8192;

// The file's bytes, opened first and then sized on the open handle, so
// that nothing swapped in under its name can make the read larger or wait
// (a pipe reports no size and gives nothing).
bool ReadSmallFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    platform::CFile file;
    std::uint64_t size = 0;
    if (!platform::OpenToRead(path, file) || !platform::SizeOf(file, size) || size > kMaxTextureFileSize)
        return false;
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size())
    {
        const long got = platform::ReadSome(file, bytes.data() + done, bytes.size() - done);
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

bool PictureSize(const unsigned char* data, std::size_t size, std::int32_t& width, std::int32_t& height)
{
    int channels = 0;
    return size <= kMaxTextureFileSize &&
           stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &channels) && width >= 1 &&
           height >= 1 && width <= kMaxTextureSide && height <= kMaxTextureSide;
}

bool HoldsItsPixels(const unsigned char* data, std::size_t size, std::int32_t width, std::int32_t height)
{
    // The most pixels a byte of each format can give: a BMP row of 1-bit
    // pixels (the decoder reads no compressed BMP), a TGA run of 128
    // pixels in two bytes, deflate's 1032 bytes per byte over a PNG's
    // pixels of the bits its header gives, and for JPEG as for a PNG of
    // 1-bit pixels, far more than its smallest blocks give. The decoders
    // fill what a short file lacks with zeros, so without this a header
    // of 54 bytes costs a decoded picture of 256 MB.
    constexpr std::uint64_t kDeflateBits = 8 * 1032;
    std::uint64_t perByte = kDeflateBits;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        perByte = 8;
    else if (size >= 26 && data[0] == 0x89 && data[1] == 'P')
    {
        // IHDR's bit depth and colour type: grey, -, RGB, palette, grey and alpha, -, RGBA.
        constexpr std::uint64_t kChannels[7] = {1, 1, 3, 1, 2, 1, 4};
        perByte =
            kDeflateBits / (std::max<std::uint64_t>(data[24], 1) * kChannels[std::min<int>(data[25], 6)]);
    }
    else if (size >= 2 && !(data[0] == 0xFF && data[1] == 0xD8))
        perByte = 64;
    return std::uint64_t(width) * std::uint64_t(height) <= perByte * size;
}

bool DecodePicture(const unsigned char* data, std::size_t size, RgbaImage& image)
{
    int width = 0, height = 0, channels = 0;
    if (!PictureSize(data, size, width, height) || !HoldsItsPixels(data, size, width, height))
        return false;
    const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &channels, 4), stbi_image_free);
    if (!pixels || width < 1 || height < 1)
        return false;
    image.width = width;
    image.height = height;
    image.pixels.assign(pixels.get(), pixels.get() + std::size_t{4} * width * height);
    return true;
}

bool EncodePng(const RgbaImage& image, std::vector<unsigned char>& png)
{
    png.clear();
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<unsigned char>*>(context);
        out->insert(out->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    };
    return stbi_write_png_to_func(append, &png, image.width, image.height, 4, image.pixels.data(),
                                  image.width * 4) != 0 &&
           !png.empty();
}

void CTextureSet::Load(const C3dsModel& model, const std::string& folder,
                       const std::vector<TextureUse>* pFound)
{
    // The files are found as the conversion's texture check finds them, so
    // that the preview and the warning agree on what is there.
    std::vector<std::string> names;
    std::unordered_set<std::string> listed;
    for (const MaterialEntry& material : model.m_materials)
        if (!material.mapName.empty() && !m_textures.count(material.mapName) &&
            listed.insert(material.mapName).second)
            names.push_back(material.mapName);
    std::vector<std::optional<TextureFile>> files(names.size());
    std::vector<std::string> unknown; // not looked for by the run
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        const auto use = !pFound ? std::vector<TextureUse>::const_iterator()
                                 : std::find_if(pFound->begin(), pFound->end(),
                                                [&](const TextureUse& u) { return u.name == names[i]; });
        if (!pFound || use == pFound->end())
            unknown.push_back(names[i]);
        else if (use->foundPath)
            files[i] = TextureFile{platform::CFileRef(*use->foundPath), std::string(), use->exact};
    }
    if (!unknown.empty())
    {
        const std::vector<std::optional<TextureFile>> more =
            FindTextures(folder.empty() ? "." : folder, unknown);
        for (std::size_t i = 0, k = 0; i < names.size() && k < unknown.size(); ++i)
            if (names[i] == unknown[k])
                files[i] = more[k++];
    }
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        // A file that is there counts as found, as the conversion counts
        // it, also when it cannot be drawn (no picture, damaged, too large).
        std::vector<unsigned char> bytes;
        if (!files[i])
            ++m_nMissingCount;
        else
        {
            ++m_nFoundCount;
            if (ReadSmallFile(files[i]->file.Path(), bytes) && Add(names[i], bytes.data(), bytes.size()))
                continue;
            ++m_nUndrawableCount;
        }
        m_textures[names[i]] = RgbaImage{};
    }
}

bool CTextureSet::Add(const std::string& mapName, const unsigned char* data, std::size_t size)
{
    std::int32_t width = 0, height = 0;
    if (!PictureSize(data, size, width, height))
        return false;
    const std::int64_t pixels = std::int64_t{width} * height;
    const std::string named = "The texture " + mapName + " (" + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels) is drawn grey: ";
    if (!HoldsItsPixels(data, size, width, height))
    {
        m_notes.push_back(named + "its file of " + std::to_string(size) + " bytes is too short for them");
        return false;
    }
    if (pixels > m_nPixelsLeft)
    {
        const std::string budget =
            m_nBudget % (1 << 20) == 0 ? std::to_string(m_nBudget >> 20) + " Mi" : std::to_string(m_nBudget);
        m_notes.push_back(named + "the textures of one picture may have " + budget + " pixels in all");
        return false;
    }
    RgbaImage& texture = m_textures[mapName];
    if (!DecodePicture(data, size, texture))
    {
        texture = RgbaImage{};
        return false;
    }
    m_nPixelsLeft -= pixels;
    return true;
}

const RgbaImage* CTextureSet::Find(const std::string& mapName) const
{
    const auto it = m_textures.find(mapName);
    return it == m_textures.end() || it->second.pixels.empty() ? nullptr : &it->second;
}
