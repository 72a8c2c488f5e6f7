#include "writer/project_writer.h"

#include "model/c3ds_model.h"
#include "writer/number_format.h"
#include "writer/output_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

// The project file, line by line; every line ends in CR LF. "%i" lines are
// an integer between two blanks (" 3 "), numbers have four decimals.
//
// Header           "v1.1"; LOD 1 mesh count %i; texture count %i.
// Mesh header      name; LOD count %i (2 with a LOD 2 partner, else 1);
// (16 lines)       " 0 ", " 0 ", " 1 ", " 0 "; four "0, 0, 0"; "0";
//                  five "0, 0, 0".
// Section          "LOD 1" or "LOD 2"; face count %i; LOD value %i (1000 or
//                  2000); then one face record per face.
// Face record      "FACE n" (from 1); four positions x, y, z (corners a, c,
// (20 lines)       b, a: the winding turned round, the first corner again);
//                  four mapping pairs u, v ("0, 0" without mapping
//                  coordinates); four vertex normals (or, with smoothing
//                  groups, the corners' own normals); the face normal
//                  turned round; "0, 0, 0" twice; the texture file name
//                  ("default.bmp" without one); "BLANK" three times.
// Texture table    per texture: its name, " 0 ", " 0 ".
//
// A mesh record is its header, its LOD 1 section and, when the LOD 2 model
// has a mesh at the same position, that mesh's LOD 2 section.

namespace
{

bool IsLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

bool HasLineBreak(std::string_view name)
{
    return std::any_of(name.begin(), name.end(), IsLineBreak);
}

std::string WithSpaces(std::string_view text)
{
    std::string name(text);
    std::replace_if(name.begin(), name.end(), IsLineBreak, ' ');
    return name;
}

constexpr const char* kDefaultTexture = "default.bmp";

// Number lines with their line ends. Each returns the end of its text; out
// must have room for kMaxLineLength characters.
constexpr std::size_t kMaxLineLength = 3 * kMaxFixed4Length + 6;

char* Separator(char* p)
{
    p[0] = ',';
    p[1] = ' ';
    return p + 2;
}

char* EndLine(char* p)
{
    p[0] = '\r';
    p[1] = '\n';
    return p + 2;
}

char* PairText(char* p, float u, float v)
{
    p = FormatFixed4(p, u);
    p = FormatFixed4(Separator(p), v);
    return EndLine(p);
}

char* TripleText(char* p, const Vector3& v)
{
    p = FormatFixed4(p, v.x);
    p = FormatFixed4(Separator(p), v.y);
    p = FormatFixed4(Separator(p), v.z);
    return EndLine(p);
}

// A normal that overflowed single precision on its way has no direction
// worth writing: it is written as the zero vector.
char* NormalText(char* p, const Vector3& n)
{
    if (std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z))
        return TripleText(p, n);
    constexpr char kZero[] = "0.0000, 0.0000, 0.0000\r\n";
    std::memcpy(p, kZero, sizeof kZero - 1);
    return p + sizeof kZero - 1;
}

// The project text on its way to the sink, in large blocks.
class CTextBuffer
{
public:
    CTextBuffer(IByteSink& sink, IProgress* pProgress, std::uint64_t total)
        : m_sink(sink), m_buffer(kSize), m_pProgress(pProgress), m_nTotal(total)
    {
    }

    // Bytes already with their line ends.
    void Literal(const char* text, std::size_t size)
    {
        Reserve(size);
        std::memcpy(m_pos, text, size);
        m_pos += size;
    }
    template <std::size_t N> void Literal(const char (&text)[N]) { Literal(text, N - 1); }

    // A name followed by the line end. A line break inside the name would
    // put the editor's reading out of step with the records, so each CR or
    // LF byte is written as a space; every other byte as it is.
    void NameLine(std::string_view name)
    {
        Reserve(name.size() + 2);
        for (const char c : name)
            *m_pos++ = IsLineBreak(c) ? ' ' : c;
        m_pos = EndLine(m_pos);
    }

    // An integer alone on a line: " %i ".
    void IntLine(std::int32_t value)
    {
        Reserve(16);
        *m_pos++ = ' ';
        m_pos = FormatInt(m_pos, value);
        *m_pos++ = ' ';
        m_pos = EndLine(m_pos);
    }

    // Room for size bytes, to be written directly; Commit takes the end of
    // what was written.
    char* Claim(std::size_t size)
    {
        Reserve(size);
        return m_pos;
    }
    void Commit(char* end) { m_pos = end; }

    [[nodiscard]] bool Finish()
    {
        Flush();
        return !m_bFailed;
    }

