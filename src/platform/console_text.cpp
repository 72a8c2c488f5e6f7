#include "platform/console_text.h"

#include <ostream>

namespace platform
{
namespace
{

// The length of the UTF-8 character at text[i], 0 when none starts there
// (a stray or cut-off byte, an over-long form, a surrogate, beyond U+10FFFF).
std::size_t Utf8Length(const std::string& text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    const unsigned char second = length > 1 ? byte(i + 1) : 0x80;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

} // namespace

std::string ShownName(const std::string& name)
{
    std::string shown;
    for (std::size_t i = 0; i < name.size();)
    {
        const char c = name[i];
        const std::size_t length = Utf8Length(name, i);
        if (c == '\r' || c == '\n')
            shown += ' ';
        else if (length == 0 || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        {
            constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
        }
        else
        {
            shown.append(name, i, length);
            i += length;
            continue;
        }
        ++i;
    }
    return shown;
}

std::string BoxText(const std::string& text)
{
    std::string box;
    box.reserve(text.size());
    for (std::size_t start = 0;;)
    {
        const std::size_t end = text.find('\n', start);
        box += ShownName(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return box;
        box += '\n';
        start = end + 1;
    }
}

std::string OneLine(const std::string& text)
{
    std::string line;
    line.reserve(text.size());
    bool bPendingBreak = false;
    for (const char c : text)
    {
        if (c == '\n' || c == '\r')
        {
            bPendingBreak = true;
            continue;
        }
        if (bPendingBreak && c == ' ')
            continue;
        if (bPendingBreak)
        {
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            line += ' ';
            bPendingBreak = false;
        }
        line += c;
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return ShownName(line);
}

void PrintMessage(const Message& message, std::ostream& out, std::ostream& err, bool bQuiet)
{
    if (bQuiet && message.kind != MessageKind::Error)
        return;
    std::ostream& stream = (message.kind == MessageKind::Info) ? out : err;
    stream << Caption(message.kind) << ": " << OneLine(message.text) << '\n' << std::flush;
}

} // namespace platform
