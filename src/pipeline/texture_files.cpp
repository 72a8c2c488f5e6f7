#include "pipeline/texture_files.h"

#include "model/c3ds_model.h"
#include "pipeline/run_guard.h"
#include "platform/text_path.h"
#include "writer/output_file.h"

#include <algorithm>
#include <deque>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace
{

// The listing below the model's folder stops at these bounds, so that a
// model kept in a home folder or at a drive's root does not have the whole
// disk listed. Modellers' texture folders sit one or two levels down.
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxEntries = 200000;

constexpr const char* kDefaultTexture = "default.bmp";

// ASCII letters in lower case, into out (kept between calls, so that the
// listing's many names cost no allocation).
void LowerInto(std::string_view text, std::string& out)
{
    out.assign(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

// A relative path as the file system compares it: Windows does not tell
// letter case apart.
std::string_view PathKey(const std::string& relative, std::string& buffer)
{
#ifdef _WIN32
    LowerInto(relative, buffer);
    return buffer;
#else
    (void)buffer;
    return relative;
#endif
}

// The 8.3 form that 3D Studio and its exporters give a longer file name:
// the name cut to 8 characters and the extension to 3, without blanks.
void ShortFormInto(std::string_view fileName, std::string& out)
{
    out.clear();
    const std::size_t dot = fileName.rfind('.');
    const std::string_view base = fileName.substr(0, dot);
    for (std::size_t i = 0; i < base.size() && out.size() < 8; ++i)
        if (base[i] != ' ')
            out += base[i];
    if (dot == std::string_view::npos)
        return;
    out += '.';
    const std::string_view extension = fileName.substr(dot + 1);
    for (std::size_t i = 0, taken = 0; i < extension.size() && taken < 3; ++i)
        if (extension[i] != ' ')
            out += extension[i], ++taken;
}

// Paths below the model's folder are kept with "/", as the names spell
// them; they take the system's separator only where they meet the system.
std::string JoinRelative(const std::string& folder, std::string_view name)
{
    return folder.empty() ? std::string(name) : folder + "/" + std::string(name);
}

std::string Native(std::string relative)
{
    std::replace(relative.begin(), relative.end(), '/', platform::kSeparator);
    return relative;
}

// Hash maps that take a string_view key without making a string of it:
// the listing looks up every file name it meets.
struct TextHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};
using NameIndex = std::unordered_map<std::string, std::vector<std::size_t>, TextHash, std::equal_to<>>;

// The search for one set of names, fed the listing entry by entry.
class CTextureSearch
{
public:
    CTextureSearch(std::string folder, const std::vector<std::string>& names)
        : m_strFolder(std::move(folder)), m_found(names.size())
    {
        for (std::size_t i = 0; i < names.size(); ++i)
        {
            std::string spelled = names[i];
            std::replace(spelled.begin(), spelled.end(), '\\', '/');
            std::string buffer;
            m_spellings.emplace_back(PathKey(spelled, buffer));
            m_byName[platform::AsciiLower(spelled.substr(spelled.rfind('/') + 1))].push_back(i);
            m_bHasFolder.push_back(spelled.find('/') != std::string::npos);
            m_bWanted.push_back(!spelled.empty()); // no name, nothing to look for
        }
    }

    std::vector<std::optional<TextureFile>> Run()
    {
        std::vector<std::string> folders;
        List("", 0, folders);
        if (!IsDone())
        {
            std::deque<std::pair<std::string, int>> pending;
            for (std::string& folder : folders)
                pending.emplace_back(std::move(folder), 1);
            while (!pending.empty() && m_nEntries <= kMaxEntries)
            {
                auto [folder, depth] = std::move(pending.front());
                pending.pop_front();
                folders.clear();
                List(folder, depth, folders);
                if (depth < kMaxDepth)
                    for (std::string& below : folders)
                        pending.emplace_back(std::move(below), depth + 1);
            }
        }
        std::vector<std::optional<TextureFile>> files;
        for (const Found& found : m_found)
        {
            const Candidate* pBest = found.exact         ? &*found.exact
                                     : found.byName      ? &*found.byName
                                     : found.byShortName ? &*found.byShortName
                                                         : nullptr;
            if (!pBest)
            {
                files.emplace_back();
                continue;
            }
            std::string relative = Native(pBest->relative);
            std::string path = platform::JoinPath(m_strFolder, relative);
            files.push_back(TextureFile{platform::CFileRef(std::move(path)), std::move(relative),
                                        found.exact.has_value()});
        }
        return files;
    }

private:
    struct Candidate
    {
        std::string relative;
        int depth = 0;
    };
    struct Found
    {
        std::optional<Candidate> exact, byName, byShortName;
    };

    // Every name is found, and where its spelling says (a name with a
    // folder part may be exactly below, though found loosely beside).
    bool IsDone() const
    {
        for (std::size_t i = 0; i < m_found.size(); ++i)
            if (m_bWanted[i] && !m_found[i].exact &&
                (m_bHasFolder[i] || (!m_found[i].byName && !m_found[i].byShortName)))
                return false;
        return true;
    }

    static void Offer(std::optional<Candidate>& slot, const std::string& relative, int depth)
    {
        if (!slot || depth < slot->depth || (depth == slot->depth && relative < slot->relative))
            slot = Candidate{relative, depth};
    }

    void List(const std::string& relativeFolder, int depth, std::vector<std::string>& folders)
    {
        const std::string folder = platform::JoinPath(m_strFolder, Native(relativeFolder));
        platform::ListFolder(folder, [&](std::string_view name, platform::EntryKind kind) {
            if (++m_nEntries > kMaxEntries)
                return false;
            if (kind == platform::EntryKind::Folder)
                folders.push_back(JoinRelative(relativeFolder, name));
            if (kind != platform::EntryKind::File)
                return true;
            m_key.assign(relativeFolder).append(relativeFolder.empty() ? "" : "/").append(name);
            // A file spelled as a name is found under the name's last part
            // too: one look-up finds both.
            LowerInto(name, m_lower);
            Visit(m_byName, m_lower, [&](std::size_t i) {
                if (PathKey(m_key, m_short) == m_spellings[i])
                    Offer(m_found[i].exact, m_key, depth);
                Offer(m_found[i].byName, m_key, depth);
            });
            ShortFormInto(m_lower, m_short);
            if (m_short != m_lower)
                Visit(m_byName, m_short, [&](std::size_t i) { Offer(m_found[i].byShortName, m_key, depth); });
            return true;
        });
    }

    template <typename Take> void Visit(const NameIndex& index, std::string_view key, Take take)
    {
        if (const auto it = index.find(key); it != index.end())
            for (const std::size_t i : it->second)
                take(i);
    }

    std::string m_strFolder;
    std::vector<std::string> m_spellings; // the names as spelled, "/" for "\\" (folded on Windows)
    NameIndex m_byName;                   // their last part in lower case
    std::vector<bool> m_bHasFolder;
    std::vector<bool> m_bWanted;
    std::vector<Found> m_found;
    std::size_t m_nEntries = 0;
    std::string m_key; // the entry's path below the model's folder
    std::string m_lower, m_short;
};

} // namespace

std::vector<std::optional<TextureFile>> FindTextures(const std::string& modelFolder,
                                                     const std::vector<std::string>& names)
{
    if (names.empty())
        return {};
    return CTextureSearch(modelFolder, names).Run();
}

std::vector<std::string> TextureNames(const C3dsModel& model)
{
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const MaterialEntry& material : model.m_materials)
        if (!material.mapName.empty() && material.mapName != kDefaultTexture &&
            seen.insert(material.mapName).second)
            names.push_back(material.mapName);
    return names;
}

