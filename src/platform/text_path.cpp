#include "platform/text_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform
{

std::size_t LastSeparator(const std::string& path)
{
#ifdef _WIN32
    return path.find_last_of("\\/");
#else
    return path.rfind('/');
#endif
}

#ifdef _WIN32

std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(Widen(text));
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    return Narrow(path.wstring());
}

std::filesystem::path FileSystemPath(const std::string& text)
{
    return std::filesystem::path(WideFilePath(text));
}

std::wstring Widen(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string Narrow(const std::wstring& utf16)
{
    if (utf16.empty())
        return std::string();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr,
                                           0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), narrow.data(), size,
                          nullptr, nullptr);
    return narrow;
}

std::wstring WideFilePath(const std::string& utf8)
{
    std::wstring wide = Widen(utf8);
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0)
        return wide;
    // The prefixed form takes no "/", ".", ".." or relative parts: let the
    // system make the path whole first.
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return wide;
    std::wstring full(size, L'\0');
    const DWORD used = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (used == 0 || used >= size)
        return wide;
    full.resize(used);
    if (full.rfind(L"\\\\", 0) == 0) // a share: \\server\share\...
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string SystemErrorText(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD size = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = size ? std::wstring(buffer, size) : std::wstring();
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    if (text.empty())
        return "Error " + std::to_string(code);
    return Narrow(text);
}

#else

std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(text);
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    return path.string();
}

std::filesystem::path FileSystemPath(const std::string& text)
{
    return std::filesystem::path(text);
}

#endif

} // namespace platform
