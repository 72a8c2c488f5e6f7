#include "dialog/converter_logic.h"
#include "platform/text_path.h"
#include "test_support.h"

#include <gtest/gtest.h>

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
    EXPECT_FALSE(logic.IsScaleFactorEnabled());
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
}

TEST(ConverterLogic, ConvertRunsTheJobOrRefusesAFactorThatCannotScale)
{
    TempDir dir;
    WriteFile(dir / "Crate.3ds", File({Material("Wood", "wood.bmp"), Object(Cube("Crate"))}));
    WriteFile(dir / "wood.bmp", Str("texture"));
    RecordingNotifier notes;
    CConverterLogic logic;
    logic.OnLod1Chosen(platform::Utf8FromPath(dir / "Crate.3ds"));
    logic.OnScaleMode(ScaleMode::ScaleUp);
    logic.OnScaleFactorChange("2");
    logic.Convert();
    logic.Convert(); // the choices stay: it runs again at once
    EXPECT_EQ(notes.m_events.size(), 6u);
    EXPECT_EQ(notes.m_events[2], "Info: Conversion succeeded!");
    EXPECT_NE(ReadWholeFile(dir / "crate.vnp").find("\r\n2.0000, 2.0000, 2.0000\r\n"), std::string::npos);
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
    logic.OnScaleMode(ScaleMode::ScaleNone); // the box is not read
    logic.Convert();
    EXPECT_TRUE(std::filesystem::exists(dir / "crate.vnp"));
}
