#include "pipeline/conversion_job.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace build3ds;

// The texture check and the copies, through the job as the dialogs and the
// command line run it.
TEST(TextureFiles, FoundInAnyFormBelowTheModelAndCopiedUnderTheProjectsNames)
{
    TempDir root;
    const std::filesystem::path dir = root / "art";
    std::filesystem::create_directories(dir / "maps" / "deep");
    for (const char* name : {"brick.bmp", "roof.tga", "maps/brickwall.bmp", "Wood.bmp", "maps/stone.bmp",
                             "maps/deep/brick.bmp", "maps/roof.tga", "stone.bmp", "ship.vnp"})
        WriteFile(dir / name, Str(name));
    WriteFile(
        dir / "ship.3ds",
        File({Material("A", "brick.bmp"), Material("B", "ROOF.TGA"), Material("E", "maps\\stone.bmp"),
              Material("C", "BRICKWAL.BMP"), Material("D", "C:\\art\\Wood.bmp"), Material("F", "gone.bmp"),
              Material("G"), Material("H", "brick.bmp"), Material("I", "ship.vnp"), Object(Triangle1())}));
    ConversionRequest request;
    request.lod1Path = (dir / "ship.3ds").string();
    request.lod1Title = "ship";
    request.outputDir = (root / "out").string();
    request.copyTextures = true;
    std::filesystem::create_directories(root / "out" / "stone.bmp"); // takes no copy
    WriteFile(root / "out" / "BRICKWAL.BMP", Str("older"));
    RecordingNotifier notes;
    ConversionJob job;
    ASSERT_TRUE(job.Run(request));
#ifdef _WIN32
    const std::string roof, maps = "maps\\"; // letter case is no other form there
#else
    const std::string roof = "ROOF.TGA (found as roof.tga), ", maps = "maps/";
#endif
    ASSERT_EQ(notes.m_events.size(), 5u);
    EXPECT_EQ(notes.m_events[1], "Warning: Texture files not found beside the model: " + roof +
                                     "BRICKWAL.BMP (found as " + maps +
                                     "brickwall.bmp), C:\\art\\Wood.bmp (found as "
                                     "Wood.bmp), gone.bmp");
    EXPECT_EQ(notes.m_events[2].rfind(
                  "Warning: Could not copy the texture file " + (dir / "maps" / "stone.bmp").string(), 0),
              0u);
    EXPECT_EQ(notes.m_events[4], "Info: Conversion succeeded!");
    for (const auto& [copy, from] : {std::pair{"brick.bmp", "brick.bmp"},
                                     {"ROOF.TGA", "roof.tga"},
                                     {"BRICKWAL.BMP", "maps/brickwall.bmp"},
                                     {"Wood.bmp", "Wood.bmp"}})
        EXPECT_EQ(ReadWholeFile(root / "out" / copy), std::string(from) + '\0') << copy;
    EXPECT_EQ(ReadWholeFile(root / "out" / "ship.vnp").rfind("v1.1", 0), 0u); // never over the project

    // A copy with the same bytes is left as it is; into the model's own
    // folder nothing is copied.
    const auto before = std::filesystem::last_write_time(root / "out" / "brick.bmp") - std::chrono::hours(1);
    std::filesystem::last_write_time(root / "out" / "brick.bmp", before);
    ASSERT_TRUE(job.Run(request));
    EXPECT_EQ(std::filesystem::last_write_time(root / "out" / "brick.bmp"), before);
    request.outputDir = dir.string();
    ASSERT_TRUE(job.Run(request));
    EXPECT_FALSE(std::filesystem::exists(dir / "BRICKWAL.BMP"));
}
