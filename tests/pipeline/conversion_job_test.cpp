#include "pipeline/conversion_job.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <clocale>
#include <new>

using namespace build3ds;

namespace
{

class ConversionJobTest : public ::testing::Test
{
protected:
    ConversionRequest Request(const std::string& lod1Name, const std::string& title)
    {
        ConversionRequest request;
        request.lod1Path = (m_dir / lod1Name).string();
        request.lod1Title = title;
        request.outputDir = m_dir.Path().string();
        return request;
    }

    std::string Written(const std::string& name) const { return ReadWholeFile(m_dir / name); }
    std::size_t FileCount() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}));
    }

    using Events = std::vector<std::string>;

    TempDir m_dir;
    platform::RecordingBackend m_notes;
    ConversionJob m_job;
};

const Bytes kShip = File({Material("Hull", "hull.bmp"), Object(Triangle1("Hull"))});
const Bytes kNoMaterial = File({Object(Triangle1("Hull"))});

} // namespace

TEST_F(ConversionJobTest, NoLod1FileShowsOnlyItsMessage)
{
    ConversionRequest request;
    request.lod2Path = "x.3ds";
    EXPECT_FALSE(m_job.Run(request));
    EXPECT_EQ(m_notes.m_events, (Events{"Error: Please select a file to convert"}));
    EXPECT_EQ(m_notes.m_messages[0].owner, platform::MessageOwner::ActiveWindow);
}

TEST_F(ConversionJobTest, SuccessRestoresTheCursorBeforeItsMessage)
{
    WriteFile(m_dir / "Ship.3ds", kShip);
    EXPECT_TRUE(m_job.Run(Request("Ship.3ds", "Ship")));
    EXPECT_EQ(m_notes.m_events, (Events{"wait", "restore", "Info: Conversion succeeded!"}));
    EXPECT_EQ(m_notes.m_messages[0].kind, platform::MessageKind::Information);
    EXPECT_EQ(Written("ship.vnp").substr(0, 6), "v1.1\r\n");
    EXPECT_TRUE(m_job.HoldsNothing());
}

TEST_F(ConversionJobTest, FailedLod1LoadNeverOpensLod2)
{
    ConversionRequest request = Request("missing.3ds", "missing");
    request.lod2Path = (m_dir / "also-missing.3ds").string();
    EXPECT_FALSE(m_job.Run(request));
    EXPECT_EQ(m_notes.m_events, (Events{"wait", "Error: Unable to find the file: " + *request.lod1Path, "restore",
                                        "Error: Conversion failed"}));
    EXPECT_EQ(FileCount(), 0u);
    EXPECT_TRUE(m_job.HoldsNothing());
}

TEST_F(ConversionJobTest, ModelsWithoutMaterialsAreRefusedUnderTheWaitCursor)
{
    WriteFile(m_dir / "bare.3ds", kNoMaterial);
    WriteFile(m_dir / "ship.3ds", kShip);
    ConversionRequest lod1 = Request("bare.3ds", "bare");
    lod1.lod2Path = (m_dir / "missing.3ds").string(); // never reached
    EXPECT_FALSE(m_job.Run(lod1));
    EXPECT_EQ(m_notes.m_events, (Events{"wait", "Error: No materials found for the LOD 1 model", "restore"}));

    m_notes.m_events.clear();
    ConversionRequest lod2 = Request("ship.3ds", "ship");
    lod2.lod2Path = (m_dir / "bare.3ds").string();
    EXPECT_FALSE(m_job.Run(lod2));
    EXPECT_EQ(m_notes.m_events, (Events{"wait", "Error: No materials found for the LOD 2 model", "restore"}));
    EXPECT_EQ(FileCount(), 2u); // the two inputs only
    EXPECT_TRUE(m_job.HoldsNothing());
}

TEST_F(ConversionJobTest, WriteFailureEndsWithConversionFailed)
{
    WriteFile(m_dir / "ship.3ds", kShip);
    ConversionRequest request = Request("ship.3ds", "ship");
    request.outputDir = (m_dir / "no-such-dir").string();
    EXPECT_FALSE(m_job.Run(request));
    ASSERT_EQ(m_notes.m_events.size(), 4u);
    EXPECT_EQ(m_notes.m_events[1].rfind("Error: Could not create output file: ", 0), 0u);
    EXPECT_EQ(m_notes.m_events[3], "Error: Conversion failed");
}

TEST_F(ConversionJobTest, OutputNameComesFromTheLod1Title)
{
    WriteFile(m_dir / "Fighter.3ds", kShip);
    WriteFile(m_dir / "Fighter_low.3ds", kShip);
    ConversionRequest request = Request("Fighter.3ds", "Fighter");
    request.lod2Path = (m_dir / "Fighter_low.3ds").string();
    EXPECT_TRUE(m_job.Run(request));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "fighter.vnp"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "fighter_low.vnp"));

    EXPECT_EQ(FileTitle("a.b.c.3ds"), "a.b.c");
    EXPECT_EQ(FileTitle("README"), "README");
#ifdef _WIN32
    // Windows lowers the whole path, after one backslash.
    EXPECT_EQ(ConversionJob::OutputPath("C:\\Out\\Dir", "a.b.c"), "c:\\out\\dir\\a.b.c.vnp");
    EXPECT_EQ(ConversionJob::OutputPath("C:\\", "Ship"), "c:\\\\ship.vnp");
