#include "pipeline/conversion_job.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string_view>
#ifdef _WIN32
#include <windows.h>
#endif

using namespace build3ds;

// The texture check and the copies, through the job as the dialogs and the
// command line run it, over one model whose materials name textures in
// every form a modeller's files take.
class TextureFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir / "maps" / "deep");
        for (const char* name :
             {"brick.bmp", "roof.tga", "maps/brickwall.bmp", "Wood.bmp", "maps/stone.bmp",
              "maps/deep/brick.bmp", "maps/roof.tga", "stone.bmp", "ship.vnp", "maps/deep/far.bmp"})
            WriteFile(m_dir / name, Str(name));
        WriteFile(
            m_dir / "ship.3ds",
            File({Material("A", "brick.bmp"), Material("B", "ROOF.TGA"), Material("E", "maps\\stone.bmp"),
                  Material("C", "BRICKWAL.BMP"), Material("D", "C:\\art\\Wood.bmp"),
                  Material("F", "gone.bmp"), Material("G"), Material("H", "brick.bmp"),
                  Material("I", "ship.vnp"), Material("J", "far.bmp"), Object(Triangle1())}));
        m_request.lod1Path = (m_dir / "ship.3ds").string();
        m_request.lod1Title = "ship";
        m_request.outputDir = m_out.string();
        m_request.copyTextures = true;
        std::filesystem::create_directories(m_out);
    }

    RunReport Run()
    {
        NotifierHost host;
        RunContext context;
        context.pHost = &host;
        return m_job.Run(m_request, context);
    }

    TempDir m_root;
    const std::filesystem::path m_dir = m_root / "art", m_out = m_root / "out";
    ConversionRequest m_request;
    RecordingNotifier m_notes;
    ConversionJob m_job;
};

TEST_F(TextureFilesTest, FoundInAnyFormBelowTheModel)
{
    m_request.copyTextures = false;
    const RunReport report = Run();
#ifdef _WIN32
    const std::string roof, maps = "maps\\"; // letter case is no other form there
#else
    const std::string roof = "ROOF.TGA (found as roof.tga), ", maps = "maps/";
#endif
    ASSERT_EQ(m_notes.m_events.size(), 4u);
    EXPECT_EQ(m_notes.m_events[1],
              "Warning: Texture files not found beside the model: " + roof + "BRICKWAL.BMP (found as " +
                  maps +
                  "brickwall.bmp), C:\\art\\Wood.bmp (found as Wood.bmp), gone.bmp, far.bmp (found as " +
                  maps + "deep" + maps.back() + "far.bmp)");
    ASSERT_EQ(report.textures.size(), 8u); // each name once; none for a material without a texture
    EXPECT_EQ(report.textures[2].foundPath, (m_dir / "maps" / "stone.bmp").string()); // the folder part kept
    EXPECT_FALSE(report.textures[5].foundPath);
    EXPECT_EQ(report.textures[7].foundPath, (m_dir / "maps" / "deep" / "far.bmp").string()); // two down
}

TEST_F(TextureFilesTest, CopiedUnderTheProjectsNamesNeverOverTheProject)
{
    std::filesystem::create_directories(m_out / "stone.bmp"); // takes no copy
    const RunReport report = Run();
    ASSERT_EQ(report.outcome, RunOutcome::Converted);
    EXPECT_TRUE(report.bCopyFailed);
    ASSERT_EQ(m_notes.m_events.size(), 6u) << ::testing::PrintToString(m_notes.m_events);
    EXPECT_EQ(m_notes.m_events[2].rfind(
                  "Warning: Could not copy the texture file " + (m_dir / "maps" / "stone.bmp").string(), 0),
              0u);
    EXPECT_NE(m_notes.m_events[3].find("that is the project file of"), std::string::npos)
        << m_notes.m_events[3];
    EXPECT_EQ(m_notes.m_events[5], "Info: Conversion succeeded!");
    for (const auto& [copy, from] : {std::pair{"brick.bmp", "brick.bmp"},
                                     {"ROOF.TGA", "roof.tga"},
                                     {"BRICKWAL.BMP", "maps/brickwall.bmp"},
                                     {"Wood.bmp", "Wood.bmp"}})
        EXPECT_EQ(ReadWholeFile(m_out / copy), std::string(from) + '\0') << copy;
    EXPECT_EQ(ReadWholeFile(m_out / "ship.vnp").rfind("v1.1", 0), 0u);
    EXPECT_EQ(report.Written(OutputKind::Texture), (m_out / "brick.bmp").string());
    EXPECT_EQ(report.textures[0].copiedTo, (m_out / "brick.bmp").string());
}

