#include "pipeline/batch.h"
#include "pipeline/conversion_job.h"
#include "platform/text_path.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <new>

using namespace build3ds;

namespace
{

class ConversionJobTest : public ::testing::Test
{
protected:
    ConversionRequest Request(const std::string& lod1Name, const std::string& title,
                              const char* lod2Name = nullptr)
    {
        ConversionRequest request;
        request.lod1Path = (m_dir / lod1Name).string();
        request.lod1Title = title;
        if (lod2Name)
            request.lod2Path = (m_dir / lod2Name).string();
        request.outputDir = m_dir.Path().string();
        return request;
    }
    // The events of a run that failed with the message.
    static std::vector<std::string> Failed(const std::string& message)
    {
        return {"wait", "Error: " + message, "restore", "Error: Conversion failed"};
    }

    // A run whose messages and cursor reach the recording notifier; the
    // project file written, if any.
    std::optional<std::string> Run(const ConversionRequest& request)
    {
        NotifierHost host;
        RunContext context;
        context.pHost = &host;
        const RunReport report = m_job.Run(request, context);
        if (report.outcome != RunOutcome::Converted)
            return std::nullopt;
        return report.Written(OutputKind::Project);
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

const Bytes kShip = File({Material("Hull"), Object(Triangle1("Hull"))});

} // namespace

TEST_F(ConversionJobTest, SuccessSaysWhatItWroteAfterTheCursorIsBack)
{
    ConversionRequest none;
    none.lod2Path = "x.3ds";
    EXPECT_FALSE(Run(none));
    EXPECT_EQ(m_notes.m_events, (Events{"Error: Please select a file to convert"}));

    m_notes.m_events.clear();
    WriteFile(m_dir / "Fighter.3ds", kShip);
    WriteFile(m_dir / "Fighter_low.3ds", kShip);
    ConversionRequest request = Request("Fighter.3ds", "Fighter", "Fighter_low.3ds");
    request.outputDir += "/"; // one separator more does no harm
    const std::optional<std::string> written = Run(request);
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
        EXPECT_FALSE(Run(request));
        return m_notes.m_events;
    };
    // A missing LOD 1 file: its LOD 2 file is never opened.
    EXPECT_EQ(run(Request("missing.3ds", "missing", "also-missing.3ds")),
              Failed("Unable to find the file: " + (m_dir / "missing.3ds").string()));
    EXPECT_EQ(run(Request("ship.3ds", "ship", "two.3ds")),
              Failed("The LOD 2 contains more meshes than LOD 1"));
    ConversionRequest scaled = Request("far.3ds", "far");
    scaled.scaleMode = ScaleMode::ScaleUp;
    scaled.scaleFactor = 100;
    EXPECT_EQ(run(scaled),
              Failed("Scaling by this factor takes the model's coordinates beyond the range that the "
                     "project file can hold"));
    // A model without materials is refused; nothing more is said.
    WriteFile(m_dir / "bare.3ds", File({Object(Triangle1("Hull"))}));
    EXPECT_EQ(run(Request("bare.3ds", "bare", "missing.3ds")),
              (Events{"wait", "Error: No materials found for the LOD 1 model", "restore"}));
    EXPECT_EQ(run(Request("ship.3ds", "ship", "bare.3ds")),
              (Events{"wait", "Error: No materials found for the LOD 2 model", "restore"}));
    EXPECT_EQ(FileCount(), 4u); // the inputs only
}

TEST_F(ConversionJobTest, OutputPathLowersTheNameOnly)
{
    // Only the name is lowered: the folder may tell case apart, on Windows too.
    const std::string dir = std::string("/Out") + platform::kSeparator + "Dir";
    EXPECT_EQ(ConversionJob::OutputPath(dir, "ABC.d"), dir + platform::kSeparator + "abc.d.vnp");
}

TEST_F(ConversionJobTest, ScalingFollowsModeAndFactor)
{
    WriteFile(m_dir / "ship.3ds", kShip);
    const auto run = [&](ScaleMode mode, std::int32_t factor) {
        ConversionRequest request = Request("ship.3ds", "ship");
        request.scaleMode = mode;
        request.scaleFactor = factor;
        EXPECT_TRUE(Run(request));
        return Written("ship.vnp");
    };
    const std::string plain = run(ScaleMode::ScaleNone, 0);
    EXPECT_EQ(run(ScaleMode::ScaleNone, 5), plain);
    EXPECT_EQ(run(ScaleMode::ScaleUp, 0), plain); // an empty factor field
    EXPECT_EQ(run(ScaleMode::ScaleDown, -3), plain);
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
    m_notes.m_pfnThrowOn = [](platform::MessageKind kind) { return kind == platform::MessageKind::Warning; };
    WriteFile(m_dir / "new.3ds",
              Chunk(kChunkPrimary, {Version(5), Chunk(kChunkEditor, {Material("A"), Object(Cube())})}));
    EXPECT_FALSE(Run(Request("new.3ds", "new"))); // the version warning runs out of memory
    m_notes.m_pfnThrowOn = nullptr;
    EXPECT_EQ(m_notes.m_events, Failed("There is not enough memory to convert the model."));
    EXPECT_EQ(FileCount(), 1u);
    WriteFile(m_dir / "ship.3ds", kShip);
    EXPECT_TRUE(Run(Request("ship.3ds", "ship")));
}

TEST_F(ConversionJobTest, AnInputIsNeverItsOwnOutput)
{
    // A model named like its output, as LOD 1 and as LOD 2; the same
    // through "x/..", and an output that is a second name of the input.
    WriteFile(m_dir / "a.vnp", kShip);
    WriteFile(m_dir / "a.3ds", kShip);
    std::filesystem::create_directory(m_dir / "x");
    ConversionRequest dotted = Request("a.vnp", "A");
    dotted.outputDir = (m_dir / "x" / "..").string();
    std::filesystem::create_hard_link(m_dir / "a.3ds", m_dir / "b.vnp");
    for (const auto& [request, input] : {std::pair{Request("a.vnp", "A"), "a.vnp"},
                                         {Request("a.3ds", "a", "a.vnp"), "a.vnp"},
                                         {dotted, "a.vnp"},
                                         {Request("a.3ds", "B"), "a.3ds"}})
    {
        m_notes.m_events.clear();
        EXPECT_FALSE(Run(request));
        ASSERT_EQ(m_notes.m_events.size(), 4u);
        EXPECT_NE(m_notes.m_events[1].find("is the input file " + (m_dir / input).string()),
                  std::string::npos)
            << m_notes.m_events[1];
        EXPECT_EQ(ReadWholeFile(m_dir / input), std::string(kShip.begin(), kShip.end()));
    }
}

// A message box runs a message loop, from which the window could start
// another run: it must not release the models the first one holds.
TEST_F(ConversionJobTest, ARunStartedWhileOneIsInProgressIsRefused)
{
    WriteFile(m_dir / "v4.3ds",
              Chunk(kChunkPrimary, {Version(4), Chunk(kChunkEditor, {Material("A"), Object(Cube())})}));
    const ConversionRequest request = Request("v4.3ds", "v4");
    m_notes.m_onMessage = [&] { EXPECT_FALSE(Run(request)); };
    EXPECT_TRUE(Run(request));
    EXPECT_EQ(m_notes.m_events.size(), 4u); // wait, the version warning, restore, success
}

namespace
{

// Asks a batch to stop once a report has come, or from its question number
// `stopAt` on (the batch asks before each conversion, then the conversion
// after each object read and block written).
class CStoppingHost final : public IBatchHost
{
public:
    explicit CStoppingHost(int stopAt) : m_nStopAt(stopAt) {}
    void OnReport(std::size_t index, const RunReport&) override { m_reported.push_back(index); }
    bool StopRequested() const override { return !m_reported.empty() || ++m_nAsked >= m_nStopAt; }

