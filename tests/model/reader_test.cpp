#include "test_support.h"

#include "platform/file_system.h"
#include "platform/progress.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>
#include <limits>
#include <streambuf>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace build3ds;
using platform::MessageKind;
using platform::MessageOwner;

namespace
{

// Loads a file that must be refused as damaged: one message that names the
// file and the detail, and an empty model.
void ExpectDamaged(const Bytes& bytes, const std::string& detail)
{
    RecordingNotifier notes;
    C3dsModel model;
    EXPECT_FALSE(LoadBytes(model, bytes, "bad.3ds"));
    ASSERT_EQ(notes.m_messages.size(), 1u);
    const std::string& text = notes.m_messages[0].text;
    EXPECT_EQ(text.rfind("The file bad.3ds is damaged and cannot be converted:", 0), 0u) << text;
    EXPECT_NE(text.find(detail), std::string::npos) << text;
    EXPECT_EQ(notes.m_messages[0].kind, MessageKind::Error);
    EXPECT_TRUE(model.m_meshes.empty() && model.m_materials.empty() && model.m_nMeshCount == 0);
}

Bytes Editor(std::initializer_list<Bytes> children)
{
    return Chunk(kChunkPrimary, {Chunk(kChunkEditor, children)});
}

Mesh TwoFaces(std::vector<std::pair<std::string, std::vector<std::uint16_t>>> groups)
{
    Mesh mesh;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    mesh.faces = {{0, 1, 2}, {1, 3, 2}};
    mesh.groups = std::move(groups);
    return mesh;
}

// A stream of size bytes that start with head and go on with zeros,
// counting the bytes the reader takes: a file of gigabytes that costs
// nothing until it is read.
class LargeStream : public std::streambuf
{
public:
    LargeStream(Bytes head, std::uint64_t size) : m_head(std::move(head)), m_nSize(size) {}
    std::uint64_t m_nServed = 0;

protected:
    pos_type seekoff(off_type offset, std::ios::seekdir way, std::ios::openmode) override
    {
        const std::uint64_t base = way == std::ios::beg ? 0 : way == std::ios::end ? m_nSize : m_nPos;
        m_nPos = base + static_cast<std::uint64_t>(offset);
        return static_cast<off_type>(m_nPos);
    }
    pos_type seekpos(pos_type position, std::ios::openmode mode) override
    {
        return seekoff(off_type(position), std::ios::beg, mode);
    }
    std::streamsize xsgetn(char* buffer, std::streamsize count) override
    {
        const auto n = static_cast<std::size_t>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(count), m_nSize - m_nPos));
        for (std::size_t i = 0; i < n; ++i)
            buffer[i] = m_nPos + i < m_head.size() ? static_cast<char>(m_head[m_nPos + i]) : 0;
        m_nPos += n;
        m_nServed += n;
        return static_cast<std::streamsize>(n);
    }
    int_type underflow() override { return traits_type::eof(); }

private:
    Bytes m_head;
    std::uint64_t m_nSize;
    std::uint64_t m_nPos = 0;
};

// Records what it is told and says to stop at its stopAt-th question.
class RecordingProgress final : public IProgress
{
public:
    explicit RecordingProgress(std::size_t stopAt = 0) : m_nStopAt(stopAt) {}
    bool Continue(std::uint64_t done, std::uint64_t total) override
    {
        m_calls.emplace_back(done, total);
        return m_calls.size() != m_nStopAt;
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_calls;

private:
    std::size_t m_nStopAt;
};

} // namespace

