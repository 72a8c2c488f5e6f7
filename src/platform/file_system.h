#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The file calls whose form differs between the systems, so that the
// writer, the job and the command line read the same on both. One source
// file per system implements them: file_system_posix.cpp and
// file_system_win32.cpp. A call that fails returns false (or -1) and
// leaves the system's reason in LastFileError().
namespace platform
{

// Which file a path leads to, whatever the spelling: every name of one
// file (links, "..", letter case where the folder ignores it) has the same.
struct FileId
{
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    auto operator<=>(const FileId&) const = default;
};

// What is at a path.
struct FileFacts
{
    bool exists = false;   // the path leads to something, links followed
    bool regular = false;  // ... and that is a regular file (no folder, pipe or device)
    bool link = false;     // the path itself is a symbolic link
    bool readOnly = false; // its mode or attribute forbids writing to anyone
    std::uint64_t linkCount = 0;
    FileId id;
    std::string linkTarget; // where a link leads, as the link says
    std::string reason;     // when it leads nowhere: the system's reason
    std::uint32_t mode = 0; // permission bits, owner and group (POSIX)
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint64_t size = 0; // bytes, for a regular file
    // When its content last changed, in the system's own unit (POSIX:
    // nanoseconds since 1970; Windows: 100 ns since 1601): only ever
    // compared with another file's.
    std::int64_t modified = 0;
};

FileFacts Inspect(const std::string& path);

// Whether two looks at a file, before and after, saw one regular file
// unchanged: the same file, neither grown nor shrunk nor written between.
inline bool Unchanged(const FileFacts& before, const FileFacts& after)
{
    return before.regular && after.regular && before.id == after.id && before.size == after.size &&
           before.modified == after.modified;
}

// Whether two paths lead to one folder (or one file of any kind).
inline bool SameEntry(const std::string& first, const std::string& second)
{
    const FileFacts a = Inspect(first);
    const FileFacts b = Inspect(second);
    return a.exists && b.exists && a.id == b.id;
}

// Whether two paths lead to one regular file.
inline bool SameFile(const std::string& first, const std::string& second)
{
    const FileFacts a = Inspect(first);
    const FileFacts b = Inspect(second);
    return a.regular && b.regular && a.id == b.id;
}

// The reason to give for a path that cannot be read as a model, empty when
// it can: "not found", the system's reason (no permission, name too long)
// or "not a file" for folders, pipes and devices (Windows' CON, AUX...).
std::string WhyUnreadable(const std::string& path, bool& bNotFound);

// What a folder entry is, as its listing tells it.
enum class EntryKind
{
    File,   // a regular file, or a link to one
    Folder, // a folder itself: a linked folder is Other, as it may lead back up or anywhere
    Other,
};

// Calls visit(name, kind) for each entry of a folder but "." and "..",
// until it returns false; nothing for a folder that cannot be listed. The
// system's own listing: it gives most entries' kind without a look-up, and
// makes no path per entry.
void ListFolder(const std::string& folder, const std::function<bool(std::string_view, EntryKind)>& visit);

// An open file, closed when it goes.
class CFile
{
public:
    CFile() = default;
    ~CFile() { Close(); }
    CFile(CFile&& other) noexcept : m_hNative(other.m_hNative) { other.m_hNative = kNone; }
    CFile& operator=(CFile&& other) noexcept
    {
        if (this != &other)
        {
            Close();
            m_hNative = other.m_hNative;
            other.m_hNative = kNone;
        }
        return *this;
    }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool IsOpen() const { return m_hNative != kNone; }
    // Closes it; false when the system reports a late write error.
    bool Close();

