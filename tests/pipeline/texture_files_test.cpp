#include "pipeline/conversion_job.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace build3ds;

namespace
{

RunReport RunShown(ConversionJob& job, const ConversionRequest& request)
{
    NotifierHost host;
    RunContext context;
    context.pHost = &host;
    return job.Run(request, context);
}

} // namespace

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
    // Another file under a copy's name is replaced only by a newer source.
    WriteFile(root / "out" / "BRICKWAL.BMP", Str("older"));
    WriteFile(root / "out" / "Wood.bmp", Str("newer"));
    const auto now = std::filesystem::last_write_time(dir / "Wood.bmp");
    std::filesystem::last_write_time(root / "out" / "BRICKWAL.BMP", now - std::chrono::hours(1));
    std::filesystem::last_write_time(root / "out" / "Wood.bmp", now + std::chrono::hours(1));
    RecordingNotifier notes;
    ConversionJob job;
    const RunReport report = RunShown(job, request);
    ASSERT_EQ(report.outcome, RunOutcome::Converted);
    EXPECT_TRUE(report.bCopyFailed); // the folder named stone.bmp
#ifdef _WIN32
    const std::string roof, maps = "maps\\"; // letter case is no other form there
#else
    const std::string roof = "ROOF.TGA (found as roof.tga), ", maps = "maps/";
#endif
    ASSERT_EQ(notes.m_events.size(), 8u);
    EXPECT_EQ(notes.m_events[1], "Warning: Texture files not found beside the model: " + roof +
                                     "BRICKWAL.BMP (found as " + maps +
                                     "brickwall.bmp), C:\\art\\Wood.bmp (found as "
                                     "Wood.bmp), gone.bmp");
    EXPECT_EQ(notes.m_events[2].rfind(
                  "Warning: Could not copy the texture file " + (dir / "maps" / "stone.bmp").string(), 0),
              0u);
    EXPECT_EQ(notes.m_events[3].rfind(
                  "Warning: Replaced the texture file " + (root / "out" / "BRICKWAL.BMP").string(), 0),
              0u);
    EXPECT_EQ(notes.m_events[4].rfind(
                  "Warning: Not copied: the texture file " + (root / "out" / "Wood.bmp").string(), 0),
              0u);
    // A texture named like the project file never replaces it.
    EXPECT_NE(notes.m_events[5].find("that is the project file of"), std::string::npos) << notes.m_events[5];
    EXPECT_EQ(notes.m_events[7], "Info: Conversion succeeded!");
    for (const auto& [copy, from] : {std::pair{"brick.bmp", "brick.bmp"},
                                     {"ROOF.TGA", "roof.tga"},
                                     {"BRICKWAL.BMP", "maps/brickwall.bmp"}})
        EXPECT_EQ(ReadWholeFile(root / "out" / copy), std::string(from) + '\0') << copy;
    EXPECT_EQ(ReadWholeFile(root / "out" / "Wood.bmp"), std::string("newer") + '\0');
    EXPECT_EQ(report.Written(OutputKind::Texture), (root / "out" / "brick.bmp").string());
    EXPECT_EQ(ReadWholeFile(root / "out" / "ship.vnp").rfind("v1.1", 0), 0u); // never over the project

    // A copy with the same bytes is left as it is; into the model's own
    // folder nothing is copied.
    const auto before = std::filesystem::last_write_time(root / "out" / "brick.bmp") - std::chrono::hours(1);
    std::filesystem::last_write_time(root / "out" / "brick.bmp", before);
    ASSERT_EQ(RunShown(job, request).outcome, RunOutcome::Converted);
    EXPECT_EQ(std::filesystem::last_write_time(root / "out" / "brick.bmp"), before);
    request.outputDir = dir.string();
    ASSERT_EQ(RunShown(job, request).outcome, RunOutcome::Converted);
    EXPECT_FALSE(std::filesystem::exists(dir / "BRICKWAL.BMP"));
}