TEST(Reader, MissingAndForeignFilesGetTheirOwnMessages)
{
    RecordingNotifier notes;
    C3dsModel model;
    EXPECT_FALSE(model.Load("/no/such/dir/ship.3ds", TestLog()));
    for (const Bytes& bytes : {Bytes{}, Str("a text file"), Bytes{0x4D, 0x4D, 6, 0}, Chunk(kChunkEditor)})
        EXPECT_FALSE(LoadBytes(model, bytes, "x.3ds"));
    ASSERT_EQ(notes.m_messages.size(), 5u);
    EXPECT_EQ(notes.m_messages[0].text, "Unable to find the file: /no/such/dir/ship.3ds");
    EXPECT_EQ(notes.m_messages[0].owner, MessageOwner::ActiveWindow);
    EXPECT_EQ(notes.m_messages[4].text,
              "Unable to load PRIMARY chunk from file: x.3ds    \n\nNot a valid 3ds file");
    EXPECT_EQ(notes.m_messages[4].owner, MessageOwner::None);
}

// The header is read first: a file of gigabytes that is no model, or that
// claims more than it has, costs its first bytes and no more, with the
// messages a whole read gave.
TEST(Reader, RefusesByTheHeaderBeforeReadingTheRest)
{
    const std::uint64_t twoGigabytes = std::uint64_t{2} << 30;
    const Bytes claimsTooMuch = Cat({U16(kChunkPrimary), U32(0xFFFFFFF0u)});
    const Bytes tooShort = Cat({U16(kChunkPrimary), U32(5)});
    for (const Bytes& head : {Bytes{}, claimsTooMuch, tooShort})
    {
        RecordingNotifier notes;
        LargeStream buffer(head, head.empty() ? twoGigabytes : 1 << 20);
        std::istream stream(&buffer);
        C3dsModel model;
        EXPECT_FALSE(model.Load(stream, "big.3ds", TestLog()));
        EXPECT_LE(buffer.m_nServed, 64u);
        EXPECT_FALSE(model.IsStopped());
        ASSERT_EQ(notes.m_messages.size(), 1u);
        const std::string& text = notes.m_messages[0].text;
        if (head.empty())
            EXPECT_EQ(text, "Unable to load PRIMARY chunk from file: big.3ds    \n\nNot a valid 3ds file");
        else
            EXPECT_NE(text.find(head == tooShort ? "the main chunk is shorter than its header"
                                                 : "the file ends before the end of its main chunk"),
                      std::string::npos)
                << text;
    }

    // Bytes after the main chunk are neither read nor looked at.
    const Bytes file = File({Material("A"), Object(Cube())});
    LargeStream buffer(file, twoGigabytes);
    std::istream stream(&buffer);
    C3dsModel model;
    EXPECT_TRUE(model.Load(stream, "trailing.3ds", TestLog()));
    EXPECT_EQ(buffer.m_nServed, file.size());
}

// The progress hears of the bytes as they arrive and of every object; a
// stop ends the load without a word, told apart from a failure.
TEST(Reader, ProgressIsAskedWhileReadingAndCanStopQuietly)
{
    const Bytes large = File({Material("A"), Object(Cube("One")), Chunk(0x1234, {Zeros(5 << 20)}),
                              Object(Cube("Two")), Object(Cube("Three"))});
    {
        RecordingProgress progress;
        C3dsModel model;
        auto stream = AsStream(large);
        ASSERT_TRUE(model.Load(stream, "large.3ds", TestLog(), &progress));
        // Two steps of the read, then one question before each object.
        ASSERT_EQ(progress.m_calls.size(), 5u);
        for (const auto& [done, total] : progress.m_calls)
            EXPECT_TRUE(done < total && total == large.size()) << done;
        EXPECT_LT(progress.m_calls[0].first, progress.m_calls[1].first);
        EXPECT_LT(progress.m_calls[2].first, progress.m_calls[4].first);
        EXPECT_FALSE(model.IsStopped());
    }
    for (const std::size_t stopAt : {std::size_t{2}, std::size_t{4}})
    {
        RecordingNotifier notes;
        RecordingProgress progress(stopAt);
        C3dsModel model;
        auto stream = AsStream(large);
        EXPECT_FALSE(model.Load(stream, "large.3ds", TestLog(), &progress));
        EXPECT_TRUE(model.IsStopped());
        EXPECT_EQ(progress.m_calls.size(), stopAt);
        EXPECT_TRUE(notes.m_messages.empty());
        EXPECT_TRUE(model.m_meshes.empty() && model.m_nMeshCount == 0);
    }
    // A damaged file is a failure, not a stop, also after a stopped load.
    RecordingNotifier notes;
    C3dsModel model;
    RecordingProgress stop(1);
    auto first = AsStream(large);
    EXPECT_FALSE(model.Load(first, "large.3ds", TestLog(), &stop));
    EXPECT_FALSE(LoadBytes(model, Cat({U16(kChunkPrimary), U32(5)})));
    EXPECT_FALSE(model.IsStopped());
    EXPECT_EQ(notes.m_messages.size(), 1u);
}