#else
    EXPECT_EQ(ConversionJob::OutputPath("/Out/Dir", "a.b.c"), "/Out/Dir/a.b.c.vnp");
    EXPECT_EQ(ConversionJob::OutputPath("/Out/Dir", "ABC"), "/Out/Dir/abc.vnp");
    EXPECT_EQ(ConversionJob::OutputPath("/Out/", "Ship"), "/Out//ship.vnp");
#endif
}

TEST_F(ConversionJobTest, DirectoryEndingInASeparatorStillWorks)
{
    WriteFile(m_dir / "ship.3ds", kShip);
    ConversionRequest request = Request("ship.3ds", "ship");
    request.outputDir += "/";
    EXPECT_TRUE(m_job.Run(request));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "ship.vnp"));
}

#ifdef _WIN32
TEST(LowerCase, LowersEveryLetterTheWindowsWay)
{
    EXPECT_EQ(LowerCaseByLocale("ÄRGER Über.VNP"), "ärger über.vnp");
    EXPECT_EQ(LowerCaseByLocale("ΚΑΡΑΒΙ ФРЕГАТ 船.3DS"), "καραβι фрегат 船.3ds");
}
#else
TEST(LowerCase, FollowsTheLocaleAndKeepsInvalidBytes)
{
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    EXPECT_EQ(LowerCaseByLocale("ÄRGER Über.VNP"), "ärger über.vnp");
    EXPECT_EQ(LowerCaseByLocale("A\xff\xfe" "B"), "a\xff\xfe" "b");
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(LowerCaseByLocale("ÄB"), "Äb"); // the C locale knows ASCII only
    std::setlocale(LC_CTYPE, previous.c_str());
}
#endif

TEST_F(ConversionJobTest, ScalingFollowsModeAndFactor)
{
    WriteFile(m_dir / "ship.3ds", kShip);
    const auto run = [&](ScaleMode mode, std::int32_t factor) {
        ConversionRequest request = Request("ship.3ds", "ship");
        request.scaleMode = mode;
        request.scaleFactor = factor;
        m_notes.m_events.clear();
        EXPECT_TRUE(m_job.Run(request));
        EXPECT_EQ(m_notes.m_events.back(), "Info: Conversion succeeded!");
        return Written("ship.vnp");
    };
    const std::string plain = run(ScaleNone, 0);
    EXPECT_EQ(run(ScaleNone, 5), plain);
    EXPECT_EQ(run(ScaleUp, 0), plain); // an empty factor field
    EXPECT_EQ(run(ScaleDown, 1), plain);
    const std::string doubled = run(ScaleUp, 2);
    EXPECT_NE(doubled.find("\r\n0.0000, 2.0000, 0.0000\r\n2.0000, 0.0000, 0.0000\r\n"), std::string::npos);
}

// An error raised inside a run is caught there: one message that says what
// happened, everything released, the cursor back, then "Conversion failed".
TEST_F(ConversionJobTest, RaisedErrorsEndTheRunCleanly)
{
    class ThrowingBackend final : public platform::IBackend
    {
    public:
        void ShowMessage(const std::string& text, const std::string& caption, platform::MessageKind kind,
                         platform::MessageOwner owner) override
        {
            if (caption == "Warning")
                throw std::bad_alloc();
            m_recorder.ShowMessage(text, caption, kind, owner);
        }
        platform::CursorHandle SetWaitCursor() override { return m_recorder.SetWaitCursor(); }
        void RestoreCursor(platform::CursorHandle cursor) override { m_recorder.RestoreCursor(cursor); }
        platform::RecordingBackend m_recorder;
    };
    ThrowingBackend backend;
    platform::InstallBackend(&backend);

    WriteFile(m_dir / "new.3ds", Chunk(kChunkPrimary, {Version(5), Chunk(kChunkEditor, {Material("A"), Object(Cube())})}));
    EXPECT_FALSE(m_job.Run(Request("new.3ds", "new")));
    platform::InstallBackend(&m_notes);
    EXPECT_EQ(backend.m_recorder.m_events, (Events{"wait", "Error: There is not enough memory to convert the model.",
                                                   "restore", "Error: Conversion failed"}));
    EXPECT_TRUE(m_job.HoldsNothing());
    EXPECT_EQ(FileCount(), 1u);

    // The next run starts clean and works.
    WriteFile(m_dir / "ship.3ds", kShip);
    EXPECT_TRUE(m_job.Run(Request("ship.3ds", "ship")));
}

TEST_F(ConversionJobTest, AnInputIsNeverItsOwnOutput)
{
    // A model named like its output, as LOD 1 and as LOD 2.
    WriteFile(m_dir / "model.vnp", kShip);
    WriteFile(m_dir / "a.3ds", kShip);
    ConversionRequest asLod1 = Request("model.vnp", "model");
    ConversionRequest asLod2 = Request("a.3ds", "a");
    std::filesystem::rename(m_dir / "model.vnp", m_dir / "a.vnp");
    asLod1.lod1Path = (m_dir / "a.vnp").string();
    asLod1.lod1Title = "A";
    asLod2.lod2Path = (m_dir / "a.vnp").string();
    for (const ConversionRequest& request : {asLod1, asLod2})
    {
        m_notes.m_events.clear();
        EXPECT_FALSE(m_job.Run(request));
        ASSERT_EQ(m_notes.m_events.size(), 4u);
        EXPECT_NE(m_notes.m_events[1].find("is the input file " + (m_dir / "a.vnp").string()), std::string::npos)
            << m_notes.m_events[1];
        EXPECT_EQ(m_notes.m_events[3], "Error: Conversion failed");
        EXPECT_EQ(ReadWholeFile(m_dir / "a.vnp"), std::string(kShip.begin(), kShip.end()));
    }
}
