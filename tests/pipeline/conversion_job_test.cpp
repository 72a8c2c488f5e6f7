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
    RecordingNotifier m_notes;
    ConversionJob m_job;
};

const Bytes kShip = File({Material("Hull", "hull.bmp"), Object(Triangle1("Hull"))});
const Bytes kNoMaterial = File({Object(Triangle1("Hull"))});

} // namespace

TEST_F(ConversionJobTest, SuccessSaysWhatItWroteAfterTheCursorIsBack)
{
    ConversionRequest none;
    none.lod2Path = "x.3ds";
    EXPECT_FALSE(m_job.Run(none));
    EXPECT_EQ(m_notes.m_events, (Events{"Error: Please select a file to convert"}));

    m_notes.m_events.clear();
    WriteFile(m_dir / "Fighter.3ds", kShip);
    WriteFile(m_dir / "Fighter_low.3ds", kShip);
    ConversionRequest request = Request("Fighter.3ds", "Fighter");
    request.lod2Path = (m_dir / "Fighter_low.3ds").string();
    request.outputDir += "/"; // one separator more does no harm
    const std::optional<std::string> written = m_job.Run(request);
    EXPECT_EQ(m_notes.m_events, (Events{"wait", "restore", "Info: Conversion succeeded!"}));
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, ConversionJob::OutputPath(request.outputDir, "Fighter"));
    EXPECT_EQ(Written("fighter.vnp").substr(0, 6), "v1.1\r\n");
    EXPECT_EQ(FileCount(), 3u);
}

TEST_F(ConversionJobTest, EachFailureShowsItsMessageThenConversionFailed)
{
    WriteFile(m_dir / "ship.3ds", kShip);
    WriteFile(m_dir / "two.3ds", File({Material("A"), Object(Cube()), Object(Cube())}));
    Mesh far = Triangle1("Far");
    far.vertices[0].x = 3e37f;
    WriteFile(m_dir / "far.3ds", File({Material("A"), Object(far)}));
    const auto run = [&](ConversionRequest request) {
        m_notes.m_events.clear();
        EXPECT_FALSE(m_job.Run(request));
        return m_notes.m_events;
    };
    const std::string missing = (m_dir / "missing.3ds").string();
    ConversionRequest lod2 = Request("missing.3ds", "missing");
    lod2.lod2Path = (m_dir / "also-missing.3ds").string(); // never opened
    EXPECT_EQ(run(lod2), (Events{"wait", "Error: Unable to find the file: " + missing, "restore", "Error: Conversion failed"}));

    lod2 = Request("ship.3ds", "ship");
    lod2.lod2Path = (m_dir / "two.3ds").string();
    EXPECT_EQ(run(lod2), (Events{"wait", "Error: The LOD 2 contains more meshes than LOD 1", "restore",
                                 "Error: Conversion failed"}));

    ConversionRequest scaled = Request("far.3ds", "far");
    scaled.scaleMode = ScaleMode::ScaleUp;
    scaled.scaleFactor = 100;
    EXPECT_EQ(run(scaled), (Events{"wait", "Error: Scaling by this factor takes the model's coordinates beyond the range "
                                        "that the project file can hold",
                                "restore", "Error: Conversion failed"}));

    ConversionRequest noDir = Request("ship.3ds", "ship");
    noDir.outputDir = (m_dir / "no-such-dir").string();
    const Events events = run(noDir);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1].rfind("Error: Could not create output file: ", 0), 0u);
    EXPECT_EQ(FileCount(), 3u); // the inputs only
}

TEST_F(ConversionJobTest, ModelsWithoutMaterialsAreRefusedWithoutConversionFailed)
{
    WriteFile(m_dir / "bare.3ds", kNoMaterial);
    WriteFile(m_dir / "ship.3ds", kShip);
    ConversionRequest lod1 = Request("bare.3ds", "bare");
    lod1.lod2Path = (m_dir / "missing.3ds").string(); // never reached
    EXPECT_FALSE(m_job.Run(lod1));
    ConversionRequest lod2 = Request("ship.3ds", "ship");
    lod2.lod2Path = (m_dir / "bare.3ds").string();
    EXPECT_FALSE(m_job.Run(lod2));
    EXPECT_EQ(m_notes.m_events, (Events{"wait", "Error: No materials found for the LOD 1 model", "restore", "wait",
                                        "Error: No materials found for the LOD 2 model", "restore"}));
    EXPECT_EQ(FileCount(), 2u);
}

