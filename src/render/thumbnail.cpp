#include "render/thumbnail.h"

#include "pipeline/texture_files.h"
#include "render/renderer.h"
#include "writer/output_file.h"

bool DrawThumbnail(std::int32_t size, const C3dsModel& lod1, const std::string& lod1Path,
                   const C3dsModel* pLod2, const std::string& lod2Path, std::vector<unsigned char>& png)
{
    CTextureSet textures;
    textures.Load(lod1, ParentFolder(lod1Path));
    if (pLod2)
        textures.Load(*pLod2, ParentFolder(lod2Path));
    // Kept by each thread between the pictures of a batch, which mostly
    // share one size: the picture and its depth are not allocated and
    // faulted in afresh for every model.
    thread_local CRenderer t_renderer;
    thread_local RgbaImage t_image;
    t_image.width = t_image.height = size;
    t_renderer.Draw(lod1, pLod2, textures, ViewAngles{}, t_image);
    return EncodePng(t_image, png);
}

bool WriteThumbnail(const std::string& pngPath, std::int32_t size, const C3dsModel& lod1,
                    const std::string& lod1Path, platform::CMessageLog& log)
{
    std::vector<unsigned char> png;
    OutputFile file;
    std::string reason = "the picture could not be encoded";
    if (DrawThumbnail(size, lod1, lod1Path, nullptr, std::string(), png))
    {
        if (file.Create(pngPath) && file.Put(reinterpret_cast<const char*>(png.data()), png.size()) &&
            file.Commit())
            return true;
        reason = file.Error();
    }
    log.Warning("Could not write the picture " + pngPath + ": " + reason);
    return false;
}

bool CThumbnailPainter::Paint(std::int32_t size, const C3dsModel& lod1, const std::string& lod1Path,
                              const C3dsModel* pLod2, const std::string& lod2Path,
                              std::vector<unsigned char>& png, std::string& reason) const
{
    if (DrawThumbnail(size, lod1, lod1Path, pLod2, lod2Path, png))
        return true;
    reason = "the picture could not be encoded";
    return false;
}
