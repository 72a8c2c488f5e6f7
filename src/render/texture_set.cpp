#include "render/texture_set.h"

#include "model/c3ds_model.h"
#include "pipeline/texture_files.h"
#include "platform/text_path.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unordered_set>

namespace
{

// Pictures past these are not drawn: a texture of a real model is far
// smaller, and a hostile file must not make the preview take gigabytes.
constexpr std::uintmax_t kMaxTextureFileSize = 64 << 20;
constexpr int kMaxTextureSide = 8192;

bool ReadSmallFile(const std::filesystem::path& path, std::vector<unsigned char>& bytes)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxTextureFileSize)
        return false;
    std::ifstream file(path, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(size));
    return file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)).good();
}

} // namespace

bool DecodePicture(const unsigned char* data, std::size_t size, RgbaImage& image)
{
    int width = 0, height = 0, channels = 0;
    if (size > kMaxTextureFileSize ||
        !stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &channels) ||
        width > kMaxTextureSide || height > kMaxTextureSide)
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

void CTextureSet::Load(const C3dsModel& model, const std::string& folder)
{
    // The files are found as the conversion's texture check finds them, so
    // that the preview and the warning agree on what is there.
    std::vector<std::string> names;
    std::unordered_set<std::string> listed;
    for (const MaterialEntry& material : model.m_materials)
        if (!material.mapName.empty() && !m_textures.count(material.mapName) &&
            listed.insert(material.mapName).second)
            names.push_back(material.mapName);
    const std::vector<std::optional<TextureFile>> files = FindTextures(folder.empty() ? "." : folder, names);
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        RgbaImage& texture = m_textures[names[i]];
        std::vector<unsigned char> bytes;
        if (!files[i] || !ReadSmallFile(platform::FileSystemPath(files[i]->path), bytes) ||
            !DecodePicture(bytes.data(), bytes.size(), texture))
        {
            texture = RgbaImage{};
            ++m_nMissingCount;
        }
        else
            ++m_nFoundCount;
    }
}

const RgbaImage* CTextureSet::Find(const std::string& mapName) const
{
    const auto it = m_textures.find(mapName);
    return it == m_textures.end() || it->second.pixels.empty() ? nullptr : &it->second;
}