#ifndef _WIN32
// A pipe put where the model was is opened without waiting for a writer,
// and refused as no file; the facts of what was opened come from it.
TEST(Reader, OpensWithoutWaitingAndChecksWhatItOpened)
{
    TempDir dir;
    const std::string fifo = (dir / "swapped.3ds").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto opened = std::async(std::launch::async, [&] {
        platform::CFile file;
        platform::FileFacts facts;
        bool bRegular = true;
        const bool bOpen = platform::detail::OpenAndCheck(fifo, file, facts, bRegular);
        return !bOpen && !bRegular && !file.IsOpen();
    });
    if (opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
    {
        ADD_FAILURE() << "opening a pipe waited for a writer";
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // lets the open return
        opened.wait();
        ::close(writer);
    }
    else
        EXPECT_TRUE(opened.get());

    RecordingNotifier notes;
    C3dsModel model;
    EXPECT_FALSE(model.Load(fifo.c_str(), TestLog()));
    ASSERT_EQ(notes.m_messages.size(), 1u);
    EXPECT_EQ(notes.m_messages[0].text,
              "Unable to read " + fifo +
                  ": it is not a file (a folder, a pipe or a device cannot be converted)");

    // A model is read through the same call, and its size is the open file's.
    const Bytes file = File({Material("A"), Object(Cube())});
    WriteFile(dir / "ok.3ds", Cat({file, Zeros(100)}));
    platform::CFile opened2;
    platform::FileFacts facts;
    std::string reason;
    bool bNotFound = true;
    ASSERT_TRUE(platform::OpenForReading((dir / "ok.3ds").string(), opened2, facts, reason, bNotFound));
    EXPECT_EQ(facts.size, file.size() + 100);
    EXPECT_TRUE(reason.empty() && !bNotFound);
    EXPECT_TRUE(model.Load((dir / "ok.3ds").string().c_str(), TestLog()));
}
#endif

TEST(Reader, VersionAboveThreeWarnsAndLoads)
{
    RecordingNotifier notes;
    // Only the low 16 bits count; a long version chunk is read to its end.
    for (const std::uint32_t version : {4u, 3u, 0x10003u})
        EXPECT_EQ(LoadOk(Chunk(kChunkPrimary, {Version(version), Chunk(kChunkVersion, {U32(3), Zeros(36)}),
                                               Chunk(kChunkEditor, {Material("M"), Object(Cube())})}))
                      .m_nMeshCount,
                  1);
    EXPECT_EQ(notes.m_events, std::vector<std::string>{
                                  "Warning: This 3DS file is over version 3 so it may load incorrectly"});
}

TEST(Reader, WalksEveryLevelInFileOrderAndSkipsTheRest)
{
    // A material takes its name and its first texture map only.
    const Bytes bumpOnly =
        Chunk(kChunkMaterial,
              {Chunk(kChunkMaterialName, {Bytes{'B', 'u', 'm', 'p'}}),
               Chunk(kChunkBumpMap, {Chunk(kChunkMapFileName, {Str("bump.bmp")})}),
               Chunk(kChunkMapFileName, {Str("first.bmp")}), Chunk(kChunkMapFileName, {Str("last.bmp")})});
    const Bytes file =
        Chunk(kChunkPrimary,
              {Chunk(0x1234, {Zeros(10)}), Material("Top", "top.bmp"), Object(Triangle1("First")), bumpOnly,
               Chunk(kChunkEditor, {Object("Lamp", {Chunk(kChunkLight, {Zeros(12)})}), Material("Inner"),
                                    Object("Box", {Chunk(kChunkLocalAxes, {Zeros(48)}),
                                                   Chunk(kChunkTriMesh, {VertexList({{1, 2, 3}})})})}),
               Chunk(kChunkKeyframer, {Chunk(0xB002, {Zeros(30)})})});
    Bytes withTail = file;
    const Bytes tail = Object(Cube());
    withTail.insert(withTail.end(), tail.begin(), tail.end()); // after the main chunk: never read
    C3dsModel model = LoadOk(withTail);
    ASSERT_EQ(model.m_nMeshCount, 3);
    // The lamp holds no arrays, and the normals give it none: millions of
    // such objects cost their records alone.
    model.ComputeNormals();
    model.ComputeCornerNormals(TestLog());
    EXPECT_FALSE(model.m_meshes[1].HasData());
    EXPECT_EQ(model.m_meshes[0].name.Str() + model.m_meshes[1].name + model.m_meshes[2].name, "FirstLampBox");
    EXPECT_EQ(model.m_meshes[2].Data().vertices.at(0).z, 3.0f);
    ASSERT_EQ(model.m_nMaterialCount, 3);
    EXPECT_EQ(model.m_materials[0].mapName, "top.bmp");
    EXPECT_EQ(model.m_materials[1].name + "|" + model.m_materials[1].mapName,
              "Bump|last.bmp"); // no zero: to the end
    EXPECT_EQ(model.m_materials[2].name + "|" + model.m_materials[2].mapName, "Inner|");
}

TEST(Reader, MaterialGroupsFindTheFirstMaterialOfTheirExactName)
{
    const Bytes materials = Cat({Material("A"), Material("B"), Material("C"), Material("C", "second.bmp")});
    const auto faces = [&](const Mesh& mesh) {
        const C3dsModel model = LoadOk(File({materials, Object(mesh)}));
        return std::pair{model.m_meshes[0].Data().faces[0].materialIndex,
                         model.m_meshes[0].Data().faces[1].materialIndex};
    };
    EXPECT_EQ(faces(TwoFaces({{"C", {1}}})), std::pair(0, 2));
    EXPECT_EQ(faces(TwoFaces({{"b", {0, 1}}})), std::pair(0, 0));             // letter case counts
    EXPECT_EQ(faces(TwoFaces({{"B", {0, 1}}, {"A", {1}}})), std::pair(1, 0)); // the later group wins
    EXPECT_EQ(faces(TwoFaces({{"B", {0, 7, 65535}}})), std::pair(1, 0));      // no such face: passed over

    // A group before the face list names nothing.
    const Bytes early =
        Object("Early",
               {Chunk(kChunkTriMesh, {MaterialGroup("B", {0}), VertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                                      FaceList({{0, 1, 2}}), Chunk(kChunkSmoothGroup, {U32(1)})})});
    EXPECT_EQ(LoadOk(File({Material("A"), Material("B"), early})).m_meshes[0].Data().faces[0].materialIndex,
              0);
}

TEST(Reader, LongNamesAndSurplusDataKeepTheWalkInStep)
{
    const std::string longName(300, 'n');
    Mesh first = Triangle1(longName);
    first.groups = {{longName, {0}}};
    const Bytes surplus = Object(
        "Tri", {Chunk(kChunkTriMesh,
                      {Chunk(kChunkVertexList, {U16(3), Zeros(36), F32(7), Zeros(16)}), FaceList({{0, 1, 2}}),
                       Chunk(kChunkMapCoords, {U16(3), Zeros(24), F32(99), F32(99)})})});
    const C3dsModel model =
        LoadOk(File({Material("A"), Material(longName, std::string(280, 'm')), Object(first), surplus}));
    ASSERT_EQ(model.m_nMeshCount, 2);
    EXPECT_EQ(model.m_meshes[0].name, std::string(255, 'n'));
    // Names up to 15 bytes are kept in place, longer ones apart; copies,
    // moves and a name given its own text keep every byte.
    for (const std::string& name : {std::string(), std::string(15, 'a'), std::string(16, 'b'), longName})
    {
        MeshObject mesh;
        mesh.name = name;
        MeshObject copy = mesh;
        const MeshObject moved = std::move(copy);
        mesh = moved;
        mesh.name = mesh.name.View();
        EXPECT_EQ(moved.name, name);
        EXPECT_EQ(mesh.name, name);
    }
    EXPECT_EQ(model.m_materials[1].name, std::string(255, 'n'));
    EXPECT_EQ(model.m_materials[1].mapName, std::string(255, 'm'));
    EXPECT_EQ(model.m_meshes[0].Data().faces[0].materialIndex, 1); // the group's name is cut the same way
    EXPECT_EQ(model.m_meshes[1].Data().vertices.size() + model.m_meshes[1].Data().mapCoords.size(), 6u);
}

TEST(Reader, BrokenStructureAndCountsAreDamage)
{
    ExpectDamaged(Editor({ChunkWithLength(0x1234, 5)}), "shorter than its own header");
    ExpectDamaged(Editor({ChunkWithLength(0x1234, 0), Zeros(10)}), "shorter than its own header");
    ExpectDamaged(Editor({ChunkWithLength(0x1234, 100, {Zeros(10)})}), "runs past the end of the chunk");
    ExpectDamaged(ChunkWithLength(kChunkPrimary, 1000, {Material("A")}), "ends before");
    ExpectDamaged(ChunkWithLength(kChunkPrimary, 5, {}), "shorter than its header");
    ExpectDamaged(Chunk(kChunkPrimary, {Material("A"), Zeros(3)}), "ends inside");
    ExpectDamaged(Editor({Chunk(kChunkObject, {Bytes{'a', 'b', 'c'}})}), "runs past its end");
    ExpectDamaged(File({Object("Big", {Chunk(kChunkVertexList, {U16(65535), Zeros(12)})})}),
                  "\"Big\" has fewer vertex");
    ExpectDamaged(File({Object("Big", {Chunk(kChunkMapCoords, {U16(1000), Zeros(8)})})}), "fewer mapping");
    ExpectDamaged(File({Object("Big", {Chunk(kChunkFaceList, {U16(9), Zeros(16)})})}), "fewer faces");
    ExpectDamaged(File({Object("Big", {VertexList({{0, 0, 0}}), FaceList({{0, 0, 0}}),
                                       Chunk(kChunkFaceMaterial, {Str("A"), U16(500), U16(0)})})}),
                  "material group with fewer faces");
    const auto nested = [](int levels) {
        return Chunk(kChunkPrimary, {Nested(kChunkEditor, levels, Material("A"))});
    };
    EXPECT_EQ(LoadOk(nested(62)).m_nMaterialCount, 1);
    ExpectDamaged(nested(63), "64 levels");
    ExpectDamaged(nested(10000), "64 levels");
}

TEST(Reader, IndicesAndNumbersThatTheWriterCannotUseAreDamage)
{
    Mesh outOfRange = Triangle1("Wing");
    outOfRange.faces = {{0, 1, 2}, {0, 3, 1}};
    ExpectDamaged(File({Material("A"), Object(outOfRange)}),
                  "mesh \"Wing\": face 2 uses vertex 3, but the mesh has 3 vertices (an object of more than "
                  "65,535 vertices, which the format cannot hold, gives this when saved)");
    Mesh fewCoords = Triangle1("Tail");
    fewCoords.mapCoords.pop_back();
    ExpectDamaged(File({Material("A"), Object(fewCoords)}),
                  "mesh \"Tail\" has mapping coordinates for 2 of its 3");
    Mesh position = Triangle1("Nose"), coord = Triangle1("Nose");
    position.vertices[1].y = std::numeric_limits<float>::quiet_NaN();
    coord.mapCoords[2].u = -std::numeric_limits<float>::infinity();
    ExpectDamaged(File({Material("A"), Object(position)}), "vertex position that is not a finite number");
    ExpectDamaged(File({Material("A"), Object(coord)}), "mapping coordinate that is not a finite number");
}

// Every prefix of a valid file, with the main chunk's length set to the
// prefix's, so that the walk itself meets the cut: a model or one message,
// never more, never a crash.
TEST(Reader, EveryPrefixEndsCleanly)
{
    Mesh mesh = Cube();
    mesh.groups = {{"B", {1, 3}}};
    const Bytes file =
        File({Material("A", "a.bmp"), Material("B"), Object(mesh), Chunk(kChunkKeyframer, {Zeros(8)})});
    for (std::size_t size = 0; size < file.size(); ++size)
    {
        Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        for (std::size_t i = 0; i < 4 && i + 2 < prefix.size(); ++i)
            prefix[2 + i] = static_cast<unsigned char>(size >> (8 * i));
        RecordingNotifier notes;
        C3dsModel model;
        const bool bLoaded = LoadBytes(model, prefix);
        EXPECT_EQ(notes.m_messages.size(), bLoaded ? 0u : 1u) << size;
        EXPECT_TRUE(bLoaded || model.m_meshes.empty()) << size;
    }
}

// Smoothing groups are read inside the face list and beside it; the sign
// of the local axes' determinant tells a mirrored object, and one warning
// names them all.
TEST(Reader, SmoothingGroupsAndMirroredObjects)
{
    using Axes = std::array<float, 9>;
    const auto object = [](const std::string& name, Axes rows, Bytes groups, bool bInside) {
        Bytes axes;
        for (const float value : rows)
            axes = Cat({axes, F32(value)});
        axes = Cat({axes, Zeros(12)});
        const Bytes smooth = Chunk(kChunkSmoothGroup, {groups});
        return Object(name, {Chunk(kChunkTriMesh, {VertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}),
                                                   bInside ? FaceList({{0, 1, 2}, {1, 3, 2}}, {smooth})
                                                           : Cat({FaceList({{0, 1, 2}, {1, 3, 2}}), smooth}),
                                                   Chunk(kChunkLocalAxes, {axes})})});
    };
    RecordingNotifier notes;
    const C3dsModel model = LoadOk(File(
        {Material("A"), object("In", {-1, 0, 0, 0, 1, 0, 0, 0, 0.5f}, Cat({U32(5), U32(0x80000000)}), true),
         object("Beside", {1, 0, 0, 0, 1, 0, 0, 0, 0.5f}, Cat({U32(1), U32(2), U32(3)}), false),
         object("Back", {-2, 0, 0, 0, 1, 0, 0, 0, 0.5f}, {}, true),
         object("Flat", {0, 0, 0, 0, 1, 0, 0, 0, 0.5f}, {}, true),
         // Turned a quarter about z, about x: the diagonal is
         // zero, the axes' handedness is what counts.
         object("Turned", {0, 1, 0, -1, 0, 0, 0, 0, 1}, {}, true),
         object("TurnedOverX", {1, 0, 0, 0, 0, 1, 0, -1, 0}, {}, true),
         object("TurnedMirrored", {0, 1, 0, 1, 0, 0, 0, 0, 1}, {}, true),
         object("TurnedOverXMirrored", {-1, 0, 0, 0, 0, 1, 0, -1, 0}, {}, true)}));
    EXPECT_EQ(model.m_meshes[0].Data().smoothGroups, (std::vector<std::uint32_t>{5, 0x80000000}));
    EXPECT_EQ(model.m_meshes[1].Data().smoothGroups, (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(notes.m_events, (std::vector<std::string>{
                                  "Warning: Meshes \"In\", \"Back\", \"TurnedMirrored\", "
                                  "\"TurnedOverXMirrored\" were mirrored; their faces may show their back"}));
}
