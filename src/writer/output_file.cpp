#include "writer/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

long SystemWrite(int fd, const void* data, std::size_t size)
{
    return ::write(fd, data, size);
}

} // namespace

OutputFile::WriteFunction OutputFile::s_pfnWrite = &SystemWrite;

OutputFile::~OutputFile()
{
    Discard();
}

bool OutputFile::Create(const std::string& path)
{
    m_strPath = path;
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".vnptmp-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix); // with its zero
    m_fd = ::mkstemp(name.data());
    if (m_fd < 0)
        return Fail();
    m_strTempPath = name.data();

    // mkstemp makes the file private; give it the mode a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(m_fd, 0666 & ~mask) != 0)
        return Fail();
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
    if (::close(fd) != 0)
        return Fail();
    if (std::rename(m_strTempPath.c_str(), m_strPath.c_str()) != 0)
        return Fail();
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
        ::close(m_fd);
    m_fd = -1;
    if (!m_strTempPath.empty())
        std::remove(m_strTempPath.c_str());
    m_strTempPath.clear();
}
