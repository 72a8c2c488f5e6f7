#include "render/thumbnail.h"

#include "platform/notifier.h"
#include "platform/text_path.h"
#include "render/renderer.h"
#include "writer/output_file.h"

std::string ModelFolder(const std::string& modelPath)
{
    const std::size_t separator = platform::LastSeparator(modelPath);
    return separator == std::string::npos ? std::string() : modelPath.substr(0, separator + 1);
}

bool WriteThumbnail(const std::string& pngPath, std::int32_t size, const C3dsModel& lod1,
                    const std::string& lod1Path, const C3dsModel* pLod2, const std::string& lod2Path)
{
    CTextureSet textures;
    textures.Load(lod1, ModelFolder(lod1Path));
    if (pLod2)
        textures.Load(*pLod2, ModelFolder(lod2Path));
    // Kept by each thread between the pictures of a batch, which mostly
    // share one size: the picture, its depth and its file are not
    // allocated and faulted in afresh for every model.
    thread_local CRenderer t_renderer;
    thread_local RgbaImage t_image;
    thread_local std::vector<unsigned char> t_png;
    RgbaImage& image = t_image;
    image.width = image.height = size;
    t_renderer.Draw(lod1, pLod2, textures, ViewAngles{}, image);

    std::vector<unsigned char>& png = t_png;
    OutputFile file;
    std::string reason = "the picture could not be encoded";
    if (EncodePng(image, png))
    {
        if (file.Create(pngPath) && file.Put(reinterpret_cast<const char*>(png.data()), png.size()) &&
            file.Commit())
            return true;
        reason = file.Error();
    }
    platform::ShowWarning("Could not write the picture " + pngPath + ": " + reason);
    return false;
}
