#include "reference_normals.h"
#include "test_support.h"
#include "writer/output_file.h"
#include "writer/project_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdio>

using namespace build3ds;

namespace
{

std::string Text(const C3dsModel& lod1, const C3dsModel* pLod2 = nullptr)
{
    CProjectWriter writer("unused.vnp", &lod1, pLod2);
    StringSink sink;
    EXPECT_TRUE(writer.WriteTo(sink, TestLog()));
    return sink.m_text;
}

std::vector<std::string> Textures(const C3dsModel& lod1, const C3dsModel* pLod2)
{
    std::vector<std::string> names;
    for (const TextureEntry& entry : CProjectWriter("unused.vnp", &lod1, pLod2).m_textures)
        names.push_back(entry.name);
    return names;
}

// The models of the LOD 2 reference file: a textured cube, a plain
// triangle and one so large that its normals overflow (written as zero)
// as LOD 1, an unmapped triangle without texture as LOD 2.
std::pair<C3dsModel, C3dsModel> Lod2Pair()
{
    Mesh low = Triangle1("Low"), huge = Triangle1("Huge");
    low.mapCoords.clear();
    huge.vertices = {{-3e38f, -3e38f, 0}, {3e38f, -3e38f, 0}, {-3e38f, 3e38f, 0}};
    return {LoadOk(File({Material("Wood", "wood.bmp"), Material("Paint"), Object(Cube("Crate")),
                         Object(Triangle1("Tag")), Object(huge)})),
            LoadOk(File({Material("Low"), Object(low)}))};
}

// A mesh whose faces face no axis: its normals have irrational components.
C3dsModel Bipyramid()
{
    Mesh mesh;
    mesh.name = "Tilted";
    mesh.vertices = {
        {0.3f, 0.1f, 0.2f}, {1.7f, 0.4f, -0.3f}, {0.6f, 1.9f, 0.5f}, {0.9f, 0.7f, 1.6f}, {0.8f, 0.5f, -1.4f}};
    mesh.faces = {{0, 1, 3}, {1, 2, 3}, {2, 0, 3}, {1, 0, 4}, {2, 1, 4}, {0, 2, 4}};
    mesh.mapCoords = {{0, 0}, {1, 0}, {0.5f, 1}, {0.25f, 0.75f}, {0.75f, 0.25f}};
    return LoadOk(File({Material("Glass", "glass.bmp"), Object(mesh)}));
}

// "%.4f" of the C library, but exact zeros without a sign: the format's
// rule, written apart from the writer's own formatter.
std::string Printed(float x, float y, float z)
{
    char text[200];
    std::snprintf(text, sizeof text, "%.4f, %.4f, %.4f", x == 0 ? 0.0 : x, y == 0 ? 0.0 : y,
                  z == 0 ? 0.0 : z);
    return text;
}

// Checks the positions and normals of a file's face records against the
// meshes (in the order their records come) and the normals reference.
void ExpectFaceRecords(const std::string& file, const std::vector<const MeshObject*>& meshes)
{
    std::istringstream lines(file);
    std::string line;
    const auto next = [&] {
        std::getline(lines, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    };
    for (const MeshObject* mesh : meshes)
    {
        const ReferenceNormals normals = ComputeReferenceNormals(*mesh);
        for (std::size_t f = 0; f < mesh->Data().faces.size(); ++f)
        {
            while (lines && next().rfind("FACE ", 0) != 0)
            {
            }
            const auto& idx = mesh->Data().faces[f].vertexIndex;
            const std::uint32_t corners[] = {idx[0], idx[2], idx[1], idx[0]};
            for (std::uint32_t v : corners)
                EXPECT_EQ(next(), Printed(mesh->Data().vertices[v].x, mesh->Data().vertices[v].y,
                                          mesh->Data().vertices[v].z));
            for (int skipped = 0; skipped < 4; ++skipped) // the mapping, checked by hand
                next();
            for (std::uint32_t v : corners)
                EXPECT_EQ(next(), Printed(normals.vertex[v].x, normals.vertex[v].y, normals.vertex[v].z))
                    << mesh->name << " face " << f;
            const Vector3& n = normals.face[f];
            EXPECT_EQ(next(), Printed(-n.x, -n.y, -n.z)) << mesh->name << " face " << f;
        }
    }
}

} // namespace

// The reference files were written by this writer, checked line by line
// against the format, and are compared byte for byte; regenerate them only
// on purpose (VNP_WRITE_REFERENCE=1) and review the difference.
TEST(ProjectWriter, WritesTheReferenceFilesByteForByte)
{
    const auto [lod1, lod2] = Lod2Pair();
    const std::pair<std::string, std::string> cases[] = {
        {"hull_triangle.vnp", Text(LoadOk(File({Material("Steel", "hull.bmp"), Object(Triangle1("Hull"))})))},
        {"crate_with_lod2.vnp", Text(lod1, &lod2)},
        {"no_meshes.vnp", Text(LoadOk(File({Material("A", "a.bmp"), Material("B")})))},
        {"tilted_bipyramid.vnp", Text(Bipyramid())}};
    for (const auto& [name, text] : cases)
    {
        if (std::getenv("VNP_WRITE_REFERENCE"))
            WriteFile(std::string(VNP_TEST_DATA_DIR "/") + name, Bytes(text.begin(), text.end()));
        EXPECT_EQ(text, ReadWholeFile(std::string(VNP_TEST_DATA_DIR "/") + name)) << name;
    }
}

// Every position and normal of the reference files is what an independent
// computation gives: the normals reference, printed by the C library.
TEST(ProjectWriter, ReferenceFilesHoldTheReferenceNormals)
{
    const auto [lod1, lod2] = Lod2Pair();
    const C3dsModel tilted = Bipyramid();
    const C3dsModel hull = LoadOk(File({Material("Steel", "hull.bmp"), Object(Triangle1("Hull"))}));
    const auto read = [](const char* name) {
        return ReadWholeFile(std::string(VNP_TEST_DATA_DIR "/") + name);
    };
    ExpectFaceRecords(read("tilted_bipyramid.vnp"), {&tilted.m_meshes[0]});
    ExpectFaceRecords(read("hull_triangle.vnp"), {&hull.m_meshes[0]});
    // The records come Crate, its LOD 2 partner, Tag; Huge's normals,
    // which overflow single precision, were checked by hand.
    ExpectFaceRecords(read("crate_with_lod2.vnp"), {&lod1.m_meshes[0], &lod2.m_meshes[0], &lod1.m_meshes[1]});
}

// The LOD 2 reference holds coordinates beyond the formatter's integer path
// (3e38), so both of its paths run under the comma locale.
TEST(ProjectWriter, SameBytesUnderACommaDecimalLocale)
{
    const auto [lod1, lod2] = Lod2Pair();
    const std::string expected = Text(lod1, &lod2);
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8") &&
        !std::setlocale(LC_ALL, "German_Germany.1252"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const std::string text = Text(lod1, &lod2);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(text, expected);
}

TEST(ProjectWriter, LineBreaksInNamesBecomeSpacesWithOneWarningPerModel)
{
    const C3dsModel model = LoadOk(File({Material("A", "two\nlines.bmp"), Material("B", "cr\r.bmp"),
                                         Object(Cube("Bad\r\nName")), Object(Triangle1("Fine\t\xff"))}));
    RecordingNotifier notes;
    const std::string text = Text(model);
    EXPECT_NE(text.find("\r\nBad  Name\r\n 1 \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nFine\t\xff\r\n"), std::string::npos); // every other byte stays
    EXPECT_NE(text.find("\r\ntwo lines.bmp\r\n 0 \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\ncr .bmp\r\n 0 \r\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
    EXPECT_EQ(notes.m_events,
              (std::vector<std::string>{"Warning: Line breaks in names of the LOD 1 model are written "
                                        "as spaces: mesh \"Bad  Name\", material \"A\", material \"B\""}));
}

TEST(TextureTable, Lod1KeepsDuplicatesLod2AddsNewNamesAndTheModelsStayAsLoaded)
{
    const C3dsModel lod1 =
        LoadOk(File({Material("A", "hull.bmp"), Material("B", "hull.bmp"), Material("C")}));
    const C3dsModel lod2 = LoadOk(File({Material("W", "wing.bmp"), Material("H", "hull.bmp"), Material("N"),
                                        Material("W2", "wing.bmp"), Material("U", "Hull.bmp")}));
    EXPECT_EQ(Textures(lod1, nullptr), (std::vector<std::string>{"hull.bmp", "hull.bmp", "default.bmp"}));
    EXPECT_EQ(Textures(lod1, &lod2),
              (std::vector<std::string>{"hull.bmp", "hull.bmp", "default.bmp", "wing.bmp", "Hull.bmp"}));
    EXPECT_EQ(lod1.m_materials[2].mapName, "");
    const C3dsModel plain = LoadOk(File({Material("A", "a.bmp")}));
    EXPECT_EQ(Textures(plain, &lod2),
              (std::vector<std::string>{"a.bmp", "wing.bmp", "hull.bmp", "default.bmp", "Hull.bmp"}));
    EXPECT_TRUE(Textures(LoadOk(File({})), nullptr).empty());
}

// A file that cannot be written: one message with the path and the
// system's reason, the old file as it was, no temporary file left.
TEST(ProjectWriter, FileFailuresKeepTheOldFile)
{
    TempDir dir;
    const C3dsModel model = LoadOk(File({Material("A", "a.bmp"), Object(Triangle1())}));
    RecordingNotifier notes;
    const auto path = dir / "ship.vnp";
    WriteFile(path, Str("old"));
    {
        const COutputFile::WriteFunction previous = COutputFile::s_pfnWrite;
        COutputFile::s_pfnWrite = [](platform::CFile&, const void*, std::size_t) -> long {
            platform::SetLastFileError("No space left on device"); // a full disk
            return -1;
        };
        EXPECT_FALSE(CProjectWriter(path.string(), &model, nullptr).Write(TestLog()));
        COutputFile::s_pfnWrite = previous;
    }
    EXPECT_EQ(notes.m_events.back(),
              "Error: Could not write output file: " + path.string() + "\n\nNo space left on device");
    EXPECT_EQ(ReadWholeFile(path), std::string("old") + '\0');

    // A write its user stops fails the same way, but without a word.
    struct Stop final : IProgress
    {
        bool Continue(std::uint64_t, std::uint64_t) override { return false; }
    } stop;
    CProjectWriter stopped(path.string(), &model, nullptr);
    stopped.SetProgress(&stop);
    notes.m_events.clear();
    EXPECT_FALSE(stopped.Write(TestLog()) || !stopped.IsStopped() || !notes.m_events.empty());
    EXPECT_EQ(ReadWholeFile(path), std::string("old") + '\0');
    ASSERT_TRUE(CProjectWriter(path.string(), &model, nullptr).Write(TestLog()));
    EXPECT_EQ(ReadWholeFile(path), Text(model));
    platform::FinishRemovals(); // the stopped write's temporary file goes on another thread
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// Corner normals take the corners' order a, c, b, a; a corner whose normal
// is its vertex's has that text too.
TEST(ProjectWriter, CornerNormalsFollowTheCornerOrder)
{
    C3dsModel model = LoadOk(File({Material("A"), Object(Triangle1())}));
    model.m_meshes[0].Data().cornerNormals = {
        {1, 0, 0}, model.m_meshes[0].Data().vertexNormals[1], {0, 0, 0.5f}};
    EXPECT_NE(Text(model).find("\r\n1.0000, 0.0000, 0.0000\r\n0.0000, 0.0000, 0.5000\r\n0.0000, 0.0000, "
                               "-1.0000\r\n1.0000, 0.0000, 0.0000\r\n"),
              std::string::npos);
}