TEST_F(TextureFilesTest, AnotherFileIsReplacedOnlyByANewerSourceAndSaysSo)
{
    WriteFile(m_out / "BRICKWAL.BMP", Str("older"));
    WriteFile(m_out / "Wood.bmp", Str("newer"));
    const auto now = std::filesystem::last_write_time(m_dir / "Wood.bmp");
    std::filesystem::last_write_time(m_out / "BRICKWAL.BMP", now - std::chrono::hours(1));
    std::filesystem::last_write_time(m_out / "Wood.bmp", now + std::chrono::hours(1));
    ASSERT_EQ(Run().outcome, RunOutcome::Converted);
    EXPECT_EQ(ReadWholeFile(m_out / "BRICKWAL.BMP"), std::string("maps/brickwall.bmp") + '\0');
    EXPECT_EQ(ReadWholeFile(m_out / "Wood.bmp"), std::string("newer") + '\0');
    const auto said = [&](const std::string& start) {
        return std::any_of(m_notes.m_events.begin(), m_notes.m_events.end(),
                           [&](const std::string& event) { return event.rfind(start, 0) == 0; });
    };
    EXPECT_TRUE(said("Warning: Replaced the texture file " + (m_out / "BRICKWAL.BMP").string()));
    EXPECT_TRUE(said("Warning: Not copied: the texture file " + (m_out / "Wood.bmp").string()));
}

TEST_F(TextureFilesTest, SameBytesAreLeftAloneAndTheModelsOwnFolderGetsNoCopies)
{
    ASSERT_EQ(Run().outcome, RunOutcome::Converted);
    const auto before = std::filesystem::last_write_time(m_out / "brick.bmp") - std::chrono::hours(1);
    std::filesystem::last_write_time(m_out / "brick.bmp", before);
    ASSERT_EQ(Run().outcome, RunOutcome::Converted);
    EXPECT_EQ(std::filesystem::last_write_time(m_out / "brick.bmp"), before);
    m_request.outputDir = m_dir.string();
    ASSERT_EQ(Run().outcome, RunOutcome::Converted);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "BRICKWAL.BMP"));
}

// A copy reaches its target whole or not at all: a write that fails
// part-way (a full disk) and a target that may not be written each leave
// the old file as it was and no temporary file, with a warning, and the
// run says copies are missing.
TEST_F(TextureFilesTest, ACopyIsWholeOrNothingAndAReadOnlyTargetIsRefused)
{
    const std::string wood(3 << 20, 'W'); // several blocks
    WriteFile(m_dir / "Wood.bmp", Bytes(wood.begin(), wood.end()));
    const auto checkKept = [&](const char* what) {
        const RunReport report = Run();
        EXPECT_EQ(report.outcome, RunOutcome::Converted) << what;
        EXPECT_TRUE(report.bCopyFailed) << what;
        EXPECT_EQ(ReadWholeFile(m_out / "Wood.bmp"), std::string("old") + '\0') << what;
        for (const auto& entry : std::filesystem::directory_iterator(m_out))
            EXPECT_NE(entry.path().filename().string().rfind("vnptmp-", 0), 0u) << what;
        const std::string warning =
            "Warning: Could not copy the texture file " + (m_dir / "Wood.bmp").string();
        EXPECT_TRUE(std::any_of(m_notes.m_events.begin(), m_notes.m_events.end(),
                                [&](const std::string& event) { return event.rfind(warning, 0) == 0; }))
            << what;
        m_notes.m_events.clear();
    };
    const auto olderTarget = [&] {
        WriteFile(m_out / "Wood.bmp", Str("old"));
        std::filesystem::last_write_time(
            m_out / "Wood.bmp", std::filesystem::last_write_time(m_dir / "Wood.bmp") - std::chrono::hours(1));
    };

    olderTarget();
    COutputFile::s_pfnWrite = [](platform::CFile& file, const void* data, std::size_t size) -> long {
        static int s_nBlocks = 0;
        if (size >= 16 && std::string_view(static_cast<const char*>(data), 16) == std::string(16, 'W') &&
            ++s_nBlocks == 2)
        {
            platform::SetLastFileError("No space left on device");
            return -1;
        }
        return platform::WriteSome(file, data, size);
    };
    checkKept("a full disk after the first block");
    COutputFile::s_pfnWrite = &platform::WriteSome;

#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW((m_out / "Wood.bmp").c_str(), FILE_ATTRIBUTE_READONLY));
    checkKept("read-only");
    ::SetFileAttributesW((m_out / "Wood.bmp").c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    std::filesystem::permissions(m_out / "Wood.bmp", std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::group_read |
                                                         std::filesystem::perms::others_read);
    checkKept("mode 0444");
#endif
}
