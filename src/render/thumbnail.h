#pragma once

#include "pipeline/run_report.h"
#include "platform/messages.h"

#include <cstdint>
#include <string>
#include <vector>

class C3dsModel;

// Draws the LOD 1 model (and the LOD 2 model beside it) size x size pixels
// on a transparent background, textures looked for beside each model's
// file, and encodes the picture as PNG into png; false if it could not be
// drawn or encoded, memory running out included. Tells nothing, so it may
// run on any thread: what the user is to see (a texture drawn grey for the
// textures' budget, why the picture failed) is added to *pNotes.
// found: the textures the run found already, which are not looked for again.
[[nodiscard]] bool DrawThumbnail(std::int32_t size, const C3dsModel& lod1, const std::string& lod1Path,
                                 const C3dsModel* pLod2, const std::string& lod2Path,
                                 std::vector<unsigned char>& png, std::vector<std::string>* pNotes = nullptr,
                                 const std::vector<TextureUse>* pFound = nullptr);

// DrawThumbnail, then the PNG file written at pngPath, which is replaced
// whole or not at all. False with a warning in log that says why; the
// notes are warnings in log too.
[[nodiscard]] bool WriteThumbnail(const std::string& pngPath, std::int32_t size, const C3dsModel& lod1,
                                  const std::string& lod1Path, platform::CMessageLog& log);

// The pictures of a conversion run.
class CThumbnailPainter final : public IPicturePainter
{
public:
    bool Paint(std::int32_t size, const C3dsModel& lod1, const std::string& lod1Path, const C3dsModel* pLod2,
               const std::string& lod2Path, const std::vector<TextureUse>& found,
               std::vector<unsigned char>& png, std::vector<std::string>& notes) const override;
};
