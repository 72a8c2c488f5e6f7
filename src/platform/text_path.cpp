#include "platform/text_path.h"

#include <climits>
#include <cwchar>
#include <cwctype>

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

#ifdef _WIN32

// Windows lowers the way its own file system names do, by the user's
// locale, on UTF-16.
std::string LowerCaseByLocale(const std::string& text)
{
    const std::wstring wide = Widen(text);
    if (wide.empty())
        return text;
    const int size = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, wide.c_str(),
                                     static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr, 0);
    if (size <= 0)
        return text;
    std::wstring lower(static_cast<std::size_t>(size), L'\0');
    ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, wide.c_str(), static_cast<int>(wide.size()),
                    lower.data(), size, nullptr, nullptr, 0);
    return Narrow(lower);
}

#else

std::string LowerCaseByLocale(const std::string& text)
{
    std::string lower;
    lower.reserve(text.size());
    std::mbstate_t in{};
    std::mbstate_t out{};
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0)
    {
        wchar_t wide;
        const std::size_t used = std::mbrtowc(&wide, p, left, &in);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) || used == 0)
        {
            // Not a character (or a zero byte): keep the byte, start afresh.
            lower += *p;
            ++p;
            --left;
            in = std::mbstate_t{};
            continue;
        }
        char bytes[MB_LEN_MAX];
        const std::size_t made =
            std::wcrtomb(bytes, static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wide))), &out);
        if (made == static_cast<std::size_t>(-1))
            lower.append(p, used);
        else
            lower.append(bytes, made);
        p += used;
        left -= used;
    }
    return lower;
}

#endif

std::string AsciiLower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string JoinPath(const std::string& folder, std::string_view name)
{
    return folder.empty() ? std::string(name) : folder + kSeparator + std::string(name);
}

std::string FileTitle(const std::string& fileName)
{
    return fileName.substr(0, fileName.rfind('.'));
}

std::optional<std::int64_t> ReadWholeNumber(const std::string& text, std::int64_t least, std::int64_t most,
                                            std::string& problem)
{
    problem = "is not a whole number";
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    // Leading zeros add nothing; past the limit the number only grows.
    std::int64_t value = 0;
    for (const char c : text)
    {
        value = value * 10 + (c - '0');
        if (value > most)
        {
            problem = "is too large (at most " + std::to_string(most) + ")";
            return std::nullopt;
        }
    }
    if (value < least)
    {
        problem = "must be at least " + std::to_string(least);
        return std::nullopt;
    }
    return value;
}

} // namespace platform
