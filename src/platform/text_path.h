#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Paths and texts are UTF-8 std::strings inside the program (on Linux the
// file system's own bytes). They become another form only at the edge:
// std::filesystem paths here, UTF-16 at the Windows API.
namespace platform
{

// The separator that joins a folder and a name.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// Lower-cases text by the user's locale: ASCII and every other letter that
// the system knows there. On Linux bytes that are no character stay as they
// are; on Windows the text is UTF-8.
std::string LowerCaseByLocale(const std::string& text);

// ASCII letters in lower case, the rest as it is: how the editor and
// Windows' file names match texture names, whatever the locale.
std::string AsciiLower(std::string_view text);

// Joins a folder and a name with the system's separator; a bare name for
// an empty folder.
std::string JoinPath(const std::string& folder, std::string_view name);

// The title of a file: its name cut before the last "."; a name without
// "." whole.
std::string FileTitle(const std::string& fileName);

// Reads text as a whole number from first to last (decimal digits only: no
// sign, blank or "0x"; leading zeros are allowed) between least and most.
// None when it is not one, with the reason in problem: "is not a whole
// number", "must be at least N", "is too large (at most N)".
std::optional<std::int64_t> ReadWholeNumber(const std::string& text, std::int64_t least, std::int64_t most,
                                            std::string& problem);

// Where a path's folder ends: its last separator ("/", and on Windows
// "\\" too); npos for a bare name.
std::size_t LastSeparator(const std::string& path);

std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);
// The path to hand to the file calls: on Windows in the form that takes
// any length (see WideFilePath).
std::filesystem::path FileSystemPath(const std::string& text);

#ifdef _WIN32
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// The path for the wide file calls: an absolute path longer than the
// classic limit of 260 characters gets the "\\?\" prefix, which lifts the
// limit without asking the user to change a system setting.
std::wstring WideFilePath(const std::string& utf8);

// The system's text for an error code of GetLastError, without the
// trailing line break.
std::string SystemErrorText(unsigned long code);
#endif

} // namespace platform
