#pragma once

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
// the target. A failure at any point, or an interrupting signal, removes the
// temporary file and leaves whatever was at the target untouched. The new
// file keeps the old one's mode and owner; a symbolic link is written
// through. Two cases are written in place, as a plain rewrite would: a
// target with several hard links (a rename would split them) and a
// writable target in a folder that takes no new files.
class OutputFile final : public IByteSink
{
public:
    OutputFile() = default;
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file; false when the directory cannot take it
    // or the target is write-protected.
    [[nodiscard]] bool Create(const std::string& path);
    bool Put(const char* data, std::size_t size) override;
    // Closes the file and moves it to the target path.
    [[nodiscard]] bool Commit();

    // The system's reason for the last failure.
    const std::string& Error() const { return m_strError; }

    // The system's write call; tests replace it to make writes fail.
    using WriteFunction = long (*)(int fd, const void* data, std::size_t size);
    static WriteFunction s_pfnWrite;

    // Makes an interrupt (Ctrl+C, SIGTERM, SIGHUP) remove the temporary
    // files being written before the process ends as the signal says, and
    // a file-size limit fail a write (as a full disk does) instead of
    // killing the process. Called once by each program at its start.
    static void RemoveTemporariesOnInterrupt();

private:
    void Discard();
    bool Fail();
    bool OpenInPlace();
    void ReserveAhead();

    int m_fd = -1;
    std::uint64_t m_nWritten = 0;
    std::uint64_t m_nReserved = 0; // bytes of blocks allocated ahead of the writes
    bool m_bReserveAhead = false;
    bool m_bInPlace = false;
    std::string m_strPath;
    std::string m_strTempPath;
    std::string m_strError;
    int m_nSlot = -1; // where the temporary file is registered for interrupts
#ifdef _WIN32
    std::wstring m_strNativeTempPath; // the registered path, as Windows takes it
#endif
};