TEST_F(ConversionJobTest, OutputPathAndTitles)
{
    EXPECT_EQ(FileTitle("a.b.c.3ds"), "a.b.c");
    EXPECT_EQ(FileTitle("README"), "README");
#ifdef _WIN32
    // Windows lowers the whole path, after one backslash.
    EXPECT_EQ(ConversionJob::OutputPath("C:\\Out\\Dir", "a.b.c"), "c:\\out\\dir\\a.b.c.vnp");
    EXPECT_EQ(ConversionJob::OutputPath("C:\\", "Ship"), "c:\\\\ship.vnp");
    EXPECT_EQ(LowerCaseByLocale("ΚΑΡΑΒΙ ÄRGER 船.3DS"), "καραβι ärger 船.3ds");
#else
    EXPECT_EQ(ConversionJob::OutputPath("/Out/Dir", "ABC.d"), "/Out/Dir/abc.d.vnp");
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    EXPECT_EQ(LowerCaseByLocale("ÄRGER Über.VNP"), "ärger über.vnp");
    EXPECT_EQ(LowerCaseByLocale("A\xff\xfe" "B"), "a\xff\xfe" "b"); // invalid bytes stay
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(LowerCaseByLocale("ÄB"), "Äb"); // the C locale knows ASCII only
    std::setlocale(LC_CTYPE, previous.c_str());
#endif
}

TEST_F(ConversionJobTest, ScalingFollowsModeAndFactor)
{
    WriteFile(m_dir / "ship.3ds", kShip);
    const auto run = [&](ScaleMode mode, std::int32_t factor) {
        ConversionRequest request = Request("ship.3ds", "ship");
        request.scaleMode = mode;
        request.scaleFactor = factor;
        EXPECT_TRUE(m_job.Run(request));
        return Written("ship.vnp");
    };
    const std::string plain = run(ScaleMode::ScaleNone, 0);
    EXPECT_EQ(run(ScaleMode::ScaleNone, 5), plain);
    EXPECT_EQ(run(ScaleMode::ScaleUp, 0), plain); // an empty factor field
    EXPECT_EQ(run(ScaleMode::ScaleDown, -3), plain);
    EXPECT_EQ(run(ScaleMode::ScaleDown, 1), plain);
    EXPECT_NE(run(ScaleMode::ScaleUp, 2).find("\r\n0.0000, 2.0000, 0.0000\r\n2.0000, 0.0000, 0.0000\r\n"),
              std::string::npos);
    // Down: the single-precision reciprocal, 1/3 -> 0.333333343.
    EXPECT_NE(run(ScaleMode::ScaleDown, 3).find("\r\n0.0000, 0.3333, 0.0000\r\n0.3333, 0.0000, 0.0000\r\n"),
              std::string::npos);
}

// An error raised inside a run is caught there: one message that says what
// happened, the cursor back, then "Conversion failed"; the next run works.
TEST_F(ConversionJobTest, RaisedErrorsEndTheRunCleanly)
{
    class ThrowingNotifier final : public platform::INotifier
    {
    public:
        void ShowMessage(const std::string& text, platform::MessageKind kind, platform::MessageOwner owner) override
        {
            if (kind == platform::MessageKind::Warning)
                throw std::bad_alloc();
            m_recorder.ShowMessage(text, kind, owner);
        }
        platform::CursorHandle SetWaitCursor() override { return m_recorder.SetWaitCursor(); }
        void RestoreCursor(platform::CursorHandle cursor) override { m_recorder.RestoreCursor(cursor); }
        RecordingNotifier m_recorder;
    };
    ThrowingNotifier notifier;
    platform::InstallNotifier(&notifier);
    WriteFile(m_dir / "new.3ds", Chunk(kChunkPrimary, {Version(5), Chunk(kChunkEditor, {Material("A"), Object(Cube())})}));
    EXPECT_FALSE(m_job.Run(Request("new.3ds", "new")));
    platform::InstallNotifier(&m_notes);
    EXPECT_EQ(notifier.m_recorder.m_events, (Events{"wait", "Error: There is not enough memory to convert the model.",
                                                    "restore", "Error: Conversion failed"}));
    EXPECT_EQ(FileCount(), 1u);
    WriteFile(m_dir / "ship.3ds", kShip);
    EXPECT_TRUE(m_job.Run(Request("ship.3ds", "ship")));
}

TEST_F(ConversionJobTest, AnInputIsNeverItsOwnOutput)
{
    // A model named like its output, as LOD 1 and as LOD 2.
    WriteFile(m_dir / "a.vnp", kShip);
    WriteFile(m_dir / "a.3ds", kShip);
    ConversionRequest asLod1 = Request("a.vnp", "A");
    ConversionRequest asLod2 = Request("a.3ds", "a");
    asLod2.lod2Path = (m_dir / "a.vnp").string();
    for (const ConversionRequest& request : {asLod1, asLod2})
    {
        m_notes.m_events.clear();
        EXPECT_FALSE(m_job.Run(request));
        ASSERT_EQ(m_notes.m_events.size(), 4u);
        EXPECT_NE(m_notes.m_events[1].find("is the input file " + (m_dir / "a.vnp").string()), std::string::npos);
        EXPECT_EQ(ReadWholeFile(m_dir / "a.vnp"), std::string(kShip.begin(), kShip.end()));
    }
}
