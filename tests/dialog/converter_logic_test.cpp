#include "dialog/converter_logic.h"
#include "dialog/preview_state.h"
#include "platform/text_path.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <limits>

using namespace build3ds;

namespace
{

// Paths as the platform's file chooser gives them.
#ifdef _WIN32
const std::string kShip = "C:\\models\\ship.3ds", kShipLow = "C:\\models\\low\\ship.low.3ds",
                  kModels = "C:\\models";
const std::string kOther = "D:\\other\\Box.3DS", kOtherDir = "D:\\other";
#else
const std::string kShip = "/models/ship.3ds", kShipLow = "/models/low/ship.low.3ds", kModels = "/models";
const std::string kOther = "/other/Box.3DS", kOtherDir = "/other";
#endif

// A window whose thread is the worker's own. With m_bHold the run's first
// call (its wait cursor) waits until m_open is set, so that the test acts
// during the run.
struct TestWindow final : IWindowThread
{
    void Call(const std::function<void()>& call) override
    {
        if (m_bHold.exchange(false))
        {
            m_reached.set_value();
            m_open.get_future().wait();
        }
        call();
    }
    void OnRunEnded() override { ++m_nEnded; }

    std::atomic<bool> m_bHold{false};
    std::promise<void> m_reached, m_open;
    int m_nEnded = 0;
};

} // namespace

TEST(ConverterLogic, Lod1ChoiceGivesTitleAndFolderAndCancelDropsOnlyLod1)
{
    CConverterLogic logic;
    EXPECT_FALSE(logic.IsConvertEnabled() || logic.IsLod2ChooserEnabled() || logic.IsScaleFactorEnabled());
    logic.OnLod1Chosen(kShip);
    EXPECT_TRUE(logic.IsConvertEnabled() && logic.IsLod2ChooserEnabled());
    logic.OnLod2Chosen(kShipLow);
    EXPECT_EQ(logic.OutputDir(), kModels); // no trailing separator; LOD 2 never moves it
    ConversionRequest request = logic.BuildRequest();
    EXPECT_EQ(*request.lod1Path + "|" + request.lod1Title + "|" + *request.lod2Path,
              kShip + "|ship|" + kShipLow);
    logic.OnLod1Chosen(std::nullopt);
    EXPECT_FALSE(logic.IsConvertEnabled() || logic.IsLod2ChooserEnabled());
    request = logic.BuildRequest();
    EXPECT_FALSE(request.lod1Path);
    EXPECT_EQ(request.lod1Title + logic.Lod1Path() + "|" + *request.lod2Path + "|" + request.outputDir,
              "|" + kShipLow + "|" + kModels);
    logic.OnLod1Chosen(kOther);
    logic.OnLod2Chosen(std::nullopt); // drops LOD 2 only
    EXPECT_EQ(logic.BuildRequest().lod1Title, "Box");
    EXPECT_FALSE(logic.BuildRequest().lod2Path);
    EXPECT_TRUE(logic.IsConvertEnabled());
}

TEST(ConverterLogic, KeepSameDirHoldsAFolderOnceThereIsOne)
{
    CConverterLogic logic;
    logic.OnKeepSameDir(true);
    logic.OnLod1Chosen(kShip); // no folder yet: the first choice sets it
    logic.OnLod1Chosen(kOther);
    EXPECT_EQ(logic.OutputDir(), kModels);
    logic.OnKeepSameDir(false);
    logic.OnFolderChosen(std::string("chosen"));
    logic.OnFolderChosen(std::nullopt); // a cancelled browser changes nothing
    EXPECT_EQ(logic.OutputDir(), "chosen");
    logic.OnLod1Chosen(kOther); // replaces even a browsed folder
    EXPECT_EQ(logic.OutputDir(), kOtherDir);
}

