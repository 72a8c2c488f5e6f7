#include "platform/text_path.h"
#include "test_support.h"
#include "writer/output_file.h"
#include "writer/project_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <clocale>
#include <cmath>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace build3ds;

namespace
{

std::string Text(C3dsModel& lod1, C3dsModel* pLod2 = nullptr)
{
    CProjectWriter writer("unused.vnp", &lod1, pLod2);
    StringSink sink;
    EXPECT_TRUE(writer.WriteTo(sink));
    return sink.m_text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

std::vector<std::string> TextureLines(C3dsModel& lod1, C3dsModel* pLod2)
{
    CProjectWriter writer("unused.vnp", &lod1, pLod2);
    writer.BuildTextureTable();
    std::vector<std::string> names;
    for (const TextureEntry& entry : writer.m_textures)
        names.push_back(entry.name);
    EXPECT_EQ(writer.m_nTextureCount, static_cast<std::int32_t>(names.size()));
    return names;
}

C3dsModel HandModel(MeshObject mesh)
{
    C3dsModel model;
    model.m_materials.push_back({"M", "m.bmp"});
    model.m_nMaterialCount = 1;
    model.m_meshes.push_back(std::move(mesh));
    model.m_nMeshCount = 1;
    model.ComputeNormals();
    return model;
}

} // namespace

TEST(ProjectWriter, WritesTheReferenceFileByteForByte)
{
    Mesh hull = Triangle1("Hull");
    C3dsModel model = LoadOk(File({Material("Steel", "hull.bmp"), Object(hull)}));
    EXPECT_EQ(Text(model), ReadWholeFile(VNP_TEST_DATA_DIR "/hull_triangle.vnp"));
}

TEST(ProjectWriter, SameBytesUnderACommaDecimalLocale)
{
    C3dsModel model = LoadOk(File({Material("Steel", "hull.bmp"), Object(Cube())}));
    const std::string expected = Text(model);
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8") &&
        !std::setlocale(LC_ALL, "German_Germany.1252"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const std::string text = Text(model);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(text, expected);
}

TEST(ProjectWriter, CornerOrderAndTurnedFaceNormal)
{
    C3dsModel model = HandModel(MakeMesh({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {{{0, 1, 2}, 0}}));
    model.m_meshes[0].faceNormals[0] = {0.5f, -0.25f, 0.0f};
    const auto lines = Lines(Text(model));
    // Head 3 + mesh head 16 + section 3, then the face.
    EXPECT_EQ(lines[22], "FACE 1");
    EXPECT_EQ(lines[23], "1.0000, 0.0000, 0.0000");
    EXPECT_EQ(lines[24], "3.0000, 0.0000, 0.0000");
    EXPECT_EQ(lines[25], "2.0000, 0.0000, 0.0000");
    EXPECT_EQ(lines[26], "1.0000, 0.0000, 0.0000");
    EXPECT_EQ(lines[27], "0, 0"); // no mapping coordinates
    EXPECT_EQ(lines[30], "0, 0");
    // Collinear corners: zero normals, written without minus signs.
    EXPECT_EQ(lines[31], "0.0000, 0.0000, 0.0000");
    EXPECT_EQ(lines[35], "-0.5000, 0.2500, 0.0000");
    EXPECT_EQ(lines[38], "m.bmp");
}

TEST(ProjectWriter, OverflowingNormalsAreWrittenAsZero)
{
    const float big = 3e38f;
    C3dsModel model = HandModel(MakeMesh({{-big, -big, 0}, {big, -big, 0}, {-big, big, 0}}, {{{0, 1, 2}, 0}}));
    const std::string text = Text(model);
    EXPECT_EQ(text.find("inf"), std::string::npos);
    EXPECT_EQ(text.find("nan"), std::string::npos);
    const auto lines = Lines(text);
    EXPECT_EQ(lines[31], "0.0000, 0.0000, 0.0000");
    EXPECT_EQ(lines[35], "0.0000, 0.0000, 0.0000");
}

TEST(ProjectWriter, EmptyModelsAndNamesKeepTheLineCount)
{
    C3dsModel noMeshes = LoadOk(File({Material("A", "a.bmp"), Material("B")}));
    EXPECT_EQ(Text(noMeshes), "v1.1\r\n 0 \r\n 2 \r\na.bmp\r\n 0 \r\n 0 \r\ndefault.bmp\r\n 0 \r\n 0 \r\n");

    C3dsModel emptyMesh = LoadOk(File({Material("A"), Object("", {})}));
    const auto lines = Lines(Text(emptyMesh));
    ASSERT_EQ(lines.size(), 3u + 16u + 3u + 3u);
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[19], "LOD 1");
    EXPECT_EQ(lines[20], " 0 ");
    EXPECT_EQ(lines[21], " 1000 ");
}

TEST(ProjectWriter, LineBreaksInNamesBecomeSpacesWithOneWarningPerModel)
{
    C3dsModel model = LoadOk(File({Material("A", "two\nlines.bmp"), Material("B", "cr\r.bmp"),
                                   Object(Cube("Bad\r\nName")), Object(Triangle1("Fine\t\xff"))}));
    platform::RecordingBackend notes;
    const std::string text = Text(model);
    EXPECT_NE(text.find("\r\nBad  Name\r\n 1 \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nFine\t\xff\r\n"), std::string::npos); // every other byte stays
    EXPECT_NE(text.find("\r\ntwo lines.bmp\r\n 0 \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\ncr .bmp\r\n 0 \r\n"), std::string::npos);
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\n')
        {
            ASSERT_EQ(text[i - 1], '\r') << i;
        }
        if (text[i] == '\r')
        {
            ASSERT_EQ(text[i + 1], '\n') << i;
        }
    }
    EXPECT_EQ(notes.m_events, (std::vector<std::string>{"Warning: Line breaks in names of the LOD 1 model are written "
                                                         "as spaces: mesh \"Bad  Name\", material \"A\", material \"B\""}));
}

TEST(ProjectWriter, TrailingSpacesOnlyOnIntegerLines)
{
    C3dsModel model = LoadOk(File({Material("A", "a.bmp"), Object(Cube()), Object(Triangle1())}));
    for (const std::string& line : Lines(Text(model)))
    {
        if (!line.empty() && line.back() == ' ')
        {
            EXPECT_TRUE(line.front() == ' ' && line.find_first_not_of("0123456789", 1) == line.size() - 1) << line;
        }
    }
}

TEST(TextureTable, Lod1KeepsDuplicatesLod2AddsNewNames)
{
    C3dsModel lod1 = LoadOk(File({Material("A", "hull.bmp"), Material("B", "hull.bmp"), Material("C")}));
    EXPECT_EQ(TextureLines(lod1, nullptr), (std::vector<std::string>{"hull.bmp", "hull.bmp", "default.bmp"}));
    EXPECT_EQ(lod1.m_materials[2].mapName, "default.bmp");

    C3dsModel lod1Again = LoadOk(File({Material("A", "hull.bmp"), Material("B", "hull.bmp"), Material("C")}));
    C3dsModel lod2 = LoadOk(File({Material("W", "wing.bmp"), Material("H", "hull.bmp"), Material("N"),
                                  Material("W2", "wing.bmp"), Material("U", "Hull.bmp")}));
    EXPECT_EQ(TextureLines(lod1Again, &lod2),
              (std::vector<std::string>{"hull.bmp", "hull.bmp", "default.bmp", "wing.bmp", "Hull.bmp"}));
    EXPECT_EQ(lod2.m_materials[2].mapName, "default.bmp");
}

TEST(TextureTable, DefaultTextureFromLod2IsListedOnce)
{
    C3dsModel lod1 = LoadOk(File({Material("A", "a.bmp")}));
    C3dsModel lod2 = LoadOk(File({Material("X"), Material("Y"), Material("Z", "a.bmp")}));
    EXPECT_EQ(TextureLines(lod1, &lod2), (std::vector<std::string>{"a.bmp", "default.bmp"}));
    C3dsModel none = LoadOk(File({}));
    C3dsModel none2 = LoadOk(File({}));
    EXPECT_TRUE(TextureLines(none, &none2).empty());
}

TEST(Lod2Section, PairsMeshesByPosition)
{
    C3dsModel lod1 = LoadOk(File({Material("A", "a.bmp"), Object(Cube("One")), Object(Cube("Two")), Object(Triangle1("Three"))}));
    Mesh plain = Triangle1("Low");
    plain.mapCoords.clear();
    C3dsModel lod2 = LoadOk(File({Material("L"), Object(plain)}));
    const auto lines = Lines(Text(lod1, &lod2));
    EXPECT_EQ(lines[1], " 3 ");
    EXPECT_EQ(lines[2], " 2 "); // a.bmp, default.bmp
    EXPECT_EQ(lines[4], " 2 "); // first mesh has a partner
    // LOD 1 section of the cube: 12 faces; then the LOD 2 section.
    const std::size_t lod2Line = 3 + 16 + 3 + 12 * 20;
    EXPECT_EQ(lines[lod2Line], "LOD 2");
    EXPECT_EQ(lines[lod2Line + 1], " 1 ");
    EXPECT_EQ(lines[lod2Line + 2], " 2000 ");
    EXPECT_EQ(lines[lod2Line + 3], "FACE 1");
    EXPECT_EQ(lines[lod2Line + 8], "0, 0");            // LOD 2 mesh has no mapping
    EXPECT_EQ(lines[lod2Line + 3 + 16], "default.bmp"); // LOD 2 material list
    EXPECT_EQ(lines[lod2Line + 3 + 20], "Two");
    EXPECT_EQ(lines[lod2Line + 3 + 21], " 1 ");
}

TEST(Lod2Section, MoreLod2MeshesIsRefusedWithoutTouchingTheFile)
{
    TempDir dir;
    const auto path = dir / "ship.vnp";
    WriteFile(path, Str("old contents"));
    C3dsModel lod1 = LoadOk(File({Material("A"), Object(Cube())}));
    C3dsModel lod2 = LoadOk(File({Material("A"), Object(Cube()), Object(Cube())}));
    platform::RecordingBackend notes;
    CProjectWriter writer(path.string(), &lod1, &lod2);
    EXPECT_FALSE(writer.Write());
    EXPECT_EQ(notes.m_events, (std::vector<std::string>{"Error: The LOD 2 contains more meshes than LOD 1"}));
    EXPECT_EQ(ReadWholeFile(path), std::string("old contents") + '\0');
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ProjectWriter, ReplacesAnExistingFileAndLeavesNoTemporaryFile)
{
    TempDir dir;
    const auto path = dir / "ship.vnp";
    WriteFile(path, Bytes(100000, 'x'));
    C3dsModel model = LoadOk(File({Material("A", "a.bmp"), Object(Triangle1())}));
    CProjectWriter writer(path.string(), &model, nullptr);
    ASSERT_TRUE(writer.Write());
    EXPECT_EQ(ReadWholeFile(path), Text(model));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ProjectWriter, MissingDirectoryCannotBeCreated)
{
    TempDir dir;
    C3dsModel model = LoadOk(File({Material("A"), Object(Triangle1())}));
    platform::RecordingBackend notes;
    const std::string path = (dir / "missing" / "x.vnp").string();
    CProjectWriter writer(path, &model, nullptr);
    EXPECT_FALSE(writer.Write());
#ifdef _WIN32
    const std::string reason = platform::SystemErrorText(ERROR_PATH_NOT_FOUND);
#else
    const std::string reason = std::strerror(ENOENT);
#endif
    EXPECT_EQ(notes.m_events, (std::vector<std::string>{"Error: Could not create output file: " + path + "\n\n" + reason}));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(ProjectWriter, WriteFailureKeepsTheOldFileAndNamesTheReason)
{
    TempDir dir;
    const auto path = dir / "ship.vnp";
    WriteFile(path, Str("old"));
    C3dsModel model = LoadOk(File({Material("A"), Object(Cube())}));

    struct FullDisk
    {
        FullDisk()
        {
            OutputFile::s_pfnWrite = [](int, const void*, std::size_t) -> long {
                errno = ENOSPC;
                return -1;
            };
        }
        ~FullDisk() { OutputFile::s_pfnWrite = m_previous; }
        OutputFile::WriteFunction m_previous = OutputFile::s_pfnWrite;
    } fullDisk;

    platform::RecordingBackend notes;
    CProjectWriter writer(path.string(), &model, nullptr);
    EXPECT_FALSE(writer.Write());
    ASSERT_EQ(notes.m_messages.size(), 1u);
    EXPECT_EQ(notes.m_messages[0].caption, "Error");
    EXPECT_EQ(notes.m_messages[0].text, "Could not write output file: " + path.string() + "\n\nNo space left on device");
    EXPECT_EQ(ReadWholeFile(path), std::string("old") + '\0');
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ProjectWriter, LongOutputPathIsHeldWhole)
{
    TempDir dir;
    std::filesystem::path deep = dir.Path();
    for (int i = 0; i < 5; ++i)
        deep /= std::string(60, static_cast<char>('a' + i));
    std::filesystem::create_directories(deep);
    const auto path = deep / "model.vnp";
    ASSERT_GT(path.string().size(), 300u);
    C3dsModel model = LoadOk(File({Material("A"), Object(Triangle1())}));
    CProjectWriter writer(path.string(), &model, nullptr);
    ASSERT_TRUE(writer.Write());
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(ScaleModels, MultipliesByFactorOrRoundedReciprocal)
{
    C3dsModel lod1 = HandModel(MakeMesh({{5.0f, 1.0f, -2.0f}}, {}));
    C3dsModel lod2 = HandModel(MakeMesh({{1.0f, 2.0f, 3.0f}}, {}));
    {
        CProjectWriter writer("x.vnp", &lod1, &lod2);
        EXPECT_TRUE(writer.ScaleModels(2, 3.0f));
    }
    EXPECT_EQ(lod1.m_meshes[0].vertices[0].x, 1.66666675f);
    EXPECT_EQ(lod1.m_meshes[0].vertices[0].y, 0.333333343f);
    EXPECT_EQ(lod2.m_meshes[0].vertices[0].z, 1.0f);

    C3dsModel single = HandModel(MakeMesh({{1.23456f, 1.0f, 0.0f}}, {}));
    CProjectWriter writer("x.vnp", &single, nullptr);
    EXPECT_TRUE(writer.ScaleModels(1, 10.0f));
    EXPECT_EQ(Lines(Text(single))[0], "v1.1");
    EXPECT_EQ(single.m_meshes[0].vertices[0].x, 12.3456f);
}

TEST(ScaleModels, RefusedFactorsAndOtherModesChangeNothing)
{
    C3dsModel model = HandModel(MakeMesh({{1.0f, 2.0f, 3.0f}}, {}));
    CProjectWriter writer("x.vnp", &model, nullptr);
    EXPECT_FALSE(writer.ScaleModels(1, 0.0f));
    EXPECT_FALSE(writer.ScaleModels(2, -1.0f));
    EXPECT_FALSE(writer.ScaleModels(3, 0.0f)); // the factor is tested first
    EXPECT_TRUE(writer.ScaleModels(0, 5.0f));
    EXPECT_TRUE(writer.ScaleModels(3, 5.0f));
    EXPECT_TRUE(writer.ScaleModels(1, 1.0f));
    EXPECT_TRUE(writer.ScaleModels(2, 1.0f));
    EXPECT_EQ(model.m_meshes[0].vertices[0].y, 2.0f);
    EXPECT_EQ(model.m_meshes[0].faceNormals.size(), 0u);

    C3dsModel empty = LoadOk(File({Material("A"), Object("Lamp", {})}));
    CProjectWriter emptyWriter("x.vnp", &empty, nullptr);
    EXPECT_TRUE(emptyWriter.ScaleModels(1, 2.0f));
}

TEST(ScaleModels, OverflowIsRefusedBeforeAnythingChanges)
{
    C3dsModel model = HandModel(MakeMesh({{1.0f, 2.0f, 3.0f}, {3e37f, 0.0f, 0.0f}}, {}));
    platform::RecordingBackend notes;
    CProjectWriter writer("x.vnp", &model, nullptr);
    EXPECT_FALSE(writer.ScaleModels(1, 100.0f));
    EXPECT_EQ(notes.m_messages.size(), 1u);
    EXPECT_EQ(model.m_meshes[0].vertices[0].x, 1.0f);
}