    // Faces written, for the progress asked at each block.
    void AddDone(std::int32_t faces) { m_nDone += static_cast<std::uint64_t>(faces); }
    bool IsStopped() const { return m_bStopped; }
    bool IsFailed() const { return m_bFailed; }

private:
    // Blocks of 1 MiB: fewer, larger writes than the file system needs to
    // take the text at full speed.
    static constexpr std::size_t kSize = 1 << 20;

    // Room for size more bytes; every piece of text is far shorter than
    // the buffer (a name has at most 255 bytes).
    void Reserve(std::size_t size)
    {
        if (static_cast<std::size_t>(m_buffer.data() + kSize - m_pos) < size)
            Flush();
    }

    void Flush()
    {
        // After a failure the rest is formatted and dropped; the caller
        // learns of it from Finish. A stop is asked for before a block
        // goes out, so a stopped write never reaches the file's end.
        if (!m_bFailed && m_pProgress && !m_pProgress->Continue(m_nDone, m_nTotal))
            m_bFailed = m_bStopped = true;
        if (!m_bFailed && m_pos != m_buffer.data() &&
            !m_sink.Put(m_buffer.data(), static_cast<std::size_t>(m_pos - m_buffer.data())))
            m_bFailed = true;
        m_pos = m_buffer.data();
    }

    IByteSink& m_sink;
    std::vector<char> m_buffer;
    char* m_pos = m_buffer.data();
    bool m_bFailed = false;
    IProgress* m_pProgress;
    const std::uint64_t m_nTotal;
    std::uint64_t m_nDone = 0;
    bool m_bStopped = false;
};

// The text of every vertex of one mesh, made once: its position line, its
// mapping-coordinate line and its normal line. A vertex is a corner of
// about six faces, each of which copies these bytes rather than formatting
// the numbers again.
class VertexText
{
public:
    // multiplier, when given, scales each position as Scale would have.
    VertexText(const MeshObject& mesh, const std::optional<float>& multiplier)
    {
        const auto count = static_cast<std::size_t>(mesh.vertexCount);
        const bool bMapped = mesh.mapCoordCount > 0;
        const MeshData& data = mesh.Data();
        m_lines.reserve(count * 3 + 1);
        m_text.reserve(count * (bMapped ? 72 : 56));
        char line[kMaxLineLength];
        for (std::size_t v = 0; v < count; ++v)
        {
            Vector3 position = data.vertices[v];
            if (multiplier)
            {
                position.x = position.x * *multiplier;
                position.y = position.y * *multiplier;
                position.z = position.z * *multiplier;
            }
            Add(line, TripleText(line, position));
            if (bMapped)
                Add(line, PairText(line, data.mapCoords[v].u, data.mapCoords[v].v));
            else
                Add(line, line); // no line: the face writes its literal zeros
            Add(line, NormalText(line, data.vertexNormals[v]));
        }
        m_lines.push_back(static_cast<std::uint32_t>(m_text.size()));
        m_text.append(kCopySlack, '\0');
    }

    // Copies line kind (0 position, 1 mapping, 2 normal) of vertex v to
    // out, which has room for kCopySlack bytes more than the line; returns
    // the end of the line there. Short lines, nearly all, are copied as a
    // block of fixed size, which the slack makes safe at both ends.
    char* CopyLine(char* out, std::uint32_t v, int kind) const
    {
        const std::size_t i = std::size_t{v} * 3 + static_cast<std::size_t>(kind);
        const std::uint32_t begin = m_lines[i];
        const std::uint32_t length = m_lines[i + 1] - begin;
        if (length <= kCopySlack)
            std::memcpy(out, m_text.data() + begin, kCopySlack);
        else
            std::memcpy(out, m_text.data() + begin, length);
        return out + length;
    }

    static constexpr std::size_t kCopySlack = 64;

private:
    void Add(const char* begin, const char* end)
    {
        m_lines.push_back(static_cast<std::uint32_t>(m_text.size()));
        m_text.append(begin, end);
    }

    std::string m_text;
    std::vector<std::uint32_t> m_lines; // where each line starts in m_text, and the end
};

// The texture file a material's faces name: its map, or the default.
const std::string& TextureOf(const MaterialEntry& material)
{
    static const std::string s_default = kDefaultTexture;
    return material.mapName.empty() ? s_default : material.mapName;
}