std::string ParentFolder(const std::string& modelPath)
{
    const std::string parent = platform::Utf8FromPath(platform::PathFromUtf8(modelPath).parent_path());
    return parent.empty() ? "." : parent;
}

std::vector<std::pair<std::string, TextureFile>> CheckTextures(const C3dsModel& model,
                                                               const std::string& modelPath,
                                                               platform::CMessageLog& log,
                                                               std::vector<TextureUse>& textures)
{
    std::vector<std::pair<std::string, TextureFile>> found;
    const std::vector<std::string> names = TextureNames(model);
    if (names.empty())
        return found;
    std::vector<std::optional<TextureFile>> files = FindTextures(ParentFolder(modelPath), names);
    std::string missing;
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        const std::string& name = names[i];
        std::optional<TextureFile>& file = files[i];
        if (!file || !file->exact)
            missing +=
                (missing.empty() ? "" : ", ") + name + (file ? " (found as " + file->relative + ")" : "");
        TextureUse& use = textures.emplace_back();
        use.name = name;
        if (file)
        {
            use.foundPath = file->file.Path();
            use.exact = file->exact;
            found.emplace_back(name, std::move(*file));
        }
    }
    if (!missing.empty())
        log.Warning("Texture files not found beside the model: " + missing);
    return found;
}