TEST(ConverterLogic, ScaleModesKeepTheFactorAsWindowsReadsIt)
{
    CConverterLogic logic;
    logic.OnScaleMode(ScaleMode::ScaleUp);
    EXPECT_TRUE(logic.IsScaleFactorEnabled());
    EXPECT_EQ(logic.BuildRequest().scaleFactor, 0); // empty box
    logic.OnScaleFactorChange("12");
    logic.OnScaleMode(ScaleMode::ScaleNone);
    logic.OnScaleMode(ScaleMode::ScaleDown);
    EXPECT_TRUE(logic.BuildRequest().scaleMode == ScaleMode::ScaleDown &&
                logic.BuildRequest().scaleFactor == 12);

    for (const auto& [text, value] :
         {std::pair{"", 0}, {" 007x", 7}, {"x", 0}, {"4294967295", -1}, {"4294967296", 0}})
        EXPECT_EQ(CConverterLogic::ReadUnsignedField(text), value) << text;
}

TEST(ConverterLogic, DropTakesOneRegularThreeDsFile)
{
    TempDir dir;
    WriteFile(dir / "Drop.3DS", Str("x"));
    WriteFile(dir / "notes.txt", Str("x"));
    std::filesystem::create_directory(dir / "folder.3ds");
    const auto drop = [&](std::vector<const char*> names) {
        std::vector<std::string> paths;
        for (const char* name : names)
            paths.push_back(platform::Utf8FromPath(dir / name));
        return CConverterLogic::DroppedModel(paths).value_or("");
    };
    EXPECT_EQ(drop({"Drop.3DS"}), platform::Utf8FromPath(dir / "Drop.3DS"));
    EXPECT_EQ(drop({"Drop.3DS", "Drop.3DS"}) + drop({}) + drop({"notes.txt"}) + drop({"folder.3ds"}) +
                  drop({"x.3ds"}),
              "");

    // A model named at start takes the same rule, and the user learns why
    // it was not taken.
    RecordingNotifier notes;
    CConverterLogic logic;
    for (const char* name : {"x.3ds", "folder.3ds", "notes.txt", "Drop.3DS"})
        logic.OnStartupModel(platform::Utf8FromPath(dir / name));
    EXPECT_EQ(logic.Lod1Path(), platform::Utf8FromPath(dir / "Drop.3DS"));
    const auto why = [&](const char* name, const char* problem) {
        return "Error: Unable to open " + platform::Utf8FromPath(dir / name) + ": " + problem;
    };
    EXPECT_EQ(notes.m_events, (std::vector<std::string>{why("x.3ds", "there is no such file"),
                                                        why("folder.3ds", "it is not a file"),
                                                        why("notes.txt", "it is not a .3ds file")}));
}

TEST(ConverterLogic, ConvertRunsTheJobOrRefusesAFactorThatCannotScale)
{
    TempDir dir;
    WriteFile(dir / "Crate.3ds", File({Material("Wood", "wood.bmp"), Object(Cube("Crate"))}));
    WriteFile(dir / "wood.bmp", Str("texture"));
    RecordingNotifier notes;
    CConverterLogic logic;
    TestWindow window;
    logic.OnLod1Chosen(platform::Utf8FromPath(dir / "Crate.3ds"));
    logic.OnScaleMode(ScaleMode::ScaleUp);
    logic.OnScaleFactorChange("2");
    logic.Convert(window);
    logic.WaitForRun();
    logic.Convert(window); // the choices stay: it runs again at once
    logic.WaitForRun();
    EXPECT_EQ(notes.m_events.size(), 6u);
    EXPECT_EQ(window.m_nEnded, 2);
    EXPECT_EQ(notes.m_events[2], "Info: Conversion succeeded!");
    EXPECT_NE(ReadWholeFile(dir / "crate.vnp").find("\r\n2.0000, 2.0000, 2.0000\r\n"), std::string::npos);
    std::filesystem::remove(dir / "crate.vnp");
    // Past 2^31 - 1 the box reads below 1 too, but the user is told why.
    for (const std::string factor : {"", "00", "3000000000", "99999999999999999999"})
    {
        notes.m_events.clear();
        logic.OnScaleFactorChange(factor);
        logic.Convert(window);
        EXPECT_EQ(notes.m_events.at(0),
                  factor.find_first_of("123456789") == std::string::npos
                      ? "Error: Please enter a whole-number scale factor of at least 1"
                      : "Error: The scale factor " + factor +
                            " is too large: please enter a whole number of at most 2147483647");
    }
    logic.OnScaleMode(ScaleMode::ScaleNone); // the box is not read
    logic.Convert(window);
    logic.WaitForRun();
    EXPECT_TRUE(std::filesystem::exists(dir / "crate.vnp"));
}

