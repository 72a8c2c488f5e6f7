#include "writer/output_file.h"

#include "platform/text_path.h"

#include <algorithm>
#include <vector>

namespace
{

// The folder part of a path, with its separator ("" for a bare name).
std::string FolderOf(const std::string& path)
{
    const std::size_t separator = platform::LastSeparator(path);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// Why an existing target must not be replaced; empty when it may.
std::string WhyNotReplaceable(const platform::FileFacts& target)
{
    // A link that leads to no regular file would be replaced by a plain
    // file, and the link lost.
    if (target.link && !target.exists)
        return "It is a symbolic link to " + target.linkTarget + ", which leads nowhere: " + target.reason;
    if (target.link && !target.regular)
        return "It is a symbolic link to " + target.linkTarget + ", which is not a file";
    if (target.exists && !target.regular)
        return "It is not a file (a folder, a pipe or a device)";
    // A write-protected target is the user's "do not replace": a rename
    // would replace it all the same. The mode bits decide, not the
    // caller's rights, which let an administrator through.
    if (target.exists && target.readOnly)
        return "The file is read-only";
    return std::string();
}

} // namespace

COutputFile::WriteFunction COutputFile::s_pfnWrite = &platform::WriteSome;

COutputFile::~COutputFile()
{
    Discard();
}

bool COutputFile::Create(const std::string& path)
{
    m_strPath = path;
    const platform::FileFacts target = platform::Inspect(path);
    m_strError = WhyNotReplaceable(target);
    if (!m_strError.empty())
        return false;
    if (target.exists)
    {
        // Another user's file in a shared folder could be renamed over,
        // though a plain write would be refused: ask the system whether
        // the caller may write to it.
        if (!platform::OpenToWrite(path, m_target))
            return Fail();
        // Through a symbolic link the file it leads to is replaced, not
        // the link.
        if (target.link && !platform::ResolveLinks(path, m_strPath))
            return Fail();
    }
    m_bInPlace = target.exists && target.linkCount > 1;
    if (!platform::CreateTemporary(FolderOf(m_strPath), m_file, m_strTempPath, m_nSlot))
    {
        // A folder that takes no new files may still let the file be
        // rewritten, as a plain write would.
        if (!target.exists || !platform::LastFileErrorIsNoAccess() ||
            !platform::CreateTemporary(platform::TemporaryFolder(), m_file, m_strTempPath, m_nSlot))
            return Fail();
        m_bInPlace = true;
    }
    if (m_bInPlace)
        return true;
    m_target.Close();
    if (target.exists)
        platform::TakeModeAndOwner(m_file, target);
    else
    {
        // Only a new file has its blocks reserved ahead: when a rename
        // replaces a file, ext4 writes the blocks that are still to be
        // allocated out to the disk first, so that a crash leaves the old
        // file or the new one, never one of zeros; reserved blocks would
        // skip that.
        m_bReserveAhead = platform::ReservesAhead(m_file);
    }
    return true;
}

void COutputFile::KeepModeOf(const platform::FileFacts& source)
{
    if (source.regular && m_file.IsOpen())
        platform::NarrowMode(m_file, source.mode);
}

bool COutputFile::Put(const char* data, std::size_t size)
{
    if (m_bReserveAhead && m_nWritten + size > m_nReserved)
        ReserveAhead();
    m_nWritten += size;
    return WriteAll(m_file, data, size) || Fail();
}

bool COutputFile::WriteAll(platform::CFile& file, const char* data, std::size_t size)
{
    while (size > 0)
    {
        const long written = s_pfnWrite(file, data, size);
        if (written <= 0)
        {
            if (written == 0)
                platform::SetLastFileError("The file system took no more bytes");
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void COutputFile::ReserveAhead()
{
    constexpr std::uint64_t kStretch = 8 << 20;
    if (platform::ReserveBeyondEnd(m_file, m_nReserved, kStretch))
        m_nReserved += kStretch;
    else
        m_bReserveAhead = false;
}

bool COutputFile::Commit()
{
    if (m_nReserved > 0) // gives back the blocks reserved beyond the end
        (void)platform::Resize(m_file, m_nWritten);
    if (m_bInPlace)
        return CommitInPlace();
    if (!m_file.Close() || !platform::MoveOver(m_strTempPath, m_strPath))
        return Fail();
    platform::ForgetTemporary(m_nSlot);
    m_nSlot = -1;
    m_strTempPath.clear();
    return true;
}

bool COutputFile::CommitInPlace()
{
    // Another run writing the same file waits here, so that the file is
    // always one run's text.
    std::uint64_t oldSize = 0;
    if (!platform::LockExclusive(m_target) || !platform::SizeOf(m_target, oldSize))
        return Fail();
    // An interrupt waits for the copy. Should it not wait long enough, the
    // new text is kept: the temporary file is no longer the interrupt's.
    if (!platform::HoldInterrupts())
        return Fail();
    platform::ForgetTemporary(m_nSlot);
    m_nSlot = -1;
    const bool bCopied = CopyInPlace(oldSize);
    Discard(); // before an interrupt may end the process
    platform::AllowInterrupts();
    return bCopied;
}

bool COutputFile::CopyInPlace(std::uint64_t oldSize)
{
    // The space first: what goes beyond the old end is appended, and cut
    // off again when it does not fit, which leaves the old file as it was.
    if (m_nWritten > oldSize && !CopyIntoTarget(oldSize, m_nWritten))
    {
        const std::string reason = platform::LastFileError();
        (void)platform::Resize(m_target, oldSize);
        platform::SetLastFileError(reason);
        return Fail();
    }
    if (!CopyIntoTarget(0, std::min(oldSize, m_nWritten)) ||
        (m_nWritten < oldSize && !platform::Resize(m_target, m_nWritten)) || !m_target.Close())
    {
        // Only an I/O error gets here. The temporary file is kept.
        m_strError = platform::LastFileError() +
                     ". The old content of the file is lost; the complete new output was kept in " +
                     m_strTempPath;
        m_strTempPath.clear();
        return false;
    }
    return true;
}

bool COutputFile::CopyIntoTarget(std::uint64_t from, std::uint64_t to)
{
    std::vector<char> buffer(std::min<std::uint64_t>(to - from, 1 << 20));
    if (!platform::SeekTo(m_file, from) || !platform::SeekTo(m_target, from))
        return false;
    for (std::uint64_t left = to - from; left > 0;)
    {
        const long got =
            platform::ReadSome(m_file, buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
        if (got <= 0)
        {
            if (got == 0)
                platform::SetLastFileError("The temporary file ended early");
            return false;
        }
        if (!WriteAll(m_target, buffer.data(), static_cast<std::size_t>(got)))
            return false;
        left -= static_cast<std::uint64_t>(got);
    }
    return true;
}

bool COutputFile::Fail()
{
    m_strError = platform::LastFileError();
    Discard();
    return false;
}

void COutputFile::Abandon()
{
    Drop(&platform::RemoveTemporaryLater);
}

void COutputFile::Discard()
{
    Drop(&platform::RemoveTemporary);
}

void COutputFile::Drop(void (*remove)(const std::string& path, int slot))
{
    m_file.Close();
    m_target.Close();
    if (!m_strTempPath.empty())
        remove(m_strTempPath, m_nSlot);
    m_nSlot = -1;
    m_strTempPath.clear();
}