// One face record: the corners a, c, b, a (the winding turned round, the
// first corner repeated), the face normal turned round, the texture name
// ("default.bmp" for a material without a texture).
void WriteFace(CTextBuffer& out, const MeshData& data, bool bMapped, const VertexText& text, std::int32_t f,
               const std::vector<std::string>& textureLines)
{
    const FaceEntry& face = data.faces[static_cast<std::size_t>(f)];
    const std::uint32_t corners[4] = {face.vertexIndex[0], face.vertexIndex[2], face.vertexIndex[1],
                                      face.vertexIndex[0]};

    // Room for the whole record but its texture name: the face line, four
    // lines of each kind, the face normal, the literal lines, and the
    // slack of the line copies.
    char* p = out.Claim(32 + 13 * kMaxLineLength + 64 + VertexText::kCopySlack);
    std::memcpy(p, "FACE ", 5);
    p = EndLine(FormatInt(p + 5, f + 1));
    for (const std::uint32_t v : corners)
        p = text.CopyLine(p, v, 0);
    if (bMapped)
    {
        for (const std::uint32_t v : corners)
            p = text.CopyLine(p, v, 1);
    }
    else
    {
        constexpr char kNoMapping[] = "0, 0\r\n0, 0\r\n0, 0\r\n0, 0\r\n";
        std::memcpy(p, kNoMapping, sizeof kNoMapping - 1);
        p += sizeof kNoMapping - 1;
    }
    if (data.cornerNormals.empty())
    {
        for (const std::uint32_t v : corners)
            p = text.CopyLine(p, v, 2);
    }
    else
    {
        // The smoothing groups gave each corner its own normal; where it is
        // the vertex's (a smooth surface), that text is made already.
        constexpr int kCornerOfLine[4] = {0, 2, 1, 0};
        for (int i = 0; i < 4; ++i)
        {
            const Vector3& normal = data.cornerNormals[static_cast<std::size_t>(f) * 3 + kCornerOfLine[i]];
            if (std::memcmp(&normal, &data.vertexNormals[corners[i]], sizeof normal) == 0)
                p = text.CopyLine(p, corners[i], 2);
            else
                p = NormalText(p, normal);
        }
    }

    Vector3 faceNormal;
    ScaleVector(data.faceNormals[static_cast<std::size_t>(f)], -1.0f, faceNormal);
    p = NormalText(p, faceNormal);
    constexpr char kZeroLines[] = "0, 0, 0\r\n0, 0, 0\r\n";
    std::memcpy(p, kZeroLines, sizeof kZeroLines - 1);
    out.Commit(p + sizeof kZeroLines - 1);

    const std::string& tail = textureLines.at(static_cast<std::size_t>(face.materialIndex));
    out.Literal(tail.data(), tail.size());
}

// The last lines of the face records of each material: its texture name
// (with spaces for line breaks) and the three "BLANK" lines.
std::vector<std::string> TextureLines(const std::vector<MaterialEntry>& materials)
{
    std::vector<std::string> lines;
    lines.reserve(materials.size());
    for (const MaterialEntry& material : materials)
        lines.push_back(WithSpaces(TextureOf(material)) + "\r\nBLANK\r\nBLANK\r\nBLANK\r\n");
    return lines;
}

// A section: the level line, the face count, the LOD value, the faces. The
// LOD 1 and LOD 2 sections differ only in these arguments.
void WriteSection(CTextBuffer& out, const char* levelLine, std::int32_t lodValue, const MeshObject& mesh,
                  const std::vector<std::string>& textureLines, const std::optional<float>& multiplier)
{
    out.Literal(levelLine, std::strlen(levelLine));
    out.IntLine(mesh.faceCount);
    out.IntLine(lodValue);
    if (out.IsFailed())
        return;
    const VertexText text(mesh, multiplier);
    const MeshData& data = mesh.Data();
    const bool bMapped = mesh.mapCoordCount > 0;
    // A failed or stopped write formats nothing more: the rest of a big
    // file would hold up the stop for a second.
    for (std::int32_t f = 0; f < mesh.faceCount && !out.IsFailed(); ++f)
        WriteFace(out, data, bMapped, text, f, textureLines);
    out.AddDone(mesh.faceCount);
}

} // namespace

CProjectWriter::CProjectWriter(const std::string& outputPath, const C3dsModel* pLod1, const C3dsModel* pLod2)
    : m_pLod1(pLod1), m_pLod2(pLod2), m_szOutputPath(outputPath), m_bHasLod2(pLod2 != nullptr)
{
    // Each LOD 1 material adds one entry, duplicates included: the editor
    // numbers the textures the way the materials are numbered.
    for (const MaterialEntry& material : m_pLod1->m_materials)
        m_textures.push_back({TextureOf(material)});
    if (m_bHasLod2)
    {
        // LOD 2 adds only names not listed yet, compared byte for byte. A
        // set of the listed names gives the answer of a search through the
        // table without its quadratic cost on files of many materials.
        std::unordered_set<std::string> listed;
        for (const TextureEntry& entry : m_textures)
            listed.insert(entry.name);
        for (const MaterialEntry& material : m_pLod2->m_materials)
            if (listed.insert(TextureOf(material)).second)
                m_textures.push_back({TextureOf(material)});
    }
    m_nTextureCount = static_cast<std::int32_t>(m_textures.size());
}