// While a run is in progress no choice or command is taken (a drop, or a
// window of a message box's loop); a stopped run leaves the old output.
TEST(ConverterLogic, ARunRefusesEveryCommandAndACancelKeepsTheOldOutput)
{
    TempDir dir;
    const std::string crate = platform::Utf8FromPath(dir / "Crate.3ds");
    WriteFile(dir / "Crate.3ds", File({Material("Wood", "wood.bmp"), Object(Cube("Crate"))}));
    WriteFile(dir / "crate.vnp", Str("old"));
    RecordingNotifier notes;
    CConverterLogic logic;
    logic.OnLod1Chosen(crate);
    TestWindow window;
    window.m_bHold = true;
    logic.Convert(window);
    window.m_reached.get_future().wait();
    EXPECT_TRUE(logic.IsRunning() && !logic.IsConvertEnabled() && !logic.IsChoiceEnabled());
    logic.OnLod1Chosen(std::nullopt);
    logic.OnStartupModel(crate + "x");
    logic.OnScaleMode(ScaleMode::ScaleUp);
    logic.Convert(window);
    EXPECT_EQ(logic.Lod1Path() + logic.Title(), crate + "3ds to Vantrel v1.1");
    logic.Cancel();
    window.m_open.set_value();
    logic.WaitForRun();
    EXPECT_EQ(notes.m_events, (std::vector<std::string>{"wait", "restore"}));
    EXPECT_EQ(ReadWholeFile(dir / "crate.vnp"), std::string("old") + '\0');
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
    EXPECT_TRUE(!logic.IsRunning() && logic.IsConvertEnabled() && window.m_nEnded == 1 &&
                logic.GetScaleMode() == ScaleMode::ScaleNone);
}

// Stop means stop at every step where the run asks whether to go on: a
// run stopped after its n-th question, for each n it asks, writes
// nothing, keeps the old output, leaves no temporary file and says
// nothing. The normals, which take long on a big model, ask before each
// mesh, as do the corners of the smoothing groups.
TEST(ConverterLogic, AStopAtAnyStepLeavesTheOldOutput)
{
    struct StopAfter final : IProgress
    {
        bool Continue(std::uint64_t done, std::uint64_t total) override
        {
            if (total == 6)
                m_perMesh.push_back(done);
            return ++m_nCalls < m_nStopAt;
        }
        int m_nCalls = 0, m_nStopAt = 0;
        std::vector<std::uint64_t> m_perMesh; // the asks out of the 6 meshes
    };
    TempDir dir;
    std::vector<Bytes> objects = {Material("Wood")};
    for (int i = 0; i < 6; ++i)
        objects.push_back(Object(Cube("Crate" + std::to_string(i))));
    WriteFile(dir / "Crate.3ds", File(objects));
    RecordingNotifier notes;
    CConverterLogic logic;
    logic.OnLod1Chosen(platform::Utf8FromPath(dir / "Crate.3ds"));
    logic.OnSmoothingGroups(true);
    TestWindow window;
    StopAfter counter;
    counter.m_nStopAt = std::numeric_limits<int>::max();
    logic.SetProgressObserver(&counter);
    logic.Convert(window);
    logic.WaitForRun();
    const int steps = counter.m_nCalls;
    ASSERT_GE(steps, 2);
    EXPECT_EQ(counter.m_perMesh, (std::vector<std::uint64_t>{0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5}));
    for (int n = 1; n <= steps; ++n)
    {
        WriteFile(dir / "crate.vnp", Str("old"));
        notes.m_events.clear();
        StopAfter stopper;
        stopper.m_nStopAt = n;
        logic.SetProgressObserver(&stopper);
        logic.Convert(window);
        logic.WaitForRun();
        EXPECT_EQ(stopper.m_nCalls, n);
        EXPECT_EQ(ReadWholeFile(dir / "crate.vnp"), std::string("old") + '\0') << "stopped at step " << n;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "at step " << n;
        // The cubes have no smoothing groups: the warning of that is heard
        // as soon as their corners are done, before any later stop.
        std::erase_if(notes.m_events, [](const std::string& event) {
            return event.starts_with("Warning: The smoothing groups do not match");
        });
        EXPECT_EQ(notes.m_events, (std::vector<std::string>{"wait", "restore"})) << "at step " << n;
    }
}

