#include "writer/output_file.h"

#include "platform/text_path.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

namespace
{

#ifdef _WIN32
using NativeChar = wchar_t;
#else
using NativeChar = char;
#endif

// The temporary files being written, for the interrupt handler, which may
// read nothing but these lock-free slots. Each holds a path in the form the
// system's remove call takes; a slot is claimed by swapping in a path. As
// many as conversions may run at once (the command line's -j allows 1024).
std::array<std::atomic<const NativeChar*>, 1024> s_temporaries{};

int Register(const NativeChar* path)
{
    for (std::size_t i = 0; i < s_temporaries.size(); ++i)
    {
        const NativeChar* expected = nullptr;
        if (s_temporaries[i].compare_exchange_strong(expected, path))
            return static_cast<int>(i);
    }
    return -1; // more files at once than slots: that one is not cleaned up
}

void Unregister(int slot)
{
    if (slot >= 0)
        s_temporaries[static_cast<std::size_t>(slot)].store(nullptr);
}

// The folder part of a path, with its separator ("" for a bare name).
std::string FolderOf(const std::string& path)
{
    const std::size_t separator = platform::LastSeparator(path);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

#ifdef _WIN32

BOOL WINAPI OnConsoleInterrupt(DWORD)
{
    for (auto& slot : s_temporaries)
        if (const wchar_t* path = slot.exchange(nullptr))
            ::DeleteFileW(path);
    return FALSE; // the default handling ends the process
}

bool IsWriteProtected(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(platform::WideFilePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_READONLY);
}

void RemoveFile(const std::string& path)
{
    ::DeleteFileW(platform::WideFilePath(path).c_str());
}

long SystemWrite(int fd, const void* data, std::size_t size)
{
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    return _write(fd, data, chunk);
}

// A new file beside path whose name does not depend on path's; -1 with the
// system's reason in error when there is none.
int CreateTemporary(const std::string& path, std::string& tempPath, std::string& error)
{
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        tempPath = FolderOf(path) + "vnptmp-" + std::to_string(_getpid()) + "-" + std::to_string(attempt);
        const HANDLE hFile = ::CreateFileW(platform::WideFilePath(tempPath).c_str(), GENERIC_WRITE, 0,
                                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE)
        {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
                continue;
            error = platform::SystemErrorText(code);
            return -1;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(hFile), _O_WRONLY | _O_BINARY);
        if (fd < 0)
        {
            ::CloseHandle(hFile);
            RemoveFile(tempPath);
            error = std::strerror(errno);
        }
        return fd;
    }
    error = platform::SystemErrorText(ERROR_FILE_EXISTS);
    return -1;
}

int CloseFile(int fd)
{
    return _close(fd);
}

// Windows' rename does not replace an existing file. The system's own
// reason goes to error.
bool MoveOver(const std::string& from, const std::string& to, std::string& error)
{
    if (::MoveFileExW(platform::WideFilePath(from).c_str(), platform::WideFilePath(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = platform::SystemErrorText(::GetLastError());
    return false;
}

#else

void OnInterrupt(int signal)
{
    // Only async-signal-safe calls here: unlink, signal, raise.
    for (auto& slot : s_temporaries)
        if (const char* path = slot.exchange(nullptr))
            ::unlink(path);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void RemoveFile(const std::string& path)
{
    ::unlink(path.c_str());
}

long SystemWrite(int fd, const void* data, std::size_t size)
{
    return ::write(fd, data, size);
}

// A new file beside path whose name does not depend on path's, so that a
// target name of any allowed length leaves room for it; -1 with the
// system's reason in error when there is none.
int CreateTemporary(const std::string& path, std::string& tempPath, std::string& error)
{
    std::string name = FolderOf(path) + "vnptmp-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
    {
        error = std::strerror(errno);
        return fd;
    }
    tempPath = name;
    // mkstemp makes the file private; give it the mode a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
    {
        const int code = errno; // the caller decides on it, after the cleanup
        error = std::strerror(code);
        ::close(fd);
        RemoveFile(tempPath);
        tempPath.clear();
        errno = code;
        return -1;
    }
    return fd;
}

int CloseFile(int fd)
{
    return ::close(fd);
}

// Whether blocks reserved ahead of the writes pay off on fd's file system.
// ext4 then allocates each stretch at once rather than page by page as the
// text arrives, which takes a large part of the time a write spends in the
// system, and gives back what the file did not use when it is truncated to
// its length. Other file systems are written as they are (tmpfs, for one,
// would fill the stretch with zeros first).
bool TakesReservations(int fd)
{
#ifdef __linux__
    struct statfs fs;
    return ::fstatfs(fd, &fs) == 0 && fs.f_type == EXT4_SUPER_MAGIC;
#else
    return false;
#endif
}

bool MoveOver(const std::string& from, const std::string& to, std::string& error)
{
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    error = std::strerror(errno);
    return false;
}

#endif

} // namespace

OutputFile::WriteFunction OutputFile::s_pfnWrite = &SystemWrite;

void OutputFile::RemoveTemporariesOnInterrupt()
{
#ifdef _WIN32
    ::SetConsoleCtrlHandler(&OnConsoleInterrupt, TRUE);
#else
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
    {
        struct sigaction action
        {
        };
        ::sigaction(signal, nullptr, &action);
        if (action.sa_handler == SIG_IGN) // e.g. nohup: keep ignoring
            continue;
        action.sa_handler = &OnInterrupt;
        ::sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        ::sigaction(signal, &action, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

OutputFile::~OutputFile()
{
    Discard();
}

bool OutputFile::Create(const std::string& path)
{
    m_strPath = path;
#ifdef _WIN32
    const bool bWriteProtected = IsWriteProtected(path);
#else
    struct stat target;
    const bool bExists = ::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode);
    const bool bWriteProtected = bExists && (target.st_mode & 0222) == 0;
#endif
    // A write-protected target is the user's "do not replace": a rename
    // would replace it all the same. The mode bits decide, not access(),
    // which lets an administrator through.
    if (bWriteProtected)
    {
        m_strError = "The file is read-only";
        return false;
    }
#ifndef _WIN32
    if (bExists)
    {
        // Through a symbolic link the file it leads to is replaced, not the
        // link; hard links are kept by writing the one file in place.
        if (char* resolved = ::realpath(path.c_str(), nullptr))
        {
            m_strPath = resolved;
            std::free(resolved);
        }
        if (target.st_nlink > 1)
            return OpenInPlace();
    }
#endif
    m_fd = CreateTemporary(m_strPath, m_strTempPath, m_strError);
    if (m_fd < 0)
    {
        m_strTempPath.clear();
#ifndef _WIN32
        // A folder that takes no new files may still let the file be
        // rewritten, as a plain write would.
        if (bExists && (errno == EACCES || errno == EPERM))
            return OpenInPlace();
#endif
        return false;
    }
#ifdef _WIN32
    m_strNativeTempPath = platform::WideFilePath(m_strTempPath);
    m_nSlot = Register(m_strNativeTempPath.c_str());
#else
    m_nSlot = Register(m_strTempPath.c_str());
    // Only a new file has its blocks reserved ahead: when a rename replaces
    // a file, ext4 writes the blocks that are still to be allocated out to
    // the disk first, so that a crash leaves the old file or the new one,
    // never one of zeros; reserved blocks would skip that.
    m_bReserveAhead = !bExists && TakesReservations(m_fd);
    if (bExists)
    {
        // The new file takes the old one's place: its mode and, where the
        // process may give it, its owner. A rename keeps neither the old
        // file's inode (its other names, ACLs, extended attributes) nor
        // its creation time.
        ::fchmod(m_fd, target.st_mode & 07777);
        if (::fchown(m_fd, target.st_uid, target.st_gid) != 0)
            ::fchmod(m_fd, target.st_mode & 0777); // no set-id bits for another owner
    }
#endif
    return true;
}

bool OutputFile::OpenInPlace()
{
#ifdef _WIN32
    return false;
#else
    m_fd = ::open(m_strPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (m_fd < 0)
    {
        m_strError = std::strerror(errno);
        return false;
    }
    m_bInPlace = true;
    return true;
#endif
}

bool OutputFile::Put(const char* data, std::size_t size)
{
    if (m_bReserveAhead && m_nWritten + size > m_nReserved)
        ReserveAhead();
    m_nWritten += size;
    while (size > 0)
    {
        const long written = s_pfnWrite(m_fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
        {
            if (written == 0)
                errno = EIO;
            return Fail();
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void OutputFile::ReserveAhead()
{
#ifdef __linux__
    constexpr off_t kStretch = 8 << 20;
    if (::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(m_nReserved), kStretch) == 0)
        m_nReserved += kStretch;
    else
        m_bReserveAhead = false;
#endif
}

bool OutputFile::Commit()
{
    const int fd = m_fd;
    m_fd = -1;
#ifdef __linux__
    if (m_nReserved > 0) // gives back the blocks reserved beyond the end
        ::ftruncate(fd, static_cast<off_t>(m_nWritten));
#endif
    if (CloseFile(fd) != 0)
        return Fail();
    if (m_bInPlace)
        return true;
    std::string error;
    if (!MoveOver(m_strTempPath, m_strPath, error))
    {
        Discard();
        m_strError = error;
        return false;
    }
    Unregister(m_nSlot);
    m_nSlot = -1;
    m_strTempPath.clear();
    return true;
}

bool OutputFile::Fail()
{
    m_strError = std::strerror(errno);
    Discard();
    return false;
}

void OutputFile::Discard()
{
    if (m_fd >= 0)
        CloseFile(m_fd);
    m_fd = -1;
    if (!m_strTempPath.empty())
        RemoveFile(m_strTempPath);
    Unregister(m_nSlot);
    m_nSlot = -1;
    m_strTempPath.clear();
}