    std::vector<std::size_t> m_reported;

private:
    int m_nStopAt;
    mutable std::atomic<int> m_nAsked{0};
};

} // namespace

TEST_F(ConversionJobTest, AStoppedBatchKeepsWhatItFinishedAndLeavesTheRestUnreached)
{
    std::vector<ConversionRequest> requests;
    for (const char* title : {"a", "b", "c"})
    {
        WriteFile(m_dir / (std::string(title) + ".3ds"), kShip);
        requests.push_back(Request(std::string(title) + ".3ds", title));
    }
    const std::size_t models = FileCount();

    CStoppingHost afterFirst(1000);
    std::vector<std::optional<RunReport>> reports = RunBatch(requests, 1, nullptr, afterFirst);
    ASSERT_EQ(reports.size(), 3u);
    ASSERT_TRUE(reports[0]);
    EXPECT_EQ(reports[0]->outcome, RunOutcome::Converted);
    EXPECT_FALSE(reports[1] || reports[2]);
    EXPECT_EQ(afterFirst.m_reported, std::vector<std::size_t>{0});
    EXPECT_EQ(FileCount(), models + 1);

    // Asked while the first model is read: it ends as stopped, and nothing
    // is written or left behind.
    std::filesystem::remove(m_dir / "a.vnp");
    CStoppingHost duringRead(2);
    reports = RunBatch(requests, 1, nullptr, duringRead);
    ASSERT_TRUE(reports[0]);
    EXPECT_EQ(reports[0]->outcome, RunOutcome::Stopped);
    EXPECT_TRUE(reports[0]->written.empty());
    EXPECT_FALSE(reports[1] || reports[2]);
    EXPECT_EQ(FileCount(), models);
}
