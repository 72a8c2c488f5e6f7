// Draws arbitrary bytes as the preview and the thumbnails do, with a
// hostile texture for every material. The first bytes choose the picture:
//   byte 0: its size, 1 to 128 pixels a side
//   byte 1: bits 0-3 the turn round the model, bits 4-7 up or down; with
//           byte 0 odd also a zoom, so that the camera comes close
//   bytes 2-3: the length of the model part
// then the model's bytes, and the rest is the texture file's bytes, given
// to every map name the model's materials have. Any crash, hang or
// outsized allocation is a finding; the texture's header may claim any
// size, which the budget must catch before it is decoded.

#include "model/c3ds_model.h"
#include "render/renderer.h"
#include "render/texture_set.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const int side = 1 + data[0] % 128;
    ViewAngles view;
    view.yawDegrees = static_cast<float>(data[1] & 15) * 24.0f;
    view.pitchDegrees = static_cast<float>(data[1] >> 4) * 10.0f - 80.0f;
    view.zoom = (data[0] & 1) ? 2.0f : 1.0f;
    const std::size_t modelSize = std::min<std::size_t>(data[2] | data[3] << 8, size - 4);
    const std::uint8_t* model = data + 4;
    const std::uint8_t* texture = model + modelSize;
    const std::size_t textureSize = size - 4 - modelSize;

    C3dsModel lod1;
    platform::CMessageLog log;
    if (!lod1.LoadBytes(model, modelSize, "fuzz.3ds", log))
        return 0;
    lod1.ComputeNormals();
    // A budget of a million pixels keeps the fuzzer's memory limit in
    // reach; the header check and the budget are the same as at 64 Mi.
    CTextureSet textures(std::int64_t{1} << 20);
    for (const MaterialEntry& material : lod1.m_materials)
        if (!material.mapName.empty() && !textures.Find(material.mapName))
            (void)textures.Add(material.mapName, texture, textureSize);
    RgbaImage image;
    image.width = image.height = side;
    CRenderer().Draw(lod1, nullptr, textures, view, image, 0x20304050u);
    return 0;
}
