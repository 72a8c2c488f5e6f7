#pragma once

#include "platform/file_system.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Where the project text goes.
class IByteSink
{
public:
    virtual ~IByteSink() = default;
    // Takes size bytes; false when they could not be stored.
    [[nodiscard]] virtual bool Put(const char* data, std::size_t size) = 0;
};

// A file that appears at its path only when it was written completely: the
// bytes go to a temporary file beside the target, which Commit renames over
// the target. A failure at any point, or an interrupt, removes the
// temporary file and leaves whatever was at the target untouched. The new
// file keeps the old one's mode and owner; a symbolic link is written
// through, if it leads to a regular file.
//
// Two cases are written in place, as a plain rewrite would: a target with
// several hard links (a rename would split them) and a target in a folder
// that takes no new files (its text goes to the system's temporary folder
// first). Then too the complete text exists before the target is touched;
// the target is locked, the part beyond its old end is appended first (a
// full disk then leaves the old file as it was), and only then are the old
// bytes written over. A failure after that, which takes an I/O error, says
// that the old content is lost and where the new text was kept.
//
// An existing target that the caller could not open for writing (another
// user's file) is refused, as a plain write would be.
class COutputFile final : public IByteSink
{
public:
    COutputFile() = default;
    ~COutputFile() override;
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Checks the target and creates the temporary file; false when the
    // target must not or cannot be written, or the temporary file cannot
    // be created.
    [[nodiscard]] bool Create(const std::string& path);
    bool Put(const char* data, std::size_t size) override;
    // Gives the new file no wider access than source has (a copy of a
    // private file stays private); called after Create.
    void KeepModeOf(const platform::FileFacts& source);
    // Moves or copies the complete text to the target.
    [[nodiscard]] bool Commit();

    // Drops the text as a failure does, but leaves the removal of the
    // temporary file to another thread (platform::RemoveTemporaryLater):
    // a stop the user asked for takes effect at once however big the
    // file has grown.
    void Abandon();

    // The reason for the last failure.
    const std::string& Error() const { return m_strError; }

    // The system's write call; tests replace it to make writes fail (with
    // platform::SetLastFileError for the reason).
    using WriteFunction = long (*)(platform::CFile& file, const void* data, std::size_t size);
    static WriteFunction s_pfnWrite;

    // See platform::RemoveTemporariesOnInterrupt.
    static void RemoveTemporariesOnInterrupt() { platform::RemoveTemporariesOnInterrupt(); }

private:
    void Discard();
    // Closes both files and has the temporary one removed by remove.
    void Drop(void (*remove)(const std::string& path, int slot));
    bool Fail();
    bool WriteAll(platform::CFile& file, const char* data, std::size_t size);
    bool CopyIntoTarget(std::uint64_t from, std::uint64_t to);
    bool CommitInPlace();
    bool CopyInPlace(std::uint64_t oldSize);
    void ReserveAhead();

    platform::CFile m_file;   // the temporary file
    platform::CFile m_target; // the target, open while it is to be written in place
    std::uint64_t m_nWritten = 0;
    std::uint64_t m_nReserved = 0; // bytes of blocks allocated ahead of the writes
    bool m_bReserveAhead = false;
    bool m_bInPlace = false;
    std::string m_strPath;
    std::string m_strTempPath;
    std::string m_strError;
    int m_nSlot = -1; // where the temporary file is registered for interrupts
};