namespace
{

// Copies one texture; the reason when it could not.
std::optional<std::string> CopyTexture(const std::string& from, const std::string& to)
{
    // Opened as every input is, and checked on the open file: a pipe
    // swapped in for the texture cannot hold the run.
    platform::CFile source;
    platform::FileFacts facts;
    std::string reason;
    bool bNotFound = false;
    if (!platform::OpenForReading(from, source, facts, reason, bNotFound))
        return reason;
    COutputFile file;
    if (!file.Create(to))
        return file.Error();
    // No wider access than the source gives: a private texture stays private.
    file.KeepModeOf(facts);
    std::string block(kReadBlock, '\0');
    std::uint64_t copied = 0;
    for (std::size_t got; (got = ReadBlock(source, block.data(), kReadBlock)) > 0; copied += got)
        if (!file.Put(block.data(), got))
            return file.Error();
    if (copied != facts.size)
        return std::string("the file could not be read to its end");
    if (!file.Commit())
        return file.Error();
    return std::nullopt;
}

// Whether from was changed after to (false when either cannot be told).
bool IsNewer(const platform::FileFacts& from, const platform::FileFacts& to)
{
    return from.regular && to.regular && from.modified > to.modified;
}

} // namespace

void CopyTextures(const std::vector<std::pair<std::string, TextureFile>>& textures,
                  const std::string& modelPath, const std::string& outputDir, CRunGuard& guard,
                  platform::CMessageLog& log, RunReport& report)
{
    if (textures.empty() || platform::SameEntry(ParentFolder(modelPath), outputDir))
        return;
    for (const auto& [name, texture] : textures)
    {
        const platform::CFileRef& source = texture.file;
        // Under the name's last part only: a folder part ("..\", "C:\")
        // must not lead the copy out of the output folder.
        std::string fileName = name;
        std::replace(fileName.begin(), fileName.end(), '\\', '/');
        fileName = fileName.substr(fileName.rfind('/') + 1);
        if (fileName.empty() || fileName == "." || fileName == "..")
            continue;
        const std::string target = platform::JoinPath(outputDir, fileName);
        if (!guard.Claim(target, OutputKind::Texture, modelPath, source.Path(), log))
            continue;
        const platform::FileFacts existing = platform::Inspect(target);
        if (existing.regular && SameBytes(source.Path(), target))
            continue;
        if (existing.regular)
        {
            if (!IsNewer(source.Facts(), existing))
            {
                log.Warning("Not copied: the texture file " + target + " holds other bytes than " +
                            source.Path() + " and is not older; it is left as it is");
                continue;
            }
            log.Warning("Replaced the texture file " + target + ", which held other bytes, with the newer " +
                        source.Path());
        }
        if (const std::optional<std::string> reason = CopyTexture(source.Path(), target))
        {
            log.Warning("Could not copy the texture file " + source.Path() + " to " + target + ": " +
                        *reason);
            report.bCopyFailed = true;
            continue;
        }
        report.written.push_back({OutputKind::Texture, target});
        for (TextureUse& use : report.textures)
            if (use.name == name && use.foundPath == source.Path())
                use.copiedTo = target;
    }
}
