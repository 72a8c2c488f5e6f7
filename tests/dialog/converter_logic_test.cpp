#include "dialog/control_ids.h"
#include "dialog/converter_logic.h"
#include "platform/text_path.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace build3ds;

namespace
{

// Paths as the platform's file chooser gives them.
#ifdef _WIN32
const std::string kShip = "C:\\models\\ship.3ds";
const std::string kShipLow = "C:\\models\\low\\ship.low.3ds";
const std::string kModels = "C:\\models";
const std::string kOther = "D:\\other\\Box.3DS";
const std::string kOtherDir = "D:\\other";
#else
const std::string kShip = "/models/ship.3ds";
const std::string kShipLow = "/models/low/ship.low.3ds";
const std::string kModels = "/models";
const std::string kOther = "/other/Box.3DS";
const std::string kOtherDir = "/other";
#endif

TEST(ConverterLogic, StartsWithNothingChosen)
{
    const CConverterLogic logic;
    EXPECT_FALSE(logic.IsConvertEnabled());
    EXPECT_FALSE(logic.IsLod2ChooserEnabled());
    EXPECT_FALSE(logic.IsScaleFactorEnabled());
    EXPECT_EQ(logic.GetScaleMode(), ScaleNone);
    EXPECT_TRUE(logic.Lod1Path().empty() && logic.Lod2Path().empty() && logic.OutputDir().empty());
    EXPECT_FALSE(logic.BuildRequest().lod1Path);
}

TEST(ConverterLogic, Lod1ChoiceGivesTitleAndFolderAndCancelDropsOnlyLod1)
{
    CConverterLogic logic;
    logic.OnLod1Chosen(kShip);
    EXPECT_TRUE(logic.IsConvertEnabled());
    EXPECT_TRUE(logic.IsLod2ChooserEnabled());
    EXPECT_EQ(logic.OutputDir(), kModels); // no trailing separator
    logic.OnLod2Chosen(kShipLow);
    EXPECT_EQ(logic.OutputDir(), kModels); // LOD 2 never moves it

    ConversionRequest request = logic.BuildRequest();
    EXPECT_EQ(request.lod1Path, kShip);
    EXPECT_EQ(request.lod1Title, "ship");
    EXPECT_EQ(request.lod2Path, kShipLow);
    EXPECT_EQ(request.outputDir, kModels);

    logic.OnLod1Chosen(std::nullopt);
    EXPECT_TRUE(logic.Lod1Path().empty());
    EXPECT_FALSE(logic.IsConvertEnabled());
    EXPECT_FALSE(logic.IsLod2ChooserEnabled());
    request = logic.BuildRequest();
    EXPECT_FALSE(request.lod1Path);
    EXPECT_EQ(request.lod1Title, "");
    EXPECT_EQ(request.lod2Path, kShipLow);
    EXPECT_EQ(request.outputDir, kModels);

    logic.OnLod1Chosen(kOther);
    EXPECT_EQ(logic.BuildRequest().lod1Title, "Box");
    EXPECT_EQ(logic.BuildRequest().lod2Path, kShipLow);
}

TEST(ConverterLogic, Lod2CancelKeepsConvert)
{
    CConverterLogic logic;
    logic.OnLod1Chosen(kShip);
    logic.OnLod2Chosen(kShipLow);
    logic.OnLod2Chosen(std::nullopt);
    EXPECT_TRUE(logic.Lod2Path().empty());
    EXPECT_FALSE(logic.BuildRequest().lod2Path);
    EXPECT_TRUE(logic.IsConvertEnabled());
}

TEST(ConverterLogic, KeepSameDirHoldsAFolderOnceThereIsOne)
{
    CConverterLogic logic;
    logic.OnKeepSameDir(true);
    logic.OnLod1Chosen(kShip); // no folder yet: the first choice sets it
    EXPECT_EQ(logic.OutputDir(), kModels);
    logic.OnLod1Chosen(kOther);
    EXPECT_EQ(logic.OutputDir(), kModels);

    logic.OnKeepSameDir(false);
    logic.OnFolderChosen(std::string("chosen"));
    EXPECT_EQ(logic.OutputDir(), "chosen");
    logic.OnFolderChosen(std::nullopt); // a cancelled browser
    EXPECT_EQ(logic.OutputDir(), "chosen");
    logic.OnLod1Chosen(kOther); // replaces even a browsed folder
    EXPECT_EQ(logic.OutputDir(), kOtherDir);
}

TEST(ConverterLogic, ScaleModesKeepTheFactor)
{
    CConverterLogic logic;
    logic.OnScaleMode(ScaleUp);
    EXPECT_TRUE(logic.IsScaleFactorEnabled());
    EXPECT_EQ(logic.BuildRequest().scaleFactor, 0); // empty box
    logic.OnScaleFactorChange("12");
    logic.OnScaleMode(ScaleNone);
    EXPECT_FALSE(logic.IsScaleFactorEnabled());
    logic.OnScaleMode(ScaleDown);
    EXPECT_EQ(logic.BuildRequest().scaleMode, ScaleDown);
    EXPECT_EQ(logic.BuildRequest().scaleFactor, 12);
}

TEST(ConverterLogic, ReadsTheFactorAsWindowsReadsAnUnsignedField)
{
    EXPECT_EQ(CConverterLogic::ReadUnsignedField(""), 0);
    EXPECT_EQ(CConverterLogic::ReadUnsignedField("25"), 25);
    EXPECT_EQ(CConverterLogic::ReadUnsignedField(" 007x"), 7);
    EXPECT_EQ(CConverterLogic::ReadUnsignedField("x"), 0);
    EXPECT_EQ(CConverterLogic::ReadUnsignedField("4294967295"), -1);
    EXPECT_EQ(CConverterLogic::ReadUnsignedField("4294967296"), 0);
}

TEST(ConverterLogic, ToolTipsForEveryActiveControlOnly)
{
    EXPECT_STREQ(CConverterLogic::ToolTipText(kIdSetOutputDir),
                 "Select the output directory for the converted file");
    EXPECT_STREQ(CConverterLogic::ToolTipText(kIdKeepSameDir),
                 "Prevent from changing the output directory, default is same as input directory");
    EXPECT_STREQ(CConverterLogic::ToolTipText(kIdOk), "Close this tool");
    for (const int id : {kIdOpenLod1, kIdOpenLod2, kIdConvert, kIdNoScaling, kIdScaleUp, kIdScaleDown,
                         kIdScaleFactor, kIdAbout})
        EXPECT_GT(std::string(CConverterLogic::ToolTipText(id)).size(), 8u) << id;
    for (const int id : {kIdLod1Path, kIdLod2Path, kIdOutputDir, 0})
        EXPECT_STREQ(CConverterLogic::ToolTipText(id), "") << id;
}

TEST(ConverterLogic, DropTakesOneRegularThreeDsFile)
{
    TempDir dir;
    WriteFile(dir / "Drop.3DS", Str("x"));
    WriteFile(dir / "notes.txt", Str("x"));
    std::filesystem::create_directory(dir / "folder.3ds");
    const std::string drop = platform::Utf8FromPath(dir / "Drop.3DS");
    EXPECT_EQ(CConverterLogic::DroppedModel({drop}), drop);
    EXPECT_FALSE(CConverterLogic::DroppedModel({drop, drop}));
    EXPECT_FALSE(CConverterLogic::DroppedModel({}));
    EXPECT_FALSE(CConverterLogic::DroppedModel({platform::Utf8FromPath(dir / "notes.txt")}));
    EXPECT_FALSE(CConverterLogic::DroppedModel({platform::Utf8FromPath(dir / "folder.3ds")}));
    EXPECT_FALSE(CConverterLogic::DroppedModel({platform::Utf8FromPath(dir / "missing.3ds")}));
}

TEST(ConverterLogic, ConvertRunsTheJobAndKeepsTheChoices)
{
    TempDir dir;
    WriteFile(dir / "Crate.3ds", File({Material("Wood", "wood.bmp"), Object(Cube("Crate"))}));
    platform::RecordingBackend notes;
    CConverterLogic logic;
    logic.OnLod1Chosen(platform::Utf8FromPath(dir / "Crate.3ds"));
    EXPECT_EQ(logic.OutputDir(), platform::Utf8FromPath(dir.Path()));
    logic.OnScaleMode(ScaleUp);
    logic.OnScaleFactorChange("2");
    logic.Convert();
    EXPECT_EQ(notes.m_events, (std::vector<std::string>{"wait", "restore", "Info: Conversion succeeded!"}));
    EXPECT_NE(ReadWholeFile(dir / "crate.vnp").find("\r\n2.0000, 2.0000, 2.0000\r\n"), std::string::npos);
    logic.Convert();
    EXPECT_EQ(notes.m_events.size(), 6u);

    // A factor that cannot scale is refused before anything is loaded.
    std::filesystem::remove(dir / "crate.vnp");
    for (const char* factor : {"", "0", "2147483648", "99999999999999999999"})
    {
        notes.m_events.clear();
        logic.OnScaleFactorChange(factor);
        logic.Convert();
        EXPECT_EQ(notes.m_events,
                  (std::vector<std::string>{"Error: Please enter a whole-number scale factor of at least 1"}))
            << factor;
    }
    logic.OnScaleMode(ScaleNone); // the box is not read
    logic.Convert();
    EXPECT_TRUE(std::filesystem::exists(dir / "crate.vnp"));
}

} // namespace
