#include "render/texture_set.h"

#include "model/c3ds_model.h"
#include "platform/text_path.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>

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

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The file a map name means: the name beside the model or, as 3D Studio
// wrote names in capitals and Windows never told the case, a file of the
// folder whose name differs in the case of ASCII letters only.
std::filesystem::path FindBeside(const std::string& folder, const std::string& mapName)
{
    const std::filesystem::path dir = platform::FileSystemPath(folder.empty() ? "." : folder);
    std::error_code error;
    const std::filesystem::path exact = dir / platform::PathFromUtf8(mapName);
    if (std::filesystem::is_regular_file(exact, error))
        return exact;
    const std::string wanted = Lower(mapName);
    for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        if (Lower(platform::Utf8FromPath(it->path().filename())) == wanted)
            return it->path();
    return {};
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
    for (const MaterialEntry& material : model.m_materials)
    {
        if (material.mapName.empty() || m_textures.count(material.mapName))
            continue;
        RgbaImage& texture = m_textures[material.mapName];
        std::vector<unsigned char> bytes;
        const std::filesystem::path path = FindBeside(folder, material.mapName);
        if (path.empty() || !ReadSmallFile(path, bytes) ||
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