void CProjectWriter::WarnOfLineBreaks(platform::CMessageLog& log) const
{
    // Once per model, naming every mesh and material whose written name
    // (the mesh's own, the material's texture file) has a line break.
    const std::pair<const C3dsModel*, const char*> models[] = {{m_pLod1, "LOD 1"}, {m_pLod2, "LOD 2"}};
    for (const auto& [pModel, lod] : models)
    {
        if (pModel == nullptr)
            continue;
        std::string names;
        if (pModel == m_pLod1) // only LOD 1 meshes write their names
            for (const MeshObject& mesh : pModel->m_meshes)
                if (HasLineBreak(mesh.name))
                    names += (names.empty() ? "mesh \"" : ", mesh \"") + WithSpaces(mesh.name) + "\"";
        for (const MaterialEntry& material : pModel->m_materials)
            if (HasLineBreak(material.mapName))
                names += (names.empty() ? "material \"" : ", material \"") + WithSpaces(material.name) + "\"";
        if (!names.empty())
            log.Warning(std::string("Line breaks in names of the ") + lod +
                        " model are written as spaces: " + names);
    }
}

bool CProjectWriter::Write(platform::CMessageLog& log)
{
    WarnOfLineBreaks(log);
    COutputFile file;
    if (!file.Create(m_szOutputPath))
    {
        log.Error("Could not create output file: " + m_szOutputPath + "\n\n" + file.Error());
        return false;
    }
    if (!Emit(file))
    {
        if (m_bStopped)
        {
            file.Abandon();
            return false; // asked for: the user needs no message
        }
        log.Error("Could not write output file: " + m_szOutputPath + "\n\n" + file.Error());
        return false;
    }
    if (!file.Commit())
    {
        log.Error("Could not write output file: " + m_szOutputPath + "\n\n" + file.Error());
        return false;
    }
    return true;
}

bool CProjectWriter::WriteTo(IByteSink& sink, platform::CMessageLog& log)
{
    WarnOfLineBreaks(log);
    return Emit(sink);
}

bool CProjectWriter::Emit(IByteSink& sink)
{
    const std::int32_t lod2MeshCount = m_bHasLod2 ? m_pLod2->m_nMeshCount : 0;
    std::uint64_t faces = 0;
    for (std::int32_t i = 0; i < m_pLod1->m_nMeshCount; ++i)
    {
        faces += static_cast<std::uint64_t>(m_pLod1->m_meshes.at(static_cast<std::size_t>(i)).faceCount);
        if (i < lod2MeshCount)
            faces += static_cast<std::uint64_t>(m_pLod2->m_meshes.at(static_cast<std::size_t>(i)).faceCount);
    }
    CTextBuffer out(sink, m_pProgress, faces);
    out.Literal("v1.1\r\n");
    out.IntLine(m_pLod1->m_nMeshCount);
    out.IntLine(m_nTextureCount);

    const std::vector<std::string> lod1TextureLines = TextureLines(m_pLod1->m_materials);
    const std::vector<std::string> lod2TextureLines =
        m_bHasLod2 ? TextureLines(m_pLod2->m_materials) : std::vector<std::string>();
    for (std::int32_t i = 0; i < m_pLod1->m_nMeshCount && !out.IsFailed(); ++i)
    {
        const MeshObject& mesh = m_pLod1->m_meshes.at(static_cast<std::size_t>(i));
        const bool bHasPartner = i < lod2MeshCount;
        out.NameLine(mesh.name);
        out.IntLine(bHasPartner ? 2 : 1);
        out.Literal(" 0 \r\n 0 \r\n 1 \r\n 0 \r\n"
                    "0, 0, 0\r\n0, 0, 0\r\n0, 0, 0\r\n0, 0, 0\r\n0\r\n"
                    "0, 0, 0\r\n0, 0, 0\r\n0, 0, 0\r\n0, 0, 0\r\n0, 0, 0\r\n");
        WriteSection(out, "LOD 1\r\n", 1000, mesh, lod1TextureLines, m_multiplier);
        if (bHasPartner)
            WriteSection(out, "LOD 2\r\n", 2000, m_pLod2->m_meshes.at(static_cast<std::size_t>(i)),
                         lod2TextureLines, m_multiplier);
    }

    for (std::int32_t t = 0; t < m_nTextureCount; ++t)
    {
        out.NameLine(m_textures[static_cast<std::size_t>(t)].name);
        out.Literal(" 0 \r\n 0 \r\n");
    }
    const bool bWritten = out.Finish();
    m_bStopped = out.IsStopped();
    return bWritten;
}
