#include "writer/output_file.h"

#include "platform/text_path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{

#ifdef _WIN32

bool IsWriteProtected(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(platform::WideFilePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_READONLY);
}

void RemoveFile(const std::string& path)
{
    _wremove(platform::WideFilePath(path).c_str());
}

long SystemWrite(int fd, const void* data, std::size_t size)
{
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    return _write(fd, data, chunk);
}

// A new file of a name no other file has, beside path; -1 with the
// system's reason in error when there is none.
int CreateTemporary(const std::string& path, std::string& tempPath, std::string& error)
{
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        tempPath = path + ".vnptmp-" + std::to_string(_getpid()) + "-" + std::to_string(attempt);
        const HANDLE hFile = ::CreateFileW(platform::WideFilePath(tempPath).c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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

bool IsWriteProtected(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & 0222) == 0;
}

long SystemWrite(int fd, const void* data, std::size_t size)
{
    return ::write(fd, data, size);
}

int CreateTemporary(const std::string& path, std::string& tempPath, std::string& error)
{
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".vnptmp-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix); // with its zero
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
    {
        error = std::strerror(errno);
        return fd;
    }
    tempPath = name.data();
    // mkstemp makes the file private; give it the mode a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
    {
        error = std::strerror(errno);
        ::close(fd);
        std::remove(tempPath.c_str());
        tempPath.clear();
        return -1;
    }
    return fd;
}

int CloseFile(int fd)
{
    return ::close(fd);
}

void RemoveFile(const std::string& path)
{
    std::remove(path.c_str());
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

OutputFile::~OutputFile()
{
    Discard();
}

bool OutputFile::Create(const std::string& path)
{
    m_strPath = path;
    // A write-protected target is the user's "do not replace": a rename
    // would replace it all the same. The mode bits decide, not access(),
    // which lets an administrator through.
    if (IsWriteProtected(path))
    {
        m_strError = "The file is read-only";
        return false;
    }
    m_fd = CreateTemporary(path, m_strTempPath, m_strError);
    if (m_fd < 0)
    {
        m_strTempPath.clear();
        return false;
    }
    return true;
}

bool OutputFile::Put(const char* data, std::size_t size)
{
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

bool OutputFile::Commit()
{
    const int fd = m_fd;
    m_fd = -1;
    if (CloseFile(fd) != 0)
        return Fail();
    std::string error;
    if (!MoveOver(m_strTempPath, m_strPath, error))
    {
        Discard();
        m_strError = error;
        return false;
    }
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
    m_strTempPath.clear();
}
