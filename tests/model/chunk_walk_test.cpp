#include "platform/text_path.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace build3ds;
using platform::MessageKind;
using platform::MessageOwner;

TEST(ChunkWalk, MissingFileIsReportedWithItsPath)
{
    platform::RecordingBackend notes;
    C3dsModel model;
    EXPECT_FALSE(model.Load("/no/such/dir/ship.3ds"));
    ASSERT_EQ(notes.m_messages.size(), 1u);
    EXPECT_EQ(notes.m_messages[0].text, "Unable to find the file: /no/such/dir/ship.3ds");
    EXPECT_EQ(notes.m_messages[0].caption, "Error");
    EXPECT_EQ(notes.m_messages[0].kind, MessageKind::Exclamation);
    EXPECT_EQ(notes.m_messages[0].owner, MessageOwner::ActiveWindow);
    EXPECT_EQ(model.m_nMeshCount, 0);
}

TEST(ChunkWalk, FilesWithoutPrimaryChunkAreNotValid)
{
    const std::string expected = "Unable to load PRIMARY chunk from file: x.3ds    \n\nNot a valid 3ds file";
    for (const Bytes& bytes : {Bytes{}, Str("hello, this is a text file"), Bytes{0x4D, 0x4D, 6, 0},
                               Chunk(kChunkEditor)})
    {
        platform::RecordingBackend notes;
        C3dsModel model;
        EXPECT_FALSE(LoadBytes(model, bytes, "x.3ds"));
        ASSERT_EQ(notes.m_messages.size(), 1u);
        EXPECT_EQ(notes.m_messages[0].text, expected);
        EXPECT_EQ(notes.m_messages[0].owner, MessageOwner::None);
    }
}

TEST(ChunkWalk, EmptyPrimaryChunkGivesEmptyModel)
{
    platform::RecordingBackend notes;
    C3dsModel model;
    ASSERT_TRUE(LoadBytes(model, Bytes{0x4D, 0x4D, 6, 0, 0, 0}));
    EXPECT_EQ(model.m_nMeshCount, 0);
    EXPECT_EQ(model.m_nMaterialCount, 0);
    EXPECT_TRUE(notes.m_messages.empty());
}

TEST(ChunkWalk, VersionAboveThreeWarnsOnceAndLoads)
{
    for (const std::uint32_t version : {3u, 4u, 0x10003u})
    {
        platform::RecordingBackend notes;
        C3dsModel model;
        const Bytes file = Chunk(kChunkPrimary, {Version(version), Chunk(kChunkEditor, {Material("M"), Object(Cube())})});
        ASSERT_TRUE(LoadBytes(model, file));
        EXPECT_EQ(model.m_nMeshCount, 1);
        EXPECT_EQ(model.m_nMaterialCount, 1);
        if (version == 4)
        {
            ASSERT_EQ(notes.m_messages.size(), 1u);
            EXPECT_EQ(notes.m_messages[0].text, "This 3DS file is over version 3 so it may load incorrectly");
            EXPECT_EQ(notes.m_messages[0].caption, "Warning");
            EXPECT_EQ(notes.m_messages[0].owner, MessageOwner::None);
        }
        else
        {
            EXPECT_TRUE(notes.m_messages.empty()) << version; // only the low 16 bits count
        }
    }
}

TEST(ChunkWalk, SkipsUnknownAndKeyframerChunksByLength)
{
    const Bytes file = Chunk(kChunkPrimary, {Chunk(0x1234, {Zeros(10)}),
                                             Chunk(kChunkEditor, {Chunk(0x0100, {F32(1)}), Material("M"),
                                                                  Object("Box", {Chunk(kChunkLocalAxes, {Zeros(48)}),
                                                                                 Chunk(kChunkTriMesh, {VertexList({{1, 2, 3}})})})}),
                                             Chunk(kChunkKeyframer, {Chunk(0xB002, {Zeros(30)})})});
    C3dsModel model;
    ASSERT_TRUE(LoadBytes(model, file));
    ASSERT_EQ(model.m_nMeshCount, 1);
    EXPECT_EQ(model.m_meshes[0].vertexCount, 1);
    EXPECT_EQ(model.m_meshes[0].vertices[0].z, 3.0f);
}

TEST(ChunkWalk, BytesAfterPrimaryChunkAreIgnored)
{
    Bytes file = File({Material("M"), Object(Triangle1())});
    const Bytes tail = Object(Cube());
    file.insert(file.end(), tail.begin(), tail.end());
    file.push_back(0x4D);
    C3dsModel model;
    ASSERT_TRUE(LoadBytes(model, file));
    EXPECT_EQ(model.m_nMeshCount, 1);
}

TEST(ChunkWalk, ObjectsAndMaterialsAtEitherLevelInFileOrder)
{
    const Bytes file = Chunk(kChunkPrimary, {Material("Top", "top.bmp"), Object(Triangle1("First")),
                                             Chunk(kChunkEditor, {Object("Lamp", {Chunk(kChunkLight, {Zeros(12)})}),
                                                                  Material("Inner"), Object(Cube("Third"))})});
    C3dsModel model;
    ASSERT_TRUE(LoadBytes(model, file));
    ASSERT_EQ(model.m_nMeshCount, 3);
    EXPECT_EQ(model.m_meshes.size(), 3u);
    EXPECT_EQ(model.m_meshes[0].name, "First");
    EXPECT_EQ(model.m_meshes[1].name, "Lamp");
    EXPECT_EQ(model.m_meshes[1].vertexCount, 0);
    EXPECT_EQ(model.m_meshes[1].faceCount, 0);
    EXPECT_TRUE(model.m_meshes[1].vertexNormals.empty());
    EXPECT_EQ(model.m_meshes[2].name, "Third");
    ASSERT_EQ(model.m_nMaterialCount, 2);
    EXPECT_EQ(model.m_materials[0].name, "Top");
    EXPECT_EQ(model.m_materials[0].mapName, "top.bmp");
    EXPECT_EQ(model.m_materials[1].name, "Inner");
    EXPECT_EQ(model.m_materials[1].mapName, "");
}

TEST(ChunkWalk, LoadsFromDiskThroughTheBufferedFile)
{
    TempDir dir;
    WriteFile(dir / "cube.3ds", File({Material("M", "m.bmp"), Object(Cube())}));
    C3dsModel model;
    ASSERT_TRUE(model.Load(platform::Utf8FromPath(dir / "cube.3ds").c_str()));
    EXPECT_EQ(model.m_meshes.at(0).faceCount, 12);
}

// Every prefix of a valid file ends cleanly: either a model or one message.
TEST(ChunkWalk, EveryPrefixOfAValidFileEndsCleanly)
{
    Mesh mesh = Cube();
    mesh.groups = {{"B", {1, 3}}};
    const Bytes file = File({Material("A", "a.bmp"), Material("B"), Object(mesh), Chunk(kChunkKeyframer, {Zeros(8)})});
    for (std::size_t size = 0; size < file.size(); ++size)
    {
        platform::RecordingBackend notes;
        C3dsModel model;
        const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(LoadBytes(model, prefix)) << size;
        EXPECT_EQ(notes.m_messages.size(), 1u) << size;
        EXPECT_EQ(model.m_nMeshCount, 0);
        EXPECT_TRUE(model.m_meshes.empty());
    }
}