// The preview's model serves a run in place of a fresh read: the same
// bytes and messages as a fresh read, scaled or not, but only while the
// file is as it was read, and never when the smoothing groups would change
// it. A model that is not the file's, given under the file's facts, shows
// which one the run took.
TEST(ConverterLogic, ThePreviewsModelServesTheRunWhileItsFileIsUnchanged)
{
    TempDir dir;
    const std::string crate = platform::Utf8FromPath(dir / "Crate.3ds");
    // Version 4 draws a warning, which a run on the preview's model repeats.
    WriteFile(dir / "Crate.3ds", File({Version(4), Material("Wood", "wood.bmp"), Object(Cube("Crate"))}));
    RecordingNotifier notes;
    CConverterLogic logic;
    logic.OnLod1Chosen(crate);
    TestWindow window;
    const auto convert = [&](std::vector<LoadedModel> loaded) {
        notes.m_events.clear();
        logic.Convert(window, std::move(loaded));
        logic.WaitForRun();
        return ReadWholeFile(dir / "crate.vnp");
    };
    const std::string fresh = convert({});
    const std::vector<std::string> freshEvents = notes.m_events;
    ASSERT_EQ(freshEvents.size(), 5u); // wait, version, texture, restore, success

    CPreviewState preview([] {});
    preview.Choose(crate, std::nullopt);
    preview.WaitUntilIdle();
    preview.Collect();
    ASSERT_EQ(preview.LoadedModels().size(), 1u);
    EXPECT_EQ(convert(preview.LoadedModels()), fresh);
    EXPECT_EQ(notes.m_events, freshEvents);

    std::vector<LoadedModel> other = preview.LoadedModels();
    auto pOther = std::make_shared<C3dsModel>();
    platform::CMessageLog log;
    const Bytes otherFile = File({Material("Wood", "wood.bmp"), Object(Cube("Other"))});
    ASSERT_TRUE(pOther->LoadBytes(otherFile.data(), otherFile.size(), "other", log));
    pOther->ComputeNormals();
    other[0].pModel = pOther;
    other[0].messages.clear();
    EXPECT_NE(convert(other).find("Other"), std::string::npos);

    logic.OnScaleMode(ScaleMode::ScaleDown);
    logic.OnScaleFactorChange("3");
    const std::string scaled = convert({});
    EXPECT_NE(scaled, fresh);
    EXPECT_EQ(convert(preview.LoadedModels()), scaled);
    EXPECT_NE(convert(other).find("Other"), std::string::npos) << "scaled";
    logic.OnScaleMode(ScaleMode::ScaleNone);
    logic.OnSmoothingGroups(true);
    EXPECT_EQ(convert(other).find("Other"), std::string::npos) << "smoothing groups";
    logic.OnSmoothingGroups(false);

    // The same bytes written again: a new time of change.
    const auto path = dir / "Crate.3ds";
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
    EXPECT_EQ(convert(other), fresh) << "changed";
    EXPECT_EQ(notes.m_events, freshEvents);
}
