#include "platform/file_system.h"

#include "platform/temporary_registry.h"
#include "platform/text_path.h"
#include "platform/thread_text.h"

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <clocale>
#include <filesystem>

namespace platform
{

namespace
{

thread_local detail::ThreadText t_lastError;
thread_local DWORD t_nLastCode = 0;

detail::CTemporaryRegistry<wchar_t> s_temporaries;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool Failed(DWORD code = ::GetLastError())
{
    t_nLastCode = code;
    t_lastError.Set(SystemErrorText(code));
    return false;
}

HANDLE Handle(const CFile& file)
{
    return reinterpret_cast<HANDLE>(file.m_hNative);
}

void Adopt(CFile& file, HANDLE hFile)
{
    file = CFile();
    file.m_hNative = reinterpret_cast<std::intptr_t>(hFile);
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices in every folder and
// with any extension ("aux.3ds"): opening one waits on the device, or
// reads the console.
bool IsDeviceName(const std::string& path)
{
    const std::size_t separator = LastSeparator(path);
    std::string name = path.substr(separator == std::string::npos ? 0 : separator + 1);
    name = name.substr(0, name.find_first_of(".:"));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    for (char& c : name)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" || name == "CONIN$" ||
        name == "CONOUT$")
        return true;
    const bool bPort = name.rfind("COM", 0) == 0 || name.rfind("LPT", 0) == 0;
    const std::string rest = bPort ? name.substr(3) : std::string();
    return bPort && ((rest.size() == 1 && rest[0] >= '1' && rest[0] <= '9') || rest == "\xc2\xb9" ||
                     rest == "\xc2\xb2" || rest == "\xc2\xb3");
}

void Pause()
{
    ::Sleep(1);
}

// STATUS_CONTROL_C_EXIT: what Windows reports for a stopped program.
constexpr UINT kStoppedStatus = 0xC000013A;

// Whether Ctrl+C or Ctrl+Break only asks the run to stop, and whether one
// did.
std::atomic<bool> s_bStopRunOnInterrupt{false};
std::atomic<bool> s_bStopRequested{false};

// Runs on a thread of its own while the conversions go on.
BOOL WINAPI OnConsoleInterrupt(DWORD type)
{
    const bool bKey = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT;
    if (bKey && s_bStopRunOnInterrupt.load() && !s_bStopRequested.exchange(true))
        return TRUE;
    s_temporaries.Stop([](const wchar_t* path) { ::DeleteFileW(path); }, &Pause);
    ::ExitProcess(kStoppedStatus);
}

} // namespace

bool CFile::Close()
{
    if (!IsOpen())
        return true;
    const HANDLE hFile = Handle(*this);
    m_hNative = kNone;
    return ::CloseHandle(hFile) || Failed();
}

FileFacts Inspect(const std::string& path)
{
    FileFacts facts;
    if (IsDeviceName(path))
    {
        facts.exists = true;
        return facts;
    }
    const std::wstring wide = WideFilePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        facts.link = true;
        std::error_code error;
        facts.linkTarget = Narrow(std::filesystem::read_symlink(wide, error).wstring());
    }
    const HANDLE hFile = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info;
    if (hFile == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(hFile, &info))
    {
        Failed();
        facts.reason = t_lastError.Get();
        if (hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(hFile);
        return facts;
    }
    facts.exists = true;
    facts.regular =
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && ::GetFileType(hFile) == FILE_TYPE_DISK;
    facts.readOnly = info.dwFileAttributes & FILE_ATTRIBUTE_READONLY;
    facts.linkCount = info.nNumberOfLinks;
    facts.id = {info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    facts.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    facts.modified = static_cast<std::int64_t>((std::uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                               info.ftLastWriteTime.dwLowDateTime);
    ::CloseHandle(hFile);
    return facts;
}

namespace
{

// Others may go on reading, writing, renaming or removing the file.
bool Open(const std::string& path, DWORD access, CFile& file)
{
    const HANDLE hFile = ::CreateFileW(WideFilePath(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return Failed();
    Adopt(file, hFile);
    return true;
}

} // namespace

bool OpenToWrite(const std::string& path, CFile& file)
{
    return Open(path, GENERIC_WRITE, file);
}

bool OpenToRead(const std::string& path, CFile& file)
{
    return Open(path, GENERIC_READ, file);
}

namespace detail
{

bool OpenAndCheck(const std::string& path, CFile& file, FileFacts& facts, bool& bRegular)
{
    bRegular = true;
    if (IsDeviceName(path))
    {
        bRegular = false;
        return false;
    }
    if (!OpenToRead(path, file))
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(Handle(file), &info))
        return Failed(), file.Close(), false;
    bRegular =
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && ::GetFileType(Handle(file)) == FILE_TYPE_DISK;
    if (!bRegular)
        return file.Close(), false;
    facts.id = {info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    facts.linkCount = info.nNumberOfLinks;
    facts.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

} // namespace detail

long WriteSome(CFile& file, const void* data, std::size_t size)
{
    DWORD written = 0;
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    if (!::WriteFile(Handle(file), data, chunk, &written, nullptr))
        return Failed(), -1;
    return static_cast<long>(written);
}

long ReadSome(CFile& file, void* data, std::size_t size)
{
    DWORD got = 0;
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    if (!::ReadFile(Handle(file), data, chunk, &got, nullptr))
        return Failed(), -1;
    return static_cast<long>(got);
}

bool SeekTo(CFile& file, std::uint64_t offset)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(Handle(file), position, nullptr, FILE_BEGIN) || Failed();
}

bool SizeOf(CFile& file, std::uint64_t& size)
{
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(Handle(file), &length))
        return Failed();
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

bool Resize(CFile& file, std::uint64_t size)
{
    return (SeekTo(file, size) && ::SetEndOfFile(Handle(file))) || Failed();
}

bool LockExclusive(CFile& file)
{
    OVERLAPPED whole{};
    return ::LockFileEx(Handle(file), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) || Failed();
}

void TakeModeAndOwner(CFile&, const FileFacts&)
{
    // The new file takes the folder's permissions, as a new file does.
}

void NarrowMode(CFile&, std::uint32_t) {}

bool ReservesAhead(CFile&)
{
    return false;
}

bool ReserveBeyondEnd(CFile&, std::uint64_t, std::uint64_t)
{
    return false;
}

// Windows' rename does not replace an existing file.
bool MoveOver(const std::string& from, const std::string& to)
{
    return ::MoveFileExW(WideFilePath(from).c_str(), WideFilePath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           Failed();
}

bool ResolveLinks(const std::string& path, std::string& resolved)
{
    const HANDLE hFile = ::CreateFileW(WideFilePath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return Failed();
    std::wstring final(32768, L'\0');
    const DWORD size = ::GetFinalPathNameByHandleW(hFile, final.data(), static_cast<DWORD>(final.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    const DWORD code = ::GetLastError();
    ::CloseHandle(hFile);
    if (size == 0 || size >= final.size())
        return Failed(code);
    final.resize(size);
    resolved = Narrow(final);
    return true;
}

std::string TemporaryFolder()
{
    wchar_t folder[MAX_PATH + 1];
    const DWORD size = ::GetTempPathW(MAX_PATH + 1, folder);
    return size ? Narrow(std::wstring(folder, size)) : std::string();
}

// The file is opened with delete sharing, so that an interrupt can remove
// it while a conversion still writes it.
bool CreateTemporary(const std::string& folder, CFile& file, std::string& path, int& slot)
{
    static std::atomic<unsigned> s_nNext{0};
    if (!HoldInterrupts())
        return false;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        path = folder + "vnptmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(s_nNext++);
        const std::wstring wide = WideFilePath(path);
        const HANDLE hFile = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE)
        {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
                continue;
            AllowInterrupts();
            return Failed(code);
        }
        slot = s_temporaries.Register(wide);
        AllowInterrupts();
        Adopt(file, hFile);
        return true;
    }
    AllowInterrupts();
    return Failed(ERROR_FILE_EXISTS);
}

void RemoveTemporary(const std::string& path, int slot)
{
    ::DeleteFileW(WideFilePath(path).c_str());
    ForgetTemporary(slot);
}

void ForgetTemporary(int slot)
{
    s_temporaries.Forget(slot, &Pause);
}

void RemoveTemporariesOnInterrupt()
{
    ::SetConsoleCtrlHandler(&OnConsoleInterrupt, TRUE);
}

bool HoldInterrupts()
{
    return s_temporaries.BeginSection() || Failed(ERROR_OPERATION_ABORTED);
}

void AllowInterrupts()
{
    s_temporaries.EndSection();
}

void RemoveAllTemporaries()
{
    s_temporaries.RemoveAll([](const wchar_t* path) { ::DeleteFileW(path); }, true);
}

void StopRunOnInterrupt()
{
    s_bStopRunOnInterrupt.store(true);
}

bool StopRequested()
{
    return s_bStopRequested.load();
}

void EndStoppedRun()
{
    RemoveAllTemporaries();
    ::ExitProcess(kStoppedStatus);
}

std::vector<std::string> PrepareConsoleProgram(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    ::SetConsoleOutputCP(CP_UTF8);
    RemoveTemporariesOnInterrupt();
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    for (int i = 0; i < count; ++i)
        arguments.push_back(Narrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

std::string LastFileError()
{
    return t_lastError.Get();
}

void SetLastFileError(std::string text)
{
    t_nLastCode = 0;
    t_lastError.Set(text);
}

bool LastFileErrorIsNoAccess()
{
    return t_nLastCode == ERROR_ACCESS_DENIED;
}

bool LastFileErrorIsNotFound()
{
    return t_nLastCode == ERROR_FILE_NOT_FOUND || t_nLastCode == ERROR_PATH_NOT_FOUND;
}

void ListFolder(const std::string& folder, const std::function<bool(std::string_view, EntryKind)>& visit)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(FileSystemPath(folder), error), end; !error && it != end;
         it.increment(error))
    {
        std::error_code typeError;
        const EntryKind kind = it->is_directory(typeError)
                                   ? (it->is_symlink(typeError) ? EntryKind::Other : EntryKind::Folder)
                               : it->is_regular_file(typeError) ? EntryKind::File
                                                                : EntryKind::Other;
        if (!visit(Utf8FromPath(it->path().filename()), kind))
            return;
    }
}

} // namespace platform
