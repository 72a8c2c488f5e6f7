#include "render/thumbnail.h"

#include "pipeline/texture_files.h"
#include "render/renderer.h"
#include "writer/output_file.h"

#include <new>

bool DrawThumbnail(std::int32_t size, const C3dsModel& lod1, const std::string& lod1Path,
                   const C3dsModel* pLod2, const std::string& lod2Path, std::vector<unsigned char>& png,
                   std::vector<std::string>* pNotes, const std::vector<TextureUse>* pFound)
{
    // Made for each picture: kept per thread (thread_local) they would
    // spare a batch some allocations, but a thread_local object with a
    // destructor is not safe on every system we build for (MinGW's runtime
    // can free a thread's storage before it runs them).
    CRenderer renderer;
    RgbaImage image;
    std::vector<std::string> notes;
    bool bDrawn = false;
    try
    {
        CTextureSet textures(CTextureSet::kThumbnailBudget);
        textures.Load(lod1, ParentFolder(lod1Path), pFound);
        if (pLod2)
            textures.Load(*pLod2, ParentFolder(lod2Path), pFound);
        notes = std::move(textures.m_notes);
        image.width = image.height = size;
        renderer.Draw(lod1, pLod2, textures, ViewAngles{}, image);
        bDrawn = EncodePng(image, png);
    }
    catch (const std::bad_alloc&)
    {
        // The picture is an extra: the memory it could not have must not
        // fail the conversion it goes with.
        png = {};
        notes.push_back("There is not enough memory to draw the picture of " + lod1Path);
    }
    if (pNotes)
        pNotes->insert(pNotes->end(), notes.begin(), notes.end());
    return bDrawn;
}

bool WriteThumbnail(const std::string& pngPath, std::int32_t size, const C3dsModel& lod1,
                    const std::string& lod1Path, platform::CMessageLog& log)
{
    std::vector<unsigned char> png;
    std::vector<std::string> notes;
    const bool bDrawn = DrawThumbnail(size, lod1, lod1Path, nullptr, std::string(), png, &notes);
    for (std::string& note : notes)
        log.Warning(std::move(note));
    COutputFile file;
    std::string reason = "the picture could not be drawn";
    if (bDrawn)
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
                              const std::vector<TextureUse>& found, std::vector<unsigned char>& png,
                              std::vector<std::string>& notes) const
{
    return DrawThumbnail(size, lod1, lod1Path, pLod2, lod2Path, png, &notes, &found);
}
