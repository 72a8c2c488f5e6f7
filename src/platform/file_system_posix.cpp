#include "platform/file_system.h"

#include "platform/temporary_registry.h"
#include "platform/thread_text.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

namespace platform
{

namespace
{

thread_local detail::ThreadText t_lastError;
thread_local int t_nLastErrno = 0;

detail::CTemporaryRegistry<char> s_temporaries;

bool Failed()
{
    t_nLastErrno = errno;
    t_lastError.Set(std::strerror(errno));
    return false;
}

int Fd(const CFile& file)
{
    return static_cast<int>(file.m_hNative);
}

void Pause()
{
    const timespec millisecond{0, 1000000};
    ::nanosleep(&millisecond, nullptr); // async-signal-safe
}

// Whether the first interrupt only asks the run to stop, and the signal
// that asked (0: none yet).
std::atomic<bool> s_bStopRunOnInterrupt{false};
std::atomic<int> s_nStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "touched in a signal handler");

void OnInterrupt(int signal)
{
    int none = 0;
    if (s_bStopRunOnInterrupt.load() && s_nStopSignal.compare_exchange_strong(none, signal))
        return;
    s_temporaries.Stop([](const char* path) { ::unlink(path); }, &Pause);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The interrupts held back on a thread in a section that an interrupt
// waits for: delivered there, the handler would wait for its own thread.
// They reach another thread, or this one when the section ends.
thread_local sigset_t t_previousMask;

} // namespace

bool CFile::Close()
{
    if (!IsOpen())
        return true;
    const int fd = Fd(*this);
    m_hNative = kNone;
    return ::close(fd) == 0 || Failed();
}

FileFacts Inspect(const std::string& path)
{
    FileFacts facts;
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
    {
        facts.link = true;
        std::string target(PATH_MAX, '\0');
        const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
        target.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
        facts.linkTarget = target;
    }
    if (::stat(path.c_str(), &info) != 0)
    {
        Failed();
        facts.reason = t_lastError.Get();
        return facts;
    }
    facts.exists = true;
    facts.regular = S_ISREG(info.st_mode);
    facts.readOnly = (info.st_mode & 0222) == 0;
    facts.linkCount = info.st_nlink;
    facts.id = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    facts.mode = info.st_mode & 07777;
    facts.owner = info.st_uid;
    facts.group = info.st_gid;
    facts.size = static_cast<std::uint64_t>(info.st_size);
    facts.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return facts;
}

namespace
{

// Never waits (a pipe's other end) and never makes a terminal the
// process's own.
bool Open(const std::string& path, int access, CFile& file)
{
    const int fd = ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Failed();
    file = CFile();
    file.m_hNative = fd;
    return true;
}

} // namespace

bool OpenToWrite(const std::string& path, CFile& file)
{
    return Open(path, O_WRONLY, file);
}

bool OpenToRead(const std::string& path, CFile& file)
{
    return Open(path, O_RDONLY, file);
}

namespace detail
{

bool OpenAndCheck(const std::string& path, CFile& file, FileFacts& facts, bool& bRegular)
{
    bRegular = true;
    if (!OpenToRead(path, file))
        return false;
    struct stat info;
    if (::fstat(Fd(file), &info) != 0)
        return Failed(), file.Close(), false;
    bRegular = S_ISREG(info.st_mode);
    if (!bRegular)
        return file.Close(), false;
    // Reads wait for the disk as usual: O_NONBLOCK only kept the open
    // from waiting on a pipe.
    const int flags = ::fcntl(Fd(file), F_GETFL);
    if (flags < 0 || ::fcntl(Fd(file), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return Failed(), file.Close(), false;
    facts.id = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    facts.linkCount = info.st_nlink;
    facts.mode = info.st_mode & 07777;
    facts.owner = info.st_uid;
    facts.group = info.st_gid;
    facts.size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

} // namespace detail

namespace
{

// A read or write, made again when a signal broke it off before any byte.
template <typename Call> long Retrying(Call call)
{
    for (;;)
    {
        const ssize_t done = call();
        if (done >= 0)
            return static_cast<long>(done);
        if (errno != EINTR)
            return Failed(), -1;
    }
}

} // namespace

long WriteSome(CFile& file, const void* data, std::size_t size)
{
    return Retrying([&] { return ::write(Fd(file), data, size); });
}

long ReadSome(CFile& file, void* data, std::size_t size)
{
    return Retrying([&] { return ::read(Fd(file), data, size); });
}

bool SeekTo(CFile& file, std::uint64_t offset)
{
    return ::lseek(Fd(file), static_cast<off_t>(offset), SEEK_SET) >= 0 || Failed();
}

bool SizeOf(CFile& file, std::uint64_t& size)
{
    struct stat info;
    if (::fstat(Fd(file), &info) != 0)
        return Failed();
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool Resize(CFile& file, std::uint64_t size)
{
    return ::ftruncate(Fd(file), static_cast<off_t>(size)) == 0 || Failed();
}

bool LockExclusive(CFile& file)
{
    while (::flock(Fd(file), LOCK_EX) != 0)
        if (errno != EINTR)
            return Failed();
    return true;
}

void TakeModeAndOwner(CFile& file, const FileFacts& old)
{
    // A rename keeps neither the old file's inode (its other names, ACLs,
    // extended attributes) nor its mode and owner: give the new one these.
    ::fchmod(Fd(file), old.mode);
    if (::fchown(Fd(file), old.owner, old.group) != 0)
        ::fchmod(Fd(file), old.mode & 0777); // no set-id bits for another owner
}

void NarrowMode(CFile& file, std::uint32_t mode)
{
    struct stat info;
    if (::fstat(Fd(file), &info) == 0)
        ::fchmod(Fd(file), info.st_mode & mode & 07777);
}

// ext4 allocates each reserved stretch at once rather than page by page as
// the text arrives, which takes a large part of the time a write spends in
// the system, and gives back what the file did not use when it is
// truncated to its length. Other file systems are written as they are
// (tmpfs, for one, would fill the stretch with zeros first).
bool ReservesAhead(CFile& file)
{
#ifdef __linux__
    struct statfs fs;
    return ::fstatfs(Fd(file), &fs) == 0 && fs.f_type == EXT4_SUPER_MAGIC;
#else
    (void)file;
    return false;
#endif
}

bool ReserveBeyondEnd(CFile& file, std::uint64_t offset, std::uint64_t length)
{
#ifdef __linux__
    return ::fallocate(Fd(file), FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                       static_cast<off_t>(length)) == 0 ||
           Failed();
#else
    (void)file, (void)offset, (void)length;
    return false;
#endif
}

bool MoveOver(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0 || Failed();
}

bool ResolveLinks(const std::string& path, std::string& resolved)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return Failed();
    resolved = real;
    std::free(real);
    return true;
}

std::string TemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    std::string text = folder && *folder ? folder : "/tmp";
    return text.back() == '/' ? text : text + "/";
}

bool CreateTemporary(const std::string& folder, CFile& file, std::string& path, int& slot)
{
    if (!HoldInterrupts())
        return false;
    std::string name = folder + "vnptmp-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
    {
        Failed();
        AllowInterrupts();
        return false;
    }
    slot = s_temporaries.Register(name);
    AllowInterrupts();
    file = CFile();
    file.m_hNative = fd;
    path = name;
    // mkstemp makes the file private; give it the mode a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
    {
        Failed();
        const std::string reason = t_lastError.Get();
        file.Close();
        RemoveTemporary(path, slot);
        t_lastError.Set(reason);
        return false;
    }
    return true;
}

void RemoveTemporary(const std::string& path, int slot)
{
    ::unlink(path.c_str());
    ForgetTemporary(slot);
}

void ForgetTemporary(int slot)
{
    s_temporaries.Forget(slot, &Pause);
}

void RemoveTemporariesOnInterrupt()
{
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
}

bool HoldInterrupts()
{
    sigset_t held;
    ::sigemptyset(&held);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &t_previousMask);
    if (s_temporaries.BeginSection())
        return true;
    ::pthread_sigmask(SIG_SETMASK, &t_previousMask, nullptr);
    errno = EINTR;
    return Failed();
}

void AllowInterrupts()
{
    s_temporaries.EndSection();
    ::pthread_sigmask(SIG_SETMASK, &t_previousMask, nullptr);
}

void RemoveAllTemporaries()
{
    s_temporaries.RemoveAll([](const char* path) { ::unlink(path); }, true);
}

void StopRunOnInterrupt()
{
    s_bStopRunOnInterrupt.store(true);
}

bool StopRequested()
{
    return s_nStopSignal.load() != 0;
}

void EndStoppedRun()
{
    const int signal = s_nStopSignal.load();
    RemoveAllTemporaries();
    if (signal != 0)
    {
        std::signal(signal, SIG_DFL);
        sigset_t unblocked;
        ::sigemptyset(&unblocked);
        ::sigaddset(&unblocked, signal);
        ::pthread_sigmask(SIG_UNBLOCK, &unblocked, nullptr);
        std::raise(signal);
    }
    std::_Exit(128 + (signal != 0 ? signal : SIGINT));
}

std::vector<std::string> PrepareConsoleProgram(int argc, char** argv)
{
#ifdef __GLIBC__
    // Large blocks (a model's bytes, its text, the write buffer) come from
    // the heap and go back to it, so that each conversion of a batch takes
    // the memory the one before gave back, instead of having the system map
    // new pages, zero them and unmap them again (and, with -j, interrupt
    // the other cores to forget them). What a conversion took stays until
    // the end of the run.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    std::setlocale(LC_ALL, "");
    RemoveTemporariesOnInterrupt();
    std::signal(SIGPIPE, SIG_IGN);
    return std::vector<std::string>(argv, argv + argc);
}

std::string LastFileError()
{
    return t_lastError.Get();
}

void SetLastFileError(std::string text)
{
    t_nLastErrno = 0;
    t_lastError.Set(text);
}

bool LastFileErrorIsNoAccess()
{
    return t_nLastErrno == EACCES || t_nLastErrno == EPERM;
}

bool LastFileErrorIsNotFound()
{
    return t_nLastErrno == ENOENT;
}

void ListFolder(const std::string& folder, const std::function<bool(std::string_view, EntryKind)>& visit)
{
    DIR* pDir = ::opendir(folder.c_str());
    if (pDir == nullptr)
        return;
    while (const dirent* pEntry = ::readdir(pDir))
    {
        const std::string_view name = pEntry->d_name;
        if (name == "." || name == "..")
            continue;
        EntryKind kind = pEntry->d_type == DT_REG   ? EntryKind::File
                         : pEntry->d_type == DT_DIR ? EntryKind::Folder
                                                    : EntryKind::Other;
        if (pEntry->d_type == DT_LNK || pEntry->d_type == DT_UNKNOWN)
        {
            // A link to a file counts as the file; the system says what it is.
            struct stat info;
            const std::string path = folder + "/" + std::string(name);
            if (pEntry->d_type == DT_UNKNOWN && ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                kind = EntryKind::Folder;
            else if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
                kind = EntryKind::File;
        }
        if (!visit(name, kind))
            break;
    }
    ::closedir(pDir);
}

} // namespace platform
