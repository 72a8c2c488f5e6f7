#include "pipeline/run_guard.h"

#include "platform/text_path.h"

#include <algorithm>

namespace
{

// The folder and the lower-case name of a path; the folder by its identity
// where it exists, so that any spelling of it meets.
CRunGuard::Key NameKey(const std::string& path)
{
    const std::size_t separator = platform::LastSeparator(path);
    const std::string folder = separator == std::string::npos ? "." : path.substr(0, separator + 1);
    const platform::FileFacts parent = platform::Inspect(folder);
    if (!parent.exists)
        return {platform::FileId{}, platform::AsciiLower(path)};
    return {parent.id, platform::AsciiLower(std::string_view(path).substr(separator + 1))};
}

const char* KindName(OutputKind kind)
{
    switch (kind)
    {
    case OutputKind::Project:
        return "the project file";
    case OutputKind::Picture:
        return "the picture";
    default:
        return "a texture copy";
    }
}

} // namespace

void CRunGuard::AddInput(const platform::CFileRef& file)
{
    const platform::FileFacts& facts = file.Facts();
    if (!facts.regular)
        return;
    const std::lock_guard lock(m_mutex);
    m_inputs.emplace(facts.id, file.Path());
}

bool CRunGuard::IsInput(const std::string& path) const
{
    const platform::FileFacts facts = platform::Inspect(path);
    const std::lock_guard lock(m_mutex);
    return facts.regular && m_inputs.count(facts.id) > 0;
}

CRunGuard::Key CRunGuard::OutputKey(const std::string& path)
{
    const platform::FileFacts target = platform::Inspect(path);
    if (target.exists)
        return {target.id, std::string()};
    return NameKey(path);
}

bool CRunGuard::Claim(const std::string& path, OutputKind kind, const std::string& model,
                      const std::string& source, platform::CMessageLog& log)
{
    const bool bProject = kind == OutputKind::Project;
    const std::string refused = kind == OutputKind::Project   ? "Not converted: " + model
                                : kind == OutputKind::Picture ? "Not written: the picture of " + model
                                                              : "Not copied: the texture file " + source;
    const auto tell = [&](const std::string& text) {
        if (bProject)
            log.Error(text);
        else
            log.Warning(text);
        return false;
    };
    const platform::FileFacts target = platform::Inspect(path);
    // A link in the output folder may lead anywhere: a file that the model's
    // author chose must not get bytes through it. A project file keeps
    // being written through a link, as the user may have set it up so.
    if (!bProject && target.link)
        return tell(refused + " to " + path + ": that is a symbolic link (to " + target.linkTarget +
                    "), which a copy never writes through");
    const Key name = NameKey(path);

    const std::lock_guard lock(m_mutex);
    if (target.regular)
    {
        if (const auto input = m_inputs.find(target.id); input != m_inputs.end())
        {
            if (bProject)
                return tell("Not converted: the output file " + path + " is " + input->second +
                            ", an input of this run, which converting would destroy");
            return tell(refused + " to " + path + ": that is " + input->second + ", an input of this run");
        }
    }
    const Key* pHeld = nullptr;
    if (m_outputs.count(name))
        pHeld = &name;
    else if (const auto id = target.exists ? m_outputIds.find(target.id) : m_outputIds.end();
             id != m_outputIds.end())
        pHeld = &id->second;
    if (pHeld)
    {
        const Holder& holder = m_outputs.at(*pHeld);
        // Two textures of one model (LOD 1 and LOD 2 naming one file), or
        // two models' copies of the same bytes, meet without harm.
        const bool bSameCopy =
            kind == OutputKind::Texture && holder.kind == OutputKind::Texture &&
            (holder.model == model || holder.source == source || SameBytes(source, holder.source));
        if (bSameCopy)
            return true;
        if (bProject && holder.kind == OutputKind::Project)
            return tell("Not converted: " + model + " would replace " + path + ", written from " +
                        holder.model + " in this run");
        if (kind == OutputKind::Texture && holder.kind == OutputKind::Texture)
            return tell("Not copied: the texture file " + source + " would replace " + path +
                        ", copied from " + holder.source + " for " + holder.model + " in this run");
        return tell(refused + " to " + path + ": that is " + KindName(holder.kind) + " of " + holder.model +
                    " in this run");
    }
    m_outputs.emplace(name, Holder{kind, model, source});
    if (target.exists)
        m_outputIds.emplace(target.id, name);
    return true;
}

void CRunGuard::Release(const std::string& path)
{
    const platform::FileFacts target = platform::Inspect(path);
    const Key name = NameKey(path);
    const std::lock_guard lock(m_mutex);
    m_outputs.erase(name);
    if (target.exists)
        m_outputIds.erase(target.id);
}

std::size_t ReadBlock(platform::CFile& file, char* data, std::size_t size)
{
    std::size_t done = 0;
    for (long got = 1; done < size && got > 0; done += static_cast<std::size_t>(got))
        got = std::max(platform::ReadSome(file, data + done, size - done), 0L);
    return done;
}

bool SameBytes(const std::string& first, const std::string& second)
{
    // Opened as every input is, then read in blocks: a large file named
    // like a texture must not take its size in memory.
    platform::CFile a, b;
    platform::FileFacts factsA, factsB;
    std::string reason;
    bool bNotFound = false;
    if (!platform::OpenForReading(first, a, factsA, reason, bNotFound) ||
        !platform::OpenForReading(second, b, factsB, reason, bNotFound) || factsA.size != factsB.size)
        return false;
    std::string blockA(kReadBlock, '\0'), blockB(kReadBlock, '\0');
    for (std::uint64_t left = factsA.size; left > 0;)
    {
        const std::size_t gotA = ReadBlock(a, blockA.data(), kReadBlock);
        if (gotA == 0 || ReadBlock(b, blockB.data(), kReadBlock) != gotA ||
            blockA.compare(0, gotA, blockB, 0, gotA) != 0)
            return false;
        left -= std::min<std::uint64_t>(left, gotA);
    }
    return true;
}
