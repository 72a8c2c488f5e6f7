#pragma once

#include <cstdint>
#include <string>
#include <vector>

class C3dsModel;

// Draws the LOD 1 model (and the LOD 2 model beside it) size x size pixels
// on a transparent background, textures looked for beside each model's
// file, and writes the picture as a PNG file at pngPath, which is replaced
// whole or not at all. False after the user was warned why.
[[nodiscard]] bool WriteThumbnail(const std::string& pngPath, std::int32_t size, const C3dsModel& lod1,
                                  const std::string& lod1Path, const C3dsModel* pLod2 = nullptr,
                                  const std::string& lod2Path = {});

// WriteThumbnail in two steps, for a caller that draws on another thread:
// the picture encoded as PNG into png (false if it could not be drawn or
// encoded, memory running out included), which tells the user nothing and
// so may run on any thread, and adds to *pNotes the lines the user is to
// see (a texture drawn grey for the textures' budget, why the picture
// failed); then the notes shown as warnings and the file written from the
// picture, or the user warned (pPng null: not drawn).
[[nodiscard]] bool DrawThumbnail(std::int32_t size, const C3dsModel& lod1, const std::string& lod1Path,
                                 const C3dsModel* pLod2, const std::string& lod2Path,
                                 std::vector<unsigned char>& png, std::vector<std::string>* pNotes = nullptr);
[[nodiscard]] bool SaveThumbnail(const std::string& pngPath, const std::vector<unsigned char>* pPng,
                                 const std::vector<std::string>& notes = {});
