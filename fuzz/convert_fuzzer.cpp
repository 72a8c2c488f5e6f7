// Runs whole conversions on arbitrary bytes: load, normals, scaling, texture
// table and a written file. The first bytes choose the options:
//   byte 0: bit 0 a LOD 2 file, bits 1-2 the scale mode, bit 3 the
//           smoothing groups
//   byte 1: the scale factor
//   bytes 2-3: with a LOD 2 file, the length of the LOD 1 part
// and the rest is the LOD 1 file followed by the LOD 2 file.

#include "pipeline/conversion_job.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{

// A folder of this process's own for the inputs and the written file,
// removed when the process ends.
struct WorkFolder
{
    WorkFolder() : path(std::filesystem::temp_directory_path() / ("vnp-fuzz-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(path);
    }
    ~WorkFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};

const std::filesystem::path& WorkDir()
{
    static const WorkFolder folder;
    return folder.path;
}

void Put(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const bool bHasLod2 = data[0] & 1;
    ConversionRequest request;
    request.scaleMode = static_cast<ScaleMode>((data[0] >> 1) & 3);
    request.scaleFactor = data[1];
    request.smoothingGroups = data[0] & 8;
    std::size_t lod1Size = size - 4;
    if (bHasLod2)
        lod1Size = std::min<std::size_t>(lod1Size, static_cast<std::size_t>(data[2] | (data[3] << 8)));

    const auto& dir = WorkDir();
    Put(dir / "lod1.3ds", data + 4, lod1Size);
    request.lod1Path = (dir / "lod1.3ds").string();
    request.lod1Title = "Lod1";
    request.outputDir = dir.string();
    if (bHasLod2)
    {
        Put(dir / "lod2.3ds", data + 4 + lod1Size, size - 4 - lod1Size);
        request.lod2Path = (dir / "lod2.3ds").string();
    }

    ConversionJob job;
    (void)job.Run(request);
    std::filesystem::remove(dir / "lod1.vnp");
    return 0;
}