    static constexpr std::intptr_t kNone = -1;
    std::intptr_t m_hNative = kNone; // a descriptor, or a Windows HANDLE
};

// An existing file, for writing without changing it yet; never waits
// (a pipe) and never creates.
bool OpenToWrite(const std::string& path, CFile& file);
bool OpenToRead(const std::string& path, CFile& file);
// Opens an input (a model, a LOD 2, a texture) to read it. What the path
// leads to is looked at first, so that a folder or a device is never
// opened; then the file is opened without waiting and checked again on the
// open handle, which is what the reading sees: a pipe swapped in between
// the look and the open would otherwise wait for a writer for ever. facts
// (identity, size) describe the open file. False, with nothing open, the
// reason to give as WhyUnreadable words it and bNotFound when nothing is
// at the path.
bool OpenForReading(const std::string& path, CFile& file, FileFacts& facts, std::string& reason,
                    bool& bNotFound);
namespace detail
{
// OpenForReading's system half: opens path without waiting and fills
// facts from the open file; bRegular false when that is no regular file.
bool OpenAndCheck(const std::string& path, CFile& file, FileFacts& facts, bool& bRegular);
} // namespace detail
// Writes up to size bytes at the file's position: the count written, or -1.
long WriteSome(CFile& file, const void* data, std::size_t size);
long ReadSome(CFile& file, void* data, std::size_t size);
bool SeekTo(CFile& file, std::uint64_t offset);
bool SizeOf(CFile& file, std::uint64_t& size);
bool Resize(CFile& file, std::uint64_t size);
// Waits until no one else holds the file's lock, then holds it until the
// file is closed; other runs of this program lock the same way.
bool LockExclusive(CFile& file);
// Gives a file that replaces another the old one's mode and, where the
// process may, its owner (POSIX; Windows keeps neither apart).
void TakeModeAndOwner(CFile& file, const FileFacts& old);
// Allocates blocks beyond the file's end ahead of the writes, where that
// pays off (ext4); false when it is not done.
// Takes from the file's permission bits those that mode lacks (POSIX;
// nothing on Windows, where a new file takes its folder's access).
void NarrowMode(CFile& file, std::uint32_t mode);
bool ReservesAhead(CFile& file);
bool ReserveBeyondEnd(CFile& file, std::uint64_t offset, std::uint64_t length);

// Replaces to by from; on Windows too.
bool MoveOver(const std::string& from, const std::string& to);
// The path with every link resolved; false when it cannot be.
bool ResolveLinks(const std::string& path, std::string& resolved);
// The system's folder for temporary files, with a trailing separator.
std::string TemporaryFolder();

// A new, empty file in folder (ending in a separator, or "" for the
// current one) named vnptmp-*, with the mode a new file gets. Until
// ForgetTemporary or RemoveTemporary with the slot it was given, an
// interrupt removes it.
bool CreateTemporary(const std::string& folder, CFile& file, std::string& path, int& slot);
void RemoveTemporary(const std::string& path, int slot);
// RemoveTemporary on another thread, for a caller that must not wait:
// freeing a file of gigabytes takes the file system a tenth of a second or
// more. Until it is gone an interrupt still removes it; FinishRemovals,
// and the program's end, wait for every removal handed over.
void RemoveTemporaryLater(const std::string& path, int slot);
void FinishRemovals();
// The file stays: it was renamed, or it is kept on purpose.
void ForgetTemporary(int slot);
// Makes an interrupt (Ctrl+C, SIGTERM, SIGHUP; on Windows Ctrl+Break and
// closing the console too) remove every temporary file before the process
// ends as stopped, and a file-size limit fail a write (as a full disk
// does) instead of killing the process. Called once by each program.
void RemoveTemporariesOnInterrupt();
// Makes an interrupt wait (up to ten seconds) until AllowInterrupts, for
// work that must not stop halfway; false, and nothing held, when an
// interrupt is already under way. Not nested.
bool HoldInterrupts();
void AllowInterrupts();
// What an interrupt does to the files, without ending the process.
void RemoveAllTemporaries();
// For a run that can end well when asked to (a batch of the command
// line): from now on, the first Ctrl+C, SIGTERM or SIGHUP (on Windows
// Ctrl+C or Ctrl+Break) only makes StopRequested true, and the run stops
// at its next check, keeps what it finished, tells what it did not, and
// calls EndStoppedRun. A second one, or closing the console, ends the
// process at once, as RemoveTemporariesOnInterrupt says.
void StopRunOnInterrupt();
// Whether an interrupt asked the run to stop; safe on any thread.
bool StopRequested();
// Removes every temporary file and ends the process as stopped, as the
// interrupt would have.
[[noreturn]] void EndStoppedRun();

// Prepares a console program: the user's locale (output names are lowered
// by it), interrupts that remove temporary files, a reader that goes away
// (| head) failing the report instead of killing the process, the heap
// kept for the next conversion of a batch; on Windows UTF-8 on the
// console. Returns the arguments as UTF-8 (Windows hands them over as
// UTF-16).
std::vector<std::string> PrepareConsoleProgram(int argc, char** argv);

std::string LastFileError();
void SetLastFileError(std::string text);
// Whether the last failure was a refused permission (a folder that takes
// no new files, say).
bool LastFileErrorIsNoAccess();
// Whether the last failure was a path that leads to nothing.
bool LastFileErrorIsNotFound();

} // namespace platform
